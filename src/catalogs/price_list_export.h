// The price list's export: every operation with its lowest norm price, one sheet line per row of the query XLS_Rep.
#pragma once

namespace db {
class Dataset;
} // namespace db
namespace spreadsheet {
class Application;
} // namespace spreadsheet

namespace catalogs {

// Writes the headings ("Марка", "Операция", "Цена", "Вид"; bold, kept in view while scrolling) and one line per row
// of the open query into sheet 1 of the application's new workbook; an operation without a price shows 0.
void writePriceList(db::Dataset& query, spreadsheet::Application& excel);

} // namespace catalogs
