#include "reportengine/grouping.h"

#include "reportengine/expression.h"
#include "reportengine/format.h"

#include <optional>

namespace reportengine {

namespace {

// As the layout compares the group keys of two rows.
bool sameKey(const QVariant& a, const QVariant& b)
{
    if (a.isNull() != b.isNull())
        return false;
    if (isNumber(a) && isNumber(b))
        return a.toDouble() == b.toDouble();
    return plainText(a) == plainText(b);
}

int columnOf(const DataSource& rows, const QString& name)
{
    int index = rows.fieldIndex(name);
    if (index < 0 && name.contains(u'.'))
        index = rows.fieldIndex(name.mid(name.lastIndexOf(u'.') + 1));
    return index;
}

QStringList totalFields(const Report& report)
{
    QStringList fields;
    auto collect = [&fields](const Band* band) {
        if (!band)
            return;
        for (const Item& item : band->items())
            if (item.kind() == Item::Kind::Total && !fields.contains(item.text(), Qt::CaseInsensitive))
                fields << item.text();
    };
    for (const auto& g : report.groups()) {
        collect(g->headerBand());
        collect(g->footerBand());
    }
    collect(report.summaryBand());
    return fields;
}

} // namespace

Grouping::Grouping(const Report& report, const DataSource& rows, QStringList fields)
    : fields_(fields.isEmpty() ? totalFields(report) : std::move(fields))
{
    std::vector<int> columns;
    for (const QString& f : fields_) {
        const int c = columnOf(rows, f);
        if (c < 0)
            throw ReportError(QStringLiteral("Итог: нет поля %1").arg(f));
        columns.push_back(c);
    }
    const auto resolver = [&rows](const QString& name) { return rows.fieldIndex(name); };
    std::vector<std::optional<Expression>> keys;
    for (const auto& g : report.groups())
        keys.push_back(g->expression().trimmed().isEmpty()
                           ? std::optional<Expression>()
                           : std::optional<Expression>(Expression::compile(g->expression(), resolver)));
    const int groups = int(keys.size());
    for (const auto& k : keys)
        keyed_.push_back(k.has_value());
    const int n = rows.rowCount();
    const QList<double> zeros(fields_.size(), 0.0);
    empty_.sums = zeros;
    total_ = zeros;
    spans_.assign(groups, {});
    spanOfRow_.assign(groups, std::vector<int>(n, 0));

    std::vector<QVariant> previous(groups), current(groups);
    for (int row = 0; row < n; ++row) {
        Expression::Context ctx;
        ctx.field = [&rows, row](int field) { return rows.value(row, field); };
        for (int i = 0; i < groups; ++i)
            if (keys[i])
                current[i] = keys[i]->evaluate(ctx);
        int level = groups;
        if (row == 0) {
            level = 0;
        } else {
            for (int i = 0; i < groups; ++i)
                if (keys[i] && !sameKey(current[i], previous[i])) {
                    level = i;
                    break;
                }
        }
        for (int i = level; i < groups; ++i)
            spans_[i].append({row, row, current[i], zeros});
        QList<double> values;
        values.reserve(columns.size());
        for (int c : columns)
            values << toNumber(rows.value(row, c));
        for (int i = 0; i < groups; ++i) {
            Span& s = spans_[i].last();
            s.last = row;
            for (int k = 0; k < values.size(); ++k)
                s.sums[k] += values[k];
            spanOfRow_[i][row] = int(spans_[i].size()) - 1;
        }
        for (int k = 0; k < values.size(); ++k)
            total_[k] += values[k];
        previous.swap(current);
    }
}

const Grouping::Span& Grouping::spanOf(int group, int row) const
{
    if (group < 0 || group >= groupCount() || row < 0 || row >= int(spanOfRow_[group].size()))
        return empty_;
    return spans_[group][spanOfRow_[group][row]];
}

int Grouping::fieldIndex(const QString& field) const
{
    for (int k = 0; k < fields_.size(); ++k)
        if (fields_[k].compare(field, Qt::CaseInsensitive) == 0)
            return k;
    return -1;
}

} // namespace reportengine
