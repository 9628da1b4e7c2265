#include "db/closed_months.h"

#include "db/batch.h"
#include "db/command.h"
#include "db/sql_text.h"


namespace db::months {

namespace {

QString where(int month, int year)
{
    return QStringLiteral(" where year=") + sql::number(year) + QStringLiteral(" and month=") + sql::number(month);
}

} // namespace

QString closedStateStatement(int month, int year)
{
    return QStringLiteral("select closed_at, closed_by from accounts_dep.closed_month") + where(month, year);
}

Closed closedStateOf(const Batch& batch, int index)
{
    const FetchedRows rows = batch.rows(index, [](const QStringList&) {
        return QVector<FieldType>{FieldType::DateTime, FieldType::Text};
    });
    Closed c;
    if (rows.rows.rowCount() != 0)
        c = {true, rows.rows.value(0, 0).toDateTime(), rows.rows.value(0, 1).toString()};
    return c;
}

Closed closedState(const QString& cn, int month, int year)
{
    Result q = execStatement(cn, closedStateStatement(month, year));
    Closed c;
    if (q.next())
        c = {true, q.value(0).toDateTime(), q.value(1).toString()};
    return c;
}

bool closeMonth(const QString& cn, int month, int year)
{
    Result q = execStatement(cn, QStringLiteral("insert into accounts_dep.closed_month (year, month) values (") +
                                        sql::number(year) + QStringLiteral(", ") + sql::number(month) +
                                        QStringLiteral(") on conflict do nothing"));
    return q.numRowsAffected() > 0;
}

bool reopenMonth(const QString& cn, int month, int year)
{
    Result q = execStatement(cn, QStringLiteral("delete from accounts_dep.closed_month") + where(month, year));
    return q.numRowsAffected() > 0;
}

} // namespace db::months
