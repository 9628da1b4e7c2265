#include "timesheet/timesheet_rebuild.h"

#include "db/command.h"
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
    db::execStatement(dm.ADO_DB.name(), timesheet_sql::deleteMonth(month, year));
    if (progress)
        progress(1);
    // One set-based statement instead of a statement per worker and day: a month of a large shop takes a few
    // round trips instead of tens of thousands.
    db::execStatement(dm.ADO_DB.name(), timesheet_sql::insertMonthFromJournal(month, year));
    if (progress)
        progress(days);
    tx.commit();
}

} // namespace timesheet
