#include "reportengine/pdf_objects.h"

#include "reportengine/report.h"

#include <cstdio>

namespace reportengine::pdf {

void num(QByteArray& out, double v, int decimals)
{
    std::string s;
    num(s, v, decimals);
    out.append(s.data(), qsizetype(s.size()));
}

void num(QByteArray& out, long long v)
{
    out += QByteArray::number(v);
}

void hex4(QByteArray& out, unsigned v)
{
    static const char digits[] = "0123456789ABCDEF";
    out += digits[(v >> 12) & 15];
    out += digits[(v >> 8) & 15];
    out += digits[(v >> 4) & 15];
    out += digits[v & 15];
}

QByteArray flate(const char* data, size_t size, int level)
{
    // qCompress gives only the prefix for nothing, and an empty Flate stream is not zlib data: a page without
    // anything drawn gets the zlib stream of no bytes.
    if (size == 0)
        return QByteArray("\x78\x9c\x03\x00\x00\x00\x00\x01", 8);
    // qCompress's output without its four-byte length prefix.
    QByteArray z = qCompress(reinterpret_cast<const uchar*>(data), qsizetype(size), level);
    z.remove(0, 4);
    return z;
}

QByteArray textString(const QString& text)
{
    QByteArray out = "<FEFF";
    for (const QChar ch : text)
        hex4(out, ch.unicode());
    return out + '>';
}

PdfFile::PdfFile(const QString& path)
    : file_(path)
{
    if (!file_.open(QIODevice::WriteOnly))
        throw ReportError(QStringLiteral("Не удалось записать файл %1").arg(path));
    offsets_.push_back(0); // object 0 is the free list's head
    write("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n");
}

int PdfFile::newObject()
{
    offsets_.push_back(-1);
    return int(offsets_.size()) - 1;
}

void PdfFile::object(int id, const QByteArray& body)
{
    offsets_[id] = pos_;
    write(QByteArray::number(id) + " 0 obj\n");
    write(body);
    write("\nendobj\n");
}

void PdfFile::stream(int id, const QByteArray& compressed)
{
    offsets_[id] = pos_;
    write(QByteArray::number(id) + " 0 obj\n<< /Length " + QByteArray::number(compressed.size()) +
          " /Filter /FlateDecode >>\nstream\n");
    write(compressed);
    write("\nendstream\nendobj\n");
}

void PdfFile::finish(int catalog, int info, const QString& path)
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

void PdfFile::write(const QByteArray& b)
{
    file_.write(b); // a failure shows in commit()
    pos_ += b.size();
}

} // namespace reportengine::pdf
