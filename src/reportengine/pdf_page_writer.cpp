#include "reportengine/pdf_page_writer.h"

#include "reportengine/pdf_objects.h"
#include "reportengine/render.h"

#include <QFontMetricsF>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <climits>
#include <vector>

namespace reportengine::pdf {

namespace {

constexpr double kPtPerMm = 72.0 / 25.4;
// The thinnest line the painter draws: one dot of the high-resolution printer.
constexpr double kThinnestPt = 72.0 / 1200.0;

// A paint device that keeps what the painter fills (the outlines of its glyphs) instead of drawing it: a text the
// writer cannot draw itself is drawn by the painter through it, and the outlines go into the page as paths. The
// device has the high-resolution printer's resolution, so the painter shapes and places as it does when printing.
class OutlineDevice : public QPaintDevice {
public:
    static constexpr int kDpi = 1200;

    struct Fill {
        QPainterPath path; // device dots
        QColor color;
    };

    OutlineDevice() = default;
    QPaintEngine* paintEngine() const override { return &engine_; }
    std::vector<Fill>& fills() { return engine_.fills; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth:
        case PdmHeight:
            return 1000000;
        case PdmWidthMM:
        case PdmHeightMM:
            return int(1000000 * 25.4 / kDpi);
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return kDpi;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return INT_MAX;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        }
        return 0;
    }

private:
    class Engine : public QPaintEngine {
    public:
        Engine()
            : QPaintEngine(QPaintEngine::AllFeatures)
        {
        }
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        Type type() const override { return QPaintEngine::User; }
        void updateState(const QPaintEngineState& state) override
        {
            if (state.state() & DirtyTransform)
                transform_ = state.transform();
            if (state.state() & DirtyBrush)
                brush_ = state.brush();
        }
        void drawPath(const QPainterPath& path) override
        {
            if (brush_.style() != Qt::NoBrush && !path.isEmpty())
                fills.push_back({transform_.map(path), brush_.color()});
        }
        void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
        {
            QPainterPath path;
            path.addPolygon(QPolygonF(QList<QPointF>(points, points + count)));
            path.setFillRule(mode == OddEvenMode ? Qt::OddEvenFill : Qt::WindingFill);
            drawPath(path);
        }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {} // colour glyphs: none in reports

        std::vector<Fill> fills;

    private:
        QTransform transform_;
        QBrush brush_;
    };

    mutable Engine engine_;
};

} // namespace

int FontNumbers::numberOf(const QString& key)
{
    std::lock_guard lock(mutex_);
    auto it = numbers_.find(key);
    if (it == numbers_.end())
        it = numbers_.insert(key, int(numbers_.size()) + 1);
    return *it;
}

std::string PageWriter::content(const Page& page, double heightPt)
{
    out_ = std::string();
    out_.reserve(lastSize_ + lastSize_ / 8 + 256);
    height_ = heightPt;
    state_ = State{};
    for (const PlacedBand& b : page.bands) {
        if (b.background().isValid())
            fillRect(b.rect(), b.background());
        for (const PlacedItem& i : b.items) {
            if (i.background().isValid())
                fillRect(i.rect(), i.background());
            if (!i.text().isEmpty())
                text(i);
            frame(i.rect(), i.frame());
        }
        frame(b.rect(), b.frame());
    }
    lastSize_ = out_.size();
    return std::move(out_);
}

double PageWriter::x(double mm) const
{
    return mm * kPtPerMm;
}

double PageWriter::y(double mm) const
{
    return height_ - mm * kPtPerMm;
}

void PageWriter::colour(QRgb c, const char* op)
{
    num(out_, qRed(c) / 255.0, 3);
    out_ += ' ';
    num(out_, qGreen(c) / 255.0, 3);
    out_ += ' ';
    num(out_, qBlue(c) / 255.0, 3);
    out_ += op;
}

void PageWriter::setFill(const QColor& c)
{
    const QRgb rgb = c.rgb() | 0xff000000;
    if (rgb != state_.fill) {
        colour(rgb, " rg\n");
        state_.fill = rgb;
    }
}

void PageWriter::rect(const QRectF& mm)
{
    num(out_, x(mm.left()));
    out_ += ' ';
    num(out_, y(mm.bottom()));
    out_ += ' ';
    num(out_, mm.width() * kPtPerMm);
    out_ += ' ';
    num(out_, mm.height() * kPtPerMm);
    out_ += " re";
}

void PageWriter::fillRect(const QRectF& mm, const QColor& c)
{
    setFill(c);
    rect(mm);
    out_ += " f\n";
}

void PageWriter::line(const Line& l, QPointF a, QPointF b)
{
    if (!l.visible())
        return;
    const QRgb rgb = l.color.rgb() | 0xff000000;
    if (rgb != state_.stroke) {
        colour(rgb, " RG\n");
        state_.stroke = rgb;
    }
    const double w = std::max(kThinnestPt, l.width * kPtPerMm);
    if (w != state_.lineWidth) {
        num(out_, w, 3);
        out_ += " w\n";
        state_.lineWidth = w;
    }
    const Line::Style dash = l.style == Line::Style::Dot || l.style == Line::Style::Dash ? l.style : Line::Style::Solid;
    if (dash != state_.dash || (dash != Line::Style::Solid && w != dashWidth_)) {
        // Qt's dot and dash patterns, in pen widths: dot 1 on 2 off, dash 4 on 2 off.
        if (dash == Line::Style::Solid) {
            out_ += "[] 0 d\n";
        } else {
            out_ += '[';
            num(out_, (dash == Line::Style::Dot ? 1 : 4) * w, 3);
            out_ += ' ';
            num(out_, 2 * w, 3);
            out_ += "] 0 d\n";
        }
        state_.dash = dash;
        dashWidth_ = w;
    }
    num(out_, x(a.x()));
    out_ += ' ';
    num(out_, y(a.y()));
    out_ += " m ";
    num(out_, x(b.x()));
    out_ += ' ';
    num(out_, y(b.y()));
    out_ += " l S\n";
}

