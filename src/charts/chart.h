// Bar charts drawn with Qt's painter: bars (stacked when there are several series), an optional line over them,
// a value axis with the locale's numbers and "нет данных" for a chart with nothing to show. The same drawing goes to
// the screen, to a picture file and to a printed page, so a chart is a value (its data and its look) and drawing
// is a function of it.
#pragma once

#include <QColor>
#include <QFont>
#include <QLineF>
#include <QList>
#include <QLocale>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <optional>

class QPainter;

namespace charts {

// One series: a value per category.
struct Series {
    QString name;
    QColor color;
    QList<double> values;
};

// Bars grow up from the category axis at the bottom, or right from the category axis on the left (long names).
enum class Orientation { Vertical, Horizontal };

inline constexpr const char* kNoDataText = "нет данных";

struct Chart {
    QString title;
    QStringList categories;
    // Stacked in this order, the first at the axis. Values below zero are drawn below (left of) the axis.
    QList<Series> bars;
    // Drawn over the bars through the categories' middles (e.g. last month's average); empty values: no line.
    Series line;
    Orientation orientation = Orientation::Vertical;
    // Decimals of the values on the axis and in the tool tips.
    int decimals = 0;
    // The unit after a value in a tool tip ("шт.", "руб."); empty: none.
    QString unit;

    // Nothing to show: no category, or every bar zero (a line alone, such as last month's average, is no data of
    // this chart's own).
    bool isEmpty() const;
};

// A bar segment as drawn: which category and series, its value, where it is.
struct Bar {
    int category = -1;
    int series = -1;
    double value = 0;
    QRectF rect;
};

// The values on the value axis: round steps (1, 2 or 5 times a power of ten) from at most `low` to at least
// `high`, zero among them, at most `maxTicks` of them.
QList<double> axisTicks(double low, double high, int maxTicks = 6);

// Where everything goes in `area` with that font: the bars, the value axis's ticks and the plot's rectangle.
struct Geometry {
    QRectF plot;
    QList<Bar> bars;
    QList<double> ticks;
    // Where value v falls along the value axis (a y for vertical charts, an x for horizontal ones).
    double position(double v) const;
    double low = 0, high = 1;
    Orientation orientation = Orientation::Vertical;
};
Geometry layOut(const Chart& chart, const QRectF& area, const QFont& font, const QLocale& locale);

// What a chart is drawn of: filled rectangles, texts and straight lines, in the units of the area it was drawn in.
// The screen paints them, a printed page places them as its own items.
struct Shape {
    enum class Kind { Fill, Text, Line };
    Kind kind = Kind::Fill;
    QRectF rect;                // a fill's or a text's box
    QLineF line;                // a line's ends
    QColor colour;              // the fill's, the text's or the line's; invalid: the ink the drawing is given
    QString text;
    Qt::Alignment align = Qt::AlignLeft | Qt::AlignVCenter;
    bool bold = false;
    double width = 1;           // a line's
};
QList<Shape> draw(const Chart& chart, const QRectF& area, const QFont& font, const QLocale& locale = QLocale());

// Draws the chart into `area`.
void paint(QPainter& painter, const QRectF& area, const Chart& chart, const QFont& font,
           const QLocale& locale = QLocale());

// The bar segment under a point of `area`, if any.
std::optional<Bar> barAt(const Chart& chart, const QRectF& area, const QFont& font, const QLocale& locale,
                         const QPointF& point);

// "12 июн.: 1 смена — 1 234 шт.": what a tool tip over a bar says.
QString describe(const Chart& chart, const Bar& bar, const QLocale& locale);

// A value in the locale's numbers with the chart's decimals.
QString valueText(const Chart& chart, double value, const QLocale& locale);

} // namespace charts
