#include "db/command.h"

#include "db/db_error.h"
#include "db/session.h"
#include "db/sql_text.h"

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

Result execStatement(const QString& connectionName, const QString& text)
{
    Connector& db = openConnection(connectionName);
    // Outside a transaction a statement commits by itself: when the connection breaks under it, it may have.
    const Outcome outcome = db.inOpenTransaction() ? Outcome::NotDone : Outcome::Unknown;
    try {
        ServerWait wait(db);
        return db.exec(text);
    } catch (const DbError& e) {
        throwAfterFailure(connectionName, e, outcome);
    }
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
    return execStatement(connectionName_, bindParams(text_, params_)).numRowsAffected();
}

} // namespace db
