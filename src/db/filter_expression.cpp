#include "db/filter_expression.h"

#include "db/db_error.h"
#include "format/values.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <cmath>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

namespace db {

// The parsed form of a filter. Nodes are immutable once built, so copies of an expression share one tree.
struct FilterExpression::Node {
    enum class Kind { Or, And, Not, Compare, Like, IsNull };
    enum class Op { Equal, NotEqual, Less, Greater, LessEqual, GreaterEqual };

    // A number with the integer form kept apart, so that large identifiers compare exactly.
    struct Number {
        bool isInteger = false;
        qint64 integer = 0;
        double real = 0;
    };

    // Everything a literal may be compared as is worked out once, at parse time, not per row.
    struct Literal {
        enum class Kind { Null, Number, Text };
        Kind kind = Kind::Null;
        QString text;        // as written for numbers; unquoted and unescaped for text
        QString trimmedText; // without trailing blanks, for text comparisons
        std::optional<Number> number;
        std::optional<bool> boolean;
        QDate date;
        QDateTime dateTime; // set only when the literal carries a time of day
    };

    // A LIKE pattern split into case-folded characters and wildcards.
    struct PatternItem {
        enum class Kind : quint8 { Char, AnyOne, AnySequence };
        Kind kind;
        char32_t ch;
    };

    Kind kind = Kind::Compare;
    std::vector<std::unique_ptr<const Node>> children; // operands of Or/And/Not
    QString field;
    Op op = Op::Equal;
    bool negated = false; // NOT LIKE, IS NOT NULL
    Literal literal;
    std::vector<PatternItem> pattern;
};

namespace {

using Node = FilterExpression::Node;
using Number = Node::Number;
using Literal = Node::Literal;
using PatternItem = Node::PatternItem;

// SQL three-valued logic: a comparison with a null is unknown, and NOT unknown is still unknown.
enum class Truth { False, Unknown, True };

Truth fromBool(bool value)
{
    return value ? Truth::True : Truth::False;
}

QStringView withoutTrailingBlanks(QStringView text)
{
    qsizetype size = text.size();
    while (size > 0 && text[size - 1].isSpace())
        --size;
    return text.first(size);
}

// Accepts what a user or a program would write as a number: optional sign, digits, at most one '.' or ','.
std::optional<Number> numberFromText(QStringView text)
{
    text = text.trimmed();
    if (text.isEmpty())
        return std::nullopt;
    qsizetype i = 0;
    if (text[0] == u'-' || text[0] == u'+')
        ++i;
    qsizetype digits = 0;
    qsizetype separator = -1;
    for (; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c >= u'0' && c <= u'9') {
            ++digits;
        } else if ((c == u'.' || c == u',') && separator < 0) {
            separator = i;
        } else {
            return std::nullopt;
        }
    }
    if (digits == 0)
        return std::nullopt;

    Number number;
    if (separator < 0) {
        bool ok = false;
        const qint64 integer = text.toLongLong(&ok);
        if (ok) {
            number.isInteger = true;
            number.integer = integer;
            number.real = double(integer);
            return number;
        }
    }
    QString normalized = text.toString();
    if (separator >= 0)
        normalized[separator] = u'.';
    bool ok = false;
    number.real = normalized.toDouble(&ok);
    if (!ok)
        return std::nullopt;
    return number;
}

std::optional<Number> numberOfValue(const QVariant& value)
{
    Number number;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::UChar:
        number.isInteger = true;
        number.integer = value.toLongLong();
        return number;
    case QMetaType::ULongLong: {
        const qulonglong unsignedValue = value.toULongLong();
        if (unsignedValue <= qulonglong(std::numeric_limits<qint64>::max())) {
            number.isInteger = true;
            number.integer = qint64(unsignedValue);
        } else {
            number.real = double(unsignedValue);
        }
        return number;
    }
    case QMetaType::Double:
    case QMetaType::Float:
        number.real = value.toDouble();
        return number;
    case QMetaType::Bool:
        number.isInteger = true;
        number.integer = value.toBool() ? 1 : 0;
        return number;
    default:
        return std::nullopt;
    }
}

template <typename T> int threeWay(const T& a, const T& b)
{
    return (b < a) - (a < b);
}

