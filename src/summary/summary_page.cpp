#include "summary/summary_page.h"

#include "charts/chart.h"

#include <QFont>
#include <QFontMetricsF>

namespace summary {

namespace {

using reportengine::PlacedBand;
using reportengine::PlacedItem;

constexpr double kFamilySize = 8;     // points, the charts' texts
constexpr double kUnitsPerMm = 10;    // charts are drawn in tenths of a millimetre
constexpr double kMmPerPoint = 25.4 / 72;
const QString kFamily = QStringLiteral("Arial");
constexpr double kSidePaddingMm = 0.5; // the page's room beside an item's text
constexpr double kTextSlackMm = 1.5;

PlacedItem textItem(const QString& name, const QRectF& mm, const QString& text, reportengine::Align align,
                    double points, bool bold, const QColor& colour)
{
    PlacedItem item;
    item.setName(name);
    item.setRect(mm);
    item.setText(text);
    item.setAlign(align);
    item.setFamily(kFamily);
    item.setPointSize(points);
    item.setBold(bold);
    if (colour.isValid())
        item.setColor(colour);
    return item;
}

PlacedItem fillItem(const QString& name, const QRectF& mm, const QColor& colour)
{
    PlacedItem item;
    item.setName(name);
    item.setRect(mm);
    item.setFamily(kFamily);
    item.setBackground(colour);
    return item;
}

reportengine::Align alignOf(Qt::Alignment a)
{
    if (a & Qt::AlignRight)
        return reportengine::Align::Right;
    if (a & Qt::AlignHCenter)
        return reportengine::Align::Center;
    return reportengine::Align::Left;
}

// A chart's shapes as the band's items: fills as filled items, texts as text items, lines as thin filled items
// (a sloping line as steps).
PlacedBand chartBand(const QString& name, const charts::Chart& chart, const QRectF& mm, const QLocale& locale)
{
    PlacedBand band;
    band.setName(name);
    band.setRect(mm);
    QFont font(kFamily);
    font.setPixelSize(qRound(kFamilySize * kMmPerPoint * kUnitsPerMm));
    font.setHintingPreference(QFont::PreferNoHinting);
    const QRectF area(mm.topLeft() * kUnitsPerMm, mm.size() * kUnitsPerMm);
    const auto toMm = [](const QRectF& r) { return QRectF(r.topLeft() / kUnitsPerMm, r.size() / kUnitsPerMm); };
    for (const charts::Shape& s : charts::draw(chart, area, font, locale)) {
        const QColor ink = s.colour.isValid() ? s.colour : QColor(Qt::black);
        switch (s.kind) {
        case charts::Shape::Kind::Fill:
            band.items.append(fillItem(name + QStringLiteral("_bar"), toMm(s.rect), ink));
            break;
        case charts::Shape::Kind::Text: {
            // the box's middle line holds the text at the printed size
            const double h = kFamilySize * kMmPerPoint * 1.25;
            // the page keeps half a millimetre free beside an item's text: the box grows by that and a hair more,
            // away from the side the text is aligned to
            QRectF r = toMm(s.rect);
            r = QRectF(r.left(), r.center().y() - h / 2, r.width(), h);
            if (s.align & Qt::AlignRight)
                r.adjust(-kTextSlackMm, 0, kSidePaddingMm, 0);
            else if (s.align & Qt::AlignHCenter)
                r.adjust(-kTextSlackMm / 2, 0, kTextSlackMm / 2, 0);
            else
                r.adjust(-kSidePaddingMm, 0, kTextSlackMm, 0);
            band.items.append(textItem(name + QStringLiteral("_text"), r, s.text, alignOf(s.align),
                                       s.bold ? kFamilySize + 1 : kFamilySize, s.bold, s.colour));
            break;
        }
        case charts::Shape::Kind::Line: {
            const double w = std::max(0.15, s.width * 0.15); // mm
            const QLineF l(s.line.p1() / kUnitsPerMm, s.line.p2() / kUnitsPerMm);
            if (l.dy() == 0 || l.dx() == 0) {
                const QRectF r = QRectF(l.p1(), l.p2()).normalized().adjusted(-w / 2, -w / 2, w / 2, w / 2);
                band.items.append(fillItem(name + QStringLiteral("_line"), r, ink));
            } else {
                // a step at each end's half
                const double midX = (l.x1() + l.x2()) / 2;
                band.items.append(fillItem(name + QStringLiteral("_line"),
                                           QRectF(QPointF(std::min(l.x1(), midX), l.y1() - w / 2),
                                                  QPointF(std::max(l.x1(), midX), l.y1() + w / 2)), ink));
                band.items.append(fillItem(name + QStringLiteral("_line"),
                                           QRectF(QPointF(midX - w / 2, std::min(l.y1(), l.y2())),
                                                  QPointF(midX + w / 2, std::max(l.y1(), l.y2()))), ink));
                band.items.append(fillItem(name + QStringLiteral("_line"),
                                           QRectF(QPointF(std::min(midX, l.x2()), l.y2() - w / 2),
                                                  QPointF(std::max(midX, l.x2()), l.y2() + w / 2)), ink));
            }
            break;
        }
        }
    }
    return band;
}

} // namespace

QString summaryTitle(const MonthSummary& m, const QLocale& locale)
{
    return QStringLiteral("Сводка за месяц: %1 %2")
        .arg(locale.standaloneMonthName(m.month, QLocale::LongFormat).toLower())
        .arg(m.year);
}

reportengine::Document summaryDocument(const MonthSummary& m, Measure measure, const QLocale& locale,
                                       const QString& sourceNote)
{
    reportengine::Document doc;
    doc.pageSize = QPageSize(QPageSize::A4);
    doc.orientation = QPageLayout::Landscape;
    doc.paperMm = QSizeF(297, 210);
    doc.marginsMm = QMarginsF(10, 10, 10, 10);
    doc.title = summaryTitle(m, locale);
    doc.sourceNote = sourceNote;

    reportengine::Page page;
    PlacedBand head;
    head.setName(QStringLiteral("title"));
    head.setKind(reportengine::Band::Kind::Title);
    head.setRect(QRectF(10, 10, 277, 30));
    head.items.append(textItem(QStringLiteral("title"), QRectF(10, 10, 277, 7), doc.title, reportengine::Align::Left,
                               14, true, QColor()));
    const QStringList lines = figureLines(m, locale);
    for (int i = 0; i < lines.size(); ++i)
        head.items.append(textItem(QStringLiteral("figure"), QRectF(10, 18 + i * 4.4, 277, 4.4), lines[i],
                                   reportengine::Align::Left, 9, false, QColor()));
    page.bands.append(head);
    page.bands.append(chartBand(QStringLiteral("output"), outputChart(m, measure), QRectF(10, 42, 277, 78), locale));
    page.bands.append(chartBand(QStringLiteral("earners"), earnersChart(m), QRectF(10, 124, 150, 76), locale));
    page.bands.append(chartBand(QStringLiteral("acceptance"), acceptanceChart(m), QRectF(166, 124, 121, 76), locale));
    doc.pages.append(page);
    return doc;
}

} // namespace summary
