#include "reportengine/pdf_writer.h"

#include "reportengine/render.h"

#include <QHash>
#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QRawFont>
#include <QSaveFile>
#include <QTransform>

#include <hb.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <exception>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace reportengine {

namespace {

constexpr double kPtPerMm = 72.0 / 25.4;
// The thinnest line the painter draws: one dot of the high-resolution printer.
constexpr double kThinnestPt = 72.0 / 1200.0;

struct Unsupported {};

// ---- numbers and bytes ----

// Appends v rounded to the given decimals, without exponent and without trailing zeros. Content streams are
// built in a std::string: hundreds of thousands of small appends, which QByteArray's checks would slow down.
void num(std::string& out, double v, int decimals = 2)
{
    static constexpr long long scales[] = {1, 10, 100, 1000, 10000};
    const long long scale = scales[decimals];
    long long n = std::isfinite(v) && std::fabs(v) < 1e12 ? std::llround(v * double(scale)) : 0;
    if (n < 0) {
        out += '-';
        n = -n;
    }
    const long long whole = n / scale;
    long long frac = n % scale;
    char buf[32];
    int len = 0;
    long long w = whole;
    do {
        buf[len++] = char('0' + w % 10);
        w /= 10;
    } while (w);
    while (len)
        out += buf[--len];
    if (frac) {
        out += '.';
        for (long long s = scale / 10; s && frac; s /= 10) {
            out += char('0' + frac / s);
            frac %= s;
        }
    }
}

void num(QByteArray& out, double v, int decimals = 2)
{
    std::string s;
    num(s, v, decimals);
    out.append(s.data(), qsizetype(s.size()));
}

void num(QByteArray& out, long long v)
{
    out += QByteArray::number(v);
}

quint16 u16(const QByteArray& t, qsizetype at)
{
    return at + 2 <= t.size() ? quint16((uchar(t[at]) << 8) | uchar(t[at + 1])) : 0;
}

qint16 s16(const QByteArray& t, qsizetype at)
{
    return qint16(u16(t, at));
}

quint32 u32(const QByteArray& t, qsizetype at)
{
    return (quint32(u16(t, at)) << 16) | u16(t, at + 2);
}

void put16(QByteArray& t, quint16 v)
{
    t += char(v >> 8);
    t += char(v & 0xff);
}

void put32(QByteArray& t, quint32 v)
{
    put16(t, quint16(v >> 16));
    put16(t, quint16(v & 0xffff));
}

void set32(QByteArray& t, qsizetype at, quint32 v)
{
    t[at] = char(v >> 24);
    t[at + 1] = char((v >> 16) & 0xff);
    t[at + 2] = char((v >> 8) & 0xff);
    t[at + 3] = char(v & 0xff);
}

quint32 tableChecksum(const QByteArray& t)
{
    quint32 sum = 0;
    for (qsizetype i = 0; i < t.size(); i += 4) {
        quint32 word = 0;
        for (int k = 0; k < 4; ++k)
            word = (word << 8) | (i + k < t.size() ? uchar(t[i + k]) : 0);
        sum += word;
    }
    return sum;
}

// Zlib data (the Flate filter): qCompress's output without its four-byte length prefix.
QByteArray flate(const char* data, size_t size, int level)
{
    // qCompress gives only the prefix for nothing, and an empty Flate stream is not zlib data: a page without
    // anything drawn gets the zlib stream of no bytes.
    if (size == 0)
        return QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8);
    QByteArray z = qCompress(reinterpret_cast<const uchar*>(data), qsizetype(size), level);
    z.remove(0, 4);
    return z;
}

void hex4(QByteArray& out, unsigned v)
{
    static const char digits[] = "0123456789ABCDEF";
    out += digits[(v >> 12) & 15];
    out += digits[(v >> 8) & 15];
    out += digits[(v >> 4) & 15];
    out += digits[v & 15];
}

// A text string of the document information: UTF-16 with its byte-order mark, in hex, so that no character
// needs escaping.
QByteArray textString(const QString& text)
{
    QByteArray out = "<FEFF";
    for (const QChar ch : text)
        hex4(out, ch.unicode());
    return out + '>';
}

// ---- fonts ----

