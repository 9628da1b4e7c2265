// Painting the page model: onto any painter, a printer, a PDF file, and the preview.
#pragma once

#include "reportengine/layout.h"

#include <functional>

class QPainter;
class QPrinter;
class QWidget;

namespace reportengine {

// Paints one page (0-based) with the painter's device resolution; the paper's top-left corner is at (0, 0).
void paintPage(const Document& doc, int pageIndex, QPainter& painter);
// Draws one item's text as paintPage() does: its font and colour, aligned, centred vertically, clipped only when
// wider than its room. The PDF writer hands it the texts it cannot draw as the painter does.
void paintItemText(const PlacedItem& item, QPainter& painter);
// Sets the printer to the document's paper and orientation, without margins (the page model holds them), and names
// the print job after the document's title.
void setUpPrinter(const Document& doc, QPrinter& printer);
// Sets the printer up and prints every page.
void print(const Document& doc, QPrinter& printer);
// Prints pages from..to (0-based, inclusive) in order on the printer as it is set. Throws ReportError when the
// printer cannot start.
void printPages(const Document& doc, QPrinter& printer, int from, int to);
// Writes the document to a PDF file. Throws ReportError when the file cannot be written.
void writePdf(const Document& doc, const QString& path);

// The file name the save dialog suggests for a document of this title: the title with the characters that file
// systems refuse or that would make a hidden or odd name replaced, and ".pdf" after it.
QString pdfFileName(const QString& title);
// The name in the user's documents folder (the home folder when there is none, rather than making one).
QString suggestedPdfPath(const Document& doc);

enum class Zoom { WholePage, PageWidth };

class PreviewDialog;

// The engine's preview (preview_dialog.h), maximised, at the given zoom; prints from its toolbar and saves a PDF
// through its "Сохранить в PDF" action. Returns when the user closes it.
void preview(const Document& doc, Zoom zoom, QWidget* parent = nullptr);
// The same over a layout under way: the first page shows as soon as it is placed, the rest are placed while it
// shows. Throws ReportError for a fault the layout meets, after the preview has closed.
void preview(LayoutRun& run, Zoom zoom, QWidget* parent = nullptr);

// For tests: when set, preview() builds the dialog, places every page, and hands the dialog to the hook instead
// of showing it.
using PreviewHook = std::function<void(PreviewDialog& dialog, const Document& doc)>;
void setPreviewHook(PreviewHook hook);

} // namespace reportengine
