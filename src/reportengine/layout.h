// Laying a report out against its rows: the result is a page model of placed bands and items with their final
// texts, which tests read without pixels (dump()) and which render.h paints.
#pragma once

#include "reportengine/report.h"

#include <QFont>
#include <QList>
#include <QRectF>
#include <QSharedData>
#include <QStringList>
#include <QVariant>

#include <memory>

namespace db {
class Dataset;
}

namespace reportengine {

// The rows a report runs over.
class DataSource {
public:
    virtual ~DataSource() = default;
    virtual int rowCount() const = 0;
    // Column of a field name (letter case ignored); -1 when absent.
    virtual int fieldIndex(const QString& name) const = 0;
    virtual QVariant value(int row, int field) const = 0;
};

// Rows held in memory (tests, computed reports).
class TableSource : public DataSource {
public:
    TableSource(const QStringList& fields, const QList<QVariantList>& rows);
    int rowCount() const override { return int(rows_.size()); }
    int fieldIndex(const QString& name) const override;
    QVariant value(int row, int field) const override;

private:
    QStringList fields_;
    QList<QVariantList> rows_;
};

// The rows of an open dataset that pass its filter, in order.
class DatasetSource : public DataSource {
public:
    explicit DatasetSource(const db::Dataset& dataset);
    int rowCount() const override;
    int fieldIndex(const QString& name) const override;
    QVariant value(int row, int field) const override;

private:
    const db::Dataset& dataset_;
};

// What the items printed from one definition share: their name, font, colours, frame and place across the page.
// A year's report places hundreds of thousands of items from a dozen definitions, so each item keeps only its
// text and its top and points to the look it shares.
struct ItemLook : QSharedData {
    QString name;
    Align align = Align::Left;
    QString family;
    double pointSize = 10;
    bool bold = false;
    bool italic = false;
    QColor color;
    QColor background; // invalid: none
    Frame frame;
    double left = 0, width = 0, height = 0; // mm
};

// One placed item: its rectangle on the page in millimetres from the paper's top-left corner, and its text.
// The setters give the item a look of its own when it shares one.
class PlacedItem {
public:
    PlacedItem() = default;
    // A text shared by the items that print it.
    struct Text : QSharedData {
        explicit Text(const QString& t)
            : text(t)
        {
        }
        QString text;
    };

    PlacedItem(const QExplicitlySharedDataPointer<ItemLook>& look, const QExplicitlySharedDataPointer<Text>& text,
               double top)
        : look_(look)
        , text_(text)
        , top_(top)
    {
    }

    const QString& name() const { return look().name; }
    const QString& text() const;
    QRectF rect() const { return QRectF(look().left, top_, look().width, look().height); }
    Align align() const { return look().align; }
    const QString& family() const { return look().family; }
    double pointSize() const { return look().pointSize; }
    bool bold() const { return look().bold; }
    bool italic() const { return look().italic; }
    const QColor& color() const { return look().color; }
    const QColor& background() const { return look().background; }
    const Frame& frame() const { return look().frame; }
    const ItemLook& look() const;
    // Items of the same look draw with the same font and colours.
    bool sharesLookWith(const PlacedItem& other) const { return look_ == other.look_; }

    void setName(const QString& name) { ownLook().name = name; }
    void setText(const QString& text) { text_ = new Text(text); }
    void setRect(const QRectF& rect);
    void setAlign(Align align) { ownLook().align = align; }
    void setFamily(const QString& family) { ownLook().family = family; }
    void setPointSize(double points) { ownLook().pointSize = points; }
    void setBold(bool on) { ownLook().bold = on; }
    void setItalic(bool on) { ownLook().italic = on; }
    void setColor(const QColor& c) { ownLook().color = c; }
    void setBackground(const QColor& c) { ownLook().background = c; }
    void setFrame(const Frame& f) { ownLook().frame = f; }

private:
    ItemLook& ownLook();

    QExplicitlySharedDataPointer<ItemLook> look_; // null: the default look
    QExplicitlySharedDataPointer<Text> text_;     // null: empty
    double top_ = 0;
};

// What the bands printed from one definition share.
struct BandLook : QSharedData {
    QString name;
    Band::Kind kind = Band::Kind::Detail;
    QColor background;
    Frame frame;
    double left = 0, width = 0, height = 0; // mm
};

class PlacedBand {
public:
    PlacedBand() = default;
    PlacedBand(const QExplicitlySharedDataPointer<BandLook>& look, double top)
        : look_(look)
        , top_(top)
    {
    }

    const QString& name() const { return look().name; }
    Band::Kind kind() const { return look().kind; }
    QRectF rect() const { return QRectF(look().left, top_, look().width, look().height); } // mm on the page
    const QColor& background() const { return look().background; }
    const Frame& frame() const { return look().frame; }
    const BandLook& look() const;

    void setName(const QString& name) { ownLook().name = name; }
    void setKind(Band::Kind kind) { ownLook().kind = kind; }
    void setRect(const QRectF& rect);
    void setBackground(const QColor& c) { ownLook().background = c; }
    void setFrame(const Frame& f) { ownLook().frame = f; }

    QList<PlacedItem> items;

    // The texts of the items, left to right (then top to bottom).
    QStringList texts() const;
    const PlacedItem* item(const QString& name) const;

private:
    BandLook& ownLook();

    QExplicitlySharedDataPointer<BandLook> look_; // null: the default look
    double top_ = 0;
};

struct Page {
    int number = 1;
    QList<PlacedBand> bands;
};

struct Document {
    QPageSize pageSize;
    QPageLayout::Orientation orientation = QPageLayout::Portrait;
    QSizeF paperMm;
    QMarginsF marginsMm;
    QList<Page> pages;
    // Where the data came from when it is not the primary server (shown in the preview's title, never printed).
    QString sourceNote;
    // The report's caption and period, never printed: the title of a saved PDF and of a print job, and the name
    // the save dialog suggests.
    QString title;

    // Every page as text: "page N" lines, then one line per band, "name: text | text | ...".
    QString dump() const;
    // The bands of a name, in print order, over all pages.
    QList<const PlacedBand*> bands(const QString& name) const;
};

// Lays the report out over the source's rows. Throws ReportError for an expression fault or unknown field.
Document layout(const Report& report, const DataSource& source);

class Engine;

// A layout placed a slice of rows at a time, so that the preview can show the first pages while the rest are
// still being placed. The report and the source must outlive it. Throws ReportError as layout() does: an unknown
// field or a malformed expression when made, a fault in a row's value from advance().
class LayoutRun {
public:
    LayoutRun(const Report& report, const DataSource& source);
    ~LayoutRun();
    LayoutRun(const LayoutRun&) = delete;
    LayoutRun& operator=(const LayoutRun&) = delete;

    // Places up to `rows` more rows (the last slice closes the report too); true once the whole report is placed.
    bool advance(int rows);
    bool done() const;
    // The pages placed so far; the last one may still grow until done(). The title and source note may be set.
    Document& document();
    // Pages that will not change any more.
    int finishedPages() const;
    // Places the rest.
    void finish();
    // Places the rest and hands the document over.
    Document take();

private:
    std::unique_ptr<Engine> engine_;
};

// The font of a placed item, for painting and measuring.
QFont fontOf(const PlacedItem& item);

// The width of a placed item's text at its font, and the room its item leaves for it, in millimetres. Laying out
// makes every field and expression fit: a text too wide is set smaller, down to a few points; then a number gets
// the room it needs and any other text ends in an ellipsis.
double textWidthMm(const PlacedItem& item);
double textRoomMm(const PlacedItem& item);

} // namespace reportengine
