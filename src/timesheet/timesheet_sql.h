// Statement texts of the hours timesheet: its print query, the day's hours query, and the rebuild of a month.
#pragma once

#include <QString>
#include <QStringList>

namespace timesheet_sql {

// The month's hours per worker name with every shift added (parameters mnth, yea).
extern const QStringList kHTabelLines;
// The day's hours per shift and worker (parameter data).
extern const QString kDt;

// The month rebuilt by the owner's function (its rows removed and written again from the journal, under the month's
// lock), in one set-based statement per month.
QString rebuildMonth(int month, int year);

// Removes every shift's rows of a month (the old rebuild's first step, kept for the benchmark).
QString deleteMonth(int month, int year);

// The statement-by-statement rebuild of one worker's day, as the program once did it (kept for the benchmark).
QString countRow(qint64 workerId, int shift, int month, int year);
QString updateDay(int day, qint64 hours, qint64 workerId, int shift, int month, int year);
QString insertDay(int day, qint64 hours, qint64 workerId, int shift, int month, int year);

} // namespace timesheet_sql
