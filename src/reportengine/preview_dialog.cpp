#include "reportengine/preview_dialog.h"

#include "ui/messages.h"

#include <QAbstractScrollArea>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QScrollBar>
#include <QSpinBox>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <deque>
#include <functional>

namespace reportengine {

namespace {

constexpr int kMargin = 12;      // around the pages, pixels
constexpr int kGap = 12;         // between pages
constexpr int kCachedPages = 6;  // painted pages kept as images
constexpr int kSliceMs = 25;     // layout between two looks at the user's events
constexpr double kMinZoom = 0.1, kMaxZoom = 8;

} // namespace

// The pages one below the other; only those in view are painted, each once per zoom into a small cache.
class PageView : public QAbstractScrollArea {
public:
    explicit PageView(const Document& doc, QWidget* parent)
        : QAbstractScrollArea(parent)
        , doc_(doc)
    {
        setObjectName(QStringLiteral("pageView"));
        viewport()->setBackgroundRole(QPalette::Dark);
        viewport()->setAutoFillBackground(true);
        setFocusPolicy(Qt::StrongFocus);
        // Always there, so that fitting the width never makes it come and go.
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }

    std::function<void(int)> painted;
    std::function<void()> moved;  // scrolled: the current page may have changed
    std::function<void()> resized;
    std::function<void(int)> zoomStep; // Ctrl+wheel: +1 in, -1 out

    void setPageCount(int n)
    {
        count_ = n;
        updateScrollBars();
        viewport()->update();
    }
    int pageCount() const { return count_; }

    double zoom() const { return zoom_; }
    void setZoom(double z)
    {
        z = std::clamp(z, kMinZoom, kMaxZoom);
        if (std::abs(z - zoom_) < 1e-9)
            return;
        zoom_ = z;
        cache_.clear();
        updateScrollBars();
        viewport()->update();
    }

    // Zooms at which the page fills the view's width, or shows whole.
    double widthZoom() const
    {
        const double w = paperPx(1).width();
        return w > 0 ? (viewport()->width() - 2 * kMargin) / w : 1;
    }
    double pageZoom() const
    {
        const QSizeF p = paperPx(1);
        if (p.isEmpty())
            return 1;
        return std::min((viewport()->width() - 2 * kMargin) / p.width(), (viewport()->height() - 2 * kMargin) / p.height());
    }

    int currentPage() const
    {
        if (count_ == 0)
            return 0;
        const double step = pageSize().height() + kGap;
        const double y = verticalScrollBar()->value() + viewport()->height() / 3.0 - kMargin;
        return std::clamp(int(std::floor(y / step)), 0, count_ - 1);
    }

    // Puts the page's top (and `within`, a fraction of its height, below it) at the top of the view; the view keeps
    // it there when it is resized or zoomed.
    void scrollTo(int page, double within = 0)
    {
        anchorPage_ = page;
        anchorWithin_ = within;
        restoreAnchor();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(viewport());
        const QSize size = pageSize();
        const int step = size.height() + kGap;
        const int top = verticalScrollBar()->value();
        const int x = size.width() + 2 * kMargin <= viewport()->width() ? (viewport()->width() - size.width()) / 2
                                                                         : kMargin - horizontalScrollBar()->value();
        const int first = std::max(0, (top - kMargin) / std::max(1, step));
        for (int i = first; i < count_; ++i) {
            const int y = kMargin + i * step - top;
            if (y > viewport()->height())
                break;
            const QRect r(QPoint(x, y), size);
            p.fillRect(r.translated(3, 3), QColor(0, 0, 0, 80)); // a shadow sets the sheet off the background
            p.drawImage(r.topLeft(), pageImage(i, size));
            if (painted)
                painted(i);
        }
    }

    void resizeEvent(QResizeEvent* e) override
    {
        QAbstractScrollArea::resizeEvent(e);
        updateScrollBars();
        if (resized)
            resized();
    }

    void scrollContentsBy(int, int) override
    {
        viewport()->update();
        if (!restoring_) {
            const double step = pageSize().height() + kGap;
            const double y = verticalScrollBar()->value() - kMargin;
            anchorPage_ = std::clamp(int(std::floor(y / step)), 0, std::max(0, count_ - 1));
            anchorWithin_ = std::clamp((y - anchorPage_ * step) / pageSize().height(), 0.0, 1.0);
        }
        if (moved)
            moved();
    }

