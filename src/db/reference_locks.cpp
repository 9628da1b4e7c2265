#include "db/reference_locks.h"

#include "db/batch.h"
#include "db/command.h"
#include "db/session.h"

namespace db::refs {

void requireTransaction(const QString& connectionName)
{
    if (!openConnection(connectionName).inOpenTransaction())
        throw DbError(QStringLiteral("Блокировка берётся только внутри транзакции."));
}

bool holdIfPresent(const QString& connectionName, Ref ref, qint64 id)
{
    requireTransaction(connectionName);
    execStatement(connectionName, refs_sql::lockShared(ref, id));
    Result q = execStatement(connectionName, refs_sql::presence(ref, id));
    return q.next() && q.value(0).toLongLong() > 0;
}

int addHold(Batch& batch, Ref ref, qint64 id)
{
    batch.add(refs_sql::lockShared(ref, id));
    return batch.add(refs_sql::presence(ref, id));
}

bool present(const Batch& batch, int index)
{
    return batch.number(index, 0, 0) > 0;
}

void lockForDeletion(const QString& connectionName, Ref ref, qint64 id)
{
    requireTransaction(connectionName);
    execStatement(connectionName, refs_sql::lockExclusive(ref, id));
}

void lockKey(const QString& connectionName, Key key, const QString& text)
{
    requireTransaction(connectionName);
    execStatement(connectionName, refs_sql::lockKey(key, text));
}

} // namespace db::refs
