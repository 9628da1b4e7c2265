#include "charts/chart.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace charts {

namespace {

constexpr double kGap = 6;         // between the axes' labels and the plot
constexpr double kBarShare = 0.7;  // of a category's slot that its bar takes
constexpr double kLabelLineShare = 0.8; // of a text line's height that a category's name needs beside its bar
constexpr double kSwatchShare = 0.75; // a legend's colour square, of the text's height

bool hasLine(const Chart& chart)
{
    return !chart.line.values.isEmpty();
}

// The line's value at a category: one value for all categories, or one each.
std::optional<double> lineValue(const Chart& chart, int category)
{
    const QList<double>& v = chart.line.values;
    if (v.size() == 1)
        return v.front();
    if (category < v.size())
        return v[category];
    return std::nullopt;
}

double valueOf(const Series& s, int category)
{
    return category < s.values.size() ? s.values[category] : 0.0;
}

bool hasLegend(const Chart& chart)
{
    return chart.bars.size() > 1 || hasLine(chart);
}

QString elided(const QFontMetricsF& fm, const QString& text, double width)
{
    return fm.elidedText(text, Qt::ElideRight, width);
}

} // namespace

bool Chart::isEmpty() const
{
    if (categories.isEmpty())
        return true;
    for (const Series& s : bars)
        for (double v : s.values)
            if (v != 0)
                return false;
    return true;
}

QList<double> axisTicks(double low, double high, int maxTicks)
{
    low = std::min(low, 0.0);
    high = std::max(high, 0.0);
    if (high - low <= 0)
        high = 1;
    maxTicks = std::max(maxTicks, 2);
    const double rough = (high - low) / (maxTicks - 1);
    double magnitude = std::pow(10.0, std::floor(std::log10(rough)));
    static constexpr double kSteps[] = {1, 2, 5};
    for (;;) {
        for (double m : kSteps) {
            const double step = m * magnitude;
            const double first = std::floor(low / step + 1e-9) * step;
            const double last = std::ceil(high / step - 1e-9) * step;
            const int count = int(std::llround((last - first) / step)) + 1;
            if (count <= maxTicks) {
                QList<double> ticks;
                for (int i = 0; i < count; ++i) {
                    double t = first + i * step;
                    if (std::abs(t) < step * 1e-9)
                        t = 0; // no "-0"
                    ticks.append(t);
                }
                return ticks;
            }
        }
        magnitude *= 10;
    }
}

QString valueText(const Chart& chart, double value, const QLocale& locale)
{
    return locale.toString(value, 'f', chart.decimals);
}

namespace {

// The axis's numbers: whole steps need no decimals, whatever the values have.
QString tickText(const Chart& chart, const QList<double>& ticks, double tick, const QLocale& locale)
{
    const bool whole = std::all_of(ticks.begin(), ticks.end(), [](double t) { return t == std::round(t); });
    return locale.toString(tick, 'f', whole ? 0 : std::max(chart.decimals, 1));
}

} // namespace

double Geometry::position(double v) const
{
    const double share = high > low ? (v - low) / (high - low) : 0;
    if (orientation == Orientation::Vertical)
        return plot.bottom() - share * plot.height();
    return plot.left() + share * plot.width();
}

namespace {

// The title's and the legend's rows above the plot.
struct Header {
    double titleHeight = 0;
    double legendHeight = 0;
};

Header headerOf(const Chart& chart, const QFontMetricsF& fm)
{
    Header h;
    if (!chart.title.isEmpty())
        h.titleHeight = fm.height() * 1.5;
    if (hasLegend(chart))
        h.legendHeight = fm.height() * 1.4;
    return h;
}

} // namespace