    void wheelEvent(QWheelEvent* e) override
    {
        if (e->modifiers() & Qt::ControlModifier) {
            if (zoomStep && e->angleDelta().y() != 0)
                zoomStep(e->angleDelta().y() > 0 ? 1 : -1);
            e->accept();
            return;
        }
        QAbstractScrollArea::wheelEvent(e);
    }

    void keyPressEvent(QKeyEvent* e) override
    {
        switch (e->key()) {
        case Qt::Key_PageDown:
            scrollTo(std::min(count_ - 1, currentPage() + 1));
            return;
        case Qt::Key_PageUp:
            scrollTo(std::max(0, currentPage() - 1));
            return;
        case Qt::Key_Home:
            scrollTo(0);
            return;
        case Qt::Key_End:
            scrollTo(std::max(0, count_ - 1));
            return;
        default:
            QAbstractScrollArea::keyPressEvent(e);
        }
    }

private:
    double dpi() const { return viewport()->logicalDpiX(); }
    QSizeF paperPx(double zoom) const
    {
        return QSizeF(doc_.paperMm.width(), doc_.paperMm.height()) * (zoom * dpi() / 25.4);
    }
    QSize pageSize() const
    {
        const QSizeF s = paperPx(zoom_);
        return QSize(std::max(1, int(std::lround(s.width()))), std::max(1, int(std::lround(s.height()))));
    }
    void restoreAnchor()
    {
        restoring_ = true;
        const double step = pageSize().height() + kGap;
        const double y = anchorPage_ == 0 && anchorWithin_ == 0
                             ? 0
                             : kMargin + anchorPage_ * step + anchorWithin_ * pageSize().height();
        verticalScrollBar()->setValue(int(std::lround(y)));
        restoring_ = false;
        viewport()->update();
    }

    void updateScrollBars()
    {
        restoring_ = true;
        const QSize size = pageSize();
        const int total = count_ > 0 ? 2 * kMargin + count_ * size.height() + (count_ - 1) * kGap : 0;
        verticalScrollBar()->setRange(0, std::max(0, total - viewport()->height()));
        verticalScrollBar()->setPageStep(viewport()->height());
        verticalScrollBar()->setSingleStep(std::max(20, size.height() / 20));
        horizontalScrollBar()->setRange(0, std::max(0, size.width() + 2 * kMargin - viewport()->width()));
        horizontalScrollBar()->setPageStep(viewport()->width());
        horizontalScrollBar()->setSingleStep(20);
        restoring_ = false;
        restoreAnchor();
    }

    // The page at the view's resolution and zoom, painted by the same code as the printer's.
    const QImage& pageImage(int index, QSize size)
    {
        for (const auto& c : cache_)
            if (c.first == index)
                return c.second;
        const double ratio = devicePixelRatioF();
        QImage image(size * ratio, QImage::Format_RGB32);
        const int dotsPerMetre = int(std::lround(zoom_ * dpi() / 0.0254));
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        image.setDevicePixelRatio(ratio);
        image.fill(Qt::white);
        {
            QPainter painter(&image);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.setRenderHint(QPainter::TextAntialiasing);
            paintPage(doc_, index, painter);
        }
        if (cache_.size() >= size_t(kCachedPages))
            cache_.pop_front();
        cache_.emplace_back(index, std::move(image));
        return cache_.back().second;
    }

