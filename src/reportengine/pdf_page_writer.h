// A page of the model as a PDF content stream, drawn as paintPage() paints it.
#pragma once

#include "reportengine/layout.h"
#include "reportengine/pdf_font.h"

#include <QHash>
#include <QString>

#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace reportengine::pdf {

// The fonts' numbers in the document (F1, F2, ...), in the order the pages' writers first meet them; each writer
// keeps its own copy of every face it uses.
class FontNumbers {
public:
    int numberOf(const QString& key);

private:
    std::mutex mutex_;
    QHash<QString, int> numbers_;
};

// Draws pages one after the other, keeping the faces it met; one writer a thread.
class PageWriter {
public:
    explicit PageWriter(FontNumbers& numbers) : numbers_(numbers) {}

    // The faces this writer used, by their number in the document.
    const std::map<int, std::unique_ptr<EmbeddedFont>>& fonts() const { return fonts_; }

    // The page's content stream, the paper heightPt points high. Throws UnsupportedFont for a face it cannot embed.
    std::string content(const Page& page, double heightPt);

private:
    struct State {
        EmbeddedFont* font = nullptr;
        double size = -1;
        QRgb fill = qRgb(0, 0, 0);
        QRgb stroke = qRgb(0, 0, 0);
        double lineWidth = 1;
        Line::Style dash = Line::Style::Solid;
    };

    double x(double mm) const;
    double y(double mm) const;
    void colour(QRgb c, const char* op);
    void setFill(const QColor& c);
    void rect(const QRectF& mm);
    void fillRect(const QRectF& mm, const QColor& c);
    void line(const Line& l, QPointF a, QPointF b);
    void frame(const QRectF& r, const Frame& f);
    EmbeddedFont* fontFor(const PlacedItem& i);
    void text(const PlacedItem& i);
    void painterText(const PlacedItem& i);

    FontNumbers& numbers_;
    std::map<int, std::unique_ptr<EmbeddedFont>> fonts_;
    QHash<QString, EmbeddedFont*> byKey_;
    const PlacedItem* fontOwner_ = nullptr;
    EmbeddedFont* currentFont_ = nullptr;
    std::string out_;
    size_t lastSize_ = 0;
    double height_ = 0;
    double dashWidth_ = 0;
    State state_;
};

} // namespace reportengine::pdf