// One face of the document, embedded as a Type0 font with Identity-H encoding: the content streams show glyph
// ids, the font file keeps only the glyphs shown (ids unchanged), and a ToUnicode map gives the text back.
class EmbeddedFont {
public:
    static std::unique_ptr<EmbeddedFont> load(const QFont& font, int index)
    {
        auto f = std::unique_ptr<EmbeddedFont>(new EmbeddedFont);
        f->raw_ = QRawFont::fromFont(font);
        if (!f->raw_.isValid())
            throw Unsupported{};
        for (const char* tag : {"head", "hhea", "maxp", "loca", "glyf", "hmtx"})
            if (f->raw_.fontTable(tag).isEmpty())
                throw Unsupported{}; // not TrueType outlines (e.g. CFF): the painter embeds those
        const QByteArray head = f->raw_.fontTable("head"), hhea = f->raw_.fontTable("hhea"),
                         maxp = f->raw_.fontTable("maxp"), hmtx = f->raw_.fontTable("hmtx");
        const QByteArray os2 = f->raw_.fontTable("OS/2"), post = f->raw_.fontTable("post");
        // A face the font database only imitates (bold or italic made from the regular one) is left to the
        // painter, which draws the imitation.
        const bool isBold = (os2.size() >= 6 && u16(os2, 4) >= 600) || (u16(head, 44) & 1);
        const bool isItalic = (u16(head, 44) & 2) || (post.size() >= 8 && qint32(u32(post, 4)) != 0);
        if ((font.bold() && !isBold) || (font.italic() && !isItalic))
            throw Unsupported{};
        f->unitsPerEm_ = u16(head, 18);
        const int glyphs = u16(maxp, 4);
        if (f->unitsPerEm_ == 0 || glyphs == 0)
            throw Unsupported{};
        f->longLoca_ = s16(head, 50) != 0;
        const int metrics = std::max(1, int(u16(hhea, 34)));
        f->advance_.resize(glyphs);
        for (int g = 0; g < glyphs; ++g)
            f->advance_[g] = u16(hmtx, 4 * std::min(g, metrics - 1));
        f->used_.assign(glyphs, false);
        f->unicode_.assign(glyphs, 0);
        f->used_[0] = true;
        // Qt's own ascent and descent of the face, as the painter centres a line with them.
        QRawFont design = f->raw_;
        design.setPixelSize(f->unitsPerEm_);
        f->ascent_ = design.ascent();
        f->descent_ = design.descent();
        f->index_ = index;
        f->resource_ = "F" + QByteArray::number(index);
        f->bbox_ = {s16(head, 36), s16(head, 38), s16(head, 40), s16(head, 42)};
        f->capHeight_ = os2.size() >= 90 && u16(os2, 0) >= 2 ? s16(os2, 88) : s16(hhea, 4);
        f->italicAngle_ = post.size() >= 8 ? qint32(u32(post, 4)) / 65536.0 : 0.0;
        f->italic_ = isItalic;
        f->name_ = postScriptName(f->raw_);
        f->hbFace_ = hb_face_create_for_tables(&EmbeddedFont::table, f.get(), nullptr);
        hb_face_set_upem(f->hbFace_, unsigned(f->unitsPerEm_));
        f->hbFont_ = hb_font_create(f->hbFace_);
        hb_font_set_scale(f->hbFont_, f->unitsPerEm_, f->unitsPerEm_);
        f->hbBuffer_ = hb_buffer_create();
        return f;
    }

    const QByteArray& resource() const { return resource_; }
    // Ascent and descent in points for a size in points.
    double ascent(double size) const { return ascent_ * size / unitsPerEm_; }
    double descent(double size) const { return descent_ * size / unitsPerEm_; }
    double width(long long units, double size) const { return double(units) * size / unitsPerEm_; }

    ~EmbeddedFont()
    {
        hb_buffer_destroy(hbBuffer_);
        hb_font_destroy(hbFont_);
        hb_face_destroy(hbFace_);
    }

    // Takes the glyphs another copy of the same face used (a copy shapes the pages of another thread).
    void takeUsed(const EmbeddedFont& other)
    {
        for (size_t g = 0; g < used_.size() && g < other.used_.size(); ++g)
            if (other.used_[g] && !used_[g]) {
                used_[g] = true;
                unicode_[g] = other.unicode_[g];
            }
    }

    // Shapes the text with HarfBuzz, as the painter's text layout does, and gives its advance in font units, or -1
    // when the writer cannot draw it as the painter does: characters that reorder, join, combine, take a fallback
    // font or draw nothing (right-to-left scripts, combining marks, format and control characters such as a soft
    // hyphen or a tab, a character the face has no glyph for), or a shaping that is not one glyph per character
    // in order. Such a text is for the painter.
    long long shape(const QString& text)
    {
        last_.glyphs.clear();
        last_.kerns.clear();
        shown_ = &last_;
        const QChar* s = text.constData();
        const qsizetype n = text.size();
        for (qsizetype i = 0; i < n; ++i)
            if (!plain(s[i].unicode()))
                return -1;
        if (auto it = shaped_.constFind(text); it != shaped_.constEnd()) {
            shown_ = &*it; // until the next text is shaped
            markUsed(text);
            return it->advance;
        }
        hb_buffer_clear_contents(hbBuffer_);
        hb_buffer_add_utf16(hbBuffer_, reinterpret_cast<const uint16_t*>(s), int(n), 0, int(n));
        hb_buffer_set_direction(hbBuffer_, HB_DIRECTION_LTR);
        hb_buffer_guess_segment_properties(hbBuffer_);
        hb_shape(hbFont_, hbBuffer_, nullptr, 0);
        unsigned count = 0;
        const hb_glyph_info_t* info = hb_buffer_get_glyph_infos(hbBuffer_, &count);
        const hb_glyph_position_t* pos = hb_buffer_get_glyph_positions(hbBuffer_, &count);
        if (qsizetype(count) != n)
            return -1;
        // Each glyph where the shaping puts it: kerning shows as advances other than the glyphs' own and as offsets;
        // the difference from where the glyph would stand goes before it as a TJ adjustment.
        long long advance = 0, drawn = 0;
        for (unsigned i = 0; i < count; ++i) {
            const quint32 glyph = info[i].codepoint;
            if (info[i].cluster != i || glyph == 0 || glyph >= advance_.size() || pos[i].y_offset)
                return -1;
            last_.glyphs.push_back(quint16(glyph));
            const long long at = advance + pos[i].x_offset;
            if (at != drawn)
                last_.kerns.emplace_back(i, int(at - drawn));
            drawn = at + advance_[glyph];
            advance += pos[i].x_advance;
        }
        markUsed(text);
        // Kept for the texts that repeat (names, kinds, flags, small numbers); a year of sums, each its own, would
        // hold more than the page model, so the cache starts again when full.
        if (shaped_.size() >= kShapedKept)
            shaped_.clear();
        last_.advance = advance;
        shaped_.insert(text, last_);
        return advance;
    }