    const Document& doc_;
    int count_ = 0;
    double zoom_ = 1;
    int anchorPage_ = 0;
    double anchorWithin_ = 0;
    bool restoring_ = false;
    std::deque<std::pair<int, QImage>> cache_;
};

PreviewDialog::PreviewDialog(const Document& doc, Zoom zoom, QWidget* parent)
    : PreviewDialog(&doc, nullptr, zoom, parent)
{
}

PreviewDialog::PreviewDialog(LayoutRun& run, Zoom zoom, QWidget* parent)
    : PreviewDialog(&run.document(), &run, zoom, parent)
{
}

PreviewDialog::PreviewDialog(const Document* doc, LayoutRun* run, Zoom zoom, QWidget* parent)
    : QDialog(parent)
    , doc_(doc)
    , run_(run)
{
    setObjectName(QStringLiteral("PreviewDialog"));
    setWindowFlags(windowFlags() | Qt::WindowMinMaxButtonsHint);
    setWindowTitle(doc->sourceNote.isEmpty() ? QStringLiteral("Предварительный просмотр")
                                             : QStringLiteral("Предварительный просмотр — ") + doc->sourceNote);
    if (run_) {
        ui::WaitCursor busy;
        while (!run_->done() && run_->finishedPages() < 1)
            run_->advance(50);
    }

    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("previewToolBar"));
    view_ = new PageView(*doc_, this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(toolbar);
    layout->addWidget(view_, 1);

    auto action = [&](const QString& name, const QString& text, QStyle::StandardPixmap icon, const QKeySequence& key,
                      auto slot) {
        QAction* a = toolbar->addAction(style()->standardIcon(icon), text);
        a->setObjectName(name);
        a->setToolTip(key.isEmpty() ? text : text + QStringLiteral(" (") + key.toString(QKeySequence::NativeText) + u')');
        if (!key.isEmpty())
            a->setShortcut(key);
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    // Printing and saving first, then the fits: what the bar cannot show on a narrow screen goes behind its "»" from
    // the end, where the page buttons are, which the keys of the pages replace.
    QAction* print = action(QStringLiteral("printAction"), QStringLiteral("Печать"), QStyle::SP_DialogSaveButton,
                            QKeySequence(Qt::CTRL | Qt::Key_P), [this] { printDocument(); });
    QAction* save = action(QStringLiteral("savePdf"), QStringLiteral("Сохранить в PDF"), QStyle::SP_DriveFDIcon,
                           QKeySequence(Qt::CTRL | Qt::Key_S), [this] { savePdf(); });
    toolbar->addSeparator();
    fitWidth_ = action(QStringLiteral("fitWidthAction"), QStringLiteral("По ширине"),
                       QStyle::SP_ToolBarHorizontalExtensionButton, QKeySequence(Qt::CTRL | Qt::Key_2),
                       [this] { fitWidth(); });
    fitPage_ = action(QStringLiteral("fitPageAction"), QStringLiteral("Страница целиком"), QStyle::SP_TitleBarNormalButton,
                      QKeySequence(Qt::CTRL | Qt::Key_0), [this] { fitPage(); });
    fitWidth_->setCheckable(true);
    fitPage_->setCheckable(true);
    action(QStringLiteral("zoomOutAction"), QStringLiteral("Уменьшить"), QStyle::SP_ArrowDown,
           QKeySequence(QKeySequence::ZoomOut), [this] { setZoomFactor(zoomFactor() / 1.25); });
    zoomBox_ = new QComboBox(toolbar);
    zoomBox_->setObjectName(QStringLiteral("zoomBox"));
    zoomBox_->setEditable(true);
    zoomBox_->setInsertPolicy(QComboBox::NoInsert);
    for (int percent : {25, 50, 75, 100, 125, 150, 200, 300, 400})
        zoomBox_->addItem(QString::number(percent) + u'%');
    zoomBox_->setToolTip(QStringLiteral("Масштаб"));
    zoomBox_->setAccessibleName(QStringLiteral("Масштаб"));
    toolbar->addWidget(zoomBox_);
    action(QStringLiteral("zoomInAction"), QStringLiteral("Увеличить"), QStyle::SP_ArrowUp,
           QKeySequence(QKeySequence::ZoomIn), [this] { setZoomFactor(zoomFactor() * 1.25); });
    toolbar->addSeparator();
    action(QStringLiteral("firstPageAction"), QStringLiteral("Первая страница"), QStyle::SP_MediaSkipBackward,
           QKeySequence(Qt::CTRL | Qt::Key_Home), [this] { showPage(0); });
    action(QStringLiteral("previousPageAction"), QStringLiteral("Предыдущая страница"), QStyle::SP_MediaSeekBackward,
           QKeySequence(Qt::Key_PageUp), [this] { showPage(currentPage() - 1); });
    pageBox_ = new QSpinBox(toolbar);
    pageBox_->setObjectName(QStringLiteral("pageNumber"));
    pageBox_->setRange(1, 1);
    pageBox_->setKeyboardTracking(false);
    pageBox_->setToolTip(QStringLiteral("Номер страницы"));
    pageBox_->setAccessibleName(QStringLiteral("Номер страницы"));
    toolbar->addWidget(pageBox_);
    pageTotal_ = new QLabel(toolbar);
    pageTotal_->setObjectName(QStringLiteral("pageTotal"));
    pageTotal_->setContentsMargins(4, 0, 4, 0);
    toolbar->addWidget(pageTotal_);
    action(QStringLiteral("nextPageAction"), QStringLiteral("Следующая страница"), QStyle::SP_MediaSeekForward,
           QKeySequence(Qt::Key_PageDown), [this] { showPage(currentPage() + 1); });
    action(QStringLiteral("lastPageAction"), QStringLiteral("Последняя страница"), QStyle::SP_MediaSkipForward,
           QKeySequence(Qt::CTRL | Qt::Key_End), [this] {
               finishLayout();
               showPage(pageCount() - 1);
           });
    // Going through pages and zooming read from their icons (and tooltips); printing, saving and fitting are said in
    // words too. Every button is a Tab stop that Enter or Space presses, named for a screen reader by its text.
    toolbar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    for (QAction* a : toolbar->actions()) {
        auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(a));
        if (!button)
            continue;
        button->setFocusPolicy(Qt::TabFocus);
        button->setAccessibleName(a->text());
        button->installEventFilter(this);
        if (a == print || a == save || a == fitWidth_ || a == fitPage_)
            button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    }
    view_->setAccessibleName(QStringLiteral("Страницы отчета"));
    // Tab goes through the bar in its order, then to the pages.
    QWidget* previous = nullptr;
    for (QAction* a : toolbar->actions())
        if (QWidget* w = toolbar->widgetForAction(a); w && w->focusPolicy() != Qt::NoFocus) {
            if (previous)
                setTabOrder(previous, w);
            previous = w;
        }
    if (previous)
        setTabOrder(previous, view_);

    connect(pageBox_, &QSpinBox::valueChanged, this, [this](int n) {
        if (syncing_)
            return;
        if (n > pageCount())
            finishLayout();
        showPage(n - 1);
    });
    connect(zoomBox_, &QComboBox::textActivated, this, [this](const QString& text) {
        bool ok = false;
        const double percent = QString(text).remove(u'%').trimmed().replace(u',', u'.').toDouble(&ok);
        if (ok && percent > 0)
            setZoomFactor(percent / 100);
        else
            syncControls();
    });
    view_->painted = [this](int index) {
        if (run_ && !layoutTimer_)
            startLayout(); // the first page is on the screen: the rest may follow
        emit pagePainted(index);
    };
    view_->moved = [this] { syncControls(); };
    view_->resized = [this] { applyFit(); };
    view_->zoomStep = [this](int step) { setZoomFactor(step > 0 ? zoomFactor() * 1.25 : zoomFactor() / 1.25); };

    fit_ = zoom == Zoom::WholePage ? Fit::Page : Fit::Width;
    pagesChanged();
    applyFit();
    view_->setFocus();
}

PreviewDialog::~PreviewDialog() = default;

bool PreviewDialog::eventFilter(QObject* watched, QEvent* event)
{
    // Enter on a focused button presses it, as Space does.
    if (event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !(key->modifiers() & ~Qt::KeypadModifier))
            if (auto* button = qobject_cast<QToolButton*>(watched)) {
                button->click();
                return true;
            }
    }
    return QDialog::eventFilter(watched, event);
}

