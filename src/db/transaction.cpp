#include "db/transaction.h"

#include "db/db_error.h"
#include "db/session.h"

#include <QSqlDatabase>
#include <QSqlError>

namespace db {

Transaction::Transaction(const QString& connectionName)
    : connectionName_(connectionName)
{
    QSqlDatabase db = openConnection(connectionName_);
    bool begun = false;
    {
        ServerWait wait(pgConnection(db));
        begun = db.transaction();
    }
    if (!begun)
        throwAfterFailure(connectionName_, DbError::fromSqlError(db.lastError()), Outcome::NotDone);
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

void rereadAfterCommit(const std::function<void()>& reread)
{
    try {
        reread();
    } catch (const DbError& e) {
        // The re-read's own advice ("not done, repeat it") would speak of the change: only the reason is kept.
        throw DbError(QString::fromUtf8(kSavedNotRefreshedMessage) + u'\n' + e.textWithoutAdvice(), e.sqlState());
    }
}

} // namespace db
