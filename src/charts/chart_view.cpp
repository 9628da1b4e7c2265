#include "charts/chart_view.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

namespace charts {

ChartView::ChartView(QWidget* parent)
    : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent, false);
    setMouseTracking(true);
}

void ChartView::setChart(const Chart& chart)
{
    chart_ = chart;
    setAccessibleName(chart.title);
    update();
}

QSize ChartView::sizeHint() const
{
    return {480, 240};
}

QSize ChartView::minimumSizeHint() const
{
    return {200, 120};
}

void ChartView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    paint(painter, QRectF(rect()).adjusted(4, 2, -4, -2), chart_, font(), locale());
}

bool ChartView::event(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const auto bar = barAt(chart_, QRectF(rect()).adjusted(4, 2, -4, -2), font(), locale(), help->pos());
        if (bar)
            QToolTip::showText(help->globalPos(), describe(chart_, *bar, locale()), this);
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}

QImage render(const Chart& chart, const QSize& size, const QFont& font, const QLocale& locale, qreal scale)
{
    QImage image(size * scale, QImage::Format_RGB32);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(Qt::black);
    paint(painter, QRectF(QPointF(0, 0), QSizeF(size)).adjusted(4, 2, -4, -2), chart, font, locale);
    return image;
}

} // namespace charts
