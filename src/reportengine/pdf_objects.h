// The PDF file as numbered objects, and the numbers, strings and compressed streams that go into them.
#pragma once

#include <QByteArray>
#include <QSaveFile>
#include <QString>

#include <cmath>
#include <string>
#include <vector>

namespace reportengine::pdf {

// Appends v rounded to the given decimals, without exponent and without trailing zeros. Content streams are
// built in a std::string: hundreds of thousands of small appends, which QByteArray's checks would slow down.
inline void num(std::string& out, double v, int decimals = 2)
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

void num(QByteArray& out, double v, int decimals = 2);
void num(QByteArray& out, long long v);

// Four upper-case hex digits of v's low 16 bits.
void hex4(QByteArray& out, unsigned v);

// Zlib data (the Flate filter) of the bytes at the given zlib level.
QByteArray flate(const char* data, size_t size, int level);

// A text string of the document information: UTF-16 with its byte-order mark, in hex, so that no character
// needs escaping.
QByteArray textString(const QString& text);

// Writes the file's objects as they come, each at the offset the cross-reference table gives, and the table and
// trailer at the end. The file replaces an earlier one only when finish() commits it.
class PdfFile {
public:
    // Throws ReportError when the file cannot be opened for writing.
    explicit PdfFile(const QString& path);

    // A number for an object written later.
    int newObject();
    void object(int id, const QByteArray& body);
    // A stream object of Flate data.
    void stream(int id, const QByteArray& compressed);
    // The cross-reference table and the trailer; throws ReportError when the file could not be written.
    void finish(int catalog, int info, const QString& path);

private:
    void write(const QByteArray& b);

    QSaveFile file_;
    qint64 pos_ = 0;
    std::vector<qint64> offsets_;
};

} // namespace reportengine::pdf