std::optional<int> compareNumbers(const Number& a, const Number& b)
{
    if (a.isInteger && b.isInteger)
        return threeWay(a.integer, b.integer);
    const double x = a.isInteger ? double(a.integer) : a.real;
    const double y = b.isInteger ? double(b.integer) : b.real;
    if (std::isnan(x) || std::isnan(y))
        return std::nullopt;
    return threeWay(x, y);
}

int compareText(QStringView value, QStringView literal)
{
    return threeWay(withoutTrailingBlanks(value).compare(literal, Qt::CaseInsensitive), 0);
}


// The text a value shows the user; LIKE and the text fallback of comparisons work on it.
QString valueText(const QVariant& value)
{
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest);
    case QMetaType::QDate:
        return value.toDate().toString(format::kDateFormat);
    case QMetaType::QDateTime:
        return value.toDateTime().toString(format::kDateTimeFormat);
    default:
        return value.toString();
    }
}

std::optional<int> compareValue(const QVariant& value, const Literal& literal)
{
    const int type = value.typeId();
    if (type == QMetaType::QDate || type == QMetaType::QDateTime) {
        if (literal.dateTime.isValid()) {
            QDateTime dateTime = value.toDateTime();
            if (type == QMetaType::QDate)
                dateTime = QDateTime(value.toDate(), QTime(0, 0));
            return threeWay(dateTime, literal.dateTime);
        }
        if (literal.date.isValid()) {
            // A date alone against a timestamp compares the calendar day, so "= '05.03.2024'" finds that day.
            const QDate date = type == QMetaType::QDate ? value.toDate() : value.toDateTime().toLocalTime().date();
            return threeWay(date, literal.date);
        }
        return compareText(valueText(value), literal.trimmedText);
    }

    if (const std::optional<Number> number = numberOfValue(value)) {
        if (literal.number)
            return compareNumbers(*number, *literal.number);
        if (type == QMetaType::Bool && literal.boolean)
            return threeWay(value.toBool(), *literal.boolean);
        return compareText(valueText(value), literal.trimmedText);
    }

    const QString text = valueText(value);
    if (literal.kind == Literal::Kind::Number) {
        if (const std::optional<Number> number = numberFromText(text))
            return compareNumbers(*number, *literal.number);
    }
    return compareText(text, literal.trimmedText);
}

bool applyOp(Node::Op op, int order)
{
    switch (op) {
    case Node::Op::Equal:
        return order == 0;
    case Node::Op::NotEqual:
        return order != 0;
    case Node::Op::Less:
        return order < 0;
    case Node::Op::Greater:
        return order > 0;
    case Node::Op::LessEqual:
        return order <= 0;
    case Node::Op::GreaterEqual:
        return order >= 0;
    }
    return false;
}

char32_t codePointAt(QStringView text, qsizetype index, qsizetype* length)
{
    const QChar c = text[index];
    if (c.isHighSurrogate() && index + 1 < text.size() && text[index + 1].isLowSurrogate()) {
        *length = 2;
        return QChar::surrogateToUcs4(c, text[index + 1]);
    }
    *length = 1;
    return c.unicode();
}

std::vector<PatternItem> compilePattern(QStringView text)
{
    std::vector<PatternItem> items;
    for (qsizetype i = 0; i < text.size();) {
        qsizetype length = 0;
        const char32_t ch = codePointAt(text, i, &length);
        i += length;
        if (ch == U'%' || ch == U'*') {
            // Runs of wildcards mean the same as one and would only slow the matcher down.
            if (items.empty() || items.back().kind != PatternItem::Kind::AnySequence)
                items.push_back({PatternItem::Kind::AnySequence, 0});
        } else if (ch == U'_') {
            items.push_back({PatternItem::Kind::AnyOne, 0});
        } else {
            items.push_back({PatternItem::Kind::Char, QChar::toCaseFolded(ch)});
        }
    }
    return items;
}

// Wildcard matching without recursion or regular expressions: on a mismatch it returns to the last '%'
// and lets it swallow one more character.
bool matchPattern(const std::vector<PatternItem>& pattern, QStringView text)
{
    const auto patternSize = pattern.size();
    std::size_t p = 0;
    qsizetype t = 0;
    std::size_t starPattern = patternSize; // none yet
    qsizetype starText = 0;
    while (t < text.size()) {
        qsizetype length = 0;
        const char32_t ch = codePointAt(text, t, &length);
        if (p < patternSize && pattern[p].kind == PatternItem::Kind::AnySequence) {
            starPattern = p++;
            starText = t;
        } else if (p < patternSize &&
                   (pattern[p].kind == PatternItem::Kind::AnyOne || pattern[p].ch == QChar::toCaseFolded(ch))) {
            ++p;
            t += length;
        } else if (starPattern != patternSize) {
            p = starPattern + 1;
            qsizetype skipped = 0;
            codePointAt(text, starText, &skipped);
            starText += skipped;
            t = starText;
        } else {
            return false;
        }
    }
    while (p < patternSize && pattern[p].kind == PatternItem::Kind::AnySequence)
        ++p;
    return p == patternSize;
}

