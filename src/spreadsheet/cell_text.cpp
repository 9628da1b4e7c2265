#include "spreadsheet/cell_text.h"

#include <QRegularExpression>

#include <cmath>

namespace spreadsheet {

std::optional<double> numberFromText(const QString& text)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^([+-]?)(\d*)(?:[.,](\d*))?(?:[eE]([+-]?\d{1,3}))?$)"));
    const QString t = text.trimmed();
    const QRegularExpressionMatch m = pattern.match(t);
    if (!m.hasMatch())
        return std::nullopt;
    const QString whole = m.captured(2);
    const QString fraction = m.captured(3);
    if (whole.isEmpty() && fraction.isEmpty())
        return std::nullopt;
    // Significant digits: leading zeros of the whole digits, and trailing zeros of the fraction, do not count.
    QString digits = whole + fraction;
    while (digits.startsWith(u'0'))
        digits.remove(0, 1);
    QString trimmedFraction = fraction;
    while (trimmedFraction.endsWith(u'0'))
        trimmedFraction.chop(1);
    int significant = static_cast<int>(digits.size()) - static_cast<int>(fraction.size() - trimmedFraction.size());
    if (significant > 15)
        return std::nullopt;
    QString normal = m.captured(1) + (whole.isEmpty() ? QStringLiteral("0") : whole);
    if (!fraction.isEmpty())
        normal += u'.' + fraction;
    if (m.capturedLength(4) > 0)
        normal += u'e' + m.captured(4);
    bool ok = false;
    const double value = normal.toDouble(&ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

double columnWidthFor(const QString& text, bool bold)
{
    // The widest line counts; characters of East Asian scripts take two places.
    double widest = 0;
    for (const QString& line : text.split(u'\n')) {
        double w = 0;
        for (const QChar ch : line) {
            const char16_t u = ch.unicode();
            w += (u >= 0x1100 && (u <= 0x115f || (u >= 0x2e80 && u <= 0xa4cf) || (u >= 0xac00 && u <= 0xd7a3) ||
                                  (u >= 0xf900 && u <= 0xfaff) || (u >= 0xff00 && u <= 0xff60)))
                     ? 2.0
                     : 1.0;
        }
        widest = std::max(widest, w);
    }
    if (bold)
        widest *= 1.1;
    // A little room on both sides, as the application leaves when it fits a column.
    return std::ceil((widest + 1.0) * 10.0) / 10.0;
}

} // namespace spreadsheet
