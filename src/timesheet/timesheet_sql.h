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

} // namespace timesheet_sql
