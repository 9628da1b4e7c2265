// A TrueType face cut down to the glyphs a document shows, and the big-endian reads of the face's tables.
#pragma once

#include <QByteArray>

#include <vector>

class QRawFont;

namespace reportengine::pdf {

// The table's 16- and 32-bit big-endian values at a byte offset; 0 past its end.
inline quint16 u16(const QByteArray& t, qsizetype at)
{
    return at + 2 <= t.size() ? quint16((uchar(t[at]) << 8) | uchar(t[at + 1])) : 0;
}

inline qint16 s16(const QByteArray& t, qsizetype at)
{
    return qint16(u16(t, at));
}

inline quint32 u32(const QByteArray& t, qsizetype at)
{
    return (quint32(u16(t, at)) << 16) | u16(t, at + 2);
}

// The face as a TrueType file holding only the used glyphs (one flag per glyph of the face) and the glyphs they are
// composed of; the others are left empty, so glyph ids stay as the content streams use them. longLoca: the face's
// 'loca' table has 32-bit offsets.
QByteArray subsetTrueType(const QRawFont& raw, const std::vector<bool>& used, bool longLoca);

} // namespace reportengine::pdf
