#include "db/timesheet_hours_sql.h"

#include "db/db_error.h"
#include "db/sql_text.h"

#include <limits>

namespace db::hours_sql {

using db::sql::number;

namespace {

// Two-key advisory locks (a class and an object, both 32-bit). The month lock has one class of its own; the
// worker locks take one class per month and shift, so that the worker's key stays whole. The values sit in a
// range of their own so that other programs' advisory locks on the same database are unlikely to meet them.
constexpr qint64 kMonthLockClass = 0x4B540000;
constexpr qint64 kWorkerLockClassBase = 0x4B600000;

qint64 monthKey(int month, int year)
{
    if (month < 1 || month > 12 || year < 1 || year > 9999)
        throw ConversionError(QStringLiteral("Недопустимый месяц табеля: %1.%2").arg(month).arg(year));
    return qint64(year) * 100 + month;
}

QString advisoryLock(const char* function, qint64 classKey, qint64 objectKey)
{
    return QStringLiteral("select ") + QString::fromLatin1(function) + u'(' + number(classKey) + QStringLiteral(", ") +
           number(objectKey) + u')';
}

} // namespace

QString hoursOfDay(qint64 workerId, int shift, const QDate& date)
{
    return QStringLiteral("select sum(time) as tim from accounts_dep.smena where w_id=") + number(workerId) +
           QStringLiteral(" and smena=") + number(shift) + QStringLiteral(" and data=to_date('") + db::sql::date(date) +
           QStringLiteral("', 'DD.MM.YYYY') group by w_id, smena, data");
}

QString setDay(int day, qint64 hours, qint64 workerId, int shift, int month, int year)
{
    return QStringLiteral("update accounts_dep.h_tabel set d") + number(day) + u'=' + number(hours) +
           QStringLiteral(" where w_id=") + number(workerId) + QStringLiteral(" and smena=") + number(shift) +
           QStringLiteral(" and month=") + number(month) + QStringLiteral(" and year=") + number(year);
}

QString rewriteDay(qint64 workerId, int shift, const QDate& date, bool addRow)
{
    if (workerId < std::numeric_limits<qint32>::min() || workerId > std::numeric_limits<qint32>::max())
        throw ConversionError(QStringLiteral("Недопустимый код работника: %1").arg(workerId));
    return QStringLiteral("select accounts_dep.timesheet_day(") + number(workerId) + QStringLiteral(", ") +
           number(shift) + QStringLiteral(", ") + db::sql::toDate(date) + QStringLiteral(", ") +
           (addRow ? QStringLiteral("true") : QStringLiteral("false")) + u')';
}

QString lockMonthShared(int month, int year)
{
    return advisoryLock("pg_advisory_xact_lock_shared", kMonthLockClass, monthKey(month, year));
}

QString lockWorkerMonth(qint64 workerId, int shift, int month, int year)
{
    // w_id is a 32-bit column; a key outside that range names no timesheet row anyway.
    if (workerId < std::numeric_limits<qint32>::min() || workerId > std::numeric_limits<qint32>::max())
        throw ConversionError(QStringLiteral("Недопустимый код работника: %1").arg(workerId));
    return advisoryLock("pg_advisory_xact_lock", kWorkerLockClassBase + monthKey(month, year) * 8 + (shift & 7),
                        workerId);
}

} // namespace db::hours_sql