int PreviewDialog::pageCount() const
{
    if (!run_)
        return int(doc_->pages.size());
    return std::max(0, run_->finishedPages());
}

bool PreviewDialog::layoutDone() const
{
    return !run_ || run_->done();
}

void PreviewDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    applyFit();
    // Should the view not be painted (a minimised window), the layout goes on all the same.
    if (run_ && !layoutTimer_)
        QTimer::singleShot(300, this, [this] {
            if (!layoutTimer_)
                startLayout();
        });
}

void PreviewDialog::startLayout()
{
    if (layoutTimer_ || layoutDone())
        return;
    layoutTimer_ = new QTimer(this);
    layoutTimer_->setInterval(0);
    connect(layoutTimer_, &QTimer::timeout, this, [this] { layoutSlice(); });
    layoutTimer_->start();
}

void PreviewDialog::layoutSlice()
{
    if (layoutDone()) {
        layoutTimer_->stop();
        return;
    }
    try {
        QElapsedTimer clock;
        clock.start();
        while (!run_->advance(100) && clock.elapsed() < kSliceMs) {
        }
    } catch (...) {
        // Thrown on from exec()'s caller, outside the event loop.
        error_ = std::current_exception();
        layoutTimer_->stop();
        reject();
        return;
    }
    if (layoutDone())
        layoutTimer_->stop();
    pagesChanged();
}

