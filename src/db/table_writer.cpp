#include "db/table_writer.h"

#include "db/command.h"
#include "db/db_error.h"
#include "db/sql_text.h"

namespace db {

namespace {

// Field names are matched regardless of letter case, as the dataset matches them.
int columnOf(const QStringList& fields, const QString& name)
{
    for (int c = 0; c < fields.size(); ++c)
        if (fields[c].compare(name, Qt::CaseInsensitive) == 0)
            return c;
    return -1;
}

} // namespace

TableWriter::TableWriter(const QString& connectionName)
    : connectionName_(connectionName)
{
}

void TableWriter::setTable(const QString& table, const QString& keyField)
{
    table_ = table;
    keyField_ = keyField;
}

void TableWriter::checkRequired(const QList<FieldDef>& defs, const QStringList& fields, const QVector<QVariant>& row)
{
    for (const FieldDef& d : defs) {
        if (!d.required)
            continue;
        const int c = columnOf(fields, d.name);
        if (c < 0 || c >= row.size())
            continue;
        const QVariant& v = row[c];
        if (!v.isValid() || v.isNull() || v.toString().trimmed().isEmpty())
            throw DbError(QStringLiteral("Поле «%1» должно быть заполнено.").arg(d.label.isEmpty() ? d.name : d.label));
    }
}

QString TableWriter::where(const QStringList& fields, const QVector<QVariant>& row, const QString& address) const
{
    if (byAddress())
        return QStringLiteral("ctid=") + sql::quote(address) + QStringLiteral("::tid");
    return keyField_ + u'=' + sql::literal(row.value(columnOf(fields, keyField_)));
}

TableWriter::Stored TableWriter::insert(const QStringList& fields, const QVector<QVariant>& row) const
{
    QStringList cols, vals;
    for (int c = 0; c < fields.size(); ++c) {
        if (!row[c].isValid() || row[c].isNull())
            continue;
        cols.append(fields[c]);
        vals.append(sql::literal(row[c]));
    }
    const QString returning =
        byAddress() ? QStringLiteral(" returning ctid::text, *") : QStringLiteral(" returning *");
    const QString text =
        cols.isEmpty() ? QStringLiteral("insert into ") + table_ + QStringLiteral(" default values") + returning
                       : QStringLiteral("insert into ") + table_ + QStringLiteral(" (") + cols.join(u',') +
                             QStringLiteral(") values (") + vals.join(u',') + u')' + returning;
    Result q = execStatement(connectionName_, text);
    Stored stored;
    stored.values.resize(fields.size());
    const int off = byAddress() ? 1 : 0;
    if (q.next()) {
        for (int c = 0; c < fields.size(); ++c)
            stored.values[c] = q.value(c + off);
        if (byAddress())
            stored.address = q.value(0).toString();
    }
    return stored;
}

QString TableWriter::update(const QStringList& fields, const QVector<QVariant>& old, const QVector<QVariant>& now,
                            const QString& address) const
{
    QStringList sets;
    for (int c = 0; c < fields.size(); ++c) {
        if (old[c] == now[c] && old[c].isNull() == now[c].isNull())
            continue;
        sets.append(fields[c] + u'=' + sql::literal(now[c]));
    }
    if (sets.isEmpty())
        return address;
    // The returned row address tells that the row was still there (and where an update moved it).
    Result q = execStatement(connectionName_, QStringLiteral("update ") + table_ + QStringLiteral(" set ") +
                                                  sets.join(u',') + QStringLiteral(" where ") +
                                                  where(fields, old, address) + QStringLiteral(" returning ctid::text"));
    if (!q.next())
        throw DbError(QString::fromUtf8(kRowGoneMessage));
    return byAddress() ? q.value(0).toString() : address;
}

void TableWriter::remove(const QStringList& fields, const QVector<QVariant>& row, const QString& address) const
{
    execStatement(connectionName_,
                  QStringLiteral("delete from ") + table_ + QStringLiteral(" where ") + where(fields, row, address));
}

} // namespace db
