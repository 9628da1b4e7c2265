// Report expressions: fields of the data source (a "dataset." prefix is allowed), numbers, 'text', + - * /,
// comparisons = <> < > <= >=, AND OR NOT, parentheses, IF(condition, then, else), STR(value), SUM(value),
// COUNT and PAGENUMBER. Function names in any letter case. "+" adds numbers and joins text.
// SUM and COUNT accumulate over the detail rows fed to accumulate() until reset().
#pragma once

#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

namespace reportengine {

struct ExpressionNode;

class Expression {
public:
    // Field index of a name, -1 when the data source has no such field.
    using Resolver = std::function<int(const QString&)>;
    struct Context {
        std::function<QVariant(int field)> field; // the current row's value
        int pageNumber = 1;
    };

    Expression();
    ~Expression();
    Expression(Expression&&) noexcept;
    Expression& operator=(Expression&&) noexcept;

    // Throws ReportError with the position of a syntax error or the unknown name.
    static Expression compile(const QString& text, const Resolver& resolver);

    QVariant evaluate(const Context& context) const;
    bool hasAggregate() const;
    void accumulate(const Context& context);
    void reset();

private:
    std::unique_ptr<ExpressionNode> root_;
};

} // namespace reportengine
