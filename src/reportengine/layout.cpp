#include "reportengine/layout.h"

#include "db/dataset.h"
#include "reportengine/expression.h"
#include "reportengine/format.h"

#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
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

QStringList PlacedBand::texts() const
{
    QList<const PlacedItem*> sorted;
    for (const PlacedItem& i : items)
        sorted.append(&i);
    std::stable_sort(sorted.begin(), sorted.end(), [](const PlacedItem* a, const PlacedItem* b) {
        if (a->rect.left() != b->rect.left())
            return a->rect.left() < b->rect.left();
        return a->rect.top() < b->rect.top();
    });
    QStringList out;
    for (const PlacedItem* i : sorted)
        out.append(i->text);
    return out;
}

const PlacedItem* PlacedBand::item(const QString& itemName) const
{
    for (const PlacedItem& i : items)
        if (i.name == itemName)
            return &i;
    return nullptr;
}

QString Document::dump() const
{
    QString out;
    for (const Page& p : pages) {
        out += QStringLiteral("page %1\n").arg(p.number);
        for (const PlacedBand& b : p.bands)
            out += b.name + QStringLiteral(": ") + b.texts().join(QStringLiteral(" | ")) + u'\n';
    }
    return out;
}

QList<const PlacedBand*> Document::bands(const QString& name) const
{
    QList<const PlacedBand*> out;
    for (const Page& p : pages)
        for (const PlacedBand& b : p.bands)
            if (b.name == name)
                out.append(&b);
    return out;
}

