// The printed monthly timesheet: one line per worker with the hours of all shifts added, on A4 landscape.
#pragma once

#include "reportengine/report.h"
#include "reportengine/report_runner.h"

namespace timesheet {

// The month's hours per worker name, all shifts added, over the parameters mnth and yea; the month's caption
// ("Март 2026 г.") is the run's title, printed in QRLabel33, and the saved PDF reads "Табель по времени — " before it.
reportengine::PrintedReport monthReport();
// Its layout alone.
reportengine::Report monthLayout();

} // namespace timesheet
