#include "db/timesheet_hours.h"

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

qint64 rewriteDay(TDataModule6& dm, qint64 workerId, int shift, const QDate& date, MissingRow missing)
{
    const QString cn = dm.ADO_DB.name();
    if (!date.isValid())
        throw ConversionError(QStringLiteral("Недопустимая дата."));
    requireTransaction(cn);
    const int year = date.year(), month = date.month(), day = date.day();
    lockMonthShared(cn, month, year);
    lockWorkerMonth(cn, workerId, shift, month, year);

    dm.Control->setSqlLines({hours_sql::timesheetRowCount(workerId, shift, month, year)});
    dm.Control->open();
    const int rowCount = dm.Control->asInt(QStringLiteral("cnt"));
    dm.Control->close();

    dm.Control->setSqlLines({hours_sql::hoursOfDay(workerId, shift, date)});
    dm.Control->open();
    const qint64 hours = dm.Control->isEmpty() ? 0 : dm.Control->asLongLong(QStringLiteral("tim"));
    dm.Control->close();
    // The timesheet's day cells are smallints; a sum beyond them is refused in words, not by the server's range
    // error, and the caller's transaction writes nothing.
    if (hours > kMaxDayHours || hours < -kMaxDayHours - 1)
        throw TooManyHours(QStringLiteral("Часы работника за %1 в смене %2 составили бы %3, а табель вмещает не больше "
                                          "%4 часов в день. Действие не выполнено.")
                               .arg(date.toString(QStringLiteral("dd.MM.yyyy")))
                               .arg(shift)
                               .arg(hours)
                               .arg(kMaxDayHours));

    if (rowCount != 0)
        dm.H_Tabel_ins->setText(hours_sql::setDay(day, hours, workerId, shift, month, year));
    else if (missing == MissingRow::Insert || hours != 0)
        dm.H_Tabel_ins->setText(hours_sql::insertDay(shift, workerId, month, year, day, hours));
    else
        return hours; // no row and nothing to write: the day already reads as 0
    dm.H_Tabel_ins->execute();
    return hours;
}

} // namespace db::hours
