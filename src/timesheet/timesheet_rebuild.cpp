#include "timesheet/timesheet_rebuild.h"

#include "db/data_module.h"
#include "db/timesheet_hours.h"
#include "db/transaction.h"
#include "timesheet/timesheet_sql.h"

#include <QDate>

namespace timesheet {

void rebuildMonth(TDataModule6& dm, int month, int year, const std::function<void(int day)>& progress)
{
    const int days = QDate(year, month, 1).daysInMonth();
    db::Transaction tx(dm.ADO_DB.name());
    db::hours::lockMonthExclusive(dm.ADO_DB.name(), month, year);
    dm.DelSmena->setText(timesheet_sql::deleteMonth(month, year));
    dm.DelSmena->execute();
    if (progress)
        progress(1);
    // One set-based statement instead of a statement per worker and day: a month of a large shop takes a few
    // round trips instead of tens of thousands.
    dm.H_Tabel_ins->setText(timesheet_sql::insertMonthFromJournal(month, year));
    dm.H_Tabel_ins->execute();
    if (progress)
        progress(days);
    tx.commit();
}

} // namespace timesheet
