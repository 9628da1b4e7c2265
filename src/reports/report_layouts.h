// The period reports as values for the engine's runner (statement, fields, layout, title) and the table of them
// that the reports window shows as buttons.
#pragma once

#include "reportengine/report.h"
#include "reportengine/report_runner.h"

#include <QList>

namespace reports {

// The flag and colour texts of the detail bands.
inline constexpr const char* kFlagText = "IF(naimen=0,'Готовая продукция','Заготовки')";
inline constexpr const char* kColourText = "if(color>0,if(color=1,' (грунт)',' (RAL: '+STR(color)+')'),' ')";

// By worker: worker, product, then flag, kind, colour, good pieces and earnings.
reportengine::Report byWorkerLayout();
// By product: product, then flag, kind, colour, boxes and good pieces.
reportengine::Report byProductLayout();
// Detailed by worker: worker, then grade, kind, colour number, flag, rejects, pieces and earnings.
reportengine::Report detailByWorkerLayout();
// Detailed by product: product, then grade, kind, colour number, flag, rejects, boxes, pieces, earnings.
reportengine::Report detailByProductLayout();

// The four reports, each over the period :data1 to :data2 (excluded), titled in QRLabel1.
reportengine::PrintedReport byWorker();
reportengine::PrintedReport byProduct();
reportengine::PrintedReport detailByWorker();
reportengine::PrintedReport detailByProduct();

// A line of the reports window's table: the button that prints the report (its object name and caption), whether
// every role may press it, the report, and the object name of the button that exports it (none when empty; the
// report then needs no export columns).
struct ReportButton {
    QString buttonName;
    QString caption;
    bool everyRole = false;
    reportengine::PrintedReport report;
    QString exportButtonName = {};
};
// The buttons in the order the window shows them.
QList<ReportButton> reportButtons();

} // namespace reports
