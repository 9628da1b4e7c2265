// One face of the document as the PDF writer draws and embeds it: its texts shaped as the painter shapes them, and
// the font's objects with the glyphs shown.
#pragma once

#include <QByteArray>
#include <QHash>
#include <QRawFont>
#include <QString>

#include <array>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QFont;
struct hb_blob_t;
struct hb_face_t;
struct hb_font_t;
struct hb_buffer_t;

namespace reportengine::pdf {

class PdfFile;

// Thrown by EmbeddedFont::load for a face the writer cannot embed: the document then goes through the painter.
struct UnsupportedFont {};

// One face of the document, embedded as a Type0 font with Identity-H encoding: the content streams show glyph
// ids, the font file keeps only the glyphs shown (ids unchanged), and a ToUnicode map gives the text back.
class EmbeddedFont {
public:
    // The face as resource F<index>. Throws UnsupportedFont when it has no TrueType outlines or only imitates the
    // bold or italic asked for.
    static std::unique_ptr<EmbeddedFont> load(const QFont& font, int index);
    ~EmbeddedFont();
    EmbeddedFont(const EmbeddedFont&) = delete;
    EmbeddedFont& operator=(const EmbeddedFont&) = delete;

    const QByteArray& resource() const { return resource_; }
    // Ascent and descent in points for a size in points.
    double ascent(double size) const { return ascent_ * size / unitsPerEm_; }
    double descent(double size) const { return descent_ * size / unitsPerEm_; }
    double width(long long units, double size) const { return double(units) * size / unitsPerEm_; }

    // Takes the glyphs another copy of the same face used (a copy shapes the pages of another thread).
    void takeUsed(const EmbeddedFont& other);

    // Shapes the text with HarfBuzz, as the painter's text layout does, and gives its advance in font units, or -1
    // when the writer cannot draw it as the painter does: characters that reorder, join, combine, take a fallback
    // font or draw nothing (right-to-left scripts, combining marks, format and control characters such as a soft
    // hyphen or a tab, a character the face has no glyph for), or a shaping that is not one glyph per character
    // in order. Such a text is for the painter.
    long long shape(const QString& text);

    // Appends the shaped text's showing operator: the glyph ids as two-byte codes in a literal string (half
    // the bytes of hex), with the kerning between pieces.
    void show(std::string& out) const;

    // The font's objects, the Type0 font under the given number and the rest under new ones.
    void writeObjects(int type0, PdfFile& file) const;

private:
    EmbeddedFont() = default;

    struct Shaped {
        std::vector<quint16> glyphs;
        std::vector<std::pair<size_t, int>> kerns;
        long long advance = 0;
    };

    // HarfBuzz reads the face's tables through this.
    static hb_blob_t* table(hb_face_t*, quint32 tag, void* self);
    bool plain(char16_t c);
    void markUsed(const QString& text);
    QByteArray subsetTag() const;
    QByteArray toUnicodeMap() const;

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
    std::map<quint32, QByteArray> tables_;
    hb_face_t* hbFace_ = nullptr;
    hb_font_t* hbFont_ = nullptr;
    hb_buffer_t* hbBuffer_ = nullptr;
    static constexpr qsizetype kShapedKept = 8192;
    QHash<QString, Shaped> shaped_; // names, kinds and flags repeat on every page
    Shaped last_;                   // the text shaped last, when it was not kept from before
    const Shaped* shown_ = &last_;  // the text shaped last: last_ or the one kept
};

} // namespace reportengine::pdf
