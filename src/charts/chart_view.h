// A chart on the screen: draws its chart with the widget's font and colours, says the value of the bar under the
// mouse in a tool tip, and renders the same drawing into a picture.
#pragma once

#include "charts/chart.h"

#include <QImage>
#include <QWidget>

namespace charts {

class ChartView : public QWidget {
    Q_OBJECT
public:
    explicit ChartView(QWidget* parent = nullptr);

    const Chart& chart() const { return chart_; }
    void setChart(const Chart& chart);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    Chart chart_;
};

// The chart drawn on white at that size in pixels (device pixel ratio `scale`), with that font.
QImage render(const Chart& chart, const QSize& size, const QFont& font, const QLocale& locale = QLocale(),
              qreal scale = 1);

} // namespace charts
