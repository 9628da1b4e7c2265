// The page model written straight to a PDF file, without a painter: a year's report has hundreds of thousands
// of text items, and going through QPainter and Qt's PDF engine (text shaping per item, its stream buffers)
// costs several times what the query does. The pages look as paintPage() paints them.
#pragma once

#include "reportengine/layout.h"

namespace reportengine {

// Writes the document as PDF 1.4: one compressed content stream per page, written as soon as the page is done
// (memory does not grow with the pages), texts in the report's own TrueType faces embedded as subsets with
// their Unicode mapping (the text can be searched and copied). Returns false, having written nothing, when a
// font of the document is not a TrueType outline font or lacks the face asked for (bold, italic): the caller
// then uses the painter. Throws ReportError when the file cannot be written; the file is replaced only when
// the whole document is written.
bool writePdfDirect(const Document& doc, const QString& path);

} // namespace reportengine