void PreviewDialog::finishLayout()
{
    if (layoutDone())
        return;
    if (layoutTimer_)
        layoutTimer_->stop();
    {
        ui::WaitCursor busy;
        run_->finish();
    }
    pagesChanged();
}

void PreviewDialog::pagesChanged()
{
    const int n = pageCount();
    if (n != shownCount_) {
        shownCount_ = n;
        view_->setPageCount(n);
    }
    syncControls();
}

void PreviewDialog::syncControls()
{
    syncing_ = true;
    const int n = pageCount();
    pageBox_->setRange(1, std::max(1, layoutDone() ? n : n + 1));
    pageBox_->setValue(currentPage() + 1);
    // While the layout goes on the count grows; the ellipsis says so.
    pageTotal_->setText(QStringLiteral("из %1%2").arg(n).arg(layoutDone() ? QString() : QStringLiteral("…")));
    if (!zoomBox_->lineEdit()->hasFocus())
        zoomBox_->setEditText(QString::number(int(std::lround(zoomFactor() * 100))) + u'%');
    fitWidth_->setChecked(fit_ == Fit::Width);
    fitPage_->setChecked(fit_ == Fit::Page);
    syncing_ = false;
}

int PreviewDialog::currentPage() const
{
    return view_->currentPage();
}

void PreviewDialog::showPage(int index)
{
    if (index >= pageCount())
        finishLayout();
    view_->scrollTo(std::clamp(index, 0, std::max(0, pageCount() - 1)));
    syncControls();
}

double PreviewDialog::zoomFactor() const
{
    return view_->zoom();
}

void PreviewDialog::setZoomFactor(double zoom)
{
    fit_ = Fit::None;
    view_->setZoom(zoom);
    syncControls();
}

void PreviewDialog::fitWidth()
{
    fit_ = Fit::Width;
    applyFit();
}

void PreviewDialog::fitPage()
{
    fit_ = Fit::Page;
    applyFit();
}

void PreviewDialog::applyFit()
{
    if (fit_ == Fit::Width)
        view_->setZoom(view_->widthZoom());
    else if (fit_ == Fit::Page)
        view_->setZoom(view_->pageZoom());
    syncControls();
}

void PreviewDialog::printDocument()
{
    finishLayout();
    QPrinter printer(QPrinter::HighResolution);
    setUpPrinter(*doc_, printer);
    QPrintDialog dialog(&printer, this);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange);
    dialog.setOption(QAbstractPrintDialog::PrintCurrentPage);
    dialog.setOption(QAbstractPrintDialog::PrintToFile);
    dialog.setMinMax(1, std::max(1, pageCount()));
    if (dialog.exec() != QDialog::Accepted)
        return;
    int from = 0, to = pageCount() - 1;
    if (printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0) {
        from = printer.fromPage() - 1;
        to = std::min(to, printer.toPage() - 1);
    } else if (printer.printRange() == QPrinter::CurrentPage) {
        from = to = currentPage();
    }
    try {
        ui::WaitCursor busy;
        printPages(*doc_, printer, from, to);
    } catch (const ReportError& e) {
        ui::Messages::error(e.message());
    }
}

void PreviewDialog::savePdf()
{
    finishLayout();
    const QString path = QFileDialog::getSaveFileName(this, QStringLiteral("Сохранить в PDF"), suggestedPdfPath(*doc_),
                                                      QStringLiteral("PDF (*.pdf)"));
    if (path.isEmpty())
        return;
    try {
        ui::WaitCursor busy;
        writePdf(*doc_, path.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive) ? path : path + QStringLiteral(".pdf"));
    } catch (const ReportError& e) {
        ui::Messages::error(e.message());
    }
}

} // namespace reportengine
