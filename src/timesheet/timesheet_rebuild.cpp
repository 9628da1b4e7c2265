#include "timesheet/timesheet_rebuild.h"

#include "db/command.h"
#include "db/data_module.h"
#include "db/transaction.h"
#include "timesheet/timesheet_sql.h"

#include <QDate>

namespace timesheet {

void rebuildMonth(Database& dm, int month, int year, const std::function<void(int day)>& progress)
{
    const int days = QDate(year, month, 1).daysInMonth();
    db::Transaction tx(dm.ADO_DB.name());
    // No login writes the timesheet: the owner's function takes the month's lock exclusive, removes its rows and
    // writes them anew from the journal in one set-based statement.
    db::execStatement(dm.ADO_DB.name(), timesheet_sql::rebuildMonth(month, year));
    if (progress) {
        progress(1);
        progress(days);
    }
    tx.commit();
}

} // namespace timesheet
