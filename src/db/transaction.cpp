#include "db/transaction.h"

#include "db/batch.h"
#include "db/db_error.h"
#include "db/session.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QStringList>

#include <libpq-fe.h>

namespace db {

Transaction::Transaction(const QString& connectionName)
    : connectionName_(connectionName)
{
    QSqlDatabase db = openConnection(connectionName_);
    if (transactionOpen(connectionName_)) {
        done_ = true; // the open one belongs to somebody else: never rolled back from here
        throw DbError(QStringLiteral("Внутренняя ошибка: транзакция уже открыта. Действие не выполнено."));
    }
    bool begun = false;
    {
        ServerWait wait(pgConnection(db));
        begun = db.transaction();
    }
    if (!begun)
        throwAfterFailure(connectionName_, DbError::fromSqlError(db.lastError()), Outcome::NotDone);
}

Transaction::Transaction(const QString& connectionName, Batch& first)
    : connectionName_(connectionName)
{
    openConnection(connectionName_);
    if (transactionOpen(connectionName_)) {
        done_ = true;
        throw DbError(QStringLiteral("Внутренняя ошибка: транзакция уже открыта. Действие не выполнено."));
    }
    first.add(QStringLiteral("BEGIN"));
}

Transaction::~Transaction()
{
    rollback();
}

void Transaction::rollback()
{
    if (done_)
        return;
    done_ = true;
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    if (db.isOpen()) {
        ServerWait wait(pgConnection(db));
        db.rollback();
    }
}

void Transaction::commit()
{
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    done_ = true;
    bool committed = false;
    {
        ServerWait wait(pgConnection(db));
        committed = db.commit();
    }
    // A connection lost at the commit leaves open whether the change was written.
    if (!committed)
        throwAfterFailure(connectionName_, DbError::fromSqlError(db.lastError()), Outcome::Unknown);
}

void Transaction::commitWith(Batch& last)
{
    const int commit = last.add(QStringLiteral("COMMIT"));
    // A connection lost at the end leaves open whether the change was written.
    last.run(Outcome::Unknown);
    done_ = true;
    // A transaction that failed earlier ends with ROLLBACK instead (it cannot: a failure stops the batch before).
    if (last.commandStatus(commit) != QLatin1String("COMMIT"))
        throw DbError(QStringLiteral("Транзакция не подтверждена сервером. Действие не выполнено, повторите его."));
}

bool transactionOpen(const QString& connectionName)
{
    const QSqlDatabase db = QSqlDatabase::database(connectionName, false);
    if (!db.isOpen())
        return false;
    PGconn* conn = pgConnection(db);
    if (!conn)
        return false;
    const PGTransactionStatusType status = PQtransactionStatus(conn);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

bool anyTransactionOpen()
{
    for (const QString& name : QSqlDatabase::connectionNames())
        if (name.startsWith(QLatin1String(kProgramConnectionPrefix)) && transactionOpen(name))
            return true;
    return false;
}

void rereadAfterCommit(const std::function<void()>& reread)
{
    try {
        reread();
    } catch (const DbError& e) {
        // The re-read's own advice ("not done, repeat it") would speak of the change: only the reason is kept.
        DbError saved(QString::fromUtf8(kSavedNotRefreshedMessage) + u'\n' + e.textWithoutAdvice(), e.sqlState());
        saved.setDetails(e.details());
        saved.setConnectionDown(e.connectionDown());
        throw saved;
    }
}

} // namespace db
