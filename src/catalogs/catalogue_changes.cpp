#include "catalogs/catalogue_changes.h"

#include "catalogs/operation_prices_sql.h"
#include "db/command.h"
#include "db/data_module.h"
#include "db/data_module_sql.h"
#include "db/dataset.h"
#include "db/db_error.h"
#include "db/reference_locks.h"
#include "db/sql_text.h"
#include "db/transaction.h"


namespace catalogs {

namespace {

using catalogs_sql::Row;
using db::refs::Key;
using db::refs::Ref;

QString version(const QString& cn, Row row, qint64 id, bool forUpdate, bool* found)
{
    db::Result q = db::execStatement(cn, catalogs_sql::rowVersion(row, id, forUpdate));
    *found = q.next();
    return *found ? q.value(0).toString() : QString();
}

// The changed row locked and compared with what the editor opened: Written when the change may go on.
Outcome lockChanged(const QString& cn, Row row, const Change& change)
{
    bool found = false;
    const QString now = version(cn, row, change.id, true, &found);
    if (!found)
        return Outcome::Gone;
    if (!change.overwrite && !change.opened.isEmpty() && now != change.opened)
        return Outcome::ChangedMeanwhile;
    return Outcome::Written;
}

qint64 count(const QString& cn, const QString& statement)
{
    db::Result q = db::execStatement(cn, statement);
    return q.next() ? q.value(0).toLongLong() : 0;
}

int execute(const QString& cn, const QString& statement)
{
    db::Command c(cn, QStringLiteral("catalogue change"));
    c.setText(statement);
    return c.execute();
}

} // namespace

QString message(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Written:
    case Outcome::Duplicate:
    case Outcome::InUse:
        return {};
    case Outcome::Gone:
        return QString::fromUtf8(db::kRowGoneMessage);
    case Outcome::ChangedMeanwhile:
        return QString::fromUtf8(db::kRowChangedMessage);
    case Outcome::KindGone:
        return QStringLiteral("Вид операции не найден: его удалили на другом рабочем месте. Выберите вид заново.");
    case Outcome::ProductGone:
        return QStringLiteral("Изделие не найдено: его удалили на другом рабочем месте. Выберите изделие заново.");
    case Outcome::LastNorm:
        return QStringLiteral("Последний норматив операции удалить нельзя: без него операция пропадёт из списка цен.");
    }
    return {};
}

QString overwriteQuestion()
{
    return QStringLiteral("Эту запись изменили на другом рабочем месте после того, как вы её открыли. Записать ваши "
                          "данные поверх?");
}

QString openedVersion(const QString& connectionName, Row row, qint64 id)
{
    bool found = false;
    return version(connectionName, row, id, false, &found);
}

Outcome saveWorker(const QString& cn, const QString& name, const QString& department, const Change* change)
{
    db::Transaction tx(cn);
    if (change) {
        const Outcome o = lockChanged(cn, Row::Worker, *change);
        if (o != Outcome::Written)
            return o;
    }
    const int written = execute(cn, change ? catalogs_sql::updateWorker(name, department, change->id)
                                           : catalogs_sql::insertWorker(name, department));
    if (written == 0)
        return Outcome::Gone;
    tx.commit();
    return Outcome::Written;
}

Outcome saveProduct(const QString& cn, const QString& code, const QString& rate, qint64 group, const Change* change)
{
    db::Transaction tx(cn);
    // Two workstations adding "ДУБЛЬ-1" and "дубль-1" take turns here, and the second finds the first's.
    const QString upper = code.toUpper();
    db::refs::lockKey(cn, Key::ProductCode, upper);
    const QString ownId = change ? db::sql::number(change->id) : QString();
    if (count(cn, change ? catalogs_sql::productDuplicate(upper, ownId) : catalogs_sql::productDuplicate(upper)) > 0)
        return Outcome::Duplicate;
    if (change) {
        const Outcome o = lockChanged(cn, Row::Product, *change);
        if (o != Outcome::Written)
            return o;
    }
    const QString groupId = db::sql::number(group);
    const int written = execute(cn, change ? catalogs_sql::updateProduct(code, rate, groupId, ownId)
                                           : catalogs_sql::insertProduct(code, rate, groupId));
    if (written == 0)
        return Outcome::Gone;
    tx.commit();
    return Outcome::Written;
}

