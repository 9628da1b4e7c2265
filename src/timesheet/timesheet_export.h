// The timesheet's export: one month's hours per worker and day, one sheet line per row of the query H_Tabel.
#pragma once

#include <QString>

#include <functional>

namespace db {
class Dataset;
} // namespace db
namespace spreadsheet {
class Application;
} // namespace spreadsheet

namespace timesheet {

// Writes the month's caption ("Февраль 2026") and the headings ("Фамилия И.О.", the days, "Итого"), kept in view
// while scrolling, then one line per row of the open query, with the row's total, into sheet 1 of the
// application's new workbook. progress gets the count after the start and after each line: "Excel (n из total)".
void writeTimesheet(db::Dataset& query, spreadsheet::Application& excel, const QString& monthCaption,
                    const std::function<void(const QString& caption)>& progress);

} // namespace timesheet
