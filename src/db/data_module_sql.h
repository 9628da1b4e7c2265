// Statement texts of the shared data module, exact as the database contract has them.
#pragma once

#include <QString>
#include <QStringList>

namespace db::dmsql {

extern const QString kWorkers;
extern const QString kIzdel;
extern const QString kVidOper;
extern const QStringList kOperLines;
// Journal query of a shift view: 1, 2, 3 or 4 (overtime).
const QStringList& smenaLines(int shift);
// Timesheet query of shift 1, 2 or 3.
QStringList hTabelLines(int shift);
extern const QString kOperDel;

// The count statement of CheckDuplicate must name its column so.
inline constexpr const char* kCountColumn = "cnt";

} // namespace db::dmsql
