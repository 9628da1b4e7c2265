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
    if (!done_) {
        QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
        if (db.isOpen())
            db.rollback();
    }
}

void Transaction::commit()
{
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    done_ = true;
    if (!db.commit())
        throw DbError::fromSqlError(db.lastError());
}

} // namespace db
