// The one place where values become statement text: quoting, numbers, prices, dates, parameter literals.
#pragma once

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace db::sql {

// 'text' with single quotes doubled; refuses NUL, which the server cannot store in text.
QString quote(const QString& text);
// Whole numbers in decimal, no grouping.
QString number(qint64 value);
// A price rounded to 4 decimals, written with a full stop and without trailing zeros.
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