QFont fontOf(const PlacedItem& item)
{
    QFont f(item.family);
    f.setPointSizeF(item.pointSize);
    f.setBold(item.bold);
    f.setItalic(item.italic);
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

// Font metrics of the few fonts a report uses, with the widths of the texts already measured (names, kinds and
// flags repeat on every page).
class Measurer {
public:
    // True when the text surely fits: the sum of its characters' own advances, with room to spare for kerning,
    // is within the room. Most texts are decided so, without shaping them.
    bool surelyFits(const PlacedItem& item, double roomMm)
    {
        Font& f = fontOf(item);
        double sum = 0;
        for (const QChar c : item.text) {
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

    double widthMm(const PlacedItem& item)
    {
        Font& f = fontOf(item);
        auto it = f.widths.constFind(item.text);
        if (it != f.widths.constEnd())
            return *it;
        const double w = f.metrics.horizontalAdvance(item.text) * 25.4 / kMeasureDpi;
        if (f.widths.size() < 100000)
            f.widths.insert(item.text, w);
        return w;
    }

    QString elided(const PlacedItem& item, double widthMm)
    {
        return fontOf(item).metrics.elidedText(item.text, Qt::ElideRight, widthMm * kMeasureDpi / 25.4);
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

    Font& fontOf(const PlacedItem& item)
    {
        for (Font& f : fonts_)
            if (f.pointSize == item.pointSize && f.bold == item.bold && f.italic == item.italic &&
                f.family == item.family)
                return f;
        Font f{item.family, item.pointSize, item.bold, item.italic,
               QFontMetricsF(reportengine::fontOf(item), &measuringDevice()), {}};
        fonts_.push_back(std::move(f));
        return fonts_.back();
    }

    std::vector<Font> fonts_;
};

// A text wider than its item is never cut silently: it is set smaller; a number that would still not fit is given
// the room it needs within the band, and a name is shortened with an ellipsis.
void fitText(PlacedItem& item, const QRectF& band, Measurer& m)
{
    const double room = item.rect.width() - 2 * kSidePaddingMm;
    if (m.surelyFits(item, room))
        return;
    double w = m.widthMm(item);
    if (w <= room)
        return;
    const bool number = looksNumeric(item.text);
    const double smallest = std::min(item.pointSize, number ? kSmallestNumberPoints : kSmallestTextPoints);
    while (w > room && item.pointSize > smallest) {
        double next = std::floor(item.pointSize * room / w * 2) / 2; // half points
        if (next >= item.pointSize)
            next = item.pointSize - 0.5;
        item.pointSize = std::max(smallest, next);
        w = m.widthMm(item);
    }
    if (w <= room)
        return;
    if (!number) {
        item.text = m.elided(item, room);
        return;
    }
    const double grow = w - room + 0.2;
    QRectF r = item.rect;
    if (item.align == Align::Right)
        r.setLeft(r.left() - grow);
    else if (item.align == Align::Left)
        r.setRight(r.right() + grow);
    else
        r.adjust(-grow / 2, 0, grow / 2, 0);
    if (r.left() < band.left())
        r.moveLeft(band.left());
    if (r.right() > band.right())
        r.moveRight(band.right());
    item.rect = r;
}

} // namespace

double textWidthMm(const PlacedItem& item)
{
    return QFontMetricsF(fontOf(item), &measuringDevice()).horizontalAdvance(item.text) * 25.4 / kMeasureDpi;
}

double textRoomMm(const PlacedItem& item)
{
    return item.rect.width() - 2 * kSidePaddingMm;
}

// ---- layout ----

class Engine {
public:
    Engine(const Report& report, const DataSource& source)
        : r_(report)
        , src_(source)
    {
        doc_.pageSize = report.pageSize();
        doc_.orientation = report.orientation();
        doc_.paperMm = report.paperMm();
        doc_.marginsMm = report.marginsMm();
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

    void compile(const Band& band)
    {
        for (const Item& item : band.items()) {
            if (item.kind() == Item::Kind::Field) {
                int index = src_.fieldIndex(item.text());
                if (index < 0 && item.text().contains(u'.'))
                    index = src_.fieldIndex(item.text().mid(item.text().lastIndexOf(u'.') + 1));
                if (index < 0)
                    throw ReportError(QStringLiteral("Элемент %1: нет поля %2").arg(item.name(), item.text()));
                fields_[&item] = index;
            } else if (item.kind() == Item::Kind::Expression) {
                auto [it, inserted] = exprs_.emplace(&item, Expression::compile(item.text(), resolver()));
                if (it->second.hasAggregate())
                    aggregates_.push_back(&it->second);
            }
        }
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
        PlacedBand pb;
        pb.name = band.name();
        pb.kind = band.kind();
        pb.rect = QRectF(doc_.marginsMm.left(), y, r_.usableWidth(), band.height());
        pb.background = band.backgroundColor();
        pb.frame = band.frameLines();
        const FontSpec bandFont = band.font().over(r_.baseFont());
        const Expression::Context ctx = context();
        pb.items.reserve(band.items().size());
        for (const Item& item : band.items()) {
            PlacedItem pi;
            pi.name = item.name();
            const double h = item.height() > 0 ? item.height() : band.height() - item.y();
            pi.rect = QRectF(doc_.marginsMm.left() + item.x(), y + item.y(), item.width(), h);
            pi.align = item.alignment();
            const FontSpec f = item.font().over(bandFont);
            pi.family = f.family.value_or(QStringLiteral("Arial"));
            pi.pointSize = f.pointSize.value_or(10);
            pi.bold = f.bold.value_or(false);
            pi.italic = f.italic.value_or(false);
            pi.color = item.textColor();
            pi.background = item.backgroundColor();
            pi.frame = item.frameLines();
            switch (item.kind()) {
            case Item::Kind::Label:
                pi.text = item.text();
                break;
            case Item::Kind::Field:
                pi.text = formatValue(src_.value(row_, fields_.at(&item)), item.picture());
                break;
            case Item::Kind::Expression: {
                Expression& e = exprs_.at(&item);
                pi.text = formatValue(e.evaluate(ctx), item.picture());
                if (item.resetsAfterPrint())
                    e.reset();
                break;
            }
            }
            if (item.kind() != Item::Kind::Label && !pi.text.isEmpty())
                fitText(pi, pb.rect, measurer_);
            pb.items.append(std::move(pi));
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
    Document doc_;
    Measurer measurer_;
    std::unordered_map<const Item*, int> fields_;
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