    // Appends the shaped text's showing operator: the glyph ids as two-byte codes in a literal string (half
    // the bytes of hex), with the kerning between pieces.
    void show(std::string& out) const
    {
        auto code = [&out](quint16 g) {
            for (const char c : {char(g >> 8), char(g & 0xff)}) {
                if (c == '(' || c == ')' || c == '\\') {
                    out += '\\';
                    out += c;
                } else if (c == '\r') { // a bare CR in a string reads as a line end
                    out += "\\r";
                } else {
                    out += c;
                }
            }
        };
        const std::vector<quint16>& glyphs = shown_->glyphs;
        const std::vector<std::pair<size_t, int>>& kerns = shown_->kerns;
        if (kerns.empty()) {
            out += '(';
            for (quint16 g : glyphs)
                code(g);
            out += ") Tj";
            return;
        }
        out += "[(";
        size_t k = 0;
        for (size_t i = 0; i < glyphs.size(); ++i) {
            if (k < kerns.size() && kerns[k].first == i) {
                out += ") ";
                num(out, -kerns[k].second * 1000.0 / unitsPerEm_);
                out += " (";
                ++k;
            }
            code(glyphs[i]);
        }
        out += ")] TJ";
    }

    // The font's objects; ids from newObject, written through write.
    template <typename NewObject, typename WriteObject>
    void writeObjects(int type0, NewObject newObject, WriteObject writeObject) const
    {
        const int cidFont = newObject(), descriptor = newObject(), file = newObject(), toUnicode = newObject();
        const QByteArray base = subsetTag() + '+' + name_;
        auto scaled = [&](double v) { return v * 1000.0 / unitsPerEm_; };

        QByteArray d = "<< /Type /Font /Subtype /Type0 /BaseFont /" + base + " /Encoding /Identity-H /DescendantFonts [" +
                       QByteArray::number(cidFont) + " 0 R] /ToUnicode " + QByteArray::number(toUnicode) + " 0 R >>";
        writeObject(type0, d);

        d = "<< /Type /Font /Subtype /CIDFontType2 /BaseFont /" + base +
            " /CIDSystemInfo << /Registry (Adobe) /Ordering (Identity) /Supplement 0 >> /FontDescriptor " +
            QByteArray::number(descriptor) + " 0 R /CIDToGIDMap /Identity /DW ";
        num(d, scaled(advance_.empty() ? 0 : advance_[0]));
        d += " /W [";
        for (size_t g = 0; g < used_.size();) {
            if (!used_[g]) {
                ++g;
                continue;
            }
            num(d, (long long)g);
            d += " [";
            for (; g < used_.size() && used_[g]; ++g) {
                num(d, scaled(advance_[g]));
                d += ' ';
            }
            d += "] ";
        }
        d += "] >>";
        writeObject(cidFont, d);

        d = "<< /Type /FontDescriptor /FontName /" + base + " /Flags " + QByteArray::number(italic_ ? 4 + 64 : 4) +
            " /FontBBox [";
        for (int i = 0; i < 4; ++i) {
            num(d, scaled(bbox_[i]));
            d += i < 3 ? " " : "]";
        }
        d += " /ItalicAngle ";
        num(d, italicAngle_);
        d += " /Ascent ";
        num(d, scaled(ascent_));
        d += " /Descent ";
        num(d, -scaled(descent_));
        d += " /CapHeight ";
        num(d, scaled(capHeight_));
        d += " /StemV 80 /FontFile2 " + QByteArray::number(file) + " 0 R >>";
        writeObject(descriptor, d);

        const QByteArray sfnt = subsetFile();
        const QByteArray z = flate(sfnt.constData(), size_t(sfnt.size()), 6);
        writeObject(file, "<< /Length " + QByteArray::number(z.size()) + " /Length1 " + QByteArray::number(sfnt.size()) +
                              " /Filter /FlateDecode >>\nstream\n" + z + "\nendstream");

        const QByteArray cmap = toUnicodeMap();
        writeObject(toUnicode, "<< /Length " + QByteArray::number(cmap.size()) + " >>\nstream\n" + cmap + "\nendstream");
    }

private:
    EmbeddedFont() = default;

    struct Shaped {
        std::vector<quint16> glyphs;
        std::vector<std::pair<size_t, int>> kerns;
        long long advance = 0;
    };

    // HarfBuzz reads the face's tables through this.
    static hb_blob_t* table(hb_face_t*, hb_tag_t tag, void* self)
    {
        auto* f = static_cast<EmbeddedFont*>(self);
        const char name[4] = {char(tag >> 24), char((tag >> 16) & 0xff), char((tag >> 8) & 0xff), char(tag & 0xff)};
        auto it = f->tables_.find(tag);
        if (it == f->tables_.end())
            it = f->tables_.emplace(tag, f->raw_.fontTable(name)).first;
        const QByteArray& t = it->second;
        return hb_blob_create(t.constData(), unsigned(t.size()), HB_MEMORY_MODE_READONLY, nullptr, nullptr);
    }

    // A character this writer draws as the painter does: one that neither reorders, joins, combines nor is left
    // out, and that the face has a glyph for. Looked up once per character.
    bool plain(char16_t c)
    {
        qint8& known = plain_[c];
        if (known < 0) {
            const QChar ch(c);
            bool ok = true;
            switch (ch.category()) {
            case QChar::Mark_NonSpacing:
            case QChar::Mark_SpacingCombining:
            case QChar::Mark_Enclosing:
            case QChar::Other_Control:
            case QChar::Other_Format:
            case QChar::Other_Surrogate:
            case QChar::Other_PrivateUse:
            case QChar::Other_NotAssigned:
            case QChar::Separator_Line:
            case QChar::Separator_Paragraph:
                ok = false;
                break;
            default:
                break;
            }
            switch (ch.direction()) {
            case QChar::DirL:
            case QChar::DirEN:
            case QChar::DirES:
            case QChar::DirET:
            case QChar::DirCS:
            case QChar::DirWS:
            case QChar::DirON:
                break;
            default: // right-to-left, Arabic numbers, embeddings and isolates, marks
                ok = false;
            }
            if (ok) {
                quint32 g = 0;
                int count = 1;
                ok = raw_.glyphIndexesForChars(&ch, 1, &g, &count) && count == 1 && g != 0 && g < advance_.size();
            }
            known = ok ? 1 : 0;
        }
        return known == 1;
    }

