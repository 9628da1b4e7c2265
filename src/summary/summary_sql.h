// The statements of the month's summary. Each reads the journal of a period given as :data1 (the month's first day)
// and :data2 (the next month's first day); the figures read the month before as well, from :prev1.
#pragma once

#include <QString>

namespace summary_sql {

// Per day of the month and shift: rows, good pieces, the sum earned, rows accepted.
QString byDayAndShift();
// Per worker: the sum earned, the largest first; the worker's name, or the number where the worker is gone.
QString byWorker();
// The month's and the month before's figures: rows, good pieces, rejects, hours, sum, days with rows.
QString figures();

} // namespace summary_sql
