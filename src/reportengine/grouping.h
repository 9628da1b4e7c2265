// A report's groups and their sums, computed once from its rows: each group's spans (first and last row) with the
// sums of the fields its total items add up, and the sums over every row. The layout prints its subtotals and
// totals from it and an export writes the same figures, so the two never add up differently.
#pragma once

#include "reportengine/layout.h"
#include "reportengine/report.h"

#include <QList>
#include <QStringList>

namespace reportengine {

class Grouping {
public:
    // The rows of one group between two changes of its expression (or of an outer group's).
    struct Span {
        int first = 0;
        int last = -1;
        QVariant key;       // the group's expression on its rows; null for a group without one
        QList<double> sums; // in the order of fields()
    };

    // Groups the rows as the report's groups do (a group breaks when its expression's value or an outer group's
    // changes; a group without an expression spans every row) and adds up `fields` in each span. Empty `fields`:
    // the fields the report's total items print. Throws ReportError for an unknown field or a faulty expression.
    Grouping(const Report& report, const DataSource& rows, QStringList fields = {});

    const QStringList& fields() const { return fields_; }
    int groupCount() const { return int(spans_.size()); }
    // The spans of the report's group `group` (its index among the report's groups), in row order.
    const QList<Span>& spans(int group) const { return spans_[group]; }
    // False for a group without an expression (it spans every row).
    bool hasKey(int group) const { return keyed_[group]; }
    // The span of the group that holds the row; an empty span of zeros when there is none (no rows).
    const Span& spanOf(int group, int row) const;
    // The sums over every row, in the order of fields().
    const QList<double>& total() const { return total_; }
    int fieldIndex(const QString& field) const;

private:
    QStringList fields_;
    std::vector<QList<Span>> spans_;
    std::vector<bool> keyed_;
    std::vector<std::vector<int>> spanOfRow_;
    QList<double> total_;
    Span empty_;
};

} // namespace reportengine