    void markUsed(const QString& text)
    {
        const std::vector<quint16>& glyphs = shown_->glyphs;
        for (size_t i = 0; i < glyphs.size(); ++i) {
            const quint16 g = glyphs[i];
            if (!used_[g]) {
                used_[g] = true;
                unicode_[g] = text[qsizetype(i)].unicode();
            }
        }
    }

    static QByteArray postScriptName(const QRawFont& raw)
    {
        const QByteArray t = raw.fontTable("name");
        const int count = u16(t, 2), strings = u16(t, 4);
        for (int i = 0; i < count; ++i) {
            const int r = 6 + 12 * i;
            const int platform = u16(t, r), encoding = u16(t, r + 2), id = u16(t, r + 6);
            const int length = u16(t, r + 8), offset = strings + u16(t, r + 10);
            if (id != 6 || offset + length > t.size())
                continue;
            QByteArray name;
            if (platform == 3 && encoding == 1) {
                for (int k = 0; k + 1 < length; k += 2)
                    name += char(u16(t, offset + k) & 0x7f);
            } else if (platform == 1 && encoding == 0) {
                name = t.mid(offset, length);
            } else {
                continue;
            }
            return safeName(name);
        }
        return safeName((raw.familyName() + u'-' + raw.styleName()).toLatin1());
    }

    // PDF names may not hold spaces or delimiters.
    static QByteArray safeName(const QByteArray& n)
    {
        QByteArray out;
        for (char c : n)
            if (c > ' ' && c < 127 && !QByteArray("()<>[]{}/%#").contains(c))
                out += c;
        return out.isEmpty() ? QByteArray("Font") : out;
    }

    QByteArray subsetTag() const
    {
        QByteArray tag = "KSTAAA";
        tag[4] = char('A' + (index_ / 26) % 26);
        tag[5] = char('A' + index_ % 26);
        return tag;
    }

    // The face as a TrueType file holding only the shown glyphs (and the glyphs they are composed of); the
    // others are left empty, so glyph ids stay as the content streams use them.
    QByteArray subsetFile() const
    {
        const QByteArray loca = raw_.fontTable("loca"), glyf = raw_.fontTable("glyf");
        const int glyphs = int(advance_.size());
        auto glyphRange = [&](int g) -> std::pair<quint32, quint32> {
            quint32 a = longLoca_ ? u32(loca, 4 * g) : quint32(u16(loca, 2 * g)) * 2;
            quint32 b = longLoca_ ? u32(loca, 4 * (g + 1)) : quint32(u16(loca, 2 * (g + 1))) * 2;
            if (b < a || b > quint32(glyf.size()))
                return {0, 0};
            return {a, b};
        };
        std::vector<bool> keep = used_;
        std::vector<int> todo;
        for (int g = 0; g < glyphs; ++g)
            if (keep[g])
                todo.push_back(g);
        while (!todo.empty()) { // the components of composite glyphs
            const int g = todo.back();
            todo.pop_back();
            const auto [a, b] = glyphRange(g);
            if (b - a < 10 || s16(glyf, a) >= 0)
                continue;
            qsizetype p = a + 10;
            for (;;) {
                const quint16 flags = u16(glyf, p), component = u16(glyf, p + 2);
                if (component < glyphs && !keep[component]) {
                    keep[component] = true;
                    todo.push_back(component);
                }
                p += 4 + ((flags & 0x1) ? 4 : 2);
                if (flags & 0x8)
                    p += 2;
                else if (flags & 0x40)
                    p += 4;
                else if (flags & 0x80)
                    p += 8;
                if (!(flags & 0x20) || p >= b)
                    break;
            }
        }
        QByteArray newGlyf, newLoca;
        for (int g = 0; g <= glyphs; ++g) {
            if (longLoca_)
                put32(newLoca, quint32(newGlyf.size()));
            else
                put16(newLoca, quint16(newGlyf.size() / 2));
            if (g == glyphs)
                break;
            if (keep[g]) {
                const auto [a, b] = glyphRange(g);
                newGlyf += glyf.mid(a, b - a);
                while (newGlyf.size() % 4)
                    newGlyf += '\0';
            }
        }

        std::vector<std::pair<QByteArray, QByteArray>> tables;
        // The tables a PDF viewer draws the glyphs with; the glyph names of 'post' are left out (version 3).
        for (const char* tag : {"OS/2", "cvt ", "fpgm", "glyf", "head", "hhea", "hmtx", "loca", "maxp", "post", "prep"}) {
            QByteArray data = qstrcmp(tag, "glyf") == 0 ? newGlyf : qstrcmp(tag, "loca") == 0 ? newLoca : raw_.fontTable(tag);
            if (qstrcmp(tag, "post") == 0 && data.size() >= 32) {
                data.truncate(32);
                set32(data, 0, 0x00030000);
            }
            if (data.isEmpty())
                continue;
            if (qstrcmp(tag, "head") == 0 && data.size() >= 12)
                set32(data, 8, 0); // checkSumAdjustment, set below
            tables.emplace_back(QByteArray(tag), data);
        }
        const int n = int(tables.size());
        int selector = 0;
        while ((2 << selector) <= n)
            ++selector;
        QByteArray out;
        put32(out, 0x00010000);
        put16(out, quint16(n));
        put16(out, quint16(16 << selector));
        put16(out, quint16(selector));
        put16(out, quint16(n * 16 - (16 << selector)));
        quint32 offset = quint32(12 + 16 * n);
        qsizetype headAt = -1;
        for (const auto& [tag, data] : tables) {
            out += tag;
            put32(out, tableChecksum(data));
            put32(out, offset);
            put32(out, quint32(data.size()));
            if (tag == "head")
                headAt = offset;
            offset += quint32((data.size() + 3) & ~3);
        }
        for (const auto& [tag, data] : tables) {
            out += data;
            while (out.size() % 4)
                out += '\0';
        }
        if (headAt >= 0)
            set32(out, headAt + 8, 0xB1B0AFBA - tableChecksum(out));
        return out;
    }

