// A banded report declared in code: paper, bands and their items. Built once per form, laid out against a
// data source into pages (layout.h) and painted only by the preview, the printer or the PDF writer (render.h).
//
//   Report r;
//   r.paper(QPageSize::A4, QPageLayout::Landscape).margins(10).font(QStringLiteral("Arial"), 10);
//   Group& g = r.group(QStringLiteral("QRGroup1")).repeatOnNewPage();
//   Band& h = g.header(6).frame(Frame::topBottom(Line::solid()));
//   h.label(QStringLiteral("QRLabel33"), QStringLiteral("Данные за:")).at(0, 40).bold();
//   Band& d = r.detail(QStringLiteral("QRBand1"), 5);
//   d.field(QStringLiteral("QRDBText32"), QStringLiteral("fio")).at(0, 40);
//   d.expr(QStringLiteral("QRExpr1"), QStringLiteral("sd1+sd2")).at(250, 15).center().bold();
//   r.pageFooter(QStringLiteral("QRBand2"), 6).expr(QStringLiteral("QRExpr2"), QStringLiteral("PAGENUMBER"))
//       .at(0, 277).right();
#pragma once

#include <QColor>
#include <QList>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QSizeF>
#include <QString>

#include <memory>
#include <optional>

namespace reportengine {

enum class Align { Left, Center, Right };

// One frame line; a style of None draws nothing.
struct Line {
    enum class Style { None, Solid, Dot, Dash };
    Style style = Style::None;
    QColor color = QColor(0, 0, 0);
    double width = 0.2; // mm

    static Line none() { return {}; }
    static Line solid(const QColor& c = QColor(0, 0, 0), double w = 0.2) { return {Style::Solid, c, w}; }
    static Line dot(const QColor& c = QColor(128, 128, 128), double w = 0.2) { return {Style::Dot, c, w}; }
    static Line dash(const QColor& c = QColor(0, 0, 0), double w = 0.2) { return {Style::Dash, c, w}; }
    bool visible() const { return style != Style::None; }
    bool operator==(const Line&) const = default;
};

struct Frame {
    Line left, top, right, bottom;

    static Frame all(const Line& l) { return {l, l, l, l}; }
    static Frame topBottom(const Line& l) { return {{}, l, {}, l}; }
    static Frame leftRight(const Line& l) { return {l, {}, l, {}}; }
    bool any() const { return left.visible() || top.visible() || right.visible() || bottom.visible(); }
    bool operator==(const Frame&) const = default;
};

// Font settings; unset parts come from the band, then from the report.
struct FontSpec {
    std::optional<QString> family;
    std::optional<double> pointSize;
    std::optional<bool> bold;
    std::optional<bool> italic;

    FontSpec over(const FontSpec& base) const; // this where set, base elsewhere
};

// A printed item: a label (fixed text, replaceable before layout), a field (a column of the data source), an
// expression (see expression.h) or a total (the sum of a field over the rows of its band's group, see grouping.h). Positions are millimetres from the band's top-left corner.
class Item {
public:
    enum class Kind { Label, Field, Expression, Total };

    Item(Kind kind, const QString& name, const QString& text);

    Kind kind() const { return kind_; }
    QString name() const { return name_; }
    // Label caption, field name or expression text.
    QString text() const { return text_; }
    Item& setText(const QString& text);

    Item& at(double x, double width); // horizontal place; the item spans the band's height
    Item& at(double x, double y, double width, double height);
    Item& left() { return align(Align::Left); }
    Item& center() { return align(Align::Center); }
    Item& right() { return align(Align::Right); }
    Item& align(Align a);
    Item& bold(bool on = true);
    Item& italic(bool on = true);
    Item& size(double points);
    Item& family(const QString& family);
    Item& mask(const QString& picture); // "#0.00" etc.; empty prints values as they come
    Item& color(const QColor& c);       // text colour
    Item& background(const QColor& c);
    Item& frame(const Frame& f);
    Item& frameLeft(const Line& l);
    Item& frameRight(const Line& l);
    Item& frameTop(const Line& l);
    Item& frameBottom(const Line& l);
    // Sums in the expression start again after the item has been printed (subtotals).
    Item& resetAfterPrint(bool on = true);

    double x() const { return x_; }
    double y() const { return y_; }
    double width() const { return width_; }
    double height() const { return height_; } // 0: the band's height less y
    Align alignment() const { return align_; }
    const FontSpec& font() const { return font_; }
    QString picture() const { return mask_; }
    QColor textColor() const { return color_; }
    QColor backgroundColor() const { return background_; }
    const Frame& frameLines() const { return frame_; }
    bool resetsAfterPrint() const { return reset_; }

private:
    Kind kind_;
    QString name_;
    QString text_;
    double x_ = 0, y_ = 0, width_ = 20, height_ = 0;
    Align align_ = Align::Left;
    FontSpec font_;
    QString mask_;
    QColor color_ = QColor(0, 0, 0);
    QColor background_;
    Frame frame_;
    bool reset_ = false;
};

class Band {
public:
    enum class Kind { Title, PageHeader, GroupHeader, Child, Detail, GroupFooter, Summary, PageFooter };