Geometry layOut(const Chart& chart, const QRectF& area, const QFont& font, const QLocale& locale)
{
    Geometry g;
    g.orientation = chart.orientation;
    const QFontMetricsF fm(font);
    const Header header = headerOf(chart, fm);
    const int n = int(chart.categories.size());

    // The value range: stacked sums on both sides of zero, and the line.
    double low = 0, high = 0;
    for (int c = 0; c < n; ++c) {
        double up = 0, down = 0;
        for (const Series& s : chart.bars) {
            const double v = valueOf(s, c);
            (v >= 0 ? up : down) += v;
        }
        high = std::max(high, up);
        low = std::min(low, down);
        if (const auto v = lineValue(chart, c)) {
            high = std::max(high, *v);
            low = std::min(low, *v);
        }
    }
    const bool vertical = chart.orientation == Orientation::Vertical;
    // Fewer ticks where there is little room for them.
    const double valueRoom = vertical ? area.height() : area.width();
    const double tickRoom = vertical ? fm.height() * 2.5 : fm.horizontalAdvance(QStringLiteral("000 000")) * 1.6;
    g.ticks = axisTicks(low, high, std::clamp(int(valueRoom / std::max(tickRoom, 1.0)), 2, 8));
    g.low = g.ticks.front();
    g.high = g.ticks.back();

    double tickWidth = 0;
    for (double t : g.ticks)
        tickWidth = std::max(tickWidth, fm.horizontalAdvance(tickText(chart, g.ticks, t, locale)));
    const double top = area.top() + header.titleHeight + header.legendHeight + fm.height() / 2;
    if (vertical) {
        g.plot = QRectF(QPointF(area.left() + tickWidth + kGap, top),
                        QPointF(area.right() - fm.horizontalAdvance(QStringLiteral("0")),
                                area.bottom() - fm.height() - kGap));
    } else {
        double labelWidth = 0;
        for (const QString& c : chart.categories)
            labelWidth = std::max(labelWidth, fm.horizontalAdvance(c));
        labelWidth = std::min(labelWidth, area.width() * 0.4);
        g.plot = QRectF(QPointF(area.left() + labelWidth + kGap, top),
                        QPointF(area.right() - tickWidth / 2 - 2, area.bottom() - fm.height() - kGap));
    }
    if (g.plot.width() <= 0 || g.plot.height() <= 0 || n == 0)
        return g;

    const double slot = (vertical ? g.plot.width() : g.plot.height()) / n;
    const double thickness = std::max(1.0, slot * kBarShare);
    for (int c = 0; c < n; ++c) {
        const double start = (vertical ? g.plot.left() : g.plot.top()) + c * slot + (slot - thickness) / 2;
        double up = 0, down = 0;
        for (int s = 0; s < chart.bars.size(); ++s) {
            const double v = valueOf(chart.bars[s], c);
            if (v == 0)
                continue;
            double& base = v > 0 ? up : down;
            const double from = g.position(base);
            base += v;
            const double to = g.position(base);
            Bar bar;
            bar.category = c;
            bar.series = s;
            bar.value = v;
            if (vertical)
                bar.rect = QRectF(QPointF(start, std::min(from, to)), QPointF(start + thickness, std::max(from, to)));
            else
                bar.rect = QRectF(QPointF(std::min(from, to), start), QPointF(std::max(from, to), start + thickness));
            g.bars.append(bar);
        }
    }
    return g;
}

QList<Shape> draw(const Chart& chart, const QRectF& area, const QFont& font, const QLocale& locale)
{
    QList<Shape> out;
    const auto fill = [&](const QRectF& r, const QColor& c) {
        Shape s;
        s.kind = Shape::Kind::Fill;
        s.rect = r;
        s.colour = c;
        out.append(s);
    };
    const auto text = [&](const QRectF& r, const QString& t, Qt::Alignment align, const QColor& c = QColor(),
                          bool bold = false) {
        Shape s;
        s.kind = Shape::Kind::Text;
        s.rect = r;
        s.text = t;
        s.align = align;
        s.colour = c;
        s.bold = bold;
        out.append(s);
    };
    const auto line = [&](const QPointF& a, const QPointF& b, const QColor& c, double width) {
        Shape s;
        s.kind = Shape::Kind::Line;
        s.line = QLineF(a, b);
        s.colour = c;
        s.width = width;
        out.append(s);
    };
    const QFontMetricsF fm(font);
    const Header header = headerOf(chart, fm);
    const QColor faint(0xd0, 0xd0, 0xd0);

    if (!chart.title.isEmpty()) {
        QFont bold = font;
        bold.setBold(true);
        text(QRectF(area.left(), area.top(), area.width(), header.titleHeight),
             elided(QFontMetricsF(bold), chart.title, area.width()), Qt::AlignLeft | Qt::AlignVCenter, QColor(), true);
    }
    if (chart.isEmpty()) {
        text(area.adjusted(0, header.titleHeight, 0, 0), QString::fromUtf8(kNoDataText), Qt::AlignCenter,
             QColor(0x80, 0x80, 0x80));
        return out;
    }

    if (hasLegend(chart)) {
        double x = area.left();
        const double y = area.top() + header.titleHeight;
        QList<const Series*> entries;
        for (const Series& s : chart.bars)
            entries.append(&s);
        if (hasLine(chart))
            entries.append(&chart.line);
        for (const Series* s : entries) {
            const double side = fm.height() * kSwatchShare;
            const QRectF swatch(x, y + (header.legendHeight - side) / 2, side, side);
            if (s == &chart.line)
                line(QPointF(swatch.left(), swatch.center().y()), QPointF(swatch.right(), swatch.center().y()),
                     s->color, 2);
            else
                fill(swatch, s->color);
            x = swatch.right() + side * 0.4;
            const double w = fm.horizontalAdvance(s->name);
            text(QRectF(x, y, w + 1, header.legendHeight), s->name, Qt::AlignLeft | Qt::AlignVCenter);
            x += w + side * 1.4;
        }
    }

    const Geometry g = layOut(chart, area, font, locale);
    if (g.plot.width() <= 0 || g.plot.height() <= 0)
        return out;
    const bool vertical = chart.orientation == Orientation::Vertical;

    // The value axis: a grid line and a number at each tick (the zero line last, over the others).
    for (double t : g.ticks) {
        const double p = g.position(t);
        const QString label = tickText(chart, g.ticks, t, locale);
        if (vertical) {
            if (t != 0)
                line(QPointF(g.plot.left(), p), QPointF(g.plot.right(), p), faint, 1);
            text(QRectF(area.left(), p - fm.height() / 2, g.plot.left() - kGap - area.left(), fm.height()), label,
                 Qt::AlignRight | Qt::AlignVCenter);
        } else {
            if (t != 0)
                line(QPointF(p, g.plot.top()), QPointF(p, g.plot.bottom()), faint, 1);
            const double w = fm.horizontalAdvance(label);
            text(QRectF(p - w / 2 - 1, g.plot.bottom() + kGap / 2, w + 2, fm.height()), label, Qt::AlignCenter);
        }
    }

    // The bars.
    for (const Bar& b : g.bars)
        fill(b.rect, chart.bars[b.series].color);

    const double zero = g.position(0);
    if (vertical)
        line(QPointF(g.plot.left(), zero), QPointF(g.plot.right(), zero), QColor(), 1);
    else
        line(QPointF(zero, g.plot.top()), QPointF(zero, g.plot.bottom()), QColor(), 1);

    // The categories along their axis; every k-th where they would overlap.
    const int n = int(chart.categories.size());
    const double slot = (vertical ? g.plot.width() : g.plot.height()) / n;
    if (vertical) {
        double widest = 0;
        for (const QString& c : chart.categories)
            widest = std::max(widest, fm.horizontalAdvance(c));
        const int every = std::max(1, int(std::ceil((widest + 4) / slot)));
        for (int c = 0; c < n; c += every) {
            const double mid = g.plot.left() + (c + 0.5) * slot;
            text(QRectF(mid - slot * every / 2, g.plot.bottom() + kGap / 2, slot * every, fm.height()),
                 chart.categories[c], Qt::AlignCenter);
        }
    } else {
        // names may stand closer than a line's height: their bars keep a gap between them
        const int every = std::max(1, int(std::ceil(fm.height() * kLabelLineShare / slot)));
        const double width = g.plot.left() - kGap - area.left();
        for (int c = 0; c < n; c += every) {
            const double mid = g.plot.top() + (c + 0.5) * slot;
            text(QRectF(area.left(), mid - fm.height() / 2, width, fm.height()),
                 elided(fm, chart.categories[c], width), Qt::AlignRight | Qt::AlignVCenter);
        }
    }

    // The line: one value for every category runs across the whole plot; a value each goes through the middles of
    // the categories' slots.
    if (hasLine(chart)) {
        if (chart.line.values.size() == 1) {
            const double p = g.position(chart.line.values.front());
            line(vertical ? QPointF(g.plot.left(), p) : QPointF(p, g.plot.top()),
                 vertical ? QPointF(g.plot.right(), p) : QPointF(p, g.plot.bottom()), chart.line.color, 2);
        } else {
            std::optional<QPointF> last;
            for (int c = 0; c < n; ++c) {
                const auto v = lineValue(chart, c);
                if (!v)
                    continue;
                const double along = (vertical ? g.plot.left() : g.plot.top()) + (c + 0.5) * slot;
                const QPointF point = vertical ? QPointF(along, g.position(*v)) : QPointF(g.position(*v), along);
                if (last)
                    line(*last, point, chart.line.color, 2);
                last = point;
            }
        }
    }
    return out;
}

