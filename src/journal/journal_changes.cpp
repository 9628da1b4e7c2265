#include "journal/journal_changes.h"

#include "db/command.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "db/db_error.h"
#include "db/reference_locks.h"
#include "db/timesheet_hours.h"
#include "db/transaction.h"

#include <QSqlQuery>

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

// The row as it is now, locked for the rest of the transaction.
RowNow lockRow(const QString& cn, qint64 id)
{
    QSqlQuery q = db::execStatement(cn, journal_sql::rowNow(id));
    RowNow now;
    if (!q.next())
        return now;
    now.found = true;
    ShownRow& r = now.row;
    r.id = id;
    r.workerId = q.value(0).toLongLong();
    r.productId = q.value(1).toLongLong();
    r.operId = q.value(2).toLongLong();
    r.date = q.value(3).toDate();
    r.shift = q.value(4).toInt();
    r.color = q.value(5).toLongLong();
    r.quantity = q.value(6).toDouble();
    r.rejects = q.value(7).toLongLong();
    r.hours = q.value(8).toLongLong();
    r.price = q.value(9).toDouble();
    r.mark = q.value(10).toString();
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

Outcome acceptRow(TDataModule6& dm, const ShownRow& shown, const QString& newMark)
{
    const QString cn = dm.ADO_DB.name();
    // In a transaction, a connection lost before the commit means surely not written.
    db::Transaction tx(cn);
    const RowNow now = lockRow(cn, shown.id);
    if (!now.found)
        return Outcome::RowGone;
    if (!same(now.row, shown, true))
        return Outcome::RowChanged;
    db::Command updtOK(cn, QStringLiteral("updtOK"));
    updtOK.setText(journal_sql::kUpdtOK);
    updtOK.setParam(QStringLiteral("id"), shown.id);
    updtOK.setParam(QStringLiteral("ok"), newMark);
    if (updtOK.execute() == 0)
        return Outcome::RowGone;
    tx.commit();
    return Outcome::Done;
}

Outcome deleteRow(TDataModule6& dm, const ShownRow& shown)
{
    const QString cn = dm.ADO_DB.name();
    // The row and the day's hours in the timesheet change together or not at all.
    db::Transaction tx(cn);
    const RowNow now = lockRow(cn, shown.id);
    if (!now.found)
        return Outcome::RowGone;
    if (!same(now.row, shown, false))
        return Outcome::RowChanged;
    db::Command del(cn, QStringLiteral("DelSmena"));
    del.setText(journal_sql::deleteRow(QString::number(shown.id)));
    if (del.execute() == 0)
        return Outcome::RowGone;
    // The cell the row belonged to on the server; with no rows left the day's cell becomes 0, the month's other
    // days stay.
    db::hours::rewriteDay(dm, now.row.workerId, now.row.shift, now.row.date, db::hours::MissingRow::InsertWhenHours);
    tx.commit();
    return Outcome::Done;
}

Outcome saveRow(TDataModule6& dm, const journal_sql::EntryRow& row)
{
    const QString cn = dm.ADO_DB.name();
    const bool change = !row.rowId.isEmpty();
    // The check, the row and the timesheet are one step: a failure anywhere leaves nothing written, and a second
    // workstation saving the same key waits for this one and then finds its row.
    db::Transaction tx(cn);
    db::execStatement(cn, journal_sql::lockRowKey(row));
    if (dm.countOf(change ? journal_sql::duplicateOfChange(row) : journal_sql::duplicateOfNew(row)) > 0)
        return Outcome::Duplicate;

    std::optional<Cell> left;
    if (change) {
        bool ok = false;
        const qint64 id = row.rowId.trimmed().toLongLong(&ok);
        if (!ok)
            throw db::ConversionError(QStringLiteral("'%1' не является целым числом").arg(row.rowId));
        const RowNow now = lockRow(cn, id);
        if (!now.found)
            return Outcome::RowGone;
        left = Cell{now.row.workerId, now.row.shift, now.row.date};
    }

    // What the row refers to stays until the commit: a deletion of the worker or the operation that came first is
    // seen here, one that comes later waits and then finds this row.
    using db::refs::Ref;
    if (!db::refs::holdIfPresent(cn, Ref::Worker, row.workerId))
        return Outcome::WorkerGone;
    if (!db::refs::holdIfPresent(cn, Ref::Operation, row.operId))
        return Outcome::OperationGone;
    if (!db::refs::holdIfPresent(cn, Ref::Product, row.productId))
        return Outcome::ProductGone;

    db::Command smenaIU(cn, QStringLiteral("SmenaIU"));
    smenaIU.setText(change ? journal_sql::updateRow(row) : journal_sql::insertRow(row));
    if (smenaIU.execute() == 0)
        return Outcome::RowGone;

    // The row's cell, and the cell a change moved it away from (recomputed, 0 when nothing is left there). Taken in
    // one order, so that two moves in opposite directions cannot wait for each other.
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
    try {
        for (const auto& [cell, missing] : cells)
            db::hours::rewriteDay(dm, std::get<0>(cell), std::get<1>(cell), std::get<2>(cell), missing);
    } catch (const db::hours::TooManyHours&) {
        return Outcome::TooManyHours; // rolled back
    }
    tx.commit();
    return Outcome::Done;
}

} // namespace journal