Outcome saveKind(Database& dm, const QString& name, const Change* change)
{
    const QString cn = dm.ADO_DB.name();
    db::Dataset* kinds = dm.Vid_oper;
    db::Transaction tx(cn);
    const QString upper = name.toUpper();
    db::refs::lockKey(cn, Key::KindName, upper);
    if (count(cn, change ? catalogs_sql::kindDuplicate(upper, db::sql::number(change->id))
                         : catalogs_sql::kindDuplicate(upper)) > 0)
        return Outcome::Duplicate;
    if (change) {
        const Outcome o = lockChanged(cn, Row::Kind, *change);
        if (o != Outcome::Written)
            return o;
    }
    if (change)
        kinds->edit();
    else
        kinds->append();
    kinds->setValue(QStringLiteral("vid"), name);
    try {
        kinds->post();
    } catch (...) {
        kinds->cancel();
        throw;
    }
    tx.commit();
    return Outcome::Written;
}

Outcome saveOperation(const QString& cn, qint32 v, int n, qint32 i, const Change* change, qint32* newId)
{
    namespace sql = operation_prices_sql;
    db::Transaction tx(cn);
    db::refs::lockKey(cn, Key::Operation, QStringLiteral("%1/%2/%3").arg(v).arg(n).arg(i));
    const QString x = change ? db::sql::number(change->id) : QString();
    if (count(cn, change ? sql::duplicateOfChanged(v, n, i, x) : sql::duplicateOfNew(v, n, i)) > 0)
        return Outcome::Duplicate;
    // The kind and the product stay until the commit (their deletions wait, then find this operation).
    if (!db::refs::holdIfPresent(cn, Ref::Kind, v))
        return Outcome::KindGone;
    if (!db::refs::holdIfPresent(cn, Ref::Product, i))
        return Outcome::ProductGone;
    if (change) {
        const Outcome o = lockChanged(cn, Row::Operation, *change);
        if (o != Outcome::Written)
            return o;
        if (execute(cn, sql::updateOperation(v, n, i, x)) == 0)
            return Outcome::Gone;
    } else {
        execute(cn, sql::insertOperation(v, n, i));
        // The new operation gets its first norm next; it is found by its kind, flag and product.
        db::Result q = db::execStatement(cn, sql::newOperationId(v, n, i));
        if (newId)
            *newId = q.next() ? q.value(0).toInt() : 0;
    }
    tx.commit();
    return Outcome::Written;
}

Outcome deleteOperation(const QString& cn, qint32 id, int* used)
{
    namespace sql = operation_prices_sql;
    // Journal rows refer to the operation: deleting it would take them out of the journal, the timesheet and the
    // reports. A save that refers to it holds it until it commits, so the count below sees it.
    db::Transaction tx(cn);
    db::refs::lockForDeletion(cn, Ref::Operation, id);
    const qint64 rows = count(cn, sql::journalRowsOf(id));
    if (rows > 0) {
        if (used)
            *used = static_cast<int>(rows);
        return Outcome::InUse;
    }
    execute(cn, sql::deleteNormsOf(id));
    db::Command del(cn, QStringLiteral("Oper_del"));
    del.setText(db::dmsql::kOperDel);
    del.setParam(QStringLiteral("id"), id);
    if (del.execute() == 0)
        return Outcome::Gone;
    tx.commit();
    return Outcome::Written;
}

bool dropOperationWithoutNorms(const QString& cn, qint32 id)
{
    namespace sql = operation_prices_sql;
    db::Transaction tx(cn);
    db::refs::lockForDeletion(cn, Ref::Operation, id);
    if (count(cn, catalogs_sql::normCount(id)) > 0 || count(cn, sql::journalRowsOf(id)) > 0)
        return false;
    db::Command del(cn, QStringLiteral("Oper_del"));
    del.setText(db::dmsql::kOperDel);
    del.setParam(QStringLiteral("id"), id);
    if (del.execute() == 0)
        return false;
    tx.commit();
    return true;
}

Outcome deleteNorm(const QString& cn, qint64 normId, qint64 operationId)
{
    // Two workstations deleting the last two norms of one operation take turns on the operation; the second counts
    // one norm left and keeps it.
    db::Transaction tx(cn);
    db::refs::lockForDeletion(cn, Ref::Operation, operationId);
    if (count(cn, catalogs_sql::normCount(operationId)) <= 1)
        return Outcome::LastNorm;
    if (execute(cn, catalogs_sql::deleteNorm(normId)) == 0)
        return Outcome::Gone;
    tx.commit();
    return Outcome::Written;
}

} // namespace catalogs
