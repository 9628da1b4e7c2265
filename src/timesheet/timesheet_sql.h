// Statement texts of the hours timesheet: its print query, the day's hours query, and the rebuild of a month.
#pragma once

#include <QString>
#include <QStringList>

namespace timesheet_sql {

// The month's hours per worker name with every shift added (parameters mnth, yea).
extern const QStringList kHTabelLines;
// The day's hours per shift and worker (parameter data).
extern const QString kDt;

// Removes every shift's rows of a month.
QString deleteMonth(int month, int year);

// The month's rows rebuilt from the journal in one statement: per worker and shift with journal rows in the month,
// each day the sum of that day's hours (0 when none), days past the month's end 0.
QString insertMonthFromJournal(int month, int year);

// The statement-by-statement rebuild of one worker's day, as the program once did it (kept for the benchmark).
QString countRow(qint64 workerId, int shift, int month, int year);
QString updateDay(int day, qint64 hours, qint64 workerId, int shift, int month, int year);
QString insertDay(int day, qint64 hours, qint64 workerId, int shift, int month, int year);

} // namespace timesheet_sql
