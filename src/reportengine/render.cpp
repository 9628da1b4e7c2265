#include "reportengine/render.h"

#include "reportengine/pdf_writer.h"
#include "reportengine/preview_dialog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QPrinter>
#include <QScreen>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>

namespace reportengine {

namespace {

PreviewHook& previewHook()
{
    static PreviewHook hook;
    return hook;
}

QPen penOf(const Line& l, double dotsPerMm)
{
    QPen pen(l.color);
    pen.setWidthF(std::max(1.0, l.width * dotsPerMm));
    pen.setCapStyle(Qt::FlatCap);
    switch (l.style) {
    case Line::Style::Dot:
        pen.setStyle(Qt::DotLine);
        break;
    case Line::Style::Dash:
        pen.setStyle(Qt::DashLine);
        break;
    default:
        pen.setStyle(Qt::SolidLine);
        break;
    }
    return pen;
}

void paintFrame(QPainter& p, const QRectF& r, const Frame& f, double k)
{
    auto line = [&](const Line& l, QPointF a, QPointF b) {
        if (!l.visible())
            return;
        p.setPen(penOf(l, k));
        p.drawLine(a, b);
    };
    line(f.top, r.topLeft(), r.topRight());
    line(f.bottom, r.bottomLeft(), r.bottomRight());
    line(f.left, r.topLeft(), r.bottomLeft());
    line(f.right, r.topRight(), r.bottomRight());
}

QRectF scaled(const QRectF& mm, double k)
{
    return QRectF(mm.x() * k, mm.y() * k, mm.width() * k, mm.height() * k);
}

} // namespace

namespace {

// The item's text with the painter's font already set to the item's, and its metrics.
void drawItemText(const PlacedItem& i, QPainter& painter, const QFontMetricsF& metrics, double k)
{
    const QColor c = i.color().isValid() ? i.color() : QColor(Qt::black);
    if (painter.pen().color() != c) // frames set their own pens
        painter.setPen(c);
    const QRectF ir = scaled(i.rect(), k);
    const QRectF text = ir.adjusted(0.5 * k, 0, -0.5 * k, 0);
    const double width = metrics.horizontalAdvance(i.text());
    if (width <= text.width()) {
        double x = text.left();
        if (i.align() == Align::Center)
            x += (text.width() - width) / 2;
        else if (i.align() == Align::Right)
            x = text.right() - width;
        // the line centred vertically, as drawing into the rectangle with AlignVCenter does
        const double baseline = text.center().y() + (metrics.ascent() - metrics.descent()) / 2;
        painter.drawText(QPointF(x, baseline), i.text());
    } else {
        int flags = Qt::AlignVCenter | Qt::TextSingleLine;
        flags |=
            i.align() == Align::Center ? Qt::AlignHCenter : (i.align() == Align::Right ? Qt::AlignRight : Qt::AlignLeft);
        painter.save();
        painter.setClipRect(ir);
        painter.drawText(text, flags, i.text());
        painter.restore();
    }
}

} // namespace

void paintItemText(const PlacedItem& item, QPainter& painter)
{
    if (item.text().isEmpty())
        return;
    painter.setFont(fontOf(item));
    drawItemText(item, painter, QFontMetricsF(painter.font(), painter.device()), painter.device()->logicalDpiX() / 25.4);
}

void paintPage(const Document& doc, int pageIndex, QPainter& painter)
{
    if (pageIndex < 0 || pageIndex >= doc.pages.size())
        return;
    const double k = painter.device()->logicalDpiX() / 25.4; // dots per millimetre
    const Page& page = doc.pages[pageIndex];
    painter.save();
    // Most items repeat the font and colour of the one before: they are set, and the font measured, only when they
    // change. A text is clipped only when it is wider than its item; clipping every item costs a saved state and a
    // clip path per item in the printer's output (a year's report has hundreds of thousands of items).
    const PlacedItem* fontOwner = nullptr;
    std::optional<QFontMetricsF> metrics;
    for (const PlacedBand& b : page.bands) {
        const QRectF br = scaled(b.rect(), k);
        if (b.background().isValid())
            painter.fillRect(br, b.background());
        for (const PlacedItem& i : b.items) {
            const QRectF ir = scaled(i.rect(), k);
            if (i.background().isValid())
                painter.fillRect(ir, i.background());
            if (!i.text().isEmpty()) {
                if (!fontOwner || (!fontOwner->sharesLookWith(i) &&
                                   (fontOwner->family() != i.family() || fontOwner->pointSize() != i.pointSize() ||
                                    fontOwner->bold() != i.bold() || fontOwner->italic() != i.italic()))) {
                    painter.setFont(fontOf(i));
                    metrics.emplace(painter.font(), painter.device());
                    fontOwner = &i;
                }
                drawItemText(i, painter, *metrics, k);
            }
            paintFrame(painter, ir, i.frame(), k);
        }
        paintFrame(painter, br, b.frame(), k);
    }
    painter.restore();
}

void setUpPrinter(const Document& doc, QPrinter& printer)
{
    printer.setFullPage(true); // the page model already holds the margins
    // The print job's name in the printer queue, and the title of a PDF written through the painter.
    if (!doc.title.isEmpty())
        printer.setDocName(doc.title);
    printer.setPageLayout(QPageLayout(doc.pageSize, doc.orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
}

void print(const Document& doc, QPrinter& printer)
{
    setUpPrinter(doc, printer);
    printPages(doc, printer, 0, int(doc.pages.size()) - 1);
}

void printPages(const Document& doc, QPrinter& printer, int from, int to)
{
    from = std::max(0, from);
    to = std::min(int(doc.pages.size()) - 1, to);
    QPainter painter;
    if (!painter.begin(&printer))
        throw ReportError(QStringLiteral("Не удалось начать печать"));
    for (int i = from; i <= to; ++i) {
        if (i > from)
            printer.newPage();
        paintPage(doc, i, painter);
    }
    if (!painter.end())
        throw ReportError(QStringLiteral("Не удалось завершить печать"));
}

namespace {

// Qt's PDF engine ends a complete file with the end-of-file marker; a write that failed part-way (a full disk, a
// file-size limit) leaves a file without it and says nothing.
bool completePdf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() < 32)
        return false;
    f.seek(f.size() - 32);
    return f.read(32).contains("%%EOF");
}

} // namespace

QString pdfFileName(const QString& title)
{
    QString name;
    for (const QChar ch : title.simplified()) {
        // Refused by some file system the file may be copied to (a USB stick, a Windows share), or control text.
        const bool unsafe = ch.category() == QChar::Other_Control || ch.category() == QChar::Other_Format ||
                            QStringView(u"/\\:*?\"<>|").contains(ch);
        name += unsafe ? QChar(u'_') : ch;
    }
    // Well within the 255 bytes of a name, not hidden, and no end that Windows would trim away.
    while (name.toUtf8().size() > 200) {
        name.chop(1);
        if (!name.isEmpty() && name.back().isHighSurrogate())
            name.chop(1);
    }
    while (name.startsWith(u'.') || name.startsWith(u' '))
        name.remove(0, 1);
    while (name.endsWith(u'.') || name.endsWith(u' '))
        name.chop(1);
    if (name.isEmpty())
        name = QStringLiteral("Отчет");
    return name + QStringLiteral(".pdf");
}

QString suggestedPdfPath(const Document& doc)
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        folder = QDir::homePath();
    return QDir(folder).filePath(pdfFileName(doc.title));
}

