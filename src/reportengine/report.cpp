#include "reportengine/report.h"

namespace reportengine {

FontSpec FontSpec::over(const FontSpec& base) const
{
    FontSpec f = base;
    if (family)
        f.family = family;
    if (pointSize)
        f.pointSize = pointSize;
    if (bold)
        f.bold = bold;
    if (italic)
        f.italic = italic;
    return f;
}

ReportError::ReportError(const QString& message)
    : std::runtime_error(message.toStdString())
    , message_(message)
{
}

// ---- Item ----

Item::Item(Kind kind, const QString& name, const QString& text)
    : kind_(kind)
    , name_(name)
    , text_(text)
{
}

Item& Item::setText(const QString& text)
{
    text_ = text;
    return *this;
}

Item& Item::at(double x, double width)
{
    x_ = x;
    width_ = width;
    return *this;
}

Item& Item::at(double x, double y, double width, double height)
{
    x_ = x;
    y_ = y;
    width_ = width;
    height_ = height;
    return *this;
}

Item& Item::align(Align a)
{
    align_ = a;
    return *this;
}

Item& Item::bold(bool on)
{
    font_.bold = on;
    return *this;
}

Item& Item::italic(bool on)
{
    font_.italic = on;
    return *this;
}

Item& Item::size(double points)
{
    font_.pointSize = points;
    return *this;
}

Item& Item::family(const QString& family)
{
    font_.family = family;
    return *this;
}

Item& Item::mask(const QString& picture)
{
    mask_ = picture;
    return *this;
}

Item& Item::color(const QColor& c)
{
    color_ = c;
    return *this;
}

Item& Item::background(const QColor& c)
{
    background_ = c;
    return *this;
}

Item& Item::frame(const Frame& f)
{
    frame_ = f;
    return *this;
}

Item& Item::frameLeft(const Line& l)
{
    frame_.left = l;
    return *this;
}

Item& Item::frameRight(const Line& l)
{
    frame_.right = l;
    return *this;
}

Item& Item::frameTop(const Line& l)
{
    frame_.top = l;
    return *this;
}

Item& Item::frameBottom(const Line& l)
{
    frame_.bottom = l;
    return *this;
}

Item& Item::resetAfterPrint(bool on)
{
    reset_ = on;
    return *this;
}

// ---- Band ----

Band::Band(Kind kind, const QString& name, double height)
    : kind_(kind)
    , name_(name)
    , height_(height)
{
}

Band& Band::setHeight(double mm)
{
    height_ = mm;
    return *this;
}

Band& Band::background(const QColor& c)
{
    background_ = c;
    return *this;
}

Band& Band::frame(const Frame& f)
{
    frame_ = f;
    return *this;
}

Band& Band::bold(bool on)
{
    font_.bold = on;
    return *this;
}

Band& Band::size(double points)
{
    font_.pointSize = points;
    return *this;
}

Band& Band::family(const QString& family)
{
    font_.family = family;
    return *this;
}

Item& Band::label(const QString& name, const QString& caption)
{
    items_.append(Item(Item::Kind::Label, name, caption));
    return items_.last();
}

Item& Band::field(const QString& name, const QString& field)
{
    items_.append(Item(Item::Kind::Field, name, field));
    return items_.last();
}

Item& Band::expr(const QString& name, const QString& expression)
{
    items_.append(Item(Item::Kind::Expression, name, expression));
    return items_.last();
}

Item& Band::total(const QString& name, const QString& field)
{
    items_.append(Item(Item::Kind::Total, name, field));
    return items_.last();
}

Band& Band::child(const QString& name, double height)
{
    children_.append(std::make_shared<Band>(Kind::Child, name, height));
    return *children_.last();
}

Item* Band::findItem(const QString& name)
{
    for (Item& i : items_)
        if (i.name() == name)
            return &i;
    for (const auto& c : children_)
        if (Item* i = c->findItem(name))
            return i;
    return nullptr;
}

// ---- Group ----

Group::Group(const QString& name, const QString& expression)
    : name_(name)
    , expression_(expression)
{
}

Group& Group::repeatOnNewPage(bool on)
{
    repeat_ = on;
    return *this;
}

Band& Group::header(double height)
{
    header_ = std::make_shared<Band>(Band::Kind::GroupHeader, name_, height);
    return *header_;
}

Band& Group::footer(const QString& name, double height)
{
    footer_ = std::make_shared<Band>(Band::Kind::GroupFooter, name, height);
    return *footer_;
}

// ---- Report ----

Report::Report()
    : pageSize_(QPageSize::A4)
    , margins_(10, 10, 10, 10)
{
    font_.family = QStringLiteral("Arial");
    font_.pointSize = 10;
    font_.bold = false;
    font_.italic = false;
}

Report& Report::paper(QPageSize::PageSizeId size, QPageLayout::Orientation orientation)
{
    pageSize_ = QPageSize(size);
    orientation_ = orientation;
    return *this;
}

Report& Report::margins(double mm)
{
    margins_ = QMarginsF(mm, mm, mm, mm);
    return *this;
}

Report& Report::margins(double left, double top, double right, double bottom)
{
    margins_ = QMarginsF(left, top, right, bottom);
    return *this;
}

Report& Report::font(const QString& family, double points)
{
    font_.family = family;
    font_.pointSize = points;
    return *this;
}

QSizeF Report::paperMm() const
{
    const QSizeF s = pageSize_.size(QPageSize::Millimeter);
    return orientation_ == QPageLayout::Landscape ? s.transposed() : s;
}

double Report::usableWidth() const
{
    return paperMm().width() - margins_.left() - margins_.right();
}

Band& Report::title(const QString& name, double height)
{
    title_ = std::make_shared<Band>(Band::Kind::Title, name, height);
    return *title_;
}

Band& Report::pageHeader(const QString& name, double height)
{
    pageHeader_ = std::make_shared<Band>(Band::Kind::PageHeader, name, height);
    return *pageHeader_;
}

Group& Report::group(const QString& name, const QString& expression)
{
    groups_.append(std::make_shared<Group>(name, expression));
    return *groups_.last();
}

Band& Report::detail(const QString& name, double height)
{
    detail_ = std::make_shared<Band>(Band::Kind::Detail, name, height);
    return *detail_;
}

Band& Report::summary(const QString& name, double height)
{
    summary_ = std::make_shared<Band>(Band::Kind::Summary, name, height);
    return *summary_;
}

Band& Report::pageFooter(const QString& name, double height)
{
    pageFooter_ = std::make_shared<Band>(Band::Kind::PageFooter, name, height);
    return *pageFooter_;
}

Item* Report::item(const QString& name)
{
    QList<Band*> bands = {title_.get(), pageHeader_.get(), detail_.get(), summary_.get(), pageFooter_.get()};
    for (const auto& g : groups_) {
        bands.append(g->headerBand());
        bands.append(g->footerBand());
    }
    for (Band* b : bands)
        if (b)
            if (Item* i = b->findItem(name))
                return i;
    return nullptr;
}

const Item* Report::item(const QString& name) const
{
    return const_cast<Report*>(this)->item(name);
}

void Report::setText(const QString& itemName, const QString& text)
{
    Item* i = item(itemName);
    if (!i)
        throw ReportError(QStringLiteral("В отчёте нет элемента %1").arg(itemName));
    i->setText(text);
}

} // namespace reportengine