void PageWriter::frame(const QRectF& r, const Frame& f)
{
    line(f.top, r.topLeft(), r.topRight());
    line(f.bottom, r.bottomLeft(), r.bottomRight());
    line(f.left, r.topLeft(), r.bottomLeft());
    line(f.right, r.topRight(), r.bottomRight());
}

EmbeddedFont* PageWriter::fontFor(const PlacedItem& i)
{
    if (fontOwner_ &&
        (fontOwner_->sharesLookWith(i) ||
         (fontOwner_->family() == i.family() && fontOwner_->bold() == i.bold() && fontOwner_->italic() == i.italic())))
        return currentFont_;
    const QString key = i.family() + (i.bold() ? u'B' : u'-') + (i.italic() ? u'I' : u'-');
    auto it = byKey_.find(key);
    if (it == byKey_.end()) {
        const int number = numbers_.numberOf(key);
        auto& font = fonts_[number];
        font = EmbeddedFont::load(fontOf(i), number);
        it = byKey_.insert(key, font.get());
    }
    fontOwner_ = &i;
    currentFont_ = *it;
    return currentFont_;
}

void PageWriter::text(const PlacedItem& i)
{
    EmbeddedFont* font = fontFor(i);
    const double size = i.pointSize();
    const long long advance = font->shape(i.text());
    if (advance < 0) {
        painterText(i);
        return;
    }
    const double width = font->width(advance, size);
    const double left = x(i.rect().left() + 0.5), right = x(i.rect().right() - 0.5);
    double tx = left;
    if (i.align() == Align::Center)
        tx += (right - left - width) / 2;
    else if (i.align() == Align::Right)
        tx = right - width;
    // the line centred vertically, as the painter centres it
    const double baseline = y(i.rect().center().y()) - (font->ascent(size) - font->descent(size)) / 2;
    // Only a text wider than its room is clipped, to that room (the item less half a millimetre each side),
    // as the painter's drawing into a rectangle does.
    const bool clip = width > right - left;
    State saved;
    if (clip) {
        saved = state_;
        out_ += "q ";
        rect(i.rect().adjusted(0.5, 0, -0.5, 0));
        out_ += " W n\n";
    }
    setFill(i.color().isValid() ? i.color() : QColor(Qt::black));
    out_ += "BT ";
    if (font != state_.font || size != state_.size) {
        out_ += '/';
        out_.append(font->resource().constData(), size_t(font->resource().size()));
        out_ += ' ';
        num(out_, size);
        out_ += " Tf ";
        state_.font = font;
        state_.size = size;
    }
    num(out_, tx);
    out_ += ' ';
    num(out_, baseline);
    out_ += " Td ";
    font->show(out_);
    out_ += " ET\n";
    if (clip) {
        out_ += "Q\n";
        state_ = saved;
    }
}

// The painter draws the item's text into outlines, which fill the page as its glyphs would. The painter
// clips a too-wide text to its room; so does the page.
void PageWriter::painterText(const PlacedItem& i)
{
    OutlineDevice device;
    {
        QPainter painter(&device);
        paintItemText(i, painter);
    }
    if (device.fills().empty())
        return;
    const QFontMetricsF metrics(fontOf(i), &device);
    const bool clip = metrics.horizontalAdvance(i.text()) > (i.rect().width() - 1) * OutlineDevice::kDpi / 25.4;
    out_ += "q\n";
    if (clip) {
        rect(i.rect().adjusted(0.5, 0, -0.5, 0));
        out_ += " W n\n";
    }
    const double k = 72.0 / OutlineDevice::kDpi;
    auto point = [&](const QPointF& p) {
        num(out_, p.x() * k);
        out_ += ' ';
        num(out_, height_ - p.y() * k);
    };
    for (const OutlineDevice::Fill& f : device.fills()) {
        const QRgb rgb = f.color.rgb() | 0xff000000;
        colour(rgb, " rg\n");
        for (int e = 0; e < f.path.elementCount(); ++e) {
            const QPainterPath::Element el = f.path.elementAt(e);
            if (el.isMoveTo()) {
                point(el);
                out_ += " m\n";
            } else if (el.isLineTo()) {
                point(el);
                out_ += " l\n";
            } else if (el.isCurveTo() && e + 2 < f.path.elementCount()) {
                point(el);
                out_ += ' ';
                point(f.path.elementAt(e + 1));
                out_ += ' ';
                point(f.path.elementAt(e + 2));
                out_ += " c\n";
                e += 2;
            }
        }
        out_ += f.path.fillRule() == Qt::OddEvenFill ? "f*\n" : "f\n";
    }
    out_ += "Q\n"; // the fill colour is as it was before
}

} // namespace reportengine::pdf
