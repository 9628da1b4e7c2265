#include "db/transaction.h"

#include "db/db_error.h"

#include <QSqlDatabase>
#include <QSqlError>

namespace db {

Transaction::Transaction(const QString& connectionName)
    : connectionName_(connectionName)
{
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    if (!db.isOpen())
        throw DbError(QStringLiteral("Нет подключения к базе данных."));
    if (!db.transaction())
        throw DbError::fromSqlError(db.lastError());
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