    QByteArray toUnicodeMap() const
    {
        QByteArray m = "/CIDInit /ProcSet findresource begin\n12 dict begin\nbegincmap\n"
                       "/CIDSystemInfo << /Registry (Adobe) /Ordering (UCS) /Supplement 0 >> def\n"
                       "/CMapName /Adobe-Identity-UCS def\n/CMapType 2 def\n"
                       "1 begincodespacerange\n<0000> <FFFF>\nendcodespacerange\n";
        std::vector<int> mapped;
        for (size_t g = 0; g < unicode_.size(); ++g)
            if (unicode_[g])
                mapped.push_back(int(g));
        for (size_t i = 0; i < mapped.size(); i += 100) {
            const size_t end = std::min(mapped.size(), i + 100);
            m += QByteArray::number(qulonglong(end - i)) + " beginbfchar\n";
            for (size_t k = i; k < end; ++k) {
                const int g = mapped[k];
                m += '<';
                hex4(m, unsigned(g));
                m += "> <";
                const char32_t c = unicode_[g];
                if (c > 0xffff) {
                    hex4(m, QChar::highSurrogate(c));
                    hex4(m, QChar::lowSurrogate(c));
                } else {
                    hex4(m, unsigned(c));
                }
                m += ">\n";
            }
            m += "endbfchar\n";
        }
        m += "endcmap\nCMapName currentdict /CMap defineresource pop\nend\nend";
        return m;
    }

    QRawFont raw_;
    int index_ = 0;
    QByteArray resource_;
    QByteArray name_;
    int unitsPerEm_ = 1000;
    bool longLoca_ = false;
    bool italic_ = false;
    double ascent_ = 0, descent_ = 0;
    std::array<int, 4> bbox_{};
    int capHeight_ = 0;
    double italicAngle_ = 0;
    std::vector<quint16> advance_;   // per glyph, font units
    std::vector<bool> used_;         // per glyph
    std::vector<char32_t> unicode_;  // per glyph: the character it was first shown for
    std::vector<qint8> plain_ = std::vector<qint8>(0x10000, -1); // per BMP character: 1 plain, 0 not, -1 unknown
    std::map<hb_tag_t, QByteArray> tables_;
    hb_face_t* hbFace_ = nullptr;
    hb_font_t* hbFont_ = nullptr;
    hb_buffer_t* hbBuffer_ = nullptr;
    static constexpr qsizetype kShapedKept = 8192;
    QHash<QString, Shaped> shaped_; // names, kinds and flags repeat on every page
    Shaped last_;                   // the text shaped last, when it was not kept from before
    const Shaped* shown_ = &last_;  // the text shaped last: last_ or the one kept
};

// ---- the file ----

class PdfFile {
public:
    explicit PdfFile(const QString& path) : file_(path)
    {
        if (!file_.open(QIODevice::WriteOnly))
            throw ReportError(QStringLiteral("Не удалось записать файл %1").arg(path));
        offsets_.push_back(0); // object 0 is the free list's head
        write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
    }

    int newObject()
    {
        offsets_.push_back(-1);
        return int(offsets_.size()) - 1;
    }

    void object(int id, const QByteArray& body)
    {
        offsets_[id] = pos_;
        write(QByteArray::number(id) + " 0 obj\n");
        write(body);
        write("\nendobj\n");
    }

    void stream(int id, const QByteArray& compressed)
    {
        offsets_[id] = pos_;
        write(QByteArray::number(id) + " 0 obj\n<< /Length " + QByteArray::number(compressed.size()) +
              " /Filter /FlateDecode >>\nstream\n");
        write(compressed);
        write("\nendstream\nendobj\n");
    }

    void finish(int catalog, int info, const QString& path)
    {
        const qint64 xref = pos_;
        QByteArray x = "xref\n0 " + QByteArray::number(qulonglong(offsets_.size())) + "\n0000000000 65535 f \n";
        char entry[24];
        for (size_t i = 1; i < offsets_.size(); ++i) {
            std::snprintf(entry, sizeof entry, "%010lld 00000 n \n", static_cast<long long>(offsets_[i]));
            x += entry;
        }
        x += "trailer\n<< /Size " + QByteArray::number(qulonglong(offsets_.size())) + " /Root " +
             QByteArray::number(catalog) + " 0 R /Info " + QByteArray::number(info) + " 0 R >>\nstartxref\n" +
             QByteArray::number(xref) + "\n%%EOF\n";
        write(x);
        if (!file_.commit())
            throw ReportError(QStringLiteral("Не удалось записать файл %1").arg(path));
    }

private:
    void write(const QByteArray& b)
    {
        file_.write(b); // a failure shows in commit()
        pos_ += b.size();
    }

    QSaveFile file_;
    qint64 pos_ = 0;
    std::vector<qint64> offsets_;
};

// ---- pages ----

