// Filter expressions evaluated on rows already loaded into a dataset (the text filter of a dataset).
#pragma once

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

namespace db {

// Parses and evaluates filter texts such as "naimen=0", "id=12", "fio like 'Ив%'",
// "(a>1 or b<>'x') and not c=2". Field names are matched regardless of letter case by the caller's lookup.
class FilterExpression {
public:
    // Looks a field of the current row up by name; returns an invalid QVariant for an unknown field name.
    using FieldLookup = std::function<QVariant(const QString& name)>;

    FilterExpression();
    ~FilterExpression();
    FilterExpression(const FilterExpression&);
    FilterExpression& operator=(const FilterExpression&);

    // Throws db::ConversionError with a readable message when the text is not a valid expression.
    // An empty or blank text gives an empty expression, which matches every row.
    static FilterExpression parse(const QString& text);

    // Text as a quoted literal of a filter ('...' with quotes doubled), so that typed text cannot end the literal.
    static QString quote(const QString& text);

    bool isEmpty() const;
    // Throws db::ConversionError when the expression names a field the lookup does not know.
    bool matches(const FieldLookup& field) const;

    struct Node;

private:
    std::shared_ptr<const Node> root_;
};

} // namespace db
