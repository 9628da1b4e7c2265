// Painting the page model: onto any painter, a printer, a PDF file, and Qt's print preview.
#pragma once

#include "reportengine/layout.h"

#include <functional>

class QPainter;
class QPrinter;
class QPrintPreviewDialog;
class QWidget;

namespace reportengine {

// Paints one page (0-based) with the painter's device resolution; the paper's top-left corner is at (0, 0).
void paintPage(const Document& doc, int pageIndex, QPainter& painter);
// Sets the printer to the document's paper and orientation and prints every page.
void print(const Document& doc, QPrinter& printer);
// Writes the document to a PDF file. Throws ReportError when the file cannot be written.
void writePdf(const Document& doc, const QString& path);

// The file name the save dialog suggests for a document of this title: the title with the characters that file
// systems refuse or that would make a hidden or odd name replaced, and ".pdf" after it.
QString pdfFileName(const QString& title);
// The name in the user's documents folder (the home folder when there is none, rather than making one).
QString suggestedPdfPath(const Document& doc);

enum class Zoom { WholePage, PageWidth };

// The print preview, maximised, at the given zoom; prints from its toolbar and saves a PDF through its
// "Сохранить в PDF" action. Returns when the user closes it.
void preview(const Document& doc, Zoom zoom, QWidget* parent = nullptr);

// For tests: when set, preview() builds the dialog and hands it to the hook instead of showing it.
using PreviewHook = std::function<void(QPrintPreviewDialog& dialog, const Document& doc)>;
void setPreviewHook(PreviewHook hook);

} // namespace reportengine