QVariant fieldValue(const Node& node, const FilterExpression::FieldLookup& lookup)
{
    QVariant value = lookup(node.field);
    if (!value.isValid())
        throw ConversionError(QStringLiteral("Поле не найдено: %1").arg(node.field));
    return value;
}

// A branch skipped by short-circuit still has its fields looked up, so a misspelt field name fails on every
// row rather than only on the rows that happen to reach it.
void checkFields(const Node& node, const FilterExpression::FieldLookup& lookup)
{
    if (node.kind == Node::Kind::Or || node.kind == Node::Kind::And || node.kind == Node::Kind::Not) {
        for (const auto& child : node.children)
            checkFields(*child, lookup);
    } else {
        fieldValue(node, lookup);
    }
}

Truth evaluate(const Node& node, const FilterExpression::FieldLookup& lookup)
{
    switch (node.kind) {
    case Node::Kind::Or:
    case Node::Kind::And: {
        const Truth decisive = node.kind == Node::Kind::Or ? Truth::True : Truth::False;
        Truth result = node.kind == Node::Kind::Or ? Truth::False : Truth::True;
        for (std::size_t i = 0; i < node.children.size(); ++i) {
            const Truth value = evaluate(*node.children[i], lookup);
            if (value == decisive) {
                for (std::size_t j = i + 1; j < node.children.size(); ++j)
                    checkFields(*node.children[j], lookup);
                return decisive;
            }
            if (value == Truth::Unknown)
                result = Truth::Unknown;
        }
        return result;
    }
    case Node::Kind::Not:
        switch (evaluate(*node.children.front(), lookup)) {
        case Truth::True:
            return Truth::False;
        case Truth::False:
            return Truth::True;
        case Truth::Unknown:
            return Truth::Unknown;
        }
        return Truth::Unknown;
    case Node::Kind::IsNull:
        return fromBool(fieldValue(node, lookup).isNull() != node.negated);
    case Node::Kind::Compare: {
        const QVariant value = fieldValue(node, lookup);
        if (value.isNull() || node.literal.kind == Literal::Kind::Null)
            return Truth::Unknown;
        const std::optional<int> order = compareValue(value, node.literal);
        if (!order)
            return Truth::Unknown;
        return fromBool(applyOp(node.op, *order));
    }
    case Node::Kind::Like: {
        const QVariant value = fieldValue(node, lookup);
        if (value.isNull() || node.literal.kind == Literal::Kind::Null)
            return Truth::Unknown;
        const QString text = valueText(value);
        return fromBool(matchPattern(node.pattern, withoutTrailingBlanks(text)) != node.negated);
    }
    }
    return Truth::Unknown;
}

// ---- parsing ----

struct Token {
    enum class Kind { End, Name, Number, Text, Op, LeftParen, RightParen, And, Or, Not, Like, Is, Null };
    Kind kind = Kind::End;
    QString value; // field name without brackets, number as written, text unescaped
    Node::Op op = Node::Op::Equal;
    qsizetype position = 0;
    qsizetype length = 0;
};

bool isNameStart(QChar c)
{
    return c.isLetter() || c == u'_';
}
bool isNamePart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}
bool isAsciiDigit(QChar c)
{
    return c >= u'0' && c <= u'9';
}

class Parser {
public:
    explicit Parser(const QString& source)
        : source_(source)
    {
        tokenize();
    }

    std::unique_ptr<const Node> parse()
    {
        auto root = parseOr();
        if (current().kind != Token::Kind::End)
            fail(current().position, QStringLiteral("лишний текст «%1»").arg(tokenText(current())));
        return root;
    }

private:
    [[noreturn]] void fail(qsizetype position, const QString& problem) const
    {
        // All parts are substituted in one call: the filter text itself may contain "%1" and the like.
        // A very long filter is shown by its beginning only.
        const QString shown = source_.size() > 200 ? source_.left(200) + QStringLiteral("…") : source_;
        throw ConversionError(QStringLiteral("Ошибка в условии отбора «%1»: %2 (позиция %3)")
                                  .arg(shown, problem, QString::number(position + 1)));
    }

