// Statement texts of the operation prices catalogue and its editor, exact as the database contract has them.
#pragma once

#include <QString>
#include <QStringList>

namespace operation_prices_sql {

// The operation editor: V the kind's id, N the finished/blank index, I the product's id, X the changed row's id.
QString duplicateOfNew(qint32 v, int n, qint32 i);
QString insertOperation(qint32 v, int n, qint32 i);
QString duplicateOfChanged(qint32 v, int n, qint32 i, const QString& x);
QString updateOperation(qint32 v, int n, qint32 i, const QString& x);

// The spreadsheet export's statement, as its three lines.
extern const QStringList kXlsRepLines;

// The operation just added (its kind, flag and product are unique among operations).
QString newOperationId(qint32 v, int n, qint32 i);
// Journal rows that use an operation, and the norms deleted with it.
QString journalRowsOf(qint32 operationId);
QString deleteNormsOf(qint32 operationId);

} // namespace operation_prices_sql
