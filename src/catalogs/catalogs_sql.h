// Statement texts of the catalogues, exact as the database contract has them.
#pragma once

#include <QString>

namespace catalogs_sql {

// ---- workers ----
// The editor's lookup lists: whole tables of the enterprise schemas.
extern const QString kStaffpos;
extern const QString kDepartment;
extern const QString kRoles;
QString insertWorker(const QString& name, const QString& department);
QString updateWorker(const QString& name, const QString& department, qint64 id);
QString deleteWorker(qint64 id);

// ---- products ----
// The product groups: classifier items of level 2, by caption.
extern const QString kItem;
// Count of other products with this grade code (upper-cased by the caller); without id for a new product.
QString productDuplicate(const QString& upperCode);
QString productDuplicate(const QString& upperCode, const QString& ownId);
// rate is the "Расценка" text as typed (a checked number), group the group's id as text.
QString insertProduct(const QString& code, const QString& rate, const QString& group);
QString updateProduct(const QString& code, const QString& rate, const QString& group, const QString& id);

// ---- operation kinds ----
QString kindDuplicate(const QString& upperName);
QString kindDuplicate(const QString& upperName, const QString& ownId);

// ---- the row as another workstation may have changed it ----
// One text of the columns an editor shows and writes (column "v"); with forUpdate the row stays locked until the
// transaction ends. No row when it is gone.
enum class Row { Worker, Product, Kind, Operation, Norm };
QString rowVersion(Row row, qint64 id, bool forUpdate);
// Norms of an operation on the server (column "cnt").
QString normCount(qint64 operationId);
QString deleteNorm(qint64 normId);

} // namespace catalogs_sql
