// Keeping the hours timesheet (accounts_dep.h_tabel) in step with the journal: one worker's hours of one day
// rewritten from the journal's sum, under locks that make two workstations (and a month's rebuild) take turns.
#pragma once

#include "db/db_error.h"

#include <QDate>
#include <QString>

class Database;

namespace db {
class Batch;
}

namespace db::hours {

// The most hours one day's cell of the timesheet holds.
inline constexpr qint64 kMaxDayHours = 32767;
// The day's sum would not fit the cell; nothing was written by the rewrite.
class TooManyHours : public DbError {
public:
    using DbError::DbError;
};

// What to do when the worker has no timesheet row for the shift and month.
enum class MissingRow {
    Insert,          // add one carrying the day's hours, also 0 (the save of a journal row)
    InsertWhenHours, // add one only when the day has hours left (the deletion)
};

// Rewrites the day's cell of the worker's timesheet row of that shift and month with the sum of the worker's
// journal hours of that shift and date, as committed by others and written by the caller's own transaction. No login
// writes the timesheet: the owner's function accounts_dep.timesheet_day does, under the month's lock (shared) and the
// worker's, so a concurrent change of the same cell is either wholly before or wholly after this one. Must run
// inside the caller's transaction, after the journal row was written. Returns the hours written. Throws TooManyHours,
// DbError (also when no transaction is open).
qint64 rewriteDay(Database& dm, qint64 workerId, int shift, const QDate& date,
                  MissingRow missing = MissingRow::Insert);

// The same rewrite as one statement of a batch that a change sends together (inside its transaction, after the
// journal row's statement); returns the index of its result (the hours written). Cells of one change are added in
// one order (see the save), so that two changes cannot wait for each other.
int addDayRewrite(Batch& batch, qint64 workerId, int shift, const QDate& date, MissingRow missing);
// The function's refusal of a sum that does not fit the cell (SQLSTATE KM003); nothing of the batch was written.
bool isTooManyHours(const DbError& error);
inline constexpr const char* kTooManyHoursState = "KM003";

} // namespace db::hours
