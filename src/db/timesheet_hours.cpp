#include "db/timesheet_hours.h"

#include "db/batch.h"
#include "db/command.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/session.h"
#include "db/timesheet_hours_sql.h"

namespace db::hours {

namespace {

void requireTransaction(const QString& connectionName)
{
    // Advisory locks of a statement outside a transaction end with the statement and protect nothing.
    if (!openConnection(connectionName).inOpenTransaction())
        throw DbError(QStringLiteral("Табель меняется только внутри транзакции."));
}

} // namespace

int addDayRewrite(Batch& batch, qint64 workerId, int shift, const QDate& date, MissingRow missing)
{
    if (!date.isValid())
        throw ConversionError(QStringLiteral("Недопустимая дата."));
    return batch.add(hours_sql::rewriteDay(workerId, shift, date, missing == MissingRow::Insert));
}

bool isTooManyHours(const DbError& error)
{
    return error.sqlState() == QLatin1String(kTooManyHoursState);
}

qint64 rewriteDay(Database& dm, qint64 workerId, int shift, const QDate& date, MissingRow missing)
{
    const QString cn = dm.ADO_DB.name();
    if (!date.isValid())
        throw ConversionError(QStringLiteral("Недопустимая дата."));
    requireTransaction(cn);
    Batch rewrite(cn);
    const int index = addDayRewrite(rewrite, workerId, shift, date, missing);
    try {
        rewrite.run();
    } catch (const DbError& e) {
        if (isTooManyHours(e))
            throw TooManyHours(e.text(), e.sqlState(), e.severity());
        throw;
    }
    return qint64(rewrite.number(index, 0, 0));
}

} // namespace db::hours