// A paint device that keeps what the painter fills (the outlines of its glyphs) instead of drawing it: a text the
// writer cannot draw itself is drawn by the painter through it, and the outlines go into the page as paths. The
// device has the high-resolution printer's resolution, so the painter shapes and places as it does when printing.
class OutlineDevice : public QPaintDevice {
public:
    static constexpr int kDpi = 1200;

    struct Fill {
        QPainterPath path; // device dots
        QColor color;
    };

    OutlineDevice() = default;
    QPaintEngine* paintEngine() const override { return &engine_; }
    std::vector<Fill>& fills() { return engine_.fills; }

protected:
    int metric(PaintDeviceMetric m) const override
    {
        switch (m) {
        case PdmWidth:
        case PdmHeight:
            return 1000000;
        case PdmWidthMM:
        case PdmHeightMM:
            return int(1000000 * 25.4 / kDpi);
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return kDpi;
        case PdmDepth:
            return 32;
        case PdmNumColors:
            return INT_MAX;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(QPaintDevice::devicePixelRatioFScale());
        }
        return 0;
    }

private:
    class Engine : public QPaintEngine {
    public:
        Engine() : QPaintEngine(QPaintEngine::AllFeatures) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        Type type() const override { return QPaintEngine::User; }
        void updateState(const QPaintEngineState& state) override
        {
            if (state.state() & DirtyTransform)
                transform_ = state.transform();
            if (state.state() & DirtyBrush)
                brush_ = state.brush();
        }
        void drawPath(const QPainterPath& path) override
        {
            if (brush_.style() != Qt::NoBrush && !path.isEmpty())
                fills.push_back({transform_.map(path), brush_.color()});
        }
        void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
        {
            QPainterPath path;
            path.addPolygon(QPolygonF(QList<QPointF>(points, points + count)));
            path.setFillRule(mode == OddEvenMode ? Qt::OddEvenFill : Qt::WindingFill);
            drawPath(path);
        }
        void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {} // colour glyphs: none in reports

        std::vector<Fill> fills;

    private:
        QTransform transform_;
        QBrush brush_;
    };

    mutable Engine engine_;
};

// The fonts' numbers in the document (F1, F2, ...), in the order the pages' writers first meet them; each writer
// keeps its own copy of every face it uses.
class FontNumbers {
public:
    int numberOf(const QString& key)
    {
        std::lock_guard lock(mutex_);
        auto it = numbers_.find(key);
        if (it == numbers_.end())
            it = numbers_.insert(key, int(numbers_.size()) + 1);
        return *it;
    }

private:
    std::mutex mutex_;
    QHash<QString, int> numbers_;
};

class PageWriter {
public:
    explicit PageWriter(FontNumbers& numbers) : numbers_(numbers) {}

    // The faces this writer used, by their number in the document.
    const std::map<int, std::unique_ptr<EmbeddedFont>>& fonts() const { return fonts_; }

    // The page's content stream, drawn as paintPage() paints it.
    std::string content(const Page& page, double heightPt)
    {
        out_ = std::string();
        out_.reserve(lastSize_ + lastSize_ / 8 + 256);
        height_ = heightPt;
        state_ = State{};
        for (const PlacedBand& b : page.bands) {
            if (b.background().isValid())
                fillRect(b.rect(), b.background());
            for (const PlacedItem& i : b.items) {
                if (i.background().isValid())
                    fillRect(i.rect(), i.background());
                if (!i.text().isEmpty())
                    text(i);
                frame(i.rect(), i.frame());
            }
            frame(b.rect(), b.frame());
        }
        lastSize_ = out_.size();
        return std::move(out_);
    }

private:
    struct State {
        EmbeddedFont* font = nullptr;
        double size = -1;
        QRgb fill = qRgb(0, 0, 0);
        QRgb stroke = qRgb(0, 0, 0);
        double lineWidth = 1;
        Line::Style dash = Line::Style::Solid;
    };

    double x(double mm) const { return mm * kPtPerMm; }
    double y(double mm) const { return height_ - mm * kPtPerMm; }

    void colour(QRgb c, const char* op)
    {
        num(out_, qRed(c) / 255.0, 3);
        out_ += ' ';
        num(out_, qGreen(c) / 255.0, 3);
        out_ += ' ';
        num(out_, qBlue(c) / 255.0, 3);
        out_ += op;
    }

    void setFill(const QColor& c)
    {
        const QRgb rgb = c.rgb() | 0xff000000;
        if (rgb != state_.fill) {
            colour(rgb, " rg\n");
            state_.fill = rgb;
        }
    }

    void rect(const QRectF& mm)
    {
        num(out_, x(mm.left()));
        out_ += ' ';
        num(out_, y(mm.bottom()));
        out_ += ' ';
        num(out_, mm.width() * kPtPerMm);
        out_ += ' ';
        num(out_, mm.height() * kPtPerMm);
        out_ += " re";
    }

    void fillRect(const QRectF& mm, const QColor& c)
    {
        setFill(c);
        rect(mm);
        out_ += " f\n";
    }

    void line(const Line& l, QPointF a, QPointF b)
    {
        if (!l.visible())
            return;
        const QRgb rgb = l.color.rgb() | 0xff000000;
        if (rgb != state_.stroke) {
            colour(rgb, " RG\n");
            state_.stroke = rgb;
        }
        const double w = std::max(kThinnestPt, l.width * kPtPerMm);
        if (w != state_.lineWidth) {
            num(out_, w, 3);
            out_ += " w\n";
            state_.lineWidth = w;
        }
        const Line::Style dash = l.style == Line::Style::Dot || l.style == Line::Style::Dash ? l.style : Line::Style::Solid;
        if (dash != state_.dash || (dash != Line::Style::Solid && w != dashWidth_)) {
            // Qt's dot and dash patterns, in pen widths: dot 1 on 2 off, dash 4 on 2 off.
            if (dash == Line::Style::Solid) {
                out_ += "[] 0 d\n";
            } else {
                out_ += '[';
                num(out_, (dash == Line::Style::Dot ? 1 : 4) * w, 3);
                out_ += ' ';
                num(out_, 2 * w, 3);
                out_ += "] 0 d\n";
            }
            state_.dash = dash;
            dashWidth_ = w;
        }
        num(out_, x(a.x()));
        out_ += ' ';
        num(out_, y(a.y()));
        out_ += " m ";
        num(out_, x(b.x()));
        out_ += ' ';
        num(out_, y(b.y()));
        out_ += " l S\n";
    }