    Band(Kind kind, const QString& name, double height);

    Kind kind() const { return kind_; }
    QString name() const { return name_; }
    double height() const { return height_; }
    Band& setHeight(double mm);
    Band& background(const QColor& c);
    Band& frame(const Frame& f);
    Band& bold(bool on = true);
    Band& size(double points);
    Band& family(const QString& family);

    Item& label(const QString& name, const QString& caption);
    Item& field(const QString& name, const QString& field);
    Item& expr(const QString& name, const QString& expression);
    // The sum of the field over the rows of the group whose header or footer this band is (every row for a group
    // without an expression and for the summary).
    Item& total(const QString& name, const QString& field);

    // A band printed right after this one each time this one prints.
    Band& child(const QString& name, double height);

    QColor backgroundColor() const { return background_; }
    const Frame& frameLines() const { return frame_; }
    const FontSpec& font() const { return font_; }
    const QList<Item>& items() const { return items_; }
    QList<Item>& items() { return items_; }
    const QList<std::shared_ptr<Band>>& children() const { return children_; }

    Item* findItem(const QString& name);

private:
    Kind kind_;
    QString name_;
    double height_;
    QColor background_;
    Frame frame_;
    FontSpec font_;
    QList<Item> items_;
    QList<std::shared_ptr<Band>> children_;
};

// A group: its header prints before the first row and whenever the expression's value changes; its footer
// prints after the last row of each group. Without an expression the group spans the whole report: its header
// prints once at the start (and again on each new page when asked) and its footer once at the end.
class Group {
public:
    Group(const QString& name, const QString& expression);

    QString name() const { return name_; }
    QString expression() const { return expression_; }
    Group& repeatOnNewPage(bool on = true);
    bool repeatsOnNewPage() const { return repeat_; }

    Band& header(double height);                            // named after the group
    Band& footer(const QString& name, double height);
    Band* headerBand() const { return header_.get(); }
    Band* footerBand() const { return footer_.get(); }

private:
    QString name_;
    QString expression_;
    bool repeat_ = false;
    std::shared_ptr<Band> header_;
    std::shared_ptr<Band> footer_;
};

class Report {
public:
    Report();

    Report& paper(QPageSize::PageSizeId size, QPageLayout::Orientation orientation);
    Report& margins(double mm);
    Report& margins(double left, double top, double right, double bottom);
    Report& font(const QString& family, double points);

    QPageSize pageSize() const { return pageSize_; }
    QPageLayout::Orientation orientation() const { return orientation_; }
    QMarginsF marginsMm() const { return margins_; }
    QSizeF paperMm() const;   // oriented
    double usableWidth() const; // between the left and right margins
    const FontSpec& baseFont() const { return font_; }

    Band& title(const QString& name, double height);
    Band& pageHeader(const QString& name, double height);
    // Groups nest in the order they are added, the first outermost.
    Group& group(const QString& name, const QString& expression = {});
    Band& detail(const QString& name, double height);
    Band& summary(const QString& name, double height);
    Band& pageFooter(const QString& name, double height);

    Band* titleBand() const { return title_.get(); }
    Band* pageHeaderBand() const { return pageHeader_.get(); }
    const QList<std::shared_ptr<Group>>& groups() const { return groups_; }
    Band* detailBand() const { return detail_.get(); }
    Band* summaryBand() const { return summary_.get(); }
    Band* pageFooterBand() const { return pageFooter_.get(); }

    // An item by name anywhere in the report; nullptr when absent.
    Item* item(const QString& name);
    const Item* item(const QString& name) const;
    // Replaces a label's caption (a run-time text); throws ReportError when there is no such item.
    void setText(const QString& itemName, const QString& text);

private:
    QPageSize pageSize_;
    QPageLayout::Orientation orientation_ = QPageLayout::Portrait;
    QMarginsF margins_;
    FontSpec font_;
    std::shared_ptr<Band> title_, pageHeader_, detail_, summary_, pageFooter_;
    QList<std::shared_ptr<Group>> groups_;
};

// A layout or expression fault (unknown field, syntax error, unknown item).
class ReportError : public std::runtime_error {
public:
    explicit ReportError(const QString& message);
    QString message() const { return message_; }

private:
    QString message_;
};

} // namespace reportengine
