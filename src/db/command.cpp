#include "db/command.h"

#include "db/db_error.h"
#include "db/sql_text.h"

#include <QSqlDatabase>
#include <QSqlError>

namespace db {

QString bindParams(const QString& text, const QHash<QString, QVariant>& params)
{
    const QList<sql::ParamRef> refs = sql::findParams(text);
    if (refs.isEmpty())
        return text;
    QString out;
    out.reserve(text.size() + 32);
    qsizetype pos = 0;
    for (const sql::ParamRef& ref : refs) {
        const auto it = params.constFind(ref.name.toLower());
        if (it == params.constEnd())
            throw DbError(QStringLiteral("Не задано значение параметра %1.").arg(ref.name));
        out += QStringView(text).mid(pos, ref.position - pos);
        out += sql::literal(it.value());
        pos = ref.position + ref.length;
    }
    out += QStringView(text).mid(pos);
    return out;
}

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

namespace {

bool connectionAlive(QSqlDatabase& db)
{
    QSqlQuery probe(db);
    return probe.exec(QStringLiteral("select 1"));
}

} // namespace

void throwAfterFailure(const QString& connectionName, const DbError& error)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (connectionAlive(db))
        throw error;
    // The server went away (restart, network): connect again so that the next action works, and say what
    // happened; the failed statement is not repeated, since it may have run before the connection broke.
    db.close();
    bool reconnected = db.open();
    if (reconnected) {
        try {
            prepareSession(db);
        } catch (const DbError&) {
            reconnected = false;
        }
    }
    if (reconnected)
        throw DbError(QStringLiteral("Связь с базой данных была потеряна, соединение восстановлено. "
                                     "Действие не выполнено, повторите его.\n") +
                          error.text(),
                      error.sqlState());
    throw DbError(QStringLiteral("Нет связи с базой данных.\n") + error.text(), error.sqlState());
}

QSqlQuery execStatement(const QString& connectionName, const QString& text, bool forwardOnly)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (!db.isOpen())
        throw DbError(QStringLiteral("Нет подключения к базе данных."));
    QSqlQuery q(db);
    q.setForwardOnly(forwardOnly);
    q.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    if (q.exec(text))
        return q;
    throwAfterFailure(connectionName, DbError::fromSqlError(q.lastError()));
}

Command::Command(const QString& connectionName, const QString& name, QObject* parent)
    : QObject(parent)
    , connectionName_(connectionName)
{
    setObjectName(name);
}

void Command::setText(const QString& text)
{
    text_ = text;
}

void Command::setTextLines(const QStringList& lines)
{
    text_ = sql::lines(lines);
}

void Command::setParam(const QString& name, const QVariant& value)
{
    params_.insert(name.toLower(), value);
}

QVariant Command::param(const QString& name) const
{
    return params_.value(name.toLower());
}

int Command::execute()
{
    QSqlQuery q = execStatement(connectionName_, bindParams(text_, params_));
    return q.numRowsAffected();
}

} // namespace db
