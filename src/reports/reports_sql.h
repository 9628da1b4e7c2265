// Statement texts of the period reports and of the production export, line by line as the queries hold them.
#pragma once

#include <QStringList>

namespace reports_sql {

// By worker (t_Report): good pieces and earnings per worker, product, flag, kind and colour.
extern const QStringList kByWorker;
// By product (t_Report): good pieces and boxes per product, colour, flag and kind.
extern const QStringList kByProduct;
// Detailed by worker (w_Report): all pieces, rejects and earnings per worker, grade, kind, flag and colour.
extern const QStringList kDetailByWorker;
// Detailed by product (i_Report): all pieces, rejects, boxes and earnings per product and grade.
extern const QStringList kDetailByProduct;
// The production export (XLS_Rep): good pieces and unrounded boxes per product, colour, flag and kind.
extern const QStringList kProduction;

} // namespace reports_sql
