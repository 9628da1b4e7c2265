#include "support/personal_login.h"

#include <QFile>

#include <stdexcept>

PersonalLogin::PersonalLogin(TestDatabase& db, const QString& group)
    : db_(db)
    , name_(db.name() + u'_' + group.section(u'_', 1))
{
    db_.execAdmin(QStringLiteral("create role %1 login in role %2").arg(name_, group));
}

PersonalLogin::~PersonalLogin()
{
    try {
        db_.execAdmin(QStringLiteral("drop role if exists ") + name_);
    } catch (...) {
        // the cluster goes away with the test run anyway
    }
}

ServiceFile::ServiceFile(TestDatabase& db, const QString& login)
{
    QFile f(dir_.filePath(QStringLiteral("pg_service.conf")));
    if (!f.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the service file");
    f.write(QStringLiteral("# a person's login\n[kesta]\nhost=%1\ndbname=%2\nuser=%3\n")
                .arg(db.server(), db.name(), login)
                .toUtf8());
    f.close();
    qputenv("PGSERVICEFILE", QFile::encodeName(f.fileName()));
}

ServiceFile::~ServiceFile()
{
    qunsetenv("PGSERVICEFILE");
}
