#include "db/timesheet_hours.h"

#include "db/batch.h"
#include "db/command.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/session.h"
#include "db/timesheet_hours_sql.h"

#include <libpq-fe.h>

namespace db::hours {

namespace {

void requireTransaction(const QString& connectionName)
{
    // Advisory locks of a statement outside a transaction end with the statement and protect nothing.
    PGconn* conn = pgConnection(openConnection(connectionName));
    if (!conn || PQtransactionStatus(conn) != PQTRANS_INTRANS)
        throw DbError(QStringLiteral("Табель меняется только внутри транзакции."));
}

} // namespace

void lockMonthShared(const QString& connectionName, int month, int year)
{
    execStatement(connectionName, hours_sql::lockMonthShared(month, year));
}

void lockMonthExclusive(const QString& connectionName, int month, int year)
{
    execStatement(connectionName, hours_sql::lockMonthExclusive(month, year));
}

void lockWorkerMonth(const QString& connectionName, qint64 workerId, int shift, int month, int year)
{
    execStatement(connectionName, hours_sql::lockWorkerMonth(workerId, shift, month, year));
}

DayCell addDayReads(Batch& batch, qint64 workerId, int shift, const QDate& date, MissingRow missing)
{
    if (!date.isValid())
        throw ConversionError(QStringLiteral("Недопустимая дата."));
    DayCell c{workerId, shift, date, missing};
    const int year = date.year(), month = date.month();
    batch.add(hours_sql::lockMonthShared(month, year));
    batch.add(hours_sql::lockWorkerMonth(workerId, shift, month, year));
    c.rowCountIndex = batch.add(hours_sql::timesheetRowCount(workerId, shift, month, year));
    c.hoursIndex = batch.add(hours_sql::hoursOfDay(workerId, shift, date));
    return c;
}

namespace {

qint64 hoursRead(const Batch& ran, const DayCell& c)
{
    const double sum = ran.rowCount(c.hoursIndex) == 0 ? 0 : ran.number(c.hoursIndex, 0, 0);
    // The timesheet's day cells are smallints; a sum beyond them is refused in words, not by the server's range
    // error, and the caller's transaction writes nothing.
    if (sum > double(kMaxDayHours) || sum < -double(kMaxDayHours) - 1)
        throw TooManyHours(QStringLiteral("Часы работника за %1 в смене %2 составили бы %3, а табель вмещает не больше "
                                          "%4 часов в день. Действие не выполнено.")
                               .arg(c.date.toString(QStringLiteral("dd.MM.yyyy")))
                               .arg(c.shift)
                               .arg(qint64(sum))
                               .arg(kMaxDayHours));
    return qint64(sum);
}

} // namespace

bool addDayWrite(Batch& next, const Batch& ran, const DayCell& c, bool rowWritten)
{
    const qint64 hours = hoursRead(ran, c);
    const int year = c.date.year(), month = c.date.month(), day = c.date.day();
    const bool rowThere = rowWritten || ran.number(c.rowCountIndex, 0, 0) != 0;
    if (rowThere) {
        next.add(hours_sql::setDay(day, hours, c.workerId, c.shift, month, year));
        return false;
    }
    if (c.missing == MissingRow::Insert || hours != 0) {
        next.add(hours_sql::insertDay(c.shift, c.workerId, month, year, day, hours));
        return true;
    }
    return false; // no row and nothing to write: the day already reads as 0
}

qint64 rewriteDay(TDataModule6& dm, qint64 workerId, int shift, const QDate& date, MissingRow missing)
{
    const QString cn = dm.ADO_DB.name();
    if (!date.isValid())
        throw ConversionError(QStringLiteral("Недопустимая дата."));
    requireTransaction(cn);
    Batch reads(cn);
    const DayCell cell = addDayReads(reads, workerId, shift, date, missing);
    reads.run();
    Batch write(cn);
    addDayWrite(write, reads, cell);
    write.run();
    return hoursRead(reads, cell);
}

} // namespace db::hours
