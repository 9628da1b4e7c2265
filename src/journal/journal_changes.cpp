#include "journal/journal_changes.h"

#include "db/batch.h"
#include "db/command.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "db/db_error.h"
#include "db/reference_locks.h"
#include "db/timesheet_hours.h"
#include "db/transaction.h"


#include <algorithm>
#include <optional>
#include <tuple>
#include <vector>

namespace journal {

namespace {

// A timesheet cell: worker, shift, date.
using Cell = std::tuple<qint64, int, QDate>;

struct RowNow {
    bool found = false;
    ShownRow row;
};

// The row as it is now (journal_sql::rowNow, which locks it for the rest of the transaction), from a batch's result.
RowNow rowFrom(const db::Batch& batch, int index, qint64 id)
{
    RowNow now;
    const db::FetchedRows read = batch.rows(index);
    if (read.rows.rowCount() == 0)
        return now;
    const auto v = [&read](int column) { return read.rows.value(0, column); };
    now.found = true;
    ShownRow& r = now.row;
    r.id = id;
    r.workerId = v(0).toLongLong();
    r.productId = v(1).toLongLong();
    r.operId = v(2).toLongLong();
    r.date = v(3).toDate();
    r.shift = v(4).toInt();
    r.color = v(5).toLongLong();
    r.quantity = v(6).toDouble();
    r.rejects = v(7).toLongLong();
    r.hours = v(8).toLongLong();
    r.price = v(9).toDouble();
    r.mark = v(10).toString();
    return now;
}

// What the user saw of the row is what it is now (the mark only where the action depends on it).
bool same(const ShownRow& a, const ShownRow& b, bool withMark)
{
    return a.workerId == b.workerId && a.productId == b.productId && a.operId == b.operId && a.date == b.date &&
           a.shift == b.shift && a.color == b.color && a.quantity == b.quantity && a.rejects == b.rejects &&
           a.hours == b.hours && a.price == b.price && (!withMark || a.mark == b.mark);
}

} // namespace

ShownRow ShownRow::current(const db::Dataset& journal)
{
    ShownRow r;
    r.id = journal.asLongLong(QStringLiteral("id"));
    r.workerId = journal.asLongLong(QStringLiteral("w_id"));
    r.productId = journal.asLongLong(QStringLiteral("i_id"));
    r.operId = journal.asLongLong(QStringLiteral("o_id"));
    r.date = journal.value(QStringLiteral("data")).toDate();
    r.shift = journal.asInt(QStringLiteral("smena"));
    r.color = journal.asLongLong(QStringLiteral("color"));
    r.quantity = journal.asDouble(QStringLiteral("kol_vo"));
    r.rejects = journal.asLongLong(QStringLiteral("brak"));
    r.hours = journal.asLongLong(QStringLiteral("time"));
    r.price = journal.asDouble(QStringLiteral("cena"));
    r.mark = journal.asString(QStringLiteral("ok"));
    return r;
}

QString message(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Done:
        return {};
    case Outcome::RowGone:
        return QString::fromUtf8(db::kRowGoneMessage);
    case Outcome::RowChanged:
        return QString::fromUtf8(db::kRowChangedMessage);
    case Outcome::Duplicate:
        return QStringLiteral("Позиция с такими параметрами уже заведена!");
    case Outcome::WorkerGone:
        return QStringLiteral("Работник не найден: его удалили на другом рабочем месте. Выберите работника заново.");
    case Outcome::OperationGone:
        return QStringLiteral("Операция не найдена: её удалили на другом рабочем месте. Выберите операцию заново.");
    case Outcome::TooManyHours:
        return QStringLiteral("Часов работника за этот день стало бы больше %1, а столько табель не вмещает. Запись не "
                              "сохранена.")
            .arg(db::hours::kMaxDayHours);
    case Outcome::ProductGone:
        return QStringLiteral("Изделие не найдено: его удалили на другом рабочем месте. Выберите операцию заново.");
    }
    return {};
}

// Each change sends its statements in as few batches as its decisions allow: one round trip to the server per batch
// instead of one per statement. The statements and their order are those of one by one; a batch ends where the
// program must see an answer before it knows what to send next (the row as it is now, the timesheet's sums).

Outcome acceptRow(Database& dm, const ShownRow& shown, const QString& newMark)
{
    const QString cn = dm.ADO_DB.name();
    // In a transaction, a connection lost before the commit means surely not written.
    db::Batch lock(cn);
    db::Transaction tx(cn, lock);
    const int nowIndex = lock.add(journal_sql::rowNow(shown.id));
    lock.run();
    const RowNow now = rowFrom(lock, nowIndex, shown.id);
    if (!now.found)
        return Outcome::RowGone;
    if (!same(now.row, shown, true))
        return Outcome::RowChanged;
    // The row is locked: the update finds it, and the commit goes with it.
    db::Batch write(cn);
    const int updated = write.add(db::bindParams(
        journal_sql::kUpdtOK, {{QStringLiteral("id"), shown.id}, {QStringLiteral("ok"), newMark}}));
    tx.commitWith(write);
    return write.rowsAffected(updated) == 0 ? Outcome::RowGone : Outcome::Done;
}