    void frame(const QRectF& r, const Frame& f)
    {
        line(f.top, r.topLeft(), r.topRight());
        line(f.bottom, r.bottomLeft(), r.bottomRight());
        line(f.left, r.topLeft(), r.bottomLeft());
        line(f.right, r.topRight(), r.bottomRight());
    }

    EmbeddedFont* fontFor(const PlacedItem& i)
    {
        if (fontOwner_ && (fontOwner_->sharesLookWith(i) || (fontOwner_->family() == i.family() &&
                                                            fontOwner_->bold() == i.bold() &&
                                                            fontOwner_->italic() == i.italic())))
            return currentFont_;
        const QString key = i.family() + (i.bold() ? u'B' : u'-') + (i.italic() ? u'I' : u'-');
        auto it = byKey_.find(key);
        if (it == byKey_.end()) {
            const int number = numbers_.numberOf(key);
            auto& font = fonts_[number];
            font = EmbeddedFont::load(fontOf(i), number);
            it = byKey_.insert(key, font.get());
        }
        fontOwner_ = &i;
        currentFont_ = *it;
        return currentFont_;
    }

    void text(const PlacedItem& i)
    {
        EmbeddedFont* font = fontFor(i);
        const double size = i.pointSize();
        const long long advance = font->shape(i.text());
        if (advance < 0) {
            painterText(i);
            return;
        }
        const double width = font->width(advance, size);
        const double left = x(i.rect().left() + 0.5), right = x(i.rect().right() - 0.5);
        double tx = left;
        if (i.align() == Align::Center)
            tx += (right - left - width) / 2;
        else if (i.align() == Align::Right)
            tx = right - width;
        // the line centred vertically, as the painter centres it
        const double baseline = y(i.rect().center().y()) - (font->ascent(size) - font->descent(size)) / 2;
        // Only a text wider than its room is clipped, to that room (the item less half a millimetre each side),
        // as the painter's drawing into a rectangle does.
        const bool clip = width > right - left;
        State saved;
        if (clip) {
            saved = state_;
            out_ += "q ";
            rect(i.rect().adjusted(0.5, 0, -0.5, 0));
            out_ += " W n\n";
        }
        setFill(i.color().isValid() ? i.color() : QColor(Qt::black));
        out_ += "BT ";
        if (font != state_.font || size != state_.size) {
            out_ += '/';
            out_.append(font->resource().constData(), size_t(font->resource().size()));
            out_ += ' ';
            num(out_, size);
            out_ += " Tf ";
            state_.font = font;
            state_.size = size;
        }
        num(out_, tx);
        out_ += ' ';
        num(out_, baseline);
        out_ += " Td ";
        font->show(out_);
        out_ += " ET\n";
        if (clip) {
            out_ += "Q\n";
            state_ = saved;
        }
    }

    // The painter draws the item's text into outlines, which fill the page as its glyphs would. The painter
    // clips a too-wide text to its room; so does the page.
    void painterText(const PlacedItem& i)
    {
        OutlineDevice device;
        {
            QPainter painter(&device);
            paintItemText(i, painter);
        }
        if (device.fills().empty())
            return;
        const QFontMetricsF metrics(fontOf(i), &device);
        const bool clip = metrics.horizontalAdvance(i.text()) > (i.rect().width() - 1) * OutlineDevice::kDpi / 25.4;
        out_ += "q\n";
        if (clip) {
            rect(i.rect().adjusted(0.5, 0, -0.5, 0));
            out_ += " W n\n";
        }
        const double k = 72.0 / OutlineDevice::kDpi;
        auto point = [&](const QPointF& p) {
            num(out_, p.x() * k);
            out_ += ' ';
            num(out_, height_ - p.y() * k);
        };
        for (const OutlineDevice::Fill& f : device.fills()) {
            const QRgb rgb = f.color.rgb() | 0xff000000;
            colour(rgb, " rg\n");
            for (int e = 0; e < f.path.elementCount(); ++e) {
                const QPainterPath::Element el = f.path.elementAt(e);
                if (el.isMoveTo()) {
                    point(el);
                    out_ += " m\n";
                } else if (el.isLineTo()) {
                    point(el);
                    out_ += " l\n";
                } else if (el.isCurveTo() && e + 2 < f.path.elementCount()) {
                    point(el);
                    out_ += ' ';
                    point(f.path.elementAt(e + 1));
                    out_ += ' ';
                    point(f.path.elementAt(e + 2));
                    out_ += " c\n";
                    e += 2;
                }
            }
            out_ += f.path.fillRule() == Qt::OddEvenFill ? "f*\n" : "f\n";
        }
        out_ += "Q\n"; // the fill colour is as it was before
    }

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

// Writes the pages' compressed content streams and page objects on a thread of its own while the next pages are
// drawn. Only a few pages wait at a time, so memory stays flat however many pages there are. The file is the
// sink's alone until close().
class PageSink {
public:
    PageSink(PdfFile& file, QByteArray pageHead) : file_(file), pageHead_(std::move(pageHead)), thread_([this] { run(); })
    {
    }
    ~PageSink() { close(); }
    PageSink(const PageSink&) = delete;
    PageSink& operator=(const PageSink&) = delete;

