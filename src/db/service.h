// Personal logins: a libpq connection service (pg_service.conf) that the administrator set up in place of the
// built-in connection, and what the login it names may do in the database.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>

namespace db {

// The service the program looks for when none is named.
inline constexpr const char* kDefaultService = "kesta";

struct ServiceDefinition {
    bool found = false;
    QString file;                    // the service file that defines it
    QMap<QString, QString> settings; // its keywords as written (host, dbname, user, sslmode, ...)
};

// Looks the service up where libpq does: the file PGSERVICEFILE names (else ~/.pg_service.conf), then
// pg_service.conf in PGSYSCONFDIR (else the system's folder of libpq's settings).
ServiceDefinition findService(const QString& name);

// The service to connect through: the one named on the command line, else PGSERVICE, else "kesta" when it is
// defined; empty for the built-in connection.
QString chooseService(const QString& fromCommandLine);

// The workstation's own settings, written by its administrator (not by the user): a text file of "key = value"
// lines, "#" starting a comment. One key so far: "builtin_connection = off" switches the built-in connection
// (the program's user sys) off, so that the program connects only through a service with a person's login.
inline constexpr const char* kWorkstationSettingsFile = "/etc/kesta_tabel.conf";
QString workstationSettingsFile();
// For tests: another file in place of the system's.
void setWorkstationSettingsFile(const QString& path);
// False when the workstation's settings switch the built-in connection off.
bool builtinConnectionAllowed();
// What the program says when it cannot start: the built-in connection is off and no service was found.
inline constexpr const char* kBuiltinConnectionOffMessage =
    "Встроенное подключение к базе данных на этом компьютере отключено администратором, а служба подключения с "
    "личной учётной записью не найдена. Программа не может подключиться к базе данных: обратитесь к "
    "администратору.";

// A service name as libpq accepts it in a connection's options (letters, digits, "_", "-", ".").
bool validServiceName(const QString& name);

// The group roles of db/roles.sql, in the order of the program's roles: reporting, foreman, warehouse, full.
inline constexpr const char* kGroupRoles[] = {"kesta_reporting", "kesta_foreman", "kesta_warehouse", "kesta_full"};

// What the login of a connection is given: its name, whether it is a superuser (which may do everything), and
// the group roles whose rights it has (directly or through another group role).
struct LoginRights {
    QString login;
    bool superuser = false;
    QStringList groups;
    bool has(const QString& groupRole) const { return superuser || groups.contains(groupRole); }
};
// Reads it on the open connection of that name. Throws DbError.
LoginRights loginRights(const QString& connectionName);

} // namespace db