Outcome deleteRow(Database& dm, const ShownRow& shown)
{
    const QString cn = dm.ADO_DB.name();
    // The row and the day's hours in the timesheet change together or not at all.
    db::Batch lock(cn);
    db::Transaction tx(cn, lock);
    const int nowIndex = lock.add(journal_sql::rowNow(shown.id));
    lock.run();
    const RowNow now = rowFrom(lock, nowIndex, shown.id);
    if (!now.found)
        return Outcome::RowGone;
    if (!same(now.row, shown, false))
        return Outcome::RowChanged;
    // The row goes, and the cell it belonged to on the server is recomputed by the database from what is left (0
    // when nothing is; the month's other days stay), with the commit. The row is locked since the first batch, so the
    // deletion finds it.
    db::Batch remove(cn);
    const int deleted = remove.add(journal_sql::deleteRow(QString::number(shown.id)));
    db::hours::addDayRewrite(remove, now.row.workerId, now.row.shift, now.row.date,
                             db::hours::MissingRow::InsertWhenHours);
    tx.commitWith(remove);
    return remove.rowsAffected(deleted) == 0 ? Outcome::RowGone : Outcome::Done;
}

Outcome saveRow(Database& dm, const journal_sql::EntryRow& row, const ShownRow* opened)
{
    const QString cn = dm.ADO_DB.name();
    const bool change = !row.rowId.isEmpty();
    qint64 id = 0;
    if (change) {
        bool ok = false;
        id = row.rowId.trimmed().toLongLong(&ok);
        if (!ok)
            throw db::ConversionError(QStringLiteral("'%1' не является целым числом").arg(row.rowId));
    }
    // The check, the row and the timesheet are one step: a failure anywhere leaves nothing written, and a second
    // workstation saving the same key waits for this one and then finds its row.
    // First batch: the key's lock, the duplicate test, the changed row locked as it is now, and what the row refers
    // to held until the commit (a deletion of the worker or the operation that came first is seen here, one that
    // comes later waits and then finds this row). The answers decide whether to go on; when one refuses, the
    // transaction ends and releases what the others locked.
    db::Batch checks(cn);
    db::Transaction tx(cn, checks);
    checks.add(journal_sql::lockRowKey(row));
    const int duplicates = checks.add(change ? journal_sql::duplicateOfChange(row) : journal_sql::duplicateOfNew(row));
    const int nowIndex = change ? checks.add(journal_sql::rowNow(id)) : -1;
    using db::refs::Ref;
    const int worker = db::refs::addHold(checks, Ref::Worker, row.workerId);
    const int operation = db::refs::addHold(checks, Ref::Operation, row.operId);
    const int product = db::refs::addHold(checks, Ref::Product, row.productId);
    checks.run();
    if (checks.number(duplicates, 0, 0) > 0)
        return Outcome::Duplicate;
    std::optional<Cell> left;
    if (change) {
        const RowNow now = rowFrom(checks, nowIndex, id);
        if (!now.found)
            return Outcome::RowGone;
        // Another workstation's change saved meanwhile is not overwritten unseen.
        if (opened && !same(now.row, *opened, false))
            return Outcome::RowChanged;
        left = Cell{now.row.workerId, now.row.shift, now.row.date};
    }
    if (!db::refs::present(checks, worker))
        return Outcome::WorkerGone;
    if (!db::refs::present(checks, operation))
        return Outcome::OperationGone;
    if (!db::refs::present(checks, product))
        return Outcome::ProductGone;

    // Second and last batch: the row, the timesheet cells it reaches and leaves recomputed by the database from the
    // journal (0 when nothing is left there), and the commit. Taken in one order, so that two moves in opposite
    // directions cannot wait for each other. A changed row is locked since the first batch, so the update finds it.
    const Cell arrived{row.workerId, row.shift, row.date};
    std::vector<std::pair<Cell, db::hours::MissingRow>> cells{{arrived, db::hours::MissingRow::Insert}};
    if (left && *left != arrived)
        cells.push_back({*left, db::hours::MissingRow::InsertWhenHours});
    std::sort(cells.begin(), cells.end(), [](const auto& a, const auto& b) {
        const auto& [wa, sa, da] = a.first;
        const auto& [wb, sb, dateB] = b.first;
        return std::tuple(da.year(), da.month(), sa, wa, da.day()) <
               std::tuple(dateB.year(), dateB.month(), sb, wb, dateB.day());
    });
    db::Batch write(cn);
    const int written = write.add(change ? journal_sql::updateRow(row) : journal_sql::insertRow(row));
    for (const auto& [cell, missing] : cells)
        db::hours::addDayRewrite(write, std::get<0>(cell), std::get<1>(cell), std::get<2>(cell), missing);
    try {
        tx.commitWith(write);
    } catch (const db::DbError& e) {
        if (db::hours::isTooManyHours(e))
            return Outcome::TooManyHours; // rolled back
        throw;
    }
    return write.rowsAffected(written) == 0 ? Outcome::RowGone : Outcome::Done;
}

} // namespace journal
