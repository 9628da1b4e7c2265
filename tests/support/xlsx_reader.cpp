#include "support/xlsx_reader.h"

#include <QProcess>
#include <QRegularExpression>
#include <QVector>
#include <QXmlStreamReader>

namespace {

// "AB12" -> column 28, row 12.
QPair<int, int> parseRef(const QString& ref)
{
    int column = 0, i = 0;
    while (i < ref.size() && ref[i].isLetter()) {
        column = column * 26 + (ref[i].toUpper().unicode() - 'A' + 1);
        ++i;
    }
    return {ref.mid(i).toInt(), column};
}

} // namespace

QByteArray XlsxFile::member(const QString& path, const QString& name)
{
    QProcess unzip;
    unzip.start(QStringLiteral("unzip"), {QStringLiteral("-p"), path, name});
    if (!unzip.waitForFinished(30000) || unzip.exitCode() != 0)
        return {};
    return unzip.readAllStandardOutput();
}

XlsxFile::XlsxFile(const QString& path)
{
    const QByteArray sheet = member(path, QStringLiteral("xl/worksheets/sheet1.xml"));
    if (sheet.isEmpty()) {
        error_ = QStringLiteral("no first sheet in ") + path;
        return;
    }
    {
        QXmlStreamReader x(member(path, QStringLiteral("xl/workbook.xml")));
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement() && x.name() == u"sheet")
                sheetNames_ << x.attributes().value(QLatin1String("name")).toString();
        }
    }
    QStringList shared;
    {
        QXmlStreamReader x(member(path, QStringLiteral("xl/sharedStrings.xml")));
        QString current;
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement() && x.name() == u"si")
                current.clear();
            else if (x.isStartElement() && x.name() == u"t")
                current += x.readElementText();
            else if (x.isEndElement() && x.name() == u"si")
                shared << current;
        }
    }
    // Styles: each cell format's font (bold or not) and number format ("@" is built-in format 49).
    QVector<bool> fontBold;
    QVector<QPair<int, int>> xfs; // fontId, numFmtId
    QMap<int, QString> numFmts;
    {
        QXmlStreamReader x(member(path, QStringLiteral("xl/styles.xml")));
        QString section;
        while (!x.atEnd()) {
            x.readNext();
            if (x.isStartElement()) {
                const auto n = x.name();
                if (n == u"fonts" || n == u"cellXfs" || n == u"cellStyleXfs" || n == u"numFmts")
                    section = n.toString();
                else if (n == u"font" && section == u"fonts")
                    fontBold.append(false);
                else if (n == u"b" && section == u"fonts" && !fontBold.isEmpty())
                    fontBold.last() = x.attributes().value(QLatin1String("val")) != u"0";
                else if (n == u"xf" && section == u"cellXfs")
                    xfs.append(qMakePair(x.attributes().value(QLatin1String("fontId")).toInt(), x.attributes().value(QLatin1String("numFmtId")).toInt()));
                else if (n == u"numFmt")
                    numFmts.insert(x.attributes().value(QLatin1String("numFmtId")).toInt(),
                                   x.attributes().value(QLatin1String("formatCode")).toString());
            } else if (x.isEndElement()) {
                const auto n = x.name();
                if (n == u"fonts" || n == u"cellXfs" || n == u"cellStyleXfs" || n == u"numFmts")
                    section.clear();
            }
        }
    }
    QXmlStreamReader x(sheet);
    while (!x.atEnd()) {
        x.readNext();
        if (!x.isStartElement())
            continue;
        if (x.name() == u"pane") {
            const auto a = x.attributes();
            if (a.value(QLatin1String("state")) == u"frozen") {
                frozenRows_ = static_cast<int>(a.value(QLatin1String("ySplit")).toDouble());
                frozenColumns_ = static_cast<int>(a.value(QLatin1String("xSplit")).toDouble());
            }
        } else if (x.name() == u"col") {
            const auto a = x.attributes();
            for (int c = a.value(QLatin1String("min")).toInt(); c <= a.value(QLatin1String("max")).toInt(); ++c)
                widths_.insert(c, a.value(QLatin1String("width")).toDouble());
        } else if (x.name() == u"c") {
            const auto a = x.attributes();
            const QPair<int, int> at = parseRef(a.value(QLatin1String("r")).toString());
            const QString type = a.value(QLatin1String("t")).toString();
            const int style = a.value(QLatin1String("s")).toInt();
            XlsxCell cell;
            if (style >= 0 && style < xfs.size()) {
                const auto [font, fmt] = xfs[style];
                cell.bold = font >= 0 && font < fontBold.size() && fontBold[font];
                cell.textFormat = fmt == 49 || numFmts.value(fmt) == u"@";
            }
            QString value;
            while (!(x.isEndElement() && x.name() == u"c") && !x.atEnd()) {
                x.readNext();
                if (x.isStartElement() && (x.name() == u"v" || x.name() == u"t"))
                    value += x.readElementText();
            }
            if (type == u"s") {
                cell.text = shared.value(value.toInt());
            } else if (type.isEmpty() || type == u"n") {
                cell.isNumber = true;
                cell.number = value.toDouble();
                cell.text = QString::number(cell.number, 'g', 15);
            } else {
                cell.text = value;
            }
            cells_.insert(at, cell);
        }
    }
    if (x.hasError())
        error_ = x.errorString();
}

int XlsxFile::lastRow() const
{
    int last = 0;
    for (auto it = cells_.keyBegin(); it != cells_.keyEnd(); ++it)
        last = std::max(last, it->first);
    return last;
}

QStringList XlsxFile::row(int r) const
{
    int last = 0;
    for (auto it = cells_.keyBegin(); it != cells_.keyEnd(); ++it)
        if (it->first == r)
            last = std::max(last, it->second);
    QStringList out;
    for (int c = 1; c <= last; ++c)
        out << cell(c, r).text;
    return out;
}
