// The charts as drawn: the value axis's steps, the bars' lengths and order measured in rendered pictures, the line,
// a chart with nothing to show, and what the mouse over a bar is told.
#include "charts/chart.h"
#include "charts/chart_view.h"

#include <QApplication>
#include <QHelpEvent>
#include <QImage>
#include <QTest>
#include <QToolTip>

#include <cmath>

using namespace charts;

Q_DECLARE_METATYPE(charts::Chart)

namespace {

const QColor kFirst(0x1f, 0x77, 0xb4);
const QColor kSecond(0xff, 0x7f, 0x0e);
const QColor kLine(0xd6, 0x27, 0x28);
const QSize kSize(480, 320);

QFont testFont()
{
    QFont f(QStringLiteral("Liberation Sans"));
    f.setPixelSize(12);
    return f;
}

// Pixels of exactly that colour along a column (vertical charts) or a row (horizontal ones) of the plot (the
// legend's swatches above it have the series' colours too).
int runOf(const QImage& image, const QColor& colour, int at, bool column, const QRectF& plot)
{
    int n = 0;
    const int from = int(column ? plot.top() : plot.left());
    const int to = int(std::ceil(column ? plot.bottom() : plot.right()));
    for (int i = from; i <= to; ++i) {
        const QPoint p = column ? QPoint(at, i) : QPoint(i, at);
        if (image.pixelColor(p) == colour)
            ++n;
    }
    return n;
}

int countOf(const QImage& image, const QColor& colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y) == colour)
                ++n;
    return n;
}

Chart shifts(QList<double> first, QList<double> second)
{
    Chart c;
    c.title = QStringLiteral("Выработка по дням");
    for (int i = 0; i < first.size(); ++i)
        c.categories << QString::number(i + 1);
    c.bars = {{QStringLiteral("Смена 1"), kFirst, first}, {QStringLiteral("Смена 2"), kSecond, second}};
    return c;
}

} // namespace

class TestCharts : public QObject {
    Q_OBJECT

private slots:
    // Round steps that cover the values and hold zero, never more than asked for.
    void axisTicks_data()
    {
        QTest::addColumn<double>("low");
        QTest::addColumn<double>("high");
        QTest::addColumn<int>("maxTicks");
        QTest::newRow("nothing") << 0.0 << 0.0 << 6;
        QTest::newRow("pieces") << 0.0 << 97.0 << 6;
        QTest::newRow("roubles") << 0.0 << 1234567.89 << 6;
        QTest::newRow("fractions") << 0.0 << 0.37 << 5;
        QTest::newRow("both sides") << -30.0 << 70.0 << 6;
        QTest::newRow("below zero only") << -12.5 << 0.0 << 4;
        QTest::newRow("two ticks") << 0.0 << 999.0 << 2;
        QTest::newRow("just one step") << 0.0 << 100.0 << 3;
    }
    void axisTicks()
    {
        QFETCH(double, low);
        QFETCH(double, high);
        QFETCH(int, maxTicks);
        const QList<double> t = charts::axisTicks(low, high, maxTicks);
        QVERIFY2(t.size() >= 2 && t.size() <= maxTicks, qPrintable(QString::number(t.size())));
        QVERIFY(t.front() <= low && t.back() >= high);
        QVERIFY(t.contains(0.0));
        const double step = t[1] - t[0];
        for (int i = 1; i < t.size(); ++i)
            QVERIFY(std::abs(t[i] - t[i - 1] - step) < step * 1e-9);
        const double mantissa = step / std::pow(10.0, std::floor(std::log10(step)));
        QVERIFY2(std::abs(mantissa - 1) < 1e-9 || std::abs(mantissa - 2) < 1e-9 || std::abs(mantissa - 5) < 1e-9,
                 qPrintable(QString::number(step)));
    }

    // Stacked bars: in each day's column the shifts' lengths are in the proportion of their values, the first shift
    // at the axis, and the days' stacks in the proportion of their sums.
    void stackedBarsAsDrawn()
    {
        const Chart c = shifts({40, 10, 0, 25}, {20, 30, 0, 0});
        const QImage image = render(c, kSize, testFont());
        const Geometry g = layOut(c, QRectF(QPointF(0, 0), QSizeF(kSize)).adjusted(4, 2, -4, -2), testFont(), QLocale());
        const double perUnit = (g.position(0) - g.position(10)) / 10;
        QVERIFY(perUnit > 1);
        for (int day = 0; day < 4; ++day) {
            const int x = int(g.plot.left() + (day + 0.5) * g.plot.width() / 4);
            const int first = runOf(image, kFirst, x, true, g.plot);
            const int second = runOf(image, kSecond, x, true, g.plot);
            QVERIFY2(std::abs(first - c.bars[0].values[day] * perUnit) <= 2, qPrintable(QString::number(first)));
            QVERIFY2(std::abs(second - c.bars[1].values[day] * perUnit) <= 2, qPrintable(QString::number(second)));
            if (first > 0 && second > 0) {
                // the first shift is at the bottom
                int lowestFirst = -1, lowestSecond = -1;
                for (int y = 0; y < image.height(); ++y) {
                    if (image.pixelColor(x, y) == kFirst)
                        lowestFirst = y;
                    if (image.pixelColor(x, y) == kSecond)
                        lowestSecond = y;
                }
                QVERIFY(lowestFirst > lowestSecond);
            }
        }
        // the empty day draws nothing
        const int emptyDay = int(g.plot.left() + 2.5 * g.plot.width() / 4);
        QCOMPARE(runOf(image, kFirst, emptyDay, true, g.plot) + runOf(image, kSecond, emptyDay, true, g.plot), 0);
    }

