#include "db/db_error.h"

#include <QSqlError>

namespace db {

DbError::DbError(const QString& text, const QString& sqlState)
    : std::runtime_error(text.toStdString())
    , text_(text)
    , sqlState_(sqlState)
{
}

DbError DbError::fromSqlError(const QSqlError& error)
{
    QString text = error.databaseText().trimmed();
    if (text.isEmpty())
        text = error.driverText().trimmed();
    if (text.isEmpty())
        text = error.text().trimmed();
    return DbError(text, error.nativeErrorCode());
}

ConversionError::ConversionError(const QString& text)
    : std::runtime_error(text.toStdString())
    , text_(text)
{
}

} // namespace db
