#include "reportengine/pdf_font_subset.h"

#include <QRawFont>

#include <utility>

namespace reportengine::pdf {

namespace {

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

} // namespace

QByteArray subsetTrueType(const QRawFont& raw, const std::vector<bool>& used, bool longLoca)
{
    const QByteArray loca = raw.fontTable("loca"), glyf = raw.fontTable("glyf");
    const int glyphs = int(used.size());
    auto glyphRange = [&](int g) -> std::pair<quint32, quint32> {
        quint32 a = longLoca ? u32(loca, 4 * g) : quint32(u16(loca, 2 * g)) * 2;
        quint32 b = longLoca ? u32(loca, 4 * (g + 1)) : quint32(u16(loca, 2 * (g + 1))) * 2;
        if (b < a || b > quint32(glyf.size()))
            return {0, 0};
        return {a, b};
    };
    std::vector<bool> keep = used;
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
        if (longLoca)
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
        QByteArray data = qstrcmp(tag, "glyf") == 0   ? newGlyf
                          : qstrcmp(tag, "loca") == 0 ? newLoca
                                                      : raw.fontTable(tag);
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

} // namespace reportengine::pdf
