#include "journal/journal_sql.h"

#include "db/db_error.h"
#include "db/sql_text.h"

namespace journal_sql {

using db::sql::number;

const QString kUpdtOK = QStringLiteral("update accounts_dep.smena set ok=:ok where id=:id");

QString deleteRow(const QString& rowId)
{
    // The id comes from the row as text; only a whole number may go into the statement.
    bool ok = false;
    const qint64 id = rowId.trimmed().toLongLong(&ok);
    if (!ok)
        throw db::ConversionError(QStringLiteral("'%1' не является целым числом").arg(rowId));
    return QStringLiteral("delete from accounts_dep.smena where id=") + number(id);
}

QString hoursOfDay(qint64 workerId, int shift, const QDate& date)
{
    return QStringLiteral("select sum(time) as tim from accounts_dep.smena where w_id=") + number(workerId) +
           QStringLiteral(" and smena=") + number(shift) + QStringLiteral(" and data=to_date('") + db::sql::date(date) +
           QStringLiteral("', 'DD.MM.YYYY') group by w_id, smena, data");
}

QString setTimesheetDay(int day, qint64 hours, qint64 workerId, int shift, int month, int year)
{
    return QStringLiteral("update accounts_dep.h_tabel set d") + number(day) + u'=' + number(hours) +
           QStringLiteral(" where w_id=") + number(workerId) + QStringLiteral(" and smena=") + number(shift) +
           QStringLiteral(" and month=") + number(month) + QStringLiteral(" and year=") + number(year);
}

} // namespace journal_sql
