#include "reportengine/expression.h"

#include "reportengine/format.h"
#include "reportengine/report.h"

#include <vector>

namespace reportengine {

enum class Op {
    Constant, Field, PageNumber, Neg, Not, Add, Sub, Mul, Div, Eq, Ne, Lt, Gt, Le, Ge, And, Or, If, Str, Sum, Count
};

struct ExpressionNode {
    Op op = Op::Constant;
    QVariant constant;
    int field = -1;
    std::vector<std::unique_ptr<ExpressionNode>> args;
    // Aggregates
    double sum = 0;
    qint64 count = 0;
};

namespace {

bool truthy(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return false;
    if (v.typeId() == QMetaType::Bool)
        return v.toBool();
    if (isNumber(v))
        return v.toDouble() != 0;
    return !v.toString().isEmpty();
}

bool isText(const QVariant& v)
{
    return v.isValid() && !v.isNull() && !isNumber(v);
}

int compareValues(const QVariant& a, const QVariant& b)
{
    if (isText(a) && isText(b)) {
        const int c = QString::compare(a.toString(), b.toString());
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (isText(a) != isText(b)) {
        // A number against text: compare as numbers when the text reads as one, else as text.
        const QVariant& t = isText(a) ? a : b;
        QString s = t.toString().trimmed();
        s.replace(u',', u'.');
        bool ok = false;
        s.toDouble(&ok);
        if (!ok) {
            const int c = QString::compare(plainText(a), plainText(b));
            return c < 0 ? -1 : (c > 0 ? 1 : 0);
        }
    }
    const double x = toNumber(a), y = toNumber(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

QVariant number(double d)
{
    return QVariant(d);
}

QVariant eval(const ExpressionNode& n, const Expression::Context& ctx)
{
    switch (n.op) {
    case Op::Constant:
        return n.constant;
    case Op::Field:
        return ctx.field ? ctx.field(n.field) : QVariant();
    case Op::PageNumber:
        return QVariant(qlonglong(ctx.pageNumber));
    case Op::Neg:
        return number(-toNumber(eval(*n.args[0], ctx)));
    case Op::Not:
        return !truthy(eval(*n.args[0], ctx));
    case Op::Add: {
        const QVariant a = eval(*n.args[0], ctx), b = eval(*n.args[1], ctx);
        if (isText(a) || isText(b))
            return plainText(a) + plainText(b);
        if (a.typeId() != QMetaType::Double && b.typeId() != QMetaType::Double && (isNumber(a) || isNumber(b)))
            return QVariant(qlonglong(a.toLongLong() + b.toLongLong()));
        return number(toNumber(a) + toNumber(b));
    }
    case Op::Sub:
        return number(toNumber(eval(*n.args[0], ctx)) - toNumber(eval(*n.args[1], ctx)));
    case Op::Mul:
        return number(toNumber(eval(*n.args[0], ctx)) * toNumber(eval(*n.args[1], ctx)));
    case Op::Div: {
        const double d = toNumber(eval(*n.args[1], ctx));
        if (d == 0)
            return QVariant();
        return number(toNumber(eval(*n.args[0], ctx)) / d);
    }
    case Op::Eq:
        return compareValues(eval(*n.args[0], ctx), eval(*n.args[1], ctx)) == 0;
    case Op::Ne:
        return compareValues(eval(*n.args[0], ctx), eval(*n.args[1], ctx)) != 0;
    case Op::Lt:
        return compareValues(eval(*n.args[0], ctx), eval(*n.args[1], ctx)) < 0;
    case Op::Gt:
        return compareValues(eval(*n.args[0], ctx), eval(*n.args[1], ctx)) > 0;
    case Op::Le:
        return compareValues(eval(*n.args[0], ctx), eval(*n.args[1], ctx)) <= 0;
    case Op::Ge:
        return compareValues(eval(*n.args[0], ctx), eval(*n.args[1], ctx)) >= 0;
    case Op::And:
        return truthy(eval(*n.args[0], ctx)) && truthy(eval(*n.args[1], ctx));
    case Op::Or:
        return truthy(eval(*n.args[0], ctx)) || truthy(eval(*n.args[1], ctx));
    case Op::If:
        return truthy(eval(*n.args[0], ctx)) ? eval(*n.args[1], ctx) : eval(*n.args[2], ctx);
    case Op::Str:
        return plainText(eval(*n.args[0], ctx));
    case Op::Sum:
        return number(n.sum);
    case Op::Count:
        return QVariant(qlonglong(n.count));
    }
    return {};
}

bool anyAggregate(const ExpressionNode& n)
{
    if (n.op == Op::Sum || n.op == Op::Count)
        return true;
    for (const auto& a : n.args)
        if (anyAggregate(*a))
            return true;
    return false;
}

void accumulateNode(ExpressionNode& n, const Expression::Context& ctx)
{
    if (n.op == Op::Sum) {
        n.sum += toNumber(eval(*n.args[0], ctx));
        return;
    }
    if (n.op == Op::Count) {
        ++n.count;
        return;
    }
    for (auto& a : n.args)
        accumulateNode(*a, ctx);
}

void resetNode(ExpressionNode& n)
{
    n.sum = 0;
    n.count = 0;
    for (auto& a : n.args)
        resetNode(*a);
}

class Parser {
public:
    Parser(const QString& text, const Expression::Resolver& resolver)
        : s_(text)
        , resolve_(resolver)
    {
    }

    std::unique_ptr<ExpressionNode> parse()
    {
        auto n = parseOr();
        skip();
        if (pos_ < s_.size())
            fail(QStringLiteral("лишний текст"));
        return n;
    }

private:
    [[noreturn]] void fail(const QString& what) const
    {
        throw ReportError(QStringLiteral("Ошибка в выражении \"%1\" (позиция %2): %3").arg(s_).arg(pos_ + 1).arg(what));
    }

    void skip()
    {
        while (pos_ < s_.size() && s_[pos_].isSpace())
            ++pos_;
    }

    bool peekWord(const QString& word)
    {
        skip();
        if (s_.mid(pos_, word.size()).compare(word, Qt::CaseInsensitive) != 0)
            return false;
        const qsizetype after = pos_ + word.size();
        return after >= s_.size() || !(s_[after].isLetterOrNumber() || s_[after] == u'_');
    }

    bool takeWord(const QString& word)
    {
        if (!peekWord(word))
            return false;
        pos_ += word.size();
        return true;
    }

    bool take(const QString& token)
    {
        skip();
        if (s_.mid(pos_, token.size()) != token)
            return false;
        pos_ += token.size();
        return true;
    }

    static std::unique_ptr<ExpressionNode> make(Op op, std::unique_ptr<ExpressionNode> a = {},
                                                std::unique_ptr<ExpressionNode> b = {})
    {
        auto n = std::make_unique<ExpressionNode>();
        n->op = op;
        if (a)
            n->args.push_back(std::move(a));
        if (b)
            n->args.push_back(std::move(b));
        return n;
    }

    std::unique_ptr<ExpressionNode> parseOr()
    {
        auto l = parseAnd();
        while (takeWord(QStringLiteral("or")))
            l = make(Op::Or, std::move(l), parseAnd());
        return l;
    }

    std::unique_ptr<ExpressionNode> parseAnd()
    {
        auto l = parseNot();
        while (takeWord(QStringLiteral("and")))
            l = make(Op::And, std::move(l), parseNot());
        return l;
    }

    std::unique_ptr<ExpressionNode> parseNot()
    {
        if (takeWord(QStringLiteral("not")))
            return make(Op::Not, parseNot());
        return parseCompare();
    }

    std::unique_ptr<ExpressionNode> parseCompare()
    {
        auto l = parseAdd();
        static const std::pair<const char*, Op> ops[] = {{"<>", Op::Ne}, {"<=", Op::Le}, {">=", Op::Ge},
                                                         {"=", Op::Eq},  {"<", Op::Lt},  {">", Op::Gt}};
        for (const auto& [tok, op] : ops)
            if (take(QString::fromLatin1(tok)))
                return make(op, std::move(l), parseAdd());
        return l;
    }

    std::unique_ptr<ExpressionNode> parseAdd()
    {
        auto l = parseMul();
        for (;;) {
            if (take(QStringLiteral("+")))
                l = make(Op::Add, std::move(l), parseMul());
            else if (take(QStringLiteral("-")))
                l = make(Op::Sub, std::move(l), parseMul());
            else
                return l;
        }
    }

    std::unique_ptr<ExpressionNode> parseMul()
    {
        auto l = parseUnary();
        for (;;) {
            if (take(QStringLiteral("*")))
                l = make(Op::Mul, std::move(l), parseUnary());
            else if (take(QStringLiteral("/")))
                l = make(Op::Div, std::move(l), parseUnary());
            else
                return l;
        }
    }

    std::unique_ptr<ExpressionNode> parseUnary()
    {
        if (take(QStringLiteral("-")))
            return make(Op::Neg, parseUnary());
        if (take(QStringLiteral("+")))
            return parseUnary();
        return parsePrimary();
    }

    std::vector<std::unique_ptr<ExpressionNode>> parseArgs(const QString& fn, size_t count)
    {
        if (!take(QStringLiteral("(")))
            fail(QStringLiteral("ожидается \"(\" после %1").arg(fn));
        std::vector<std::unique_ptr<ExpressionNode>> args;
        if (!take(QStringLiteral(")"))) {
            for (;;) {
                args.push_back(parseOr());
                if (take(QStringLiteral(")")))
                    break;
                if (!take(QStringLiteral(",")))
                    fail(QStringLiteral("ожидается \",\" или \")\""));
            }
        }
        if (args.size() != count)
            fail(QStringLiteral("%1 ждёт аргументов: %2").arg(fn).arg(count));
        return args;
    }

    std::unique_ptr<ExpressionNode> parsePrimary()
    {
        skip();
        if (pos_ >= s_.size())
            fail(QStringLiteral("выражение оборвано"));
        const QChar c = s_[pos_];
        if (c == u'(') {
            ++pos_;
            auto n = parseOr();
            if (!take(QStringLiteral(")")))
                fail(QStringLiteral("ожидается \")\""));
            return n;
        }
        if (c == u'\'' || c == u'"') {
            const QChar quote = c;
            ++pos_;
            QString text;
            for (;;) {
                if (pos_ >= s_.size())
                    fail(QStringLiteral("строка не закрыта"));
                if (s_[pos_] == quote) {
                    if (pos_ + 1 < s_.size() && s_[pos_ + 1] == quote) {
                        text += quote;
                        pos_ += 2;
                        continue;
                    }
                    ++pos_;
                    break;
                }
                text += s_[pos_++];
            }
            auto n = make(Op::Constant);
            n->constant = text;
            return n;
        }
        if (c.isDigit() || (c == u'.' && pos_ + 1 < s_.size() && s_[pos_ + 1].isDigit())) {
            const qsizetype start = pos_;
            bool point = false;
            while (pos_ < s_.size() && (s_[pos_].isDigit() || (s_[pos_] == u'.' && !point))) {
                point = point || s_[pos_] == u'.';
                ++pos_;
            }
            const QString digits = s_.mid(start, pos_ - start);
            auto n = make(Op::Constant);
            if (point)
                n->constant = digits.toDouble();
            else
                n->constant = digits.toLongLong();
            return n;
        }
        if (c.isLetter() || c == u'_') {
            const qsizetype start = pos_;
            while (pos_ < s_.size() && (s_[pos_].isLetterOrNumber() || s_[pos_] == u'_' || s_[pos_] == u'.'))
                ++pos_;
            const QString name = s_.mid(start, pos_ - start);
            const QString upper = name.toUpper();
            skip();
            const bool call = pos_ < s_.size() && s_[pos_] == u'(';
            if (call) {
                Op op;
                size_t count;
                if (upper == u"IF") {
                    op = Op::If;
                    count = 3;
                } else if (upper == u"STR") {
                    op = Op::Str;
                    count = 1;
                } else if (upper == u"SUM") {
                    op = Op::Sum;
                    count = 1;
                } else if (upper == u"COUNT") {
                    op = Op::Count;
                    count = 0;
                } else {
                    pos_ = start;
                    fail(QStringLiteral("неизвестная функция %1").arg(name));
                }
                auto n = make(op);
                n->args = parseArgs(upper, count);
                return n;
            }
            if (upper == u"PAGENUMBER")
                return make(Op::PageNumber);
            if (upper == u"COUNT")
                return make(Op::Count);
            if (upper == u"TRUE" || upper == u"FALSE") {
                auto n = make(Op::Constant);
                n->constant = upper == u"TRUE";
                return n;
            }
            int index = resolve_ ? resolve_(name) : -1;
            if (index < 0 && name.contains(u'.') && resolve_)
                index = resolve_(name.mid(name.lastIndexOf(u'.') + 1));
            if (index < 0) {
                pos_ = start;
                fail(QStringLiteral("неизвестное поле %1").arg(name));
            }
            auto n = make(Op::Field);
            n->field = index;
            return n;
        }
        fail(QStringLiteral("неожиданный знак \"%1\"").arg(c));
    }

    QString s_;
    qsizetype pos_ = 0;
    Expression::Resolver resolve_;
};

} // namespace

Expression::Expression() = default;
Expression::~Expression() = default;
Expression::Expression(Expression&&) noexcept = default;
Expression& Expression::operator=(Expression&&) noexcept = default;

Expression Expression::compile(const QString& text, const Resolver& resolver)
{
    Expression e;
    e.root_ = Parser(text, resolver).parse();
    return e;
}

QVariant Expression::evaluate(const Context& context) const
{
    return root_ ? eval(*root_, context) : QVariant();
}

bool Expression::hasAggregate() const
{
    return root_ && anyAggregate(*root_);
}

void Expression::accumulate(const Context& context)
{
    if (root_)
        accumulateNode(*root_, context);
}

void Expression::reset()
{
    if (root_)
        resetNode(*root_);
}

} // namespace reportengine
