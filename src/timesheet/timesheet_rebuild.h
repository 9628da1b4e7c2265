// Rebuilding a month of the timesheet table from the journal.
#pragma once

#include <functional>

class Database;
namespace db {
class Dataset;
}

namespace timesheet {

// One row per worker and shift with journal rows in the month (overtime included), each day the sum of that
// day's hours, other days 0; rows of the month the journal no longer supports go. Runs in one transaction under
// the month's timesheet lock, so a failure leaves the month as it was and journal saves and deletions of the
// month wait for it. The month is computed by the server (the owner's function) in one statement; progress is told
// the first and the last day once the rows are written, before the commit.
void rebuildMonth(Database& dm, int month, int year, const std::function<void(int day)>& progress);

} // namespace timesheet
