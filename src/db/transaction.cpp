#include "db/transaction.h"

#include "db/batch.h"
#include "db/db_error.h"
#include "db/session.h"

#include <QStringList>

namespace db {

Transaction::Transaction(const QString& connectionName)
    : connectionName_(connectionName)
{
    Connector& db = openConnection(connectionName_);
    if (transactionOpen(connectionName_)) {
        done_ = true; // the open one belongs to somebody else: never rolled back from here
        throw DbError(QStringLiteral("Внутренняя ошибка: транзакция уже открыта. Действие не выполнено."));
    }
    try {
        ServerWait wait(db);
        db.exec(QStringLiteral("BEGIN"));
    } catch (const DbError& e) {
        throwAfterFailure(connectionName_, e, Outcome::NotDone);
    }
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
    Connector* db = findConnector(connectionName_);
    if (db && db->isOpen()) {
        ServerWait wait(*db);
        try {
            db->exec(QStringLiteral("ROLLBACK"));
        } catch (const DbError&) {
            // a broken connection has ended the transaction on the server
        }
    }
}

void Transaction::commit()
{
    done_ = true;
    try {
        Connector* db = findConnector(connectionName_);
        if (!db)
            throw DbError(QStringLiteral("Нет подключения к базе данных."),
                          QString::fromLatin1(sqlstate::kConnectionFailure));
        Result r;
        {
            ServerWait wait(*db);
            r = db->exec(QStringLiteral("COMMIT"));
        }
        // A transaction that failed earlier is rolled back by its COMMIT.
        if (r.commandStatus() != QLatin1String("COMMIT"))
            throw DbError(QStringLiteral("Транзакция не подтверждена сервером. Действие не выполнено, повторите его."));
    } catch (const DbError& e) {
        // A connection lost at the commit leaves open whether the change was written.
        throwAfterFailure(connectionName_, e, Outcome::Unknown);
    }
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
    const Connector* db = findConnector(connectionName);
    return db && db->inTransaction();
}

bool anyTransactionOpen()
{
    for (const QString& name : connectorNames())
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
