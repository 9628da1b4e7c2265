#include "db/command.h"

#include "db/db_error.h"
#include "db/session.h"
#include "db/sql_text.h"

#include <QSqlDatabase>
#include <QSqlError>

#include <libpq-fe.h>

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

QSqlQuery execStatement(const QString& connectionName, const QString& text, bool forwardOnly)
{
    QSqlDatabase db = openConnection(connectionName);
    PGconn* conn = pgConnection(db);
    // Outside a transaction a statement commits by itself: when the connection breaks under it, it may have.
    const Outcome outcome = conn && PQtransactionStatus(conn) == PQTRANS_INTRANS ? Outcome::NotDone : Outcome::Unknown;
    QSqlQuery q(db);
    q.setForwardOnly(forwardOnly);
    q.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
    {
        ServerWait wait(conn);
        if (q.exec(text))
            return q;
    }
    throwAfterFailure(connectionName, DbError::fromSqlError(q.lastError()), outcome);
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