    [[noreturn]] void failExpected(const QString& expected) const
    {
        const Token& token = current();
        if (token.kind == Token::Kind::End)
            fail(token.position, QStringLiteral("%1, а условие закончилось").arg(expected));
        fail(token.position, QStringLiteral("%1, а найдено «%2»").arg(expected, tokenText(token)));
    }

    QString tokenText(const Token& token) const { return source_.mid(token.position, token.length); }

    void tokenize()
    {
        const qsizetype size = source_.size();
        qsizetype i = 0;
        while (true) {
            while (i < size && source_[i].isSpace())
                ++i;
            Token token;
            token.position = i;
            if (i >= size) {
                tokens_.push_back(token);
                return;
            }
            const QChar c = source_[i];
            if (isNameStart(c)) {
                qsizetype end = i + 1;
                while (end < size && isNamePart(source_[end]))
                    ++end;
                token.value = source_.mid(i, end - i);
                token.kind = keywordKind(token.value);
                i = end;
            } else if (c == u'[') {
                const qsizetype close = source_.indexOf(u']', i + 1);
                if (close < 0)
                    fail(i, QStringLiteral("не закрыта квадратная скобка в имени поля"));
                token.value = source_.mid(i + 1, close - i - 1).trimmed();
                if (token.value.isEmpty())
                    fail(i, QStringLiteral("пустое имя поля в квадратных скобках"));
                token.kind = Token::Kind::Name;
                i = close + 1;
            } else if (isAsciiDigit(c) || ((c == u'-' || c == u'.') && startsNumber(i))) {
                i = readNumber(i, &token);
            } else if (c == u'\'') {
                i = readText(i, &token);
            } else if (c == u'(' || c == u')') {
                token.kind = c == u'(' ? Token::Kind::LeftParen : Token::Kind::RightParen;
                ++i;
            } else if (c == u'=' || c == u'<' || c == u'>' || c == u'!') {
                i = readOperator(i, &token);
            } else {
                fail(i, QStringLiteral("недопустимый символ «%1»").arg(c));
            }
            token.length = i - token.position;
            tokens_.push_back(token);
        }
    }

    static Token::Kind keywordKind(const QString& word)
    {
        static const struct {
            const char16_t* word;
            Token::Kind kind;
        } keywords[] = {{u"and", Token::Kind::And},   {u"or", Token::Kind::Or}, {u"not", Token::Kind::Not},
                        {u"like", Token::Kind::Like}, {u"is", Token::Kind::Is}, {u"null", Token::Kind::Null}};
        for (const auto& keyword : keywords) {
            if (word.compare(QStringView(keyword.word), Qt::CaseInsensitive) == 0)
                return keyword.kind;
        }
        return Token::Kind::Name;
    }

    bool startsNumber(qsizetype i) const
    {
        if (source_[i] == u'-')
            ++i;
        if (i < source_.size() && source_[i] == u'.')
            ++i;
        return i < source_.size() && isAsciiDigit(source_[i]);
    }

    qsizetype readNumber(qsizetype i, Token* token) const
    {
        const qsizetype start = i;
        const qsizetype size = source_.size();
        if (source_[i] == u'-')
            ++i;
        while (i < size && isAsciiDigit(source_[i]))
            ++i;
        if (i < size && source_[i] == u'.') {
            ++i;
            const qsizetype fraction = i;
            while (i < size && isAsciiDigit(source_[i]))
                ++i;
            if (i == fraction)
                fail(start, QStringLiteral("неверное число «%1»").arg(source_.mid(start, i - start)));
        }
        if (i < size && (isNamePart(source_[i]) || source_[i] == u'.')) {
            qsizetype end = i;
            while (end < size && (isNamePart(source_[end]) || source_[end] == u'.'))
                ++end;
            fail(start, QStringLiteral("неверное число «%1»").arg(source_.mid(start, end - start)));
        }
        token->kind = Token::Kind::Number;
        token->value = source_.mid(start, i - start);
        return i;
    }

