// The production export: the period's good pieces and boxes per product, operation kind, colour and flag,
// one sheet line per row of the query XLS_Rep.
#pragma once

#include "db/dataset.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

namespace spreadsheet {
class Application;
} // namespace spreadsheet

namespace reports {

// Field types of XLS_Rep.
QList<db::FieldDef> productionFields();

// The headings of row 1.
QStringList productionHeadings();
// "Готовая продукция" for flag 0, otherwise "Заготовки".
QString productClassText(int naimen);
// The operation kind with its colour: " (цвет: n)" above 1, " (грунт)" for 1, the kind alone otherwise.
QString operationText(const QString& vid, const QString& color);
// The five cells of the current row of XLS_Rep.
QStringList productionCells(const db::Dataset& query);

// Writes the headings (bold, kept in view while scrolling) and one line per visible row of the open query into
// sheet 1 of the application's new workbook, from the first row on, the columns fitted to their texts. progress gets
// the button caption after the start and after each line: "Excel (written из total)".
void writeProduction(db::Dataset& query, spreadsheet::Application& excel,
                     const std::function<void(const QString& caption)>& progress);

} // namespace reports