void writePdf(const Document& doc, const QString& path)
{
    if (writePdfDirect(doc, path))
        return;
    // A face our writer cannot embed: Qt's PDF engine through the painter, into a file beside the target that
    // replaces it only once it is whole, so that a failed write leaves any earlier file as it was.
    const QString failed = QStringLiteral("Не удалось записать файл %1").arg(path);
    QTemporaryFile part(QFileInfo(path).absoluteDir().filePath(QStringLiteral(".%1.XXXXXX")).arg(QFileInfo(path).fileName()));
    if (!part.open())
        throw ReportError(failed + QStringLiteral(": ") + part.errorString());
    part.close();
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(part.fileName());
        printer.setCreator(QStringLiteral("kesta_tabel"));
        setUpPrinter(doc, printer);
        QPainter painter;
        if (!painter.begin(&printer))
            throw ReportError(failed);
        for (int i = 0; i < doc.pages.size(); ++i) {
            if (i > 0)
                printer.newPage();
            paintPage(doc, i, painter);
        }
        if (!painter.end())
            throw ReportError(failed);
    }
    if (!completePdf(part.fileName()))
        throw ReportError(failed + QStringLiteral(": запись прервана (нет места на диске?)"));
    // An ordinary document, not the private file a temporary one starts as.
    part.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    if (std::rename(QFile::encodeName(part.fileName()).constData(), QFile::encodeName(path).constData()) != 0)
        throw ReportError(failed + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno)));
    part.setAutoRemove(false); // it is the file now
}

namespace {

// Maximised; the geometry too, for desktops whose window manager does not maximise on request.
void showPreview(PreviewDialog& dialog, QWidget* parent)
{
    if (QScreen* screen = parent ? parent->screen() : QGuiApplication::primaryScreen())
        dialog.setGeometry(screen->availableGeometry());
    dialog.setWindowState(dialog.windowState() | Qt::WindowMaximized);
    if (previewHook()) {
        dialog.finishLayout();
        previewHook()(dialog, dialog.document());
        return;
    }
    dialog.exec();
    if (dialog.layoutError())
        std::rethrow_exception(dialog.layoutError());
}

} // namespace

void preview(const Document& doc, Zoom zoom, QWidget* parent)
{
    PreviewDialog dialog(doc, zoom, parent);
    showPreview(dialog, parent);
}

void preview(LayoutRun& run, Zoom zoom, QWidget* parent)
{
    PreviewDialog dialog(run, zoom, parent);
    showPreview(dialog, parent);
}

void setPreviewHook(PreviewHook hook)
{
    previewHook() = std::move(hook);
}

} // namespace reportengine
