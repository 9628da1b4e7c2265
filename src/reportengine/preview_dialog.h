// The engine's print preview: pages painted from the page model only when they come into view, shown while the
// layout still places the rest; page by page or scrolled, zoomed, fitted to the width or whole, printed, saved.
#pragma once

#include "reportengine/layout.h"
#include "reportengine/render.h"

#include <QDialog>

#include <exception>

class QAction;
class QComboBox;
class QLabel;
class QSpinBox;
class QTimer;

namespace reportengine {

class PageView;

class PreviewDialog : public QDialog {
    Q_OBJECT

public:
    // A document laid out already.
    PreviewDialog(const Document& doc, Zoom zoom, QWidget* parent = nullptr);
    // A layout under way: it is advanced until its first page is placed (ReportError as LayoutRun throws it), the
    // rest is placed a slice at a time between the user's events once the first page shows.
    PreviewDialog(LayoutRun& run, Zoom zoom, QWidget* parent = nullptr);
    ~PreviewDialog() override;

    const Document& document() const { return *doc_; }
    // Pages ready to show (all of them once the layout is done).
    int pageCount() const;
    bool layoutDone() const;
    // Places the rest of the pages now.
    void finishLayout();
    // The fault a layout slice met; the dialog closed on it, and whoever ran it rethrows it.
    std::exception_ptr layoutError() const { return error_; }

    int currentPage() const; // 0-based
    void showPage(int index);
    double zoomFactor() const; // 1: the paper at its own size on the screen
    void setZoomFactor(double zoom);
    void fitWidth();
    void fitPage();

    // The print dialog, then the chosen pages in order.
    void printDocument();
    // The save dialog, then the PDF.
    void savePdf();

signals:
    // A page was painted on the screen.
    void pagePainted(int index);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Fit { None, Width, Page };

    PreviewDialog(const Document* doc, LayoutRun* run, Zoom zoom, QWidget* parent);
    void layoutSlice();
    void startLayout();
    void pagesChanged();
    void syncControls();
    void applyFit();

    const Document* doc_;
    LayoutRun* run_;
    std::exception_ptr error_;
    int shownCount_ = 0;
    Fit fit_ = Fit::Width;
    bool syncing_ = false;
    PageView* view_ = nullptr;
    QTimer* layoutTimer_ = nullptr;
    QSpinBox* pageBox_ = nullptr;
    QLabel* pageTotal_ = nullptr;
    QComboBox* zoomBox_ = nullptr;
    QAction* fitWidth_ = nullptr;
    QAction* fitPage_ = nullptr;
};

} // namespace reportengine
