#include "db/sql_text.h"

#include "db/db_error.h"
#include "format/values.h"

#include <QDateTime>
#include <QLocale>
#include <QTime>
#include <cmath>

namespace db::sql {

QString quote(const QString& text)
{
    if (text.contains(QChar(u'\0')))
        throw ConversionError(QStringLiteral("Текст содержит недопустимый символ (NUL)."));
    // Half of a surrogate pair is no character: it would reach the server as another one.
    if (!text.isValidUtf16())
        throw ConversionError(QStringLiteral("Текст содержит недопустимый символ (половину суррогатной пары)."));
    QString out;
    out.reserve(text.size() + 2);
    out += u'\'';
    for (QChar c : text) {
        if (c == u'\'')
            out += u'\'';
        out += c;
    }
    out += u'\'';
    return out;
}

// A negative number goes between parentheses: written after a minus of the statement ("x-" and -1) it would
// otherwise make "--", which starts a comment and swallows the rest of the statement.
static QString signedText(const QString& text)
{
    return text.startsWith(u'-') ? u'(' + text + u')' : text;
}

QString number(qint64 value)
{
    return signedText(QString::number(value));
}

double round4(double value)
{
    // The product is taken in extended precision, so a value just above a half (0.00125 is stored a little
    // above it) is not pulled onto the half by rounding the product to double first.
    const long double scaled = static_cast<long double>(value) * 10000.0L;
    return static_cast<double>(std::nearbyintl(scaled) / 10000.0L); // nearest, ties to even
}

QString general(double value, QChar decimalPoint)
{
    if (!std::isfinite(value))
        throw ConversionError(QStringLiteral("Недопустимое числовое значение."));
    if (value == 0)
        return QStringLiteral("0"); // also for -0
    QString text = QString::number(value, 'g', 15);
    if (decimalPoint != u'.')
        text.replace(u'.', decimalPoint);
    return text;
}

QString price(double value)
{
    if (!std::isfinite(value))
        throw ConversionError(QStringLiteral("Недопустимое значение цены."));
    return signedText(general(round4(value)));
}

QString date(const QDate& value)
{
    if (!value.isValid())
        throw ConversionError(QStringLiteral("Недопустимая дата."));
    return value.toString(format::kDateFormat);
}

QString toDate(const QDate& value)
{
    return QStringLiteral("to_date('") + date(value) + QStringLiteral("', 'DD.MM.YYYY')");
}

QString literal(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QStringLiteral("NULL");
    switch (value.typeId()) {
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        if (value.typeId() == QMetaType::ULongLong || value.typeId() == QMetaType::ULong)
            return QString::number(value.toULongLong());
        return number(value.toLongLong());
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = value.toDouble();
        if (!std::isfinite(d))
            throw ConversionError(QStringLiteral("Недопустимое числовое значение."));
        return signedText(QString::number(d, 'g', 17));
    }
    case QMetaType::QDate:
        if (!value.toDate().isValid())
            throw ConversionError(QStringLiteral("Недопустимая дата."));
        return QStringLiteral("date '") + value.toDate().toString(Qt::ISODate) + u'\'';
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (!dt.isValid())
            throw ConversionError(QStringLiteral("Недопустимая дата."));
        if (dt.time() == QTime(0, 0))
            return QStringLiteral("date '") + dt.date().toString(Qt::ISODate) + u'\'';
        return QStringLiteral("timestamp '") + dt.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + u'\'';
    }
    default:
        return quote(value.toString());
    }
}

QString lines(const QStringList& lines)
{
    QString out;
    for (const QString& line : lines) {
        out += line;
        out += QStringLiteral("\r\n");
    }
    return out;
}

static bool isNameStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

static bool isNameChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

QList<ParamRef> findParams(const QString& text)
{
    QList<ParamRef> out;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = text[i];
        if (c == u'\'' || c == u'"') {
            // quoted text or identifier: skip to the closing quote (a doubled quote stays inside)
            const QChar q = c;
            ++i;
            while (i < n) {
                if (text[i] == q) {
                    if (i + 1 < n && text[i + 1] == q) {
                        i += 2;
                        continue;
                    }
                    break;
                }
                ++i;
            }
            ++i;
            continue;
        }
        if (c == u'-' && i + 1 < n && text[i + 1] == u'-') {
            while (i < n && text[i] != u'\n')
                ++i;
            continue;
        }
        if (c == u'/' && i + 1 < n && text[i + 1] == u'*') {
            const qsizetype end = text.indexOf(QStringLiteral("*/"), i + 2);
            i = end < 0 ? n : end + 2;
            continue;
        }
        if (c == u':') {
            if (i + 1 < n && text[i + 1] == u':') { // a cast, "::t_id"
                i += 2;
                while (i < n && isNameChar(text[i]))
                    ++i;
                continue;
            }
            if (i + 1 < n && isNameStart(text[i + 1])) {
                qsizetype j = i + 1;
                while (j < n && isNameChar(text[j]))
                    ++j;
                out.append({text.mid(i + 1, j - i - 1), i, j - i});
                i = j;
                continue;
            }
        }
        ++i;
    }
    return out;
}

} // namespace db::sql