    void add(QByteArray compressed)
    {
        std::unique_lock lock(mutex_);
        notFull_.wait(lock, [this] { return queue_.size() < kWaiting; });
        queue_.push_back(std::move(compressed));
        notEmpty_.notify_one();
    }

    // Waits until every page is written; gives the page objects in order.
    const std::vector<int>& close()
    {
        {
            std::lock_guard lock(mutex_);
            closed_ = true;
        }
        notEmpty_.notify_one();
        if (thread_.joinable())
            thread_.join();
        return kids_;
    }

private:
    static constexpr size_t kWaiting = 4;

    void run()
    {
        for (;;) {
            QByteArray compressed;
            {
                std::unique_lock lock(mutex_);
                notEmpty_.wait(lock, [this] { return closed_ || !queue_.empty(); });
                if (queue_.empty())
                    return;
                compressed = std::move(queue_.front());
                queue_.pop_front();
            }
            notFull_.notify_one();
            const int stream = file_.newObject(), page = file_.newObject();
            file_.stream(stream, compressed);
            file_.object(page, pageHead_ + QByteArray::number(stream) + " 0 R >>");
            kids_.push_back(page);
        }
    }

    PdfFile& file_;
    const QByteArray pageHead_;
    std::vector<int> kids_;
    std::mutex mutex_;
    std::condition_variable notEmpty_, notFull_;
    std::deque<QByteArray> queue_;
    bool closed_ = false;
    std::thread thread_; // last: it starts at once
};

} // namespace

bool writePdfDirect(const Document& doc, const QString& path)
{
    try {
        PdfFile file(path);
        const int catalog = file.newObject(), pages = file.newObject(), resources = file.newObject(),
                  info = file.newObject();
        const QRectF paper = QPageLayout(doc.pageSize, doc.orientation, QMarginsF()).fullRect(QPageLayout::Point);
        QByteArray mediaBox = "[0 0 ";
        num(mediaBox, paper.width());
        mediaBox += ' ';
        num(mediaBox, paper.height());
        mediaBox += ']';

        // Two writers draw and compress the pages, this thread the even ones and a second thread the odd ones, and
        // hand them to the sink in turn, so the pages are written in order.
        FontNumbers numbers;
        PageWriter writers[2] = {PageWriter(numbers), PageWriter(numbers)};
        std::vector<int> kids;
        {
            PageSink sink(file, "<< /Type /Page /Parent " + QByteArray::number(pages) + " 0 R /MediaBox " + mediaBox +
                                    " /Resources " + QByteArray::number(resources) + " 0 R /Contents ");
            const Page blank;
            const qsizetype count = std::max<qsizetype>(1, doc.pages.size()); // a document has at least a blank page
            std::mutex turnMutex;
            std::condition_variable turnChanged;
            qsizetype turn = 0;     // the page the sink takes next
            bool stopped = false;   // a writer failed: the other stops too
            std::exception_ptr failure;
            auto draw = [&](int w) {
                try {
                    for (qsizetype p = w; p < count; p += 2) {
                        const std::string content = writers[w].content(p < doc.pages.size() ? doc.pages[p] : blank,
                                                                       paper.height());
                        // The fastest compression: a tenth bigger than the default level at a fraction of its time.
                        QByteArray compressed = flate(content.data(), content.size(), 1);
                        std::unique_lock lock(turnMutex);
                        turnChanged.wait(lock, [&] { return turn == p || stopped; });
                        if (stopped)
                            return;
                        sink.add(std::move(compressed));
                        ++turn;
                        turnChanged.notify_all();
                    }
                } catch (...) {
                    std::lock_guard lock(turnMutex);
                    if (!failure)
                        failure = std::current_exception();
                    stopped = true;
                    turnChanged.notify_all();
                }
            };
            std::thread second(draw, 1);
            draw(0);
            second.join();
            kids = sink.close();
            if (failure)
                std::rethrow_exception(failure);
        }

        // Each face once, with every glyph either writer used.
        std::map<int, EmbeddedFont*> fonts;
        for (const PageWriter& writer : writers)
            for (const auto& [number, font] : writer.fonts()) {
                EmbeddedFont*& kept = fonts[number];
                if (kept)
                    kept->takeUsed(*font);
                else
                    kept = font.get();
            }
        QByteArray fontDict;
        for (const auto& [number, f] : fonts) {
            const int type0 = file.newObject();
            fontDict += " /" + f->resource() + ' ' + QByteArray::number(type0) + " 0 R";
            f->writeObjects(type0, [&] { return file.newObject(); },
                            [&](int id, const QByteArray& body) { file.object(id, body); });
        }
        file.object(resources, "<< /ProcSet [/PDF /Text] /Font <<" + fontDict + " >> >>");
        QByteArray k = "<< /Type /Pages /Count " + QByteArray::number(qulonglong(kids.size())) + " /Kids [";
        for (int id : kids)
            k += QByteArray::number(id) + " 0 R ";
        k += "] >>";
        file.object(pages, k);
        file.object(catalog, "<< /Type /Catalog /Pages " + QByteArray::number(pages) + " 0 R >>");
        file.object(info, "<< /Creator (kesta_tabel) /Producer (kesta_tabel)" +
                              (doc.title.isEmpty() ? QByteArray() : " /Title " + textString(doc.title)) + " >>");
        file.finish(catalog, info, path);
        return true;
    } catch (const Unsupported&) {
        return false; // the unfinished file is discarded with its QSaveFile
    }
}

} // namespace reportengine
