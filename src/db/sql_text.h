// The one place where values become statement text: quoting, numbers, prices, dates, parameter literals.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace db::sql {

// 'text' with single quotes doubled; refuses NUL, which the server cannot store in text.
QString quote(const QString& text);
// Whole numbers in decimal, no grouping; negative ones between parentheses.
QString number(qint64 value);
// The program's rounding of prices and sums: times 10 000, to the nearest integer with exact halves to the
// even neighbour (in extended precision), divided by 10 000.
double round4(double value);
// The shortest general notation with at most 15 significant digits and the given decimal separator.
QString general(double value, QChar decimalPoint = u'.');
// A price in statements: rounded by round4 and written in the general notation with a full stop (a negative one
// between parentheses).
QString price(double value);
// DD.MM.YYYY, the form the statements put inside to_date(..., 'DD.MM.YYYY').
QString date(const QDate& value);
// to_date('DD.MM.YYYY', 'DD.MM.YYYY')
QString toDate(const QDate& value);
// A parameter value as a literal for the statement text (NULL, number, quoted text, typed date/timestamp).
QString literal(const QVariant& value);
// A statement given line by line: each line followed by a carriage return and a line feed.
QString lines(const QStringList& lines);

// Named parameters (":name") of a statement text, outside quotes, comments and "::" casts.
struct ParamRef {
    QString name;
    qsizetype position; // index of the ':'
    qsizetype length;   // length including the ':'
};
QList<ParamRef> findParams(const QString& text);

} // namespace db::sql
