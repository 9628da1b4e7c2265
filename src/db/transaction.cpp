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
    if (!db.transaction())
        throwAfterFailure(connectionName_, DbError::fromSqlError(db.lastError()));
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
    if (db.isOpen())
        db.rollback();
}

void Transaction::commit()
{
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    done_ = true;
    if (!db.commit())
        throw DbError::fromSqlError(db.lastError());
}

void rereadAfterCommit(const std::function<void()>& reread)
{
    try {
        reread();
    } catch (const DbError& e) {
        throw DbError(QString::fromUtf8(kSavedNotRefreshedMessage) + u'\n' + e.text(), e.sqlState());
    }
}

} // namespace db
