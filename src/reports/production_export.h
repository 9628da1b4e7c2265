// The production export: the period's good pieces and boxes per product, operation kind, colour and flag,
// one sheet line per row of the query XLS_Rep.
#pragma once

#include "db/dataset.h"

#include <QList>
#include <QString>
#include <QStringList>

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

} // namespace reports
