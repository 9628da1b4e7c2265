#include "db/session.h"

#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>

#include <libpq-fe.h>

namespace db {

void prepareSession(QSqlDatabase& db)
{
    // Dates written as day.month.year text must read day first, whatever the server's default.
    for (const char* s :
         {"SET DateStyle TO 'ISO, DMY'", "SET standard_conforming_strings TO on", "SET client_encoding TO 'UTF8'"}) {
        QSqlQuery q(db);
        if (!q.exec(QString::fromLatin1(s)))
            throw DbError::fromSqlError(q.lastError());
    }
}

PGconn* pgConnection(const QSqlDatabase& db)
{
    if (!db.isValid() || !db.driver())
        return nullptr;
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() ||
        (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<PGconn* const*>(handle.data());
}

namespace {

bool broken(const QSqlDatabase& db)
{
    if (!db.isOpen())
        return true;
    PGconn* conn = pgConnection(db);
    return !conn || PQstatus(conn) != CONNECTION_OK;
}

// Connects again with the same options; false (and closed) when the server cannot be reached.
bool reconnect(QSqlDatabase& db)
{
    db.close();
    if (!db.open())
        return false;
    try {
        prepareSession(db);
    } catch (const DbError&) {
        db.close();
        return false;
    }
    return true;
}

QString lastErrorText(const QSqlDatabase& db)
{
    const QSqlError e = db.lastError();
    const QString t = e.databaseText().trimmed().isEmpty() ? e.driverText().trimmed() : e.databaseText().trimmed();
    return t;
}

} // namespace

QSqlDatabase openConnection(const QString& connectionName)
{
    if (!QSqlDatabase::contains(connectionName))
        throw DbError(QStringLiteral("Нет подключения к базе данных."));
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (broken(db) && !reconnect(db))
        throw DbError(QStringLiteral("Нет связи с базой данных.\n") + lastErrorText(db), QStringLiteral("08006"));
    return db;
}

void throwAfterFailure(const QString& connectionName, const DbError& error)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    // A failed statement inside a transaction leaves the connection fine: only a broken one is made again.
    if (!broken(db))
        throw error;
    if (reconnect(db))
        throw DbError(QStringLiteral("Связь с базой данных была потеряна, соединение восстановлено. "
                                     "Действие не выполнено, повторите его.\n") +
                          error.text(),
                      error.sqlState());
    throw DbError(QStringLiteral("Нет связи с базой данных.\n") + error.text(), error.sqlState());
}

} // namespace db
