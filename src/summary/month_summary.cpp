#include "summary/month_summary.h"

#include "db/dataset.h"
#include "summary/summary_sql.h"

#include <QDate>

#include <algorithm>
#include <cmath>

namespace summary {

namespace {

const QColor kShiftColours[kShifts] = {QColor(0x1f, 0x77, 0xb4), QColor(0xff, 0x7f, 0x0e), QColor(0x2c, 0xa0, 0x2c),
                                       QColor(0x94, 0x67, 0xbd)};
const QColor kAverageColour(0xd6, 0x27, 0x28);
const QColor kAcceptedColour(0x2c, 0xa0, 0x2c);
const QColor kNotAcceptedColour(0xc7, 0xc7, 0xc7);

QStringList dayNumbers(int days)
{
    QStringList out;
    for (int d = 1; d <= days; ++d)
        out << QString::number(d);
    return out;
}

// Opens a statement of the summary on the month (and, for the figures, the month before).
void openFor(db::Dataset& query, const QString& sql, const QDate& first)
{
    query.setSql(sql);
    query.setParam(QStringLiteral("data1"), first);
    query.setParam(QStringLiteral("data2"), first.addMonths(1));
    if (query.paramNames().contains(QStringLiteral("prev1")))
        query.setParam(QStringLiteral("prev1"), first.addMonths(-1));
    query.open();
}

// "+5,2 % к прошлому месяцу", or what stands for it when there is nothing to compare with.
QString change(double now, double before, const QLocale& locale)
{
    if (before == 0)
        return now == 0 ? QStringLiteral("как в прошлом месяце") : QStringLiteral("в прошлом месяце не было");
    const double percent = (now - before) / before * 100;
    if (std::abs(percent) < 0.05)
        return QStringLiteral("как в прошлом месяце");
    return (percent > 0 ? QStringLiteral("+") : QStringLiteral("−")) + locale.toString(std::abs(percent), 'f', 1) +
           QStringLiteral(" % к прошлому месяцу");
}

} // namespace

double Figures::rejectShare() const
{
    const double processed = pieces + rejects;
    return processed > 0 ? rejects / processed : 0;
}

MonthSummary emptyMonth(int year, int month)
{
    MonthSummary m;
    m.year = year;
    m.month = month;
    m.days = QDate(year, month, 1).daysInMonth();
    m.pieces = QList<QList<double>>(kShifts, QList<double>(m.days, 0.0));
    m.sums = m.pieces;
    m.accepted = QList<double>(m.days, 0.0);
    m.notAccepted = m.accepted;
    return m;
}

MonthSummary readMonth(const QString& connectionName, int year, int month)
{
    MonthSummary m = emptyMonth(year, month);
    const QDate first(year, month, 1);
    db::Dataset query(connectionName, QStringLiteral("summary"));

    openFor(query, summary_sql::byDayAndShift(), first);
    for (query.first(); !query.eof(); query.next()) {
        const int day = query.asInt(QStringLiteral("day"));
        const int shift = query.asInt(QStringLiteral("shift"));
        if (day < 1 || day > m.days)
            continue;
        const int rows = query.asInt(QStringLiteral("rows_count"));
        const int accepted = query.asInt(QStringLiteral("accepted"));
        if (shift >= 1 && shift <= kShifts) {
            m.pieces[shift - 1][day - 1] += query.asDouble(QStringLiteral("pieces"));
            m.sums[shift - 1][day - 1] += query.asDouble(QStringLiteral("summa"));
        }
        m.accepted[day - 1] += accepted;
        m.notAccepted[day - 1] += rows - accepted;
    }
    query.close();

    openFor(query, summary_sql::byWorker(), first);
    for (query.first(); !query.eof(); query.next())
        m.earners.append({query.asString(QStringLiteral("fio")), query.asDouble(QStringLiteral("summa"))});
    query.close();

    openFor(query, summary_sql::figures(), first);
    for (query.first(); !query.eof(); query.next()) {
        Figures& f = query.value(QStringLiteral("current_month")).toBool() ? m.current : m.previous;
        f.rows = query.asInt(QStringLiteral("rows_count"));
        f.pieces = query.asDouble(QStringLiteral("pieces"));
        f.rejects = query.asDouble(QStringLiteral("rejects"));
        f.hours = query.asDouble(QStringLiteral("hours"));
        f.sum = query.asDouble(QStringLiteral("summa"));
        f.days = query.asInt(QStringLiteral("days"));
    }
    query.close();
    return m;
}

charts::Chart outputChart(const MonthSummary& m, Measure measure)
{
    charts::Chart c;
    const bool roubles = measure == Measure::Roubles;
    c.title = roubles ? QStringLiteral("Выработка по дням, руб.") : QStringLiteral("Выработка по дням, шт.");
    c.categories = dayNumbers(m.days);
    const QList<QList<double>>& values = roubles ? m.sums : m.pieces;
    for (int s = 0; s < kShifts; ++s)
        c.bars.append({QString::number(s + 1) + QStringLiteral(" смена"), kShiftColours[s], values.value(s)});
    if (m.previous.days > 0) {
        const double total = roubles ? m.previous.sum : m.previous.pieces;
        c.line = {QStringLiteral("В среднем за рабочий день прошлого месяца"), kAverageColour,
                  {total / m.previous.days}};
    }
    c.decimals = roubles ? 2 : 0;
    c.unit = roubles ? QStringLiteral("руб.") : QStringLiteral("шт.");
    return c;
}

charts::Chart earnersChart(const MonthSummary& m)
{
    charts::Chart c;
    c.title = QStringLiteral("Заработок за месяц, руб.");
    c.orientation = charts::Orientation::Horizontal;
    c.decimals = 2;
    c.unit = QStringLiteral("руб.");
    charts::Series s{QString(), kShiftColours[0], {}};
    double rest = 0;
    for (int i = 0; i < m.earners.size(); ++i) {
        if (i < kTopEarners) {
            c.categories << m.earners[i].first;
            s.values << m.earners[i].second;
        } else {
            rest += m.earners[i].second;
        }
    }
    if (m.earners.size() > kTopEarners) {
        c.categories << QStringLiteral("остальные");
        s.values << rest;
    }
    c.bars = {s};
    return c;
}

charts::Chart acceptanceChart(const MonthSummary& m)
{
    charts::Chart c;
    c.title = QStringLiteral("Приёмка записей по дням");
    c.categories = dayNumbers(m.days);
    c.bars = {{QStringLiteral("Принято"), kAcceptedColour, m.accepted},
              {QStringLiteral("Не принято"), kNotAcceptedColour, m.notAccepted}};
    c.unit = QStringLiteral("зап.");
    return c;
}

QStringList figureLines(const MonthSummary& m, const QLocale& locale)
{
    const Figures& a = m.current;
    const Figures& b = m.previous;
    auto whole = [&](double v) { return locale.toString(v, 'f', 0); };
    return {
        QStringLiteral("Записей: %1 (%2)").arg(whole(double(a.rows)), change(double(a.rows), double(b.rows), locale)),
        QStringLiteral("Штук: %1 (%2)").arg(whole(a.pieces), change(a.pieces, b.pieces, locale)),
        QStringLiteral("Брак: %1, %2 % обработанных (%3)")
            .arg(whole(a.rejects), locale.toString(a.rejectShare() * 100, 'f', 1), change(a.rejects, b.rejects, locale)),
        QStringLiteral("Часов: %1 (%2)").arg(whole(a.hours), change(a.hours, b.hours, locale)),
        QStringLiteral("Сумма: %1 руб. (%2)").arg(locale.toString(a.sum, 'f', 2), change(a.sum, b.sum, locale)),
    };
}

} // namespace summary
