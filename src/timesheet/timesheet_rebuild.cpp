#include "timesheet/timesheet_rebuild.h"

#include "db/data_module.h"
#include "db/dataset.h"
#include "db/timesheet_hours.h"
#include "db/transaction.h"
#include "timesheet/timesheet_sql.h"

#include <QDate>

#include <map>

namespace timesheet {

void rebuildMonth(TDataModule6& dm, db::Dataset& dt, int month, int year, const std::function<void(int day)>& progress)
{
    const int days = QDate(year, month, 1).daysInMonth();
    db::Transaction tx(dm.ADO_DB.name());
    db::hours::lockMonthExclusive(dm.ADO_DB.name(), month, year);
    dm.DelSmena->setText(timesheet_sql::deleteMonth(month, year));
    dm.DelSmena->execute();

    // The day's sums are read one day at a time (the progress follows the days) and written in one insert.
    std::map<std::pair<int, qint64>, timesheet_sql::MonthRow> rows;
    for (int day = 1; day <= days; ++day) {
        dt.close();
        dt.setParam(QStringLiteral("data"), QDate(year, month, day));
        dt.open();
        for (dt.first(); !dt.eof(); dt.next()) {
            const int shift = dt.asInt(QStringLiteral("smena"));
            const qint64 worker = dt.asLongLong(QStringLiteral("w_id"));
            timesheet_sql::MonthRow& row = rows[{shift, worker}];
            row.shift = shift;
            row.workerId = worker;
            row.days[day - 1] = dt.asLongLong(QStringLiteral("tim"));
        }
        dt.close();
        if (progress)
            progress(day);
    }
    if (!rows.empty()) {
        QList<timesheet_sql::MonthRow> list;
        list.reserve(qsizetype(rows.size()));
        for (const auto& [key, row] : rows)
            list.append(row);
        dm.H_Tabel_ins->setText(timesheet_sql::insertMonthRows(month, year, list));
        dm.H_Tabel_ins->execute();
    }
    tx.commit();
}

} // namespace timesheet
