#include "db/db_error.h"

namespace db {

DbError::DbError(const QString& text, const QString& sqlState, const QString& severity)
    : std::runtime_error(text.toStdString())
    , text_(text)
    , sqlState_(sqlState)
    , severity_(severity)
{
}

DbError DbError::explained(const QString& reason, const QString& advice, const DbError& cause)
{
    QString detail = cause.details();
    if (!cause.text().isEmpty() && cause.text() != reason)
        detail = detail.isEmpty() ? cause.text() : cause.text() + u'\n' + detail;
    DbError e(advice.isEmpty() ? reason : reason + u' ' + advice, cause.sqlState(), cause.severity());
    e.withoutAdvice_ = reason;
    e.details_ = detail.trimmed();
    e.connectionDown_ = cause.connectionDown_;
    return e;
}

ConversionError::ConversionError(const QString& text)
    : std::runtime_error(text.toStdString())
    , text_(text)
{
}

} // namespace db
