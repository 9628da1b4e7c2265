#include "journal/journal_sql.h"

#include "db/db_error.h"
#include "db/sql_text.h"

namespace journal_sql {

using db::sql::number;

const QString kUpdtOK = QStringLiteral("update accounts_dep.smena set ok=:ok where id=:id");
const QString kVerOrder = QStringLiteral("coalesce(d, 0) desc, coalesce(t, 0) desc");
const QString kLockBuildStamp = QStringLiteral("select pg_advisory_xact_lock(1263730688, 0)");

QString raiseBuildStamp(int date, int time)
{
    return QStringLiteral("select accounts_dep.raise_build_stamp(") + db::sql::number(date) + QStringLiteral(", ") +
           db::sql::number(time) + u')';
}

QString deleteRow(const QString& rowId)
{
    // The id comes from the row as text; only a whole number may go into the statement.
    bool ok = false;
    const qint64 id = rowId.trimmed().toLongLong(&ok);
    if (!ok)
        throw db::ConversionError(QStringLiteral("'%1' не является целым числом").arg(rowId));
    return QStringLiteral("delete from accounts_dep.smena where id=") + number(id);
}

namespace {

// A whole number typed into a digits-only box; anything else never reaches the statement.
QString digits(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = !t.isEmpty();
    for (QChar c : t)
        ok = ok && c >= u'0' && c <= u'9';
    if (!ok)
        throw db::ConversionError(QStringLiteral("'%1' не является целым числом").arg(text));
    return t;
}

QString rowIdText(const QString& rowId)
{
    bool ok = false;
    const qint64 id = rowId.trimmed().toLongLong(&ok);
    if (!ok)
        throw db::ConversionError(QStringLiteral("'%1' не является целым числом").arg(rowId));
    return number(id);
}

QString keyHead(const EntryRow& r)
{
    return QStringLiteral("select count(id) as cnt from accounts_dep.SMENA where w_id=") + number(r.workerId) +
           QStringLiteral(" and o_id=") + number(r.operId) + QStringLiteral(" and i_id=") + number(r.productId) +
           QStringLiteral(" and data=to_date('") + db::sql::date(r.date) + QStringLiteral("', 'DD.MM.YYYY') and smena=") +
           number(r.shift);
}

// A class key of its own for the row locks, apart from the timesheet's lock classes.
constexpr qint64 kRowKeyLockClass = 0x4B530000;

} // namespace

QString productMark(qint64 productId)
{
    return QStringLiteral("select marka from accounts_dep.izdel where id=") + number(productId);
}

QString duplicateOfNew(const EntryRow& r)
{
    return keyHead(r) + QStringLiteral(" and color=") + number(r.color);
}

QString duplicateOfChange(const EntryRow& r)
{
    return keyHead(r) + QStringLiteral(" and id<>") + rowIdText(r.rowId) + QStringLiteral(" and color=") +
           number(r.color);
}

QString insertRow(const EntryRow& r)
{
    return QStringLiteral("insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, "
                          "time, vvod,ok, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values(") +
           number(r.workerId) + QStringLiteral(", ") + number(r.productId) + QStringLiteral(", ") + number(r.operId) +
           QStringLiteral(", ") + db::sql::price(r.price) + u',' + digits(r.quantity) + QStringLiteral(", ") +
           digits(r.rejects) + QStringLiteral(", to_date('") + db::sql::date(r.date) +
           QStringLiteral("', 'DD.MM.YYYY HH24:MI:SS'), ") + number(r.shift) + QStringLiteral(", ") + number(r.color) +
           QStringLiteral(", ") + digits(r.hours) + QStringLiteral(", '") + db::sql::date(r.today) +
           QStringLiteral("', '") + QStringLiteral("no") + QStringLiteral("', 0, ") + QStringLiteral("0") +
           QStringLiteral(", ") + QStringLiteral("0") + QStringLiteral(", ") + QStringLiteral("0") +
           QStringLiteral(", ") + QStringLiteral("0") + QStringLiteral(", ") + QStringLiteral("0") + u')';
}

QString updateRow(const EntryRow& r)
{
    return QStringLiteral("update accounts_dep.SMENA set w_id=") + number(r.workerId) + QStringLiteral(", i_id=") +
           number(r.productId) + QStringLiteral(", o_id=") + number(r.operId) + QStringLiteral(", cena=") +
           db::sql::price(r.price) + QStringLiteral(", kol_vo=") + digits(r.quantity) + QStringLiteral(", brak=") +
           digits(r.rejects) + QStringLiteral(", data=to_date('") + db::sql::date(r.date) +
           QStringLiteral("', 'DD.MM.YYYY'), smena=") + number(r.shift) + QStringLiteral(", color=") + number(r.color) +
           QStringLiteral(", time=") + digits(r.hours) + QStringLiteral(", vvod='") + db::sql::date(r.today) +
           QStringLiteral("', prize=0, id_doc=") + QStringLiteral("0") + QStringLiteral(", id_doc_item=") +
           QStringLiteral("0") + QStringLiteral(", f_gds_qty_use=") + QStringLiteral("0") +
           QStringLiteral(", id_gds_use=") + QStringLiteral("0") + QStringLiteral(", id_cons_use=") +
           QStringLiteral("0") + QStringLiteral(" where id=") + rowIdText(r.rowId);
}

QString lockRowKey(const EntryRow& r)
{
    const QString key = number(r.workerId) + u'/' + number(r.operId) + u'/' + number(r.productId) + u'/' +
                        db::sql::date(r.date) + u'/' + number(r.shift) + u'/' + number(r.color);
    return QStringLiteral("select pg_advisory_xact_lock(") + number(kRowKeyLockClass) + QStringLiteral(", hashtext(") +
           db::sql::quote(key) + QStringLiteral("))");
}

QString rowNow(qint64 rowId)
{
    return QStringLiteral("select w_id, i_id, o_id, data, smena, color, kol_vo::numeric as kol_vo, brak, time, cena, ok "
                          "from accounts_dep.smena where id=") +
           number(rowId) + QStringLiteral(" for update");
}

namespace {

const QString kHistoryColumns = QStringLiteral(
    "select changed_at, action, role, host, login, old_row::text, new_row::text, login_group, host(address) "
    "from accounts_dep.smena_history ");

} // namespace

QString rowHistory(qint64 rowId)
{
    return kHistoryColumns + QStringLiteral("where row_id=") + number(rowId) + QStringLiteral(" order by id desc");
}

QString deletedOfDay(const QDate& day)
{
    return kHistoryColumns + QStringLiteral("where action='D' and day=") + db::sql::toDate(day) +
           QStringLiteral(" order by id desc");
}

namespace {

QString idList(const QList<qint64>& ids)
{
    QStringList parts;
    for (qint64 id : ids)
        parts << number(id);
    return parts.isEmpty() ? QStringLiteral("null") : parts.join(u',');
}

} // namespace

QString workerNames(const QList<qint64>& ids)
{
    return QStringLiteral("select id, fio from accounts_dep.person where id in (") + idList(ids) + u')';
}

QString productNames(const QList<qint64>& ids)
{
    return QStringLiteral("select id, marka from accounts_dep.izdel where id in (") + idList(ids) + u')';
}

QString operationNames(const QList<qint64>& ids)
{
    return QStringLiteral("select oper.id, vid_oper.vid || '; ' || (case oper.naimen when 0 then 'Готовая продукция' "
                          "else 'Заготовки' end) from accounts_dep.oper join accounts_dep.vid_oper on "
                          "vid_oper.id = oper.vid where oper.id in (") +
           idList(ids) + u')';
}

} // namespace journal_sql