    // Sorted earnings, horizontally: the rows' lengths follow the values, top to bottom in the given order, and a
    // value below zero goes left of the axis.
    void horizontalBarsAsDrawn()
    {
        Chart c;
        c.orientation = Orientation::Horizontal;
        c.categories = {QStringLiteral("Иванов И.И."), QStringLiteral("Петров П.П."), QStringLiteral("остальные"),
                        QStringLiteral("Возврат")};
        c.bars = {{QString(), kFirst, {900, 450, 300, -150}}};
        c.decimals = 2;
        const QImage image = render(c, kSize, testFont());
        const Geometry g = layOut(c, QRectF(QPointF(0, 0), QSizeF(kSize)).adjusted(4, 2, -4, -2), testFont(), QLocale());
        const double perUnit = (g.position(100) - g.position(0)) / 100;
        int previousY = -1;
        for (int row = 0; row < 4; ++row) {
            const int y = int(g.plot.top() + (row + 0.5) * g.plot.height() / 4);
            QVERIFY(y > previousY);
            previousY = y;
            const int length = runOf(image, kFirst, y, false, g.plot);
            QVERIFY2(std::abs(length - std::abs(c.bars[0].values[row]) * perUnit) <= 2,
                     qPrintable(QStringLiteral("%1: %2").arg(row).arg(length)));
        }
        const int lastY = int(g.plot.top() + 3.5 * g.plot.height() / 4);
        const int zeroX = int(g.position(0));
        QCOMPARE(image.pixelColor(zeroX + 3, lastY) == kFirst, false);
        QCOMPARE(image.pixelColor(zeroX - 3, lastY), kFirst);
    }

    // Last month's average across the plot, at its value's height.
    void lineAtItsValue()
    {
        Chart c = shifts({40, 10, 30}, {0, 0, 0});
        c.line = {QStringLiteral("Среднее прошлого месяца"), kLine, {25}};
        const QImage image = render(c, kSize, testFont());
        const Geometry g = layOut(c, QRectF(QPointF(0, 0), QSizeF(kSize)).adjusted(4, 2, -4, -2), testFont(), QLocale());
        for (int day = 0; day < 3; ++day) {
            const int x = int(g.plot.left() + (day + 0.5) * g.plot.width() / 3);
            int y = -1;
            for (int i = 0; i < image.height() && y < 0; ++i)
                if (image.pixelColor(x, i) == kLine)
                    y = i;
            QVERIFY2(std::abs(y - g.position(25)) <= 2, qPrintable(QString::number(y)));
        }
    }

    // Nothing to show: no bars and no line are drawn, the words are, and the mouse finds no bar.
    void emptyChart_data()
    {
        QTest::addColumn<Chart>("chart");
        QTest::newRow("no days") << shifts({}, {});
        QTest::newRow("all zero") << shifts({0, 0, 0}, {0, 0, 0});
    }
    void emptyChart()
    {
        QFETCH(Chart, chart);
        chart.line = {QStringLiteral("Среднее"), kLine, {25}}; // last month's line alone is no data
        QVERIFY(chart.isEmpty());
        const QImage image = render(chart, kSize, testFont());
        QCOMPARE(countOf(image, kFirst) + countOf(image, kSecond) + countOf(image, kLine), 0);
        const QImage middle = image.copy(QRect(kSize.width() / 3, kSize.height() / 3, kSize.width() / 3,
                                               kSize.height() / 3));
        QVERIFY2(countOf(middle, Qt::white) < middle.width() * middle.height(), "the words are drawn in the middle");
        QVERIFY(!barAt(chart, QRectF(0, 0, kSize.width(), kSize.height()), testFont(), QLocale(),
                       QPointF(kSize.width() / 2.0, kSize.height() / 2.0)));
    }

    // The mouse over a segment is told its day, its shift and its value in the locale's numbers; the widget's tool
    // tip says the same.
    void valueUnderTheMouse()
    {
        Chart c = shifts({1234.5, 10}, {20, 30});
        c.decimals = 2;
        c.unit = QStringLiteral("руб.");
        const QLocale russian(QLocale::Russian, QLocale::Russia);
        charts::ChartView view;
        view.setLocale(russian);
        view.setFont(testFont());
        view.resize(kSize);
        view.setChart(c);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        const QRectF area = QRectF(view.rect()).adjusted(4, 2, -4, -2);
        const Geometry g = layOut(c, area, testFont(), russian);
        QCOMPARE(g.bars.size(), 4);
        for (const Bar& b : g.bars) {
            const auto found = barAt(c, area, testFont(), russian, b.rect.center());
            QVERIFY(found);
            QCOMPARE(found->category, b.category);
            QCOMPARE(found->series, b.series);
        }
        const Bar big = g.bars[0];
        QCOMPARE(describe(c, big, russian), QStringLiteral("1: Смена 1 — 1\u00a0234,50 руб."));
        QHelpEvent help(QEvent::ToolTip, big.rect.center().toPoint(), view.mapToGlobal(big.rect.center().toPoint()));
        QApplication::sendEvent(&view, &help);
        QTRY_COMPARE(QToolTip::text(), describe(c, big, russian));
        QCOMPARE(view.accessibleName(), c.title);
    }
};

QTEST_MAIN(TestCharts)
#include "tst_charts.moc"
