#include "format/values.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <cmath>

namespace format {

bool isNumber(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return false;
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::ULong:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Bool:
        return true;
    default:
        return false;
    }
}

double toNumber(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return 0;
    if (isNumber(value))
        return value.toDouble();
    QString text = value.toString().trimmed();
    text.replace(u',', u'.');
    bool ok = false;
    const double d = text.toDouble(&ok);
    return ok ? d : 0;
}

static QString wholeOrGeneral(double d)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    if (d == std::floor(d) && std::fabs(d) < 1e15)
        return loc.toString(static_cast<qlonglong>(d));
    return loc.toString(d, 'g', 15);
}

QString plainText(const QVariant& value)
{
    if (!value.isValid() || value.isNull())
        return QString();
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return wholeOrGeneral(value.toDouble());
    case QMetaType::QDate:
        return value.toDate().toString(kDateFormat);
    case QMetaType::QDateTime: {
        const QDateTime dt = value.toDateTime();
        if (dt.time() == QTime(0, 0))
            return dt.date().toString(kDateFormat);
        return dt.toString(kDateFormat.toString() + QStringLiteral(" H:mm:ss"));
    }
    case QMetaType::Bool:
        return value.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    default:
        return value.toString();
    }
}

QString formatValue(const QVariant& value, const QString& mask)
{
    if (mask.isEmpty() || !value.isValid() || value.isNull())
        return plainText(value);
    bool numeric = isNumber(value);
    if (!numeric) {
        QString t = value.toString().trimmed();
        t.replace(u',', u'.');
        t.toDouble(&numeric);
        if (!numeric)
            return plainText(value);
    }
    const double v = toNumber(value);

    // Split the mask into literal prefix, digit part and literal suffix.
    auto isDigitMark = [](QChar c) { return c == u'0' || c == u'#' || c == u'.' || c == u','; };
    qsizetype begin = 0;
    while (begin < mask.size() && !isDigitMark(mask[begin]))
        ++begin;
    qsizetype end = mask.size();
    while (end > begin && mask[end - 1] != u'0' && mask[end - 1] != u'#')
        --end;
    const QString prefix = mask.left(begin);
    const QString suffix = mask.mid(end);
    const QString digits = mask.mid(begin, end - begin);
    if (digits.isEmpty())
        return mask;

    const qsizetype point = digits.indexOf(u'.');
    const QString whole = point < 0 ? digits : digits.left(point);
    const QString fraction = point < 0 ? QString() : digits.mid(point + 1);
    const int maxDecimals = int(fraction.count(u'0') + fraction.count(u'#'));
    int minDecimals = 0;
    for (QChar c : fraction) {
        if (c == u'0')
            ++minDecimals;
        else if (c == u'#')
            break;
    }
    const int minWhole = int(whole.count(u'0'));
    const bool grouping = whole.contains(u',');

    QString text = QString::number(std::fabs(v), 'f', maxDecimals);
    QString intPart = text, fracPart;
    if (const qsizetype p = text.indexOf(u'.'); p >= 0) {
        intPart = text.left(p);
        fracPart = text.mid(p + 1);
    }
    while (fracPart.size() > minDecimals && fracPart.endsWith(u'0'))
        fracPart.chop(1);
    if (intPart == u"0" && minWhole == 0)
        intPart.clear();
    while (intPart.size() < minWhole)
        intPart.prepend(u'0');
    const QLocale loc;
    if (grouping && intPart.size() > 3) {
        QString grouped;
        for (qsizetype i = 0; i < intPart.size(); ++i) {
            if (i > 0 && (intPart.size() - i) % 3 == 0)
                grouped += loc.groupSeparator();
            grouped += intPart[i];
        }
        intPart = grouped;
    }
    QString out = intPart;
    if (!fracPart.isEmpty())
        out += loc.decimalPoint() + fracPart;
    if (out.isEmpty())
        out = QStringLiteral("0");
    // Rounded to nothing: no sign ("-0.00" would be odd). A plain scan: this runs for every printed number.
    const bool zero = std::none_of(out.cbegin(), out.cend(), [](QChar c) { return c >= u'1' && c <= u'9'; });
    if (v < 0 && !zero)
        out.prepend(u'-');
    return prefix + out + suffix;
}

QString sumText(double value)
{
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    return loc.toString(value, 'f', 2);
}

} // namespace format
