#include "reportengine/pdf_font.h"

#include "reportengine/pdf_font_subset.h"
#include "reportengine/pdf_objects.h"

#include <QFont>

#include <hb.h>

#include <algorithm>

namespace reportengine::pdf {

namespace {

// PDF names may not hold spaces or delimiters.
QByteArray safeName(const QByteArray& n)
{
    QByteArray out;
    for (char c : n)
        if (c > ' ' && c < 127 && !QByteArray("()<>[]{}/%#").contains(c))
            out += c;
    return out.isEmpty() ? QByteArray("Font") : out;
}

QByteArray postScriptName(const QRawFont& raw)
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

} // namespace

std::unique_ptr<EmbeddedFont> EmbeddedFont::load(const QFont& font, int index)
{
    auto f = std::unique_ptr<EmbeddedFont>(new EmbeddedFont);
    f->raw_ = QRawFont::fromFont(font);
    if (!f->raw_.isValid())
        throw UnsupportedFont{};
    for (const char* tag : {"head", "hhea", "maxp", "loca", "glyf", "hmtx"})
        if (f->raw_.fontTable(tag).isEmpty())
            throw UnsupportedFont{}; // not TrueType outlines (e.g. CFF): the painter embeds those
    const QByteArray head = f->raw_.fontTable("head"), hhea = f->raw_.fontTable("hhea"),
                     maxp = f->raw_.fontTable("maxp"), hmtx = f->raw_.fontTable("hmtx");
    const QByteArray os2 = f->raw_.fontTable("OS/2"), post = f->raw_.fontTable("post");
    // A face the font database only imitates (bold or italic made from the regular one) is left to the
    // painter, which draws the imitation.
    const bool isBold = (os2.size() >= 6 && u16(os2, 4) >= 600) || (u16(head, 44) & 1);
    const bool isItalic = (u16(head, 44) & 2) || (post.size() >= 8 && qint32(u32(post, 4)) != 0);
    if ((font.bold() && !isBold) || (font.italic() && !isItalic))
        throw UnsupportedFont{};
    f->unitsPerEm_ = u16(head, 18);
    const int glyphs = u16(maxp, 4);
    if (f->unitsPerEm_ == 0 || glyphs == 0)
        throw UnsupportedFont{};
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

EmbeddedFont::~EmbeddedFont()
{
    hb_buffer_destroy(hbBuffer_);
    hb_font_destroy(hbFont_);
    hb_face_destroy(hbFace_);
}

void EmbeddedFont::takeUsed(const EmbeddedFont& other)
{
    for (size_t g = 0; g < used_.size() && g < other.used_.size(); ++g)
        if (other.used_[g] && !used_[g]) {
            used_[g] = true;
            unicode_[g] = other.unicode_[g];
        }
}

long long EmbeddedFont::shape(const QString& text)
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

void EmbeddedFont::show(std::string& out) const
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

void EmbeddedFont::writeObjects(int type0, PdfFile& out) const
{
    const int cidFont = out.newObject(), descriptor = out.newObject(), file = out.newObject(),
              toUnicode = out.newObject();
    const QByteArray base = subsetTag() + '+' + name_;
    auto scaled = [&](double v) { return v * 1000.0 / unitsPerEm_; };

    QByteArray d = "<< /Type /Font /Subtype /Type0 /BaseFont /" + base + " /Encoding /Identity-H /DescendantFonts [" +
                   QByteArray::number(cidFont) + " 0 R] /ToUnicode " + QByteArray::number(toUnicode) + " 0 R >>";
    out.object(type0, d);

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
    out.object(cidFont, d);

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
    out.object(descriptor, d);

    const QByteArray sfnt = subsetTrueType(raw_, used_, longLoca_);
    const QByteArray z = flate(sfnt.constData(), size_t(sfnt.size()), 6);
    out.object(file, "<< /Length " + QByteArray::number(z.size()) + " /Length1 " + QByteArray::number(sfnt.size()) +
                         " /Filter /FlateDecode >>\nstream\n" + z + "\nendstream");

    const QByteArray cmap = toUnicodeMap();
    out.object(toUnicode, "<< /Length " + QByteArray::number(cmap.size()) + " >>\nstream\n" + cmap + "\nendstream");
}

hb_blob_t* EmbeddedFont::table(hb_face_t*, quint32 tag, void* self)
{
    auto* f = static_cast<EmbeddedFont*>(self);
    const char name[4] = {char(tag >> 24), char((tag >> 16) & 0xff), char((tag >> 8) & 0xff), char(tag & 0xff)};
    auto it = f->tables_.find(tag);
    if (it == f->tables_.end())
        it = f->tables_.emplace(tag, f->raw_.fontTable(name)).first;
    const QByteArray& t = it->second;
    return hb_blob_create(t.constData(), unsigned(t.size()), HB_MEMORY_MODE_READONLY, nullptr, nullptr);
}

// A character this writer draws as the painter does: one that neither reorders, joins, combines nor is left out,
// and that the face has a glyph for. Looked up once per character.
bool EmbeddedFont::plain(char16_t c)
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

void EmbeddedFont::markUsed(const QString& text)
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

QByteArray EmbeddedFont::subsetTag() const
{
    QByteArray tag = "KSTAAA";
    tag[4] = char('A' + (index_ / 26) % 26);
    tag[5] = char('A' + index_ % 26);
    return tag;
}

QByteArray EmbeddedFont::toUnicodeMap() const
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

} // namespace reportengine::pdf
