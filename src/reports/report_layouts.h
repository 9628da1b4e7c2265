// The print layouts of the four period reports, declared on the report engine.
#pragma once

#include "reportengine/report.h"

namespace db {
class Dataset;
} // namespace db

namespace reports {

// The flag and colour texts of the detail bands.
inline constexpr const char* kFlagText = "IF(naimen=0,'Готовая продукция','Заготовки')";
inline constexpr const char* kColourText = "if(color>0,if(color=1,' (грунт)',' (RAL: '+STR(color)+')'),' ')";

// By worker (WorkerReport): worker, product, then flag, kind, colour, good pieces and earnings.
reportengine::Report byWorkerLayout();
// By product (ProductReport): product, then flag, kind, colour, boxes and good pieces.
reportengine::Report byProductLayout();
// Detailed by worker (WorkerDetailReport): worker, then grade, kind, colour number, flag, rejects, pieces and earnings.
reportengine::Report detailByWorkerLayout();
// Detailed by product (ProductDetailReport): product, then grade, kind, colour number, flag, rejects, boxes, pieces, earnings.
reportengine::Report detailByProductLayout();

// Lays a report out over the query's visible rows and shows it in the preview, maximised and zoomed to the
// page width, until the user closes it. Its caption (QRLabel1) titles a saved PDF.
void previewReport(const reportengine::Report& report, const db::Dataset& query);

} // namespace reports
