// A printed report's export: its title, its columns' headings, its rows, and under each group the same subtotals
// (and at the end the same totals) that its layout prints, from the one grouping of its rows.
#pragma once

#include <QString>

#include <functional>

namespace reportengine {
class ReportRunner;
} // namespace reportengine
namespace spreadsheet {
class Application;
} // namespace spreadsheet

namespace reports {

// Writes the open report into sheet 1 of the application's new workbook: row 1 the printed title (simplified),
// row 2 the headings (both bold and kept in view), then a line per row and, after a group's last row, a bold line
// "Итого: <the group's value>" with its sums; the last line "Итого:" with the sums over every row. progress gets
// the button caption after the start and after each row: "Excel (written из total)".
void writeReport(reportengine::ReportRunner& report, spreadsheet::Application& excel,
                 const std::function<void(const QString& caption)>& progress);

} // namespace reports
