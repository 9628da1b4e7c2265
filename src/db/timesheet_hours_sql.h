// Statement texts of the hours timesheet as the journal keeps it: one worker's hours of one day, and the
// advisory locks that keep two workstations from writing one cell from stale sums.
#pragma once

#include <QDate>
#include <QString>

namespace db::hours_sql {

// The journal hours of a worker, shift and date (column "tim"; no row when there are none).
QString hoursOfDay(qint64 workerId, int shift, const QDate& date);
// The day's cell of an existing timesheet row.
QString setDay(int day, qint64 hours, qint64 workerId, int shift, int month, int year);

// The owner's function that rewrites one worker's day of the timesheet from the journal (what a save, a change and
// a deletion send; the two statements above are what it does to an existing row): the hours written. addRow: a
// missing timesheet row of the shift and month is added even when the day has no hours.
QString rewriteDay(qint64 workerId, int shift, const QDate& date, bool addRow);

// Transaction-scoped advisory locks: the month of the timesheet (taken shared by a change of one worker's day and
// by the closed-month guards, exclusive by the month's rebuild and its closing) and one worker's row of a shift and
// month. The database's functions take them (db/schema.sql); these texts let another client take the same.
QString lockMonthShared(int month, int year);
QString lockWorkerMonth(qint64 workerId, int shift, int month, int year);

} // namespace db::hours_sql
