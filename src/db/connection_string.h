// The connection string of the one database connection, built from the command line, and the
// libpq options taken from its keys.
#pragma once

#include <QString>
#include <QStringList>

namespace db {

inline constexpr const char* kDefaultDatabase = "kesta_erp";
// The built-in server address: the database server on the workstation itself, or reached through a local
// tunnel or alias of the enterprise server. Enterprise workstations pass their server as argument 2.
inline constexpr const char* kDefaultServer = "localhost";

// A value as the connection string writes it: as it is, or between braces when it holds ";", "{", "}", "=" or
// blanks at its ends.
QString connectionStringValue(const QString& value);
// The ODBC driver connection string for a database name and server address.
QString assembleConnectionString(const QString& database, const QString& server);
// The built-in default string: the same pieces with the default database and server.
QString defaultConnectionString();
// From command-line arguments 1 and 2 (empty where absent): argument 2 selects the assembled string.
QString connectionStringFor(const QString& arg1, const QString& arg2);

struct ConnectionOptions {
    QString database;
    QString server;
    int port = 5432;
    QString user;
    QString password;
    QString sslMode;
};
// Where a start connects, for the message of a failed connection: the server and the database, and the
// connection service of a personal login with the file that defines it.
QString connectionDescription(const QString& arg1, const QString& arg2, const QString& service);

// Reads DATABASE, SERVER, PORT, UID, PWD and SSLmode (keys regardless of letter case; braced values unwrapped).
ConnectionOptions parseConnectionString(const QString& text);

} // namespace db