    qsizetype readText(qsizetype i, Token* token) const
    {
        const qsizetype start = i;
        ++i;
        QString text;
        while (true) {
            if (i >= source_.size())
                fail(start, QStringLiteral("не закрыта кавычка"));
            if (source_[i] == u'\'') {
                if (i + 1 < source_.size() && source_[i + 1] == u'\'') {
                    text += u'\'';
                    i += 2;
                    continue;
                }
                ++i;
                break;
            }
            text += source_[i];
            ++i;
        }
        token->kind = Token::Kind::Text;
        token->value = text;
        return i;
    }

    qsizetype readOperator(qsizetype i, Token* token) const
    {
        const QChar c = source_[i];
        const QChar next = i + 1 < source_.size() ? source_[i + 1] : QChar();
        token->kind = Token::Kind::Op;
        if (c == u'=') {
            token->op = Node::Op::Equal;
            return i + 1;
        }
        if (c == u'!') {
            if (next != u'=')
                fail(i, QStringLiteral("недопустимый символ «!»"));
            token->op = Node::Op::NotEqual;
            return i + 2;
        }
        if (c == u'<') {
            if (next == u'>') {
                token->op = Node::Op::NotEqual;
                return i + 2;
            }
            if (next == u'=') {
                token->op = Node::Op::LessEqual;
                return i + 2;
            }
            token->op = Node::Op::Less;
            return i + 1;
        }
        if (next == u'=') {
            token->op = Node::Op::GreaterEqual;
            return i + 2;
        }
        token->op = Node::Op::Greater;
        return i + 1;
    }

    const Token& current() const { return tokens_[index_]; }
    void advance()
    {
        if (index_ + 1 < tokens_.size())
            ++index_;
    }

    std::unique_ptr<const Node> parseOr() { return parseChain(Token::Kind::Or, Node::Kind::Or); }

    std::unique_ptr<const Node> parseAnd() { return parseChain(Token::Kind::And, Node::Kind::And); }

    // a OR b OR c becomes one node with three operands: fewer levels to walk per row.
    std::unique_ptr<const Node> parseChain(Token::Kind separator, Node::Kind kind)
    {
        auto first = kind == Node::Kind::Or ? parseAnd() : parseUnary();
        if (current().kind != separator)
            return first;
        auto node = std::make_unique<Node>();
        node->kind = kind;
        node->children.push_back(std::move(first));
        while (current().kind == separator) {
            advance();
            node->children.push_back(kind == Node::Kind::Or ? parseAnd() : parseUnary());
        }
        return node;
    }

    // Every NOT and every parenthesis is one level of recursion here and when rows are tested; a limit keeps a
    // pathological filter from exhausting the stack.
    static constexpr int kMaxNesting = 100;

    struct NestingGuard {
        Parser& p;
        explicit NestingGuard(Parser& parser)
            : p(parser)
        {
            if (++p.depth_ > kMaxNesting)
                p.fail(p.current().position,
                       QStringLiteral("слишком глубокая вложенность скобок и NOT (больше %1)").arg(kMaxNesting));
        }
        ~NestingGuard() { --p.depth_; }
    };

    std::unique_ptr<const Node> parseUnary()
    {
        NestingGuard nesting(*this);
        if (current().kind == Token::Kind::Not) {
            advance();
            auto node = std::make_unique<Node>();
            node->kind = Node::Kind::Not;
            node->children.push_back(parseUnary());
            return node;
        }
        if (current().kind == Token::Kind::LeftParen) {
            const qsizetype open = current().position;
            advance();
            auto inner = parseOr();
            if (current().kind != Token::Kind::RightParen) {
                if (current().kind == Token::Kind::End)
                    fail(open, QStringLiteral("не закрыта скобка"));
                failExpected(QStringLiteral("ожидалась «)»"));
            }
            advance();
            return inner;
        }
        return parsePredicate();
    }

