#include "db/service.h"

#include "db/command.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextStream>

#include <pwd.h>
#include <unistd.h>

#ifndef KESTA_PG_SYSCONFDIR
#define KESTA_PG_SYSCONFDIR "/etc/postgresql-common"
#endif

namespace db {

namespace {

QString env(const char* name)
{
    return QString::fromLocal8Bit(qgetenv(name));
}

// libpq's home folder: the user's entry in the password database, HOME only without one.
QString homeFolder()
{
    if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir && *pw->pw_dir)
        return QString::fromLocal8Bit(pw->pw_dir);
    return env("HOME");
}

// The section "[name]" of one service file, read as libpq reads it: blank lines and "#" comments skipped, the
// section ends at the next "[".
ServiceDefinition readServiceFile(const QString& path, const QString& name)
{
    ServiceDefinition def;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return def;
    QTextStream in(&f);
    bool inside = false;
    while (!in.atEnd()) {
        const QString line = in.readLine().trimmed();
        if (line.isEmpty() || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[')) {
            if (inside)
                break;
            inside = line == u'[' + name + u']';
            if (inside) {
                def.found = true;
                def.file = path;
            }
            continue;
        }
        if (!inside)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq > 0)
            def.settings.insert(line.left(eq).trimmed(), line.mid(eq + 1).trimmed());
    }
    return def;
}

} // namespace

ServiceDefinition findService(const QString& name)
{
    QString userFile = env("PGSERVICEFILE");
    if (userFile.isEmpty()) {
        const QString home = homeFolder();
        if (!home.isEmpty())
            userFile = QDir(home).filePath(QStringLiteral(".pg_service.conf"));
    }
    if (!userFile.isEmpty()) {
        const ServiceDefinition def = readServiceFile(userFile, name);
        if (def.found)
            return def;
    }
    QString sysDir = env("PGSYSCONFDIR");
    if (sysDir.isEmpty())
        sysDir = QStringLiteral(KESTA_PG_SYSCONFDIR);
    return readServiceFile(QDir(sysDir).filePath(QStringLiteral("pg_service.conf")), name);
}

QString chooseService(const QString& fromCommandLine)
{
    if (!fromCommandLine.isEmpty())
        return fromCommandLine;
    const QString fromEnvironment = env("PGSERVICE");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    const QString standard = QString::fromLatin1(kDefaultService);
    return findService(standard).found ? standard : QString();
}

namespace {
QString settingsFileOverride;
} // namespace

QString workstationSettingsFile()
{
    return settingsFileOverride.isEmpty() ? QString::fromLatin1(kWorkstationSettingsFile) : settingsFileOverride;
}

void setWorkstationSettingsFile(const QString& path)
{
    settingsFileOverride = path;
}

bool builtinConnectionAllowed()
{
    QFile f(workstationSettingsFile());
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return true;
    bool allowed = true;
    QTextStream in(&f);
    while (!in.atEnd()) {
        const QString line = in.readLine().section(u'#', 0, 0).trimmed();
        if (line.section(u'=', 0, 0).trimmed().compare(QLatin1String("builtin_connection"), Qt::CaseInsensitive))
            continue;
        const QString value = line.section(u'=', 1).trimmed().toLower();
        // Anything but a plain "on" switches it off: a typing error must not leave the connection open.
        allowed = value == u"on" || value == u"yes" || value == u"true" || value == u"1";
    }
    return allowed;
}

bool validServiceName(const QString& name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z0-9_.-]+$"));
    return re.match(name).hasMatch();
}

LoginRights loginRights(const QString& connectionName)
{
    LoginRights r;
    Result q = execStatement(connectionName, QStringLiteral("select current_user, rolsuper from pg_roles where "
                                                               "rolname = current_user"));
    if (q.next()) {
        r.login = q.value(0).toString();
        r.superuser = q.value(1).toBool();
    }
    // Rights reach a login through membership with inheritance ("usage" in pg_has_role's terms).
    q = execStatement(connectionName,
                      QStringLiteral("select rolname from pg_roles where rolname in ('kesta_reporting', "
                                     "'kesta_foreman', 'kesta_warehouse', 'kesta_full') and "
                                     "pg_has_role(current_user, oid, 'usage') order by rolname"));
    while (q.next())
        r.groups.append(q.value(0).toString());
    return r;
}

} // namespace db
