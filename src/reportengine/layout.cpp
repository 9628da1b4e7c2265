#include "reportengine/layout.h"

#include "db/dataset.h"
#include "reportengine/expression.h"
#include "reportengine/format.h"
#include "reportengine/grouping.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <optional>
#include <limits>
#include <unordered_map>
#include <vector>

namespace reportengine {

// ---- sources ----

TableSource::TableSource(const QStringList& fields, const QList<QVariantList>& rows)
    : fields_(fields)
    , rows_(rows)
{
}

int TableSource::fieldIndex(const QString& name) const
{
    for (int i = 0; i < fields_.size(); ++i)
        if (fields_[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QVariant TableSource::value(int row, int field) const
{
    if (row < 0 || row >= rows_.size() || field < 0 || field >= rows_[row].size())
        return {};
    return rows_[row][field];
}

DatasetSource::DatasetSource(const db::Dataset& dataset)
    : dataset_(dataset)
{
}

int DatasetSource::rowCount() const
{
    return dataset_.isOpen() ? dataset_.recordCount() : 0;
}

int DatasetSource::fieldIndex(const QString& name) const
{
    return dataset_.fieldIndex(name);
}

QVariant DatasetSource::value(int row, int field) const
{
    if (row < 0 || row >= rowCount())
        return {};
    return dataset_.valueAt(row, field);
}

// ---- page model ----

const ItemLook& PlacedItem::look() const
{
    static const ItemLook plain;
    return look_ ? *look_ : plain;
}

const QString& PlacedItem::text() const
{
    static const QString empty;
    return text_ ? text_->text : empty;
}

ItemLook& PlacedItem::ownLook()
{
    if (!look_)
        look_ = new ItemLook;
    else
        look_.detach();
    return *look_;
}

void PlacedItem::setRect(const QRectF& rect)
{
    if (rect.left() != look().left || rect.width() != look().width || rect.height() != look().height) {
        ItemLook& l = ownLook();
        l.left = rect.left();
        l.width = rect.width();
        l.height = rect.height();
    }
    top_ = rect.top();
}

const BandLook& PlacedBand::look() const
{
    static const BandLook plain;
    return look_ ? *look_ : plain;
}

BandLook& PlacedBand::ownLook()
{
    if (!look_)
        look_ = new BandLook;
    else
        look_.detach();
    return *look_;
}

void PlacedBand::setRect(const QRectF& rect)
{
    if (rect.left() != look().left || rect.width() != look().width || rect.height() != look().height) {
        BandLook& l = ownLook();
        l.left = rect.left();
        l.width = rect.width();
        l.height = rect.height();
    }
    top_ = rect.top();
}

QStringList PlacedBand::texts() const
{
    QList<const PlacedItem*> sorted;
    for (const PlacedItem& i : items)
        sorted.append(&i);
    std::stable_sort(sorted.begin(), sorted.end(), [](const PlacedItem* a, const PlacedItem* b) {
        if (a->rect().left() != b->rect().left())
            return a->rect().left() < b->rect().left();
        return a->rect().top() < b->rect().top();
    });
    QStringList out;
    for (const PlacedItem* i : sorted)
        out.append(i->text());
    return out;
}

const PlacedItem* PlacedBand::item(const QString& itemName) const
{
    for (const PlacedItem& i : items)
        if (i.name() == itemName)
            return &i;
    return nullptr;
}

QString Document::dump() const
{
    QString out;
    for (const Page& p : pages) {
        out += QStringLiteral("page %1\n").arg(p.number);
        for (const PlacedBand& b : p.bands)
            out += b.name() + QStringLiteral(": ") + b.texts().join(QStringLiteral(" | ")) + u'\n';
    }
    return out;
}

QList<const PlacedBand*> Document::bands(const QString& name) const
{
    QList<const PlacedBand*> out;
    for (const Page& p : pages)
        for (const PlacedBand& b : p.bands)
            if (b.name() == name)
                out.append(&b);
    return out;
}

QFont fontOf(const PlacedItem& item)
{
    QFont f(item.family());
    f.setPointSizeF(item.pointSize());
    f.setBold(item.bold());
    f.setItalic(item.italic());
    return f;
}

// ---- fitting texts into their items ----

namespace {

// Texts are measured at the printer's resolution: the preview, the printer and the PDF all draw from the same
// advances, and hinting at screen sizes would only make them wider by a hair.
constexpr double kMeasureDpi = 1200;
// The painter keeps half a millimetre free on either side of an item's text.
constexpr double kSidePaddingMm = 0.5;
// How far a text may shrink before a number is widened or a name is shortened with an ellipsis.
constexpr double kSmallestNumberPoints = 5;
constexpr double kSmallestTextPoints = 6;

const QPaintDevice& measuringDevice()
{
    static const QImage device = [] {
        QImage image(1, 1, QImage::Format_ARGB32);
        const int dotsPerMetre = int(std::lround(kMeasureDpi / 0.0254));
        image.setDotsPerMeterX(dotsPerMetre);
        image.setDotsPerMeterY(dotsPerMetre);
        return image;
    }();
    return device;
}

bool looksNumeric(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^[-+]?[0-9\\s\\x{00A0}]*[0-9]([.,][0-9]*)?$"));
    return number.match(text).hasMatch();
}

// The font of a text: a look's family and style at a size.
QFont fontAt(const ItemLook& look, double pointSize)
{
    QFont f(look.family);
    f.setPointSizeF(pointSize);
    f.setBold(look.bold);
    f.setItalic(look.italic);
    return f;
}

// Font metrics of the few fonts a report uses, with the widths of the texts already measured (names, kinds and
// flags repeat on every page).
class Measurer {
public:
    // True when the text surely fits: the sum of its characters' own advances, with room to spare for kerning,
    // is within the room. Most texts are decided so, without shaping them.
    bool surelyFits(const ItemLook& look, double pointSize, const QString& text, double roomMm)
    {
        Font& f = fontOf(look, pointSize);
        double sum = 0;
        for (const QChar c : text) {
            const char16_t u = c.unicode();
            if (u >= f.advances.size())
                return false;
            double& a = f.advances[u];
            if (a < 0)
                a = f.metrics.horizontalAdvance(c) * 25.4 / kMeasureDpi;
            sum += a;
        }
        return sum * 1.05 <= roomMm;
    }

    double widthMm(const ItemLook& look, double pointSize, const QString& text)
    {
        Font& f = fontOf(look, pointSize);
        auto it = f.widths.constFind(text);
        if (it != f.widths.constEnd())
            return *it;
        const double w = f.metrics.horizontalAdvance(text) * 25.4 / kMeasureDpi;
        if (f.widths.size() < 100000)
            f.widths.insert(text, w);
        return w;
    }

    QString elided(const ItemLook& look, double pointSize, const QString& text, double widthMm)
    {
        return fontOf(look, pointSize).metrics.elidedText(text, Qt::ElideRight, widthMm * kMeasureDpi / 25.4);
    }

private:
    struct Font {
        QString family;
        double pointSize;
        bool bold, italic;
        QFontMetricsF metrics;
        QHash<QString, double> widths;
        std::vector<double> advances = std::vector<double>(0x500, -1.0); // Latin and Cyrillic, mm; -1 not yet
    };

    Font& fontOf(const ItemLook& look, double pointSize)
    {
        for (Font& f : fonts_)
            if (f.pointSize == pointSize && f.bold == look.bold && f.italic == look.italic && f.family == look.family)
                return f;
        Font f{look.family, pointSize, look.bold, look.italic,
               QFontMetricsF(fontAt(look, pointSize), &measuringDevice()), {}};
        fonts_.push_back(std::move(f));
        return fonts_.back();
    }

    std::vector<Font> fonts_;
};

// A text wider than its item is never cut silently: it is set smaller; a number that would still not fit is given
// the room it needs within the band, and a name is shortened with an ellipsis. Returns false when the text fits
// as it is; otherwise the size, the rectangle and the text are as they are to be printed.
bool fitText(const ItemLook& look, QString& text, double& pointSize, QRectF& rect, const QRectF& band, Measurer& m)
{
    const double room = rect.width() - 2 * kSidePaddingMm;
    if (m.surelyFits(look, pointSize, text, room))
        return false;
    double w = m.widthMm(look, pointSize, text);
    if (w <= room)
        return false;
    const bool number = looksNumeric(text);
    const double smallest = std::min(pointSize, number ? kSmallestNumberPoints : kSmallestTextPoints);
    while (w > room && pointSize > smallest) {
        double next = std::floor(pointSize * room / w * 2) / 2; // half points
        if (next >= pointSize)
            next = pointSize - 0.5;
        pointSize = std::max(smallest, next);
        w = m.widthMm(look, pointSize, text);
    }
    if (w <= room)
        return true;
    if (!number) {
        text = m.elided(look, pointSize, text, room);
        return true;
    }
    const double grow = w - room + 0.2;
    QRectF r = rect;
    if (look.align == Align::Right)
        r.setLeft(r.left() - grow);
    else if (look.align == Align::Left)
        r.setRight(r.right() + grow);
    else
        r.adjust(-grow / 2, 0, grow / 2, 0);
    if (r.left() < band.left())
        r.moveLeft(band.left());
    if (r.right() > band.right())
        r.moveRight(band.right());
    rect = r;
    return true;
}

} // namespace

double textWidthMm(const PlacedItem& item)
{
    return QFontMetricsF(fontOf(item), &measuringDevice()).horizontalAdvance(item.text()) * 25.4 / kMeasureDpi;
}

double textRoomMm(const PlacedItem& item)
{
    return item.rect().width() - 2 * kSidePaddingMm;
}

// ---- layout ----

class Engine {
    // What every placement of a band or item shares, made once.
    struct ItemDef {
        QExplicitlySharedDataPointer<ItemLook> look;
        std::vector<QExplicitlySharedDataPointer<ItemLook>> fitted;
        int field = -1;
        Expression* expression = nullptr;
        int group = -1; // a total's group, -1 for every row
        int sum = -1;   // a total's field among the grouping's
        QExplicitlySharedDataPointer<PlacedItem::Text> last;
        QHash<QString, QExplicitlySharedDataPointer<PlacedItem::Text>> texts;
    };
    static constexpr qsizetype kSharedTexts = 1024;
    struct BandDef {
        QExplicitlySharedDataPointer<BandLook> look;
        std::vector<ItemDef> items;
    };

public:
    Engine(const Report& report, const DataSource& source)
        : r_(report)
        , src_(source)
    {
        doc_.pageSize = report.pageSize();
        doc_.orientation = report.orientation();
        doc_.paperMm = report.paperMm();
        doc_.marginsMm = report.marginsMm();
        if (hasTotals())
            grouping_.emplace(report, source);
        for (Band* b : allBands())
            compile(*b);
        for (const auto& g : r_.groups()) {
            if (g->expression().trimmed().isEmpty()) {
                groupKeys_.emplace_back();
            } else {
                groupKeys_.push_back(Expression::compile(g->expression(), resolver()));
            }
        }
        open_.assign(r_.groups().size(), false);
    }

    // The title and, without rows, the whole report.
    void begin()
    {
        const int n = src_.rowCount();
        const int g = int(r_.groups().size());
        row_ = n > 0 ? 0 : -1;
        next_ = 0;
        previous_.assign(g, QVariant());
        startPage();
        if (Band* t = r_.titleBand())
            print(*t);
        if (n == 0) {
            // No rows: the groups that span the whole report still print (the report keeps its frame).
            int k = 0;
            while (k < g && !groupKeys_[k].has_value())
                ++k;
            for (int i = 0; i < k; ++i)
                openGroup(i);
            for (int i = k - 1; i >= 0; --i)
                closeGroup(i);
            end();
        }
    }

    bool done() const { return done_; }

    // Places up to `count` more rows; after the last row, the closing footers, the summary and the last page.
    void advance(int count)
    {
        if (done_)
            return;
        const int n = src_.rowCount();
        const int g = int(r_.groups().size());
        const int stop = std::min(n, next_ + std::max(1, count));
        std::vector<QVariant> keys(g);
        for (; next_ < stop; ++next_) {
            const int rowIndex = next_;
            row_ = rowIndex;
            for (int i = 0; i < g; ++i)
                if (groupKeys_[i])
                    keys[i] = groupKeys_[i]->evaluate(context());
            int level = g;
            if (rowIndex == 0) {
                level = 0;
            } else {
                for (int i = 0; i < g; ++i) {
                    if (groupKeys_[i] && !sameKey(keys[i], previous_[i])) {
                        level = i;
                        break;
                    }
                }
            }
            if (rowIndex > 0 && level < g) {
                row_ = rowIndex - 1; // footers show the group's last row
                for (int i = g - 1; i >= level; --i)
                    closeGroup(i);
                row_ = rowIndex;
            }
            for (int i = level; i < g; ++i)
                openGroup(i);
            for (Expression* e : aggregates_)
                e->accumulate(context());
            if (Band* d = r_.detailBand())
                print(*d);
            previous_.swap(keys);
        }
        if (next_ >= n) {
            row_ = n - 1;
            for (int i = g - 1; i >= 0; --i)
                closeGroup(i);
            end();
        }
    }

    Document& document() { return doc_; }

private:
    Expression::Resolver resolver() const
    {
        return [this](const QString& name) { return src_.fieldIndex(name); };
    }

    Expression::Context context() const
    {
        Expression::Context c;
        const int row = row_;
        c.field = [this, row](int field) { return src_.value(row, field); };
        c.pageNumber = doc_.pages.isEmpty() ? 1 : doc_.pages.last().number;
        return c;
    }

    QList<Band*> allBands() const
    {
        QList<Band*> top = {r_.titleBand(), r_.pageHeaderBand(), r_.detailBand(), r_.summaryBand(),
                            r_.pageFooterBand()};
        for (const auto& g : r_.groups()) {
            top.append(g->headerBand());
            top.append(g->footerBand());
        }
        QList<Band*> out;
        std::function<void(Band*)> add = [&](Band* b) {
            if (!b)
                return;
            out.append(b);
            for (const auto& c : b->children())
                add(c.get());
        };
        for (Band* b : top)
            add(b);
        return out;
    }

    bool hasTotals() const
    {
        for (const Band* b : allBands())
            for (const Item& item : b->items())
                if (item.kind() == Item::Kind::Total)
                    return true;
        return false;
    }

    // The group whose header or footer the band is (or is a child of); -1 for the other bands.
    int groupOf(const Band& band) const
    {
        std::function<bool(const Band*)> holds = [&](const Band* b) {
            if (!b)
                return false;
            if (b == &band)
                return true;
            for (const auto& c : b->children())
                if (holds(c.get()))
                    return true;
            return false;
        };
        for (int i = 0; i < int(r_.groups().size()); ++i)
            if (holds(r_.groups()[i]->headerBand()) || holds(r_.groups()[i]->footerBand()))
                return i;
        return -1;
    }

    void compile(const Band& band)
    {
        BandDef& def = bandDefs_[&band];
        def.look = new BandLook;
        def.look->name = band.name();
        def.look->kind = band.kind();
        def.look->background = band.backgroundColor();
        def.look->frame = band.frameLines();
        def.look->left = doc_.marginsMm.left();
        def.look->width = r_.usableWidth();
        def.look->height = band.height();
        const FontSpec bandFont = band.font().over(r_.baseFont());
        def.items.reserve(band.items().size());
        for (const Item& item : band.items()) {
            ItemDef d;
            d.look = new ItemLook;
            ItemLook& l = *d.look;
            l.name = item.name();
            l.align = item.alignment();
            const FontSpec f = item.font().over(bandFont);
            l.family = f.family.value_or(QStringLiteral("Arial"));
            l.pointSize = f.pointSize.value_or(10);
            l.bold = f.bold.value_or(false);
            l.italic = f.italic.value_or(false);
            l.color = item.textColor();
            l.background = item.backgroundColor();
            l.frame = item.frameLines();
            l.left = doc_.marginsMm.left() + item.x();
            l.width = item.width();
            l.height = item.height() > 0 ? item.height() : band.height() - item.y();
            if (item.kind() == Item::Kind::Field) {
                int index = src_.fieldIndex(item.text());
                if (index < 0 && item.text().contains(u'.'))
                    index = src_.fieldIndex(item.text().mid(item.text().lastIndexOf(u'.') + 1));
                if (index < 0)
                    throw ReportError(QStringLiteral("Элемент %1: нет поля %2").arg(item.name(), item.text()));
                d.field = index;
            } else if (item.kind() == Item::Kind::Total) {
                d.group = groupOf(band);
                d.sum = grouping_->fieldIndex(item.text());
            } else if (item.kind() == Item::Kind::Expression) {
                auto [it, inserted] = exprs_.emplace(&item, Expression::compile(item.text(), resolver()));
                d.expression = &it->second;
                if (it->second.hasAggregate())
                    aggregates_.push_back(&it->second);
            }
            def.items.push_back(std::move(d));
        }
    }

    // Rows repeat most texts (names, kinds, flags, small numbers): the items of a definition share one copy of each,
    // up to a number of distinct texts beyond which the texts are taken to be each their own (sums).
    static QExplicitlySharedDataPointer<PlacedItem::Text> shared(ItemDef& d, const QString& text)
    {
        if (d.last && d.last->text == text)
            return d.last;
        if (auto it = d.texts.constFind(text); it != d.texts.constEnd()) {
            d.last = *it;
            return d.last;
        }
        d.last = new PlacedItem::Text(text);
        if (d.texts.size() < kSharedTexts)
            d.texts.insert(text, d.last);
        return d.last;
    }

    // The look of an item whose text was set smaller or given more room: shared by the items fitted alike.
    static QExplicitlySharedDataPointer<ItemLook> fittedLook(ItemDef& d, double pointSize, const QRectF& rect)
    {
        for (const auto& l : d.fitted)
            if (l->pointSize == pointSize && l->left == rect.left() && l->width == rect.width())
                return l;
        QExplicitlySharedDataPointer<ItemLook> l(new ItemLook(*d.look));
        l->pointSize = pointSize;
        l->left = rect.left();
        l->width = rect.width();
        if (d.fitted.size() < 64) // numbers widened each to their own width are not worth keeping
            d.fitted.push_back(l);
        return l;
    }

    static bool sameKey(const QVariant& a, const QVariant& b)
    {
        if (a.isNull() != b.isNull())
            return false;
        if (isNumber(a) && isNumber(b))
            return a.toDouble() == b.toDouble();
        return plainText(a) == plainText(b);
    }

    void openGroup(int i)
    {
        if (Band* h = r_.groups()[i]->headerBand())
            print(*h);
        open_[i] = true;
    }

    void closeGroup(int i)
    {
        if (Band* f = r_.groups()[i]->footerBand())
            print(*f);
        open_[i] = false;
    }

    void end()
    {
        if (Band* s = r_.summaryBand())
            print(*s);
        finishPage();
        done_ = true;
    }

    double bodyBottom() const
    {
        const double footer = r_.pageFooterBand() ? r_.pageFooterBand()->height() : 0;
        return doc_.paperMm.height() - doc_.marginsMm.bottom() - footer;
    }

    void startPage()
    {
        Page p;
        p.number = int(doc_.pages.size()) + 1;
        doc_.pages.append(p);
        y_ = doc_.marginsMm.top();
        pageBodyTop_ = std::numeric_limits<double>::max(); // headers never break the page they head
        if (Band* h = r_.pageHeaderBand())
            place(*h, y_);
        if (doc_.pages.size() > 1) {
            for (int i = 0; i < int(r_.groups().size()); ++i)
                if (open_[i] && r_.groups()[i]->repeatsOnNewPage() && r_.groups()[i]->headerBand())
                    place(*r_.groups()[i]->headerBand(), y_);
        }
        pageBodyTop_ = y_;
    }

    void finishPage()
    {
        if (Band* f = r_.pageFooterBand()) {
            double y = bodyBottom();
            place(*f, y);
        }
    }

    // A band with its children, on a new page when it does not fit on this one.
    void print(const Band& band)
    {
        double needed = band.height();
        if (y_ + needed > bodyBottom() + 1e-6 && y_ > pageBodyTop_ + 1e-6) {
            finishPage();
            startPage();
        }
        place(band, y_);
    }

    // Places the band at y and moves y below it; children of a body band may go to the next page.
    void place(const Band& band, double& y)
    {
        BandDef& def = bandDefs_.at(&band);
        PlacedBand pb(def.look, y);
        const QRectF bandRect = pb.rect();
        const Expression::Context ctx = context();
        pb.items.reserve(band.items().size());
        for (int k = 0; k < band.items().size(); ++k) {
            const Item& item = band.items()[k];
            ItemDef& d = def.items[k];
            const double top = y + item.y();
            QString text;
            switch (item.kind()) {
            case Item::Kind::Label:
                text = item.text();
                break;
            case Item::Kind::Field:
                text = formatValue(src_.value(row_, d.field), item.picture());
                break;
            case Item::Kind::Expression:
                text = formatValue(d.expression->evaluate(ctx), item.picture());
                if (item.resetsAfterPrint())
                    d.expression->reset();
                break;
            case Item::Kind::Total: {
                const QList<double>& sums = d.group >= 0 ? grouping_->spanOf(d.group, row_).sums : grouping_->total();
                text = formatValue(QVariant(sums[d.sum]), item.picture());
                break;
            }
            }
            if (item.kind() != Item::Kind::Label && !text.isEmpty()) {
                double pointSize = d.look->pointSize;
                QRectF rect(d.look->left, top, d.look->width, d.look->height);
                if (fitText(*d.look, text, pointSize, rect, bandRect, measurer_)) {
                    pb.items.append(PlacedItem(fittedLook(d, pointSize, rect), shared(d, text), top));
                    continue;
                }
            }
            pb.items.append(PlacedItem(d.look, shared(d, text), top));
        }
        doc_.pages.last().bands.append(std::move(pb));
        y += band.height();
        for (const auto& c : band.children()) {
            if (&y == &y_)
                print(*c);
            else
                place(*c, y);
        }
    }

    const Report& r_;
    const DataSource& src_;
    std::optional<Grouping> grouping_; // only for a report with totals
    Document doc_;
    Measurer measurer_;
    std::unordered_map<const Band*, BandDef> bandDefs_;
    std::unordered_map<const Item*, Expression> exprs_;
    std::vector<Expression*> aggregates_;
    std::vector<std::optional<Expression>> groupKeys_;
    std::vector<bool> open_;
    int row_ = -1;
    int next_ = 0; // the next row to place
    bool done_ = false;
    std::vector<QVariant> previous_; // the group keys of the row placed last
    double y_ = 0;
    double pageBodyTop_ = 0;
};

Document layout(const Report& report, const DataSource& source)
{
    LayoutRun run(report, source);
    while (!run.advance(1 << 20)) {
    }
    return run.take();
}

LayoutRun::LayoutRun(const Report& report, const DataSource& source)
    : engine_(std::make_unique<Engine>(report, source))
{
    engine_->begin();
}

LayoutRun::~LayoutRun() = default;

bool LayoutRun::advance(int rows)
{
    engine_->advance(rows);
    return engine_->done();
}

bool LayoutRun::done() const
{
    return engine_->done();
}

Document& LayoutRun::document()
{
    return engine_->document();
}

int LayoutRun::finishedPages() const
{
    const int placed = int(engine_->document().pages.size());
    return engine_->done() ? placed : placed - 1;
}

void LayoutRun::finish()
{
    while (!advance(1 << 20)) {
    }
}

Document LayoutRun::take()
{
    finish();
    return std::move(engine_->document());
}

} // namespace reportengine
