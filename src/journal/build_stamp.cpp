#include "journal/build_stamp.h"

#include "db/db_error.h"

#include <QStringList>

int buildDateNumber(const QString& text)
{
    static const QStringList months = {QStringLiteral("Jan"), QStringLiteral("Feb"), QStringLiteral("Mar"),
                                       QStringLiteral("Apr"), QStringLiteral("May"), QStringLiteral("Jun"),
                                       QStringLiteral("Jul"), QStringLiteral("Aug"), QStringLiteral("Sep"),
                                       QStringLiteral("Oct"), QStringLiteral("Nov"), QStringLiteral("Dec")};
    // "Mmm dd yyyy"; a day below 10 has a leading blank, which counts as 0.
    if (text.size() != 11)
        throw db::ConversionError(QStringLiteral("Неверная дата сборки: '%1'").arg(text));
    const int month = static_cast<int>(months.indexOf(text.left(3))) + 1;
    const QChar d1 = text[4] == u' ' ? QChar(u'0') : text[4];
    bool okDay = false, okYear = false;
    const int day = (QString(d1) + text[5]).toInt(&okDay);
    const int year = text.mid(7, 4).toInt(&okYear);
    if (month < 1 || !okDay || !okYear || day < 1 || day > 31)
        throw db::ConversionError(QStringLiteral("Неверная дата сборки: '%1'").arg(text));
    return year * 10000 + month * 100 + day;
}

int buildTimeNumber(const QString& text)
{
    if (text.size() != 8 || text[2] != u':' || text[5] != u':')
        throw db::ConversionError(QStringLiteral("Неверное время сборки: '%1'").arg(text));
    const int weights[] = {36000, 3600, 0, 600, 60, 0, 10, 1};
    int total = 0;
    for (int i = 0; i < 8; ++i) {
        if (i == 2 || i == 5)
            continue;
        if (!text[i].isDigit())
            throw db::ConversionError(QStringLiteral("Неверное время сборки: '%1'").arg(text));
        total += text[i].digitValue() * weights[i];
    }
    return total;
}

namespace {

QString stampText(int d, int t)
{
    return QStringLiteral("%1.%2.%3 %4:%5:%6")
        .arg(d % 100, 2, 10, QLatin1Char('0'))
        .arg(d / 100 % 100, 2, 10, QLatin1Char('0'))
        .arg(d / 10000, 4, 10, QLatin1Char('0'))
        .arg(t / 3600, 2, 10, QLatin1Char('0'))
        .arg(t / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(t % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

QString buildRefusalDetails(int programDate, int programTime, int databaseDate, int databaseTime)
{
    return QStringLiteral("Сборка программы: ") + stampText(programDate, programTime) +
           QStringLiteral("\nСборка, записанная в базе данных (accounts_dep.ver): ") +
           stampText(databaseDate, databaseTime) +
           QStringLiteral("\nС этой базой работают сборки не старше записанной в ней.");
}

bool stampOlder(int d1, int t1, int d2, int t2)
{
    return d1 < d2 || (d1 == d2 && t1 < t2);
}