void paint(QPainter& painter, const QRectF& area, const Chart& chart, const QFont& font, const QLocale& locale)
{
    painter.save();
    const QColor ink = painter.pen().color();
    QFont bold = font;
    bold.setBold(true);
    for (const Shape& s : draw(chart, area, font, locale)) {
        const QColor colour = s.colour.isValid() ? s.colour : ink;
        switch (s.kind) {
        case Shape::Kind::Fill:
            painter.fillRect(s.rect, colour);
            break;
        case Shape::Kind::Text:
            painter.setFont(s.bold ? bold : font);
            painter.setPen(colour);
            painter.drawText(s.rect, int(s.align), s.text);
            break;
        case Shape::Kind::Line:
            // straight lines on the pixel grid stay sharp; the others are smoothed
            painter.setRenderHint(QPainter::Antialiasing, s.line.dx() != 0 && s.line.dy() != 0);
            painter.setPen(QPen(colour, s.width));
            painter.drawLine(s.line);
            break;
        }
    }
    painter.restore();
}

std::optional<Bar> barAt(const Chart& chart, const QRectF& area, const QFont& font, const QLocale& locale,
                         const QPointF& point)
{
    if (chart.isEmpty())
        return std::nullopt;
    const Geometry g = layOut(chart, area, font, locale);
    for (const Bar& b : g.bars)
        if (b.rect.adjusted(-0.5, -0.5, 0.5, 0.5).contains(point))
            return b;
    return std::nullopt;
}

QString describe(const Chart& chart, const Bar& bar, const QLocale& locale)
{
    QString text = chart.categories.value(bar.category);
    const QString series = bar.series >= 0 && bar.series < chart.bars.size() ? chart.bars[bar.series].name : QString();
    if (!series.isEmpty())
        text += QStringLiteral(": ") + series;
    text += QStringLiteral(" — ") + valueText(chart, bar.value, locale);
    if (!chart.unit.isEmpty())
        text += u' ' + chart.unit;
    return text;
}

} // namespace charts