    std::unique_ptr<const Node> parsePredicate()
    {
        if (current().kind != Token::Kind::Name)
            failExpected(QStringLiteral("ожидалось имя поля"));
        auto node = std::make_unique<Node>();
        node->field = current().value;
        advance();

        switch (current().kind) {
        case Token::Kind::Op:
            node->kind = Node::Kind::Compare;
            node->op = current().op;
            advance();
            node->literal = parseLiteral();
            return node;
        case Token::Kind::Not:
            advance();
            if (current().kind != Token::Kind::Like)
                failExpected(QStringLiteral("после NOT ожидалось LIKE"));
            node->negated = true;
            [[fallthrough]];
        case Token::Kind::Like:
            advance();
            node->kind = Node::Kind::Like;
            node->literal = parseLiteral();
            node->pattern = compilePattern(node->literal.text);
            return node;
        case Token::Kind::Is:
            advance();
            node->kind = Node::Kind::IsNull;
            if (current().kind == Token::Kind::Not) {
                node->negated = true;
                advance();
            }
            if (current().kind != Token::Kind::Null)
                failExpected(QStringLiteral("после IS ожидалось NULL или NOT NULL"));
            advance();
            return node;
        default:
            failExpected(QStringLiteral("после имени поля ожидалась операция сравнения (=, <>, <, >, <=, >=, "
                                        "LIKE, IS NULL)"));
        }
    }

    Literal parseLiteral()
    {
        Literal literal;
        const Token& token = current();
        switch (token.kind) {
        case Token::Kind::Null:
            literal.kind = Literal::Kind::Null;
            break;
        case Token::Kind::Number:
            literal.kind = Literal::Kind::Number;
            literal.text = token.value;
            literal.trimmedText = token.value;
            literal.number = numberFromText(token.value);
            if (!literal.number)
                fail(token.position, QStringLiteral("неверное число «%1»").arg(token.value));
            break;
        case Token::Kind::Text:
            literal = textLiteral(token.value);
            break;
        default:
            failExpected(QStringLiteral("ожидалось значение (число, текст в кавычках или NULL)"));
        }
        advance();
        return literal;
    }

    static Literal textLiteral(const QString& text)
    {
        Literal literal;
        literal.kind = Literal::Kind::Text;
        literal.text = text;
        literal.trimmedText = withoutTrailingBlanks(text).toString();
        literal.number = numberFromText(text);
        const QString trimmed = text.trimmed();
        if (trimmed.compare(u"true", Qt::CaseInsensitive) == 0)
            literal.boolean = true;
        else if (trimmed.compare(u"false", Qt::CaseInsensitive) == 0)
            literal.boolean = false;

        static const QString dateFormats[] = {QStringLiteral("d.M.yyyy"), QStringLiteral("yyyy-M-d")};
        static const QString timeFormats[] = {QStringLiteral("H:m:s"), QStringLiteral("H:m")};
        for (const QString& format : dateFormats) {
            literal.date = QDate::fromString(trimmed, format);
            if (literal.date.isValid())
                return literal;
        }
        // A date with a time of day: "05.03.2024 14:30", "2024-03-05T14:30:00".
        qsizetype split = trimmed.indexOf(u' ');
        if (split < 0)
            split = trimmed.indexOf(u'T');
        if (split > 0) {
            const QString datePart = trimmed.left(split);
            const QString timePart = trimmed.mid(split + 1).trimmed();
            for (const QString& format : dateFormats) {
                const QDate date = QDate::fromString(datePart, format);
                if (!date.isValid())
                    continue;
                for (const QString& timeFormat : timeFormats) {
                    const QTime time = QTime::fromString(timePart, timeFormat);
                    if (time.isValid()) {
                        literal.date = date;
                        literal.dateTime = QDateTime(date, time);
                        return literal;
                    }
                }
            }
        }
        return literal;
    }

    const QString& source_;
    int depth_ = 0;
    std::vector<Token> tokens_;
    std::size_t index_ = 0;
};

} // namespace

FilterExpression::FilterExpression() = default;

QString FilterExpression::quote(const QString& text)
{
    QString out = QStringLiteral("'");
    for (QChar c : text) {
        if (c == u'\'')
            out += c;
        out += c;
    }
    out += u'\'';
    return out;
}
FilterExpression::~FilterExpression() = default;
FilterExpression::FilterExpression(const FilterExpression&) = default;
FilterExpression& FilterExpression::operator=(const FilterExpression&) = default;

FilterExpression FilterExpression::parse(const QString& text)
{
    FilterExpression expression;
    if (text.trimmed().isEmpty())
        return expression;
    expression.root_ = Parser(text).parse();
    return expression;
}

bool FilterExpression::isEmpty() const
{
    return !root_;
}

bool FilterExpression::matches(const FieldLookup& field) const
{
    if (!root_)
        return true;
    return evaluate(*root_, field) == Truth::True;
}

} // namespace db
