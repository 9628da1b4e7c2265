// The page model written as PDF without the painter: read back with poppler's tools (text, fonts, pages) and
// compared, as pixels, with what the painter draws for the same pages.
#include "reportengine/layout.h"
#include "reportengine/pdf_writer.h"
#include "reportengine/render.h"

#include <QFontDatabase>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QProcess>
#include <QRawFont>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

#include <sys/resource.h>

using namespace reportengine;

namespace {

// Runs a poppler tool; gives its standard output.
QString poppler(const QString& name, const QStringList& args)
{
    const QString exe = QStandardPaths::findExecutable(name);
    if (exe.isEmpty())
        qFatal("%s (poppler-utils) is needed", qPrintable(name));
    QProcess p;
    p.start(exe, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(name), p.readAllStandardError().constData());
    return QString::fromUtf8(p.readAllStandardOutput());
}

QImage raster(const QString& pdf, int page, int dpi)
{
    const QString prefix = pdf + QStringLiteral("-p%1").arg(page);
    poppler(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi), QStringLiteral("-gray"),
                                         QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                                         QString::number(page), QStringLiteral("-singlefile"), QStringLiteral("-png"),
                                         pdf, prefix});
    QImage img(prefix + QStringLiteral(".png"));
    return img.convertToFormat(QImage::Format_Grayscale8);
}

// The same pages through the painter into Qt's PDF engine.
void painterPdf(const Document& doc, const QString& path)
{
    QPdfWriter writer(path);
    writer.setResolution(1200);
    writer.setPageLayout(QPageLayout(doc.pageSize, doc.orientation, QMarginsF()));
    QPainter painter(&writer);
    for (int i = 0; i < doc.pages.size(); ++i) {
        if (i > 0)
            writer.newPage();
        paintPage(doc, i, painter);
    }
}

PlacedItem item(const QString& text, const QRectF& rect, Align align = Align::Left, double size = 10)
{
    PlacedItem i;
    i.setText(text);
    i.setRect(rect);
    i.setAlign(align);
    i.setFamily(QStringLiteral("Arial"));
    i.setPointSize(size);
    return i;
}

const QString kTooWide = QStringLiteral("ОченьДлинныйТекстБезПробелов");

// An installed family the writer cannot embed (PostScript outlines in an OpenType file); empty when there is none.
QString familyWithoutTrueTypeOutlines()
{
    for (const QString& f : QFontDatabase::families()) {
        const QRawFont raw = QRawFont::fromFont(QFont(f));
        if (raw.isValid() && raw.familyName() == f && raw.fontTable("glyf").isEmpty() && !raw.fontTable("CFF ").isEmpty())
            return f;
    }
    return {};
}

// The document in a face only the painter draws.
void inFamily(Document& doc, const QString& family)
{
    for (Page& p : doc.pages)
        for (PlacedBand& b : p.bands)
            for (PlacedItem& i : b.items)
                i.setFamily(family);
}

// A report's kinds of drawing: a bold centred title on grey in a frame, group lines with bold and italic
// faces and right-aligned sums over a dashed line, detail lines in dotted frames, a too-wide text left and
// one centred (both clipped to their items) and a page number; the given number of pages.
Document sample(int pages)
{
    Document doc;
    doc.pageSize = QPageSize(QPageSize::A4);
    doc.orientation = QPageLayout::Portrait;
    doc.paperMm = QSizeF(210, 297);
    for (int p = 1; p <= pages; ++p) {
        Page page;
        page.number = p;
        PlacedBand title;
        title.setRect(QRectF(10, 10, 190, 9));
        title.setBackground(QColor(220, 220, 220));
        title.setFrame(Frame::all(Line::solid(QColor(0, 0, 0), 0.4)));
        PlacedItem t = item(QStringLiteral("Детальный отчет по рабочим за период"), title.rect(), Align::Center, 12);
        t.setBold(true);
        title.items << t;
        page.bands << title;

        PlacedBand group;
        group.setRect(QRectF(10, 22, 190, 7));
        group.setBackground(QColor(192, 192, 192));
        PlacedItem name = item(QStringLiteral("Иванов Пётр Сергеевич"), QRectF(10, 22, 80, 7));
        name.setBold(true);
        PlacedItem total = item(QStringLiteral("Итого:"), QRectF(90, 22, 50, 7), Align::Right);
        total.setItalic(true);
        PlacedItem sum = item(QStringLiteral("1 234,56"), QRectF(140, 22, 60, 7), Align::Right);
        Frame sumFrame;
        sumFrame.bottom = Line::dash(QColor(0, 0, 160), 0.3);
        sum.setFrame(sumFrame);
        group.items << name << total << sum;
        page.bands << group;

        for (int r = 0; r < 8; ++r) {
            PlacedBand detail;
            const double y = 32 + r * 6;
            detail.setRect(QRectF(10, y, 190, 6));
            PlacedItem kind = item(QStringLiteral("ФРЕЗЕРОВКА (RAL: %1)").arg(r + p), QRectF(15, y, 70, 6));
            kind.setFrame(Frame::all(Line::dot()));
            PlacedItem flag = item(QStringLiteral("Готовая продукция"), QRectF(85, y, 50, 6), Align::Center, 8);
            flag.setColor(QColor(0, 100, 0));
            PlacedItem amount = item(QString::number(r * 111.25, 'f', 2), QRectF(140, y, 60, 6), Align::Right);
            detail.items << kind << flag << amount;
            page.bands << detail;
        }

        PlacedBand clipped;
        clipped.setRect(QRectF(10, 90, 190, 8));
        clipped.items << item(kTooWide, QRectF(10, 90, 25, 8)) << item(kTooWide, QRectF(120, 90, 25, 8), Align::Center);
        page.bands << clipped;

        PlacedBand footer;
        footer.setRect(QRectF(10, 280, 190, 6));
        Frame footerFrame;
        footerFrame.top = Line::solid();
        footer.setFrame(footerFrame);
        footer.items << item(QString::number(p), footer.rect(), Align::Right);
        page.bands << footer;
        doc.pages << page;
    }
    return doc;
}

// The Flate streams of a PDF file that do not inflate as zlib data (poppler reads past such a stream quietly,
// stricter readers report the page as damaged).
QStringList brokenStreams(const QString& path, int& streams)
{
    streams = 0;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", qPrintable(path));
    const QByteArray pdf = f.readAll();
    static const QRegularExpression head(
        QStringLiteral("(\\d+) 0 obj\\n<< /Length (\\d+)[^>]*/Filter /FlateDecode >>\\nstream\\n"));
    QStringList broken;
    for (auto it = head.globalMatch(QString::fromLatin1(pdf)); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        ++streams;
        // qUncompress wants the expected size first; a wrong guess only costs it a larger buffer.
        const QByteArray z = QByteArray("\0\0\0\1", 4) + pdf.mid(m.capturedEnd(), m.captured(2).toLongLong());
        if (qUncompress(z).isNull())
            broken << m.captured(1);
    }
    return broken;
}

// Share of pixels darker than white in a region of the page (mm).
double inkIn(const QImage& img, const QRectF& mm, int dpi)
{
    const double k = dpi / 25.4;
    int ink = 0, all = 0;
    for (int y = int(mm.top() * k); y < int(mm.bottom() * k); ++y)
        for (int x = int(mm.left() * k); x < int(mm.right() * k); ++x, ++all)
            ink += qGray(img.pixel(x, y)) < 200;
    return all ? double(ink) / all : 0;
}

} // namespace

class TestPdfWriter : public QObject {
    Q_OBJECT
private slots:
    void textReadsBack();
    void fontsEmbeddedAndPagesCounted();
    void glyphsOfEveryPageEmbedded();
    void looksAsThePainterDraws();
    void unwritableFileIsAnErrorAndLeavesNoFile();
    void faceWithoutTrueTypeOutlinesGoesThroughThePainter();
    void characterWithoutGlyphGoesThroughThePainter();
    void textsLookAsThePainterDraws_data();
    void textsLookAsThePainterDraws();
    void pagesWithoutDrawing_data();
    void pagesWithoutDrawing();
    void invisibleCharactersDrawNothing_data();
    void invisibleCharactersDrawNothing();
    void failedWriteKeepsTheEarlierFile_data();
    void failedWriteKeepsTheEarlierFile();
    void titleInDocumentInformation_data();
    void titleInDocumentInformation();

private:
    QTemporaryDir dir_;
};

void TestPdfWriter::textReadsBack()
{
    const QString pdf = dir_.filePath(QStringLiteral("text.pdf"));
    QVERIFY(writePdfDirect(sample(1), pdf));
    const QString text = poppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY2(text.contains(QStringLiteral("Детальный отчет по рабочим за период")), qPrintable(text));
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("Иванов Пётр Сергеевич\\s+Итого:\\s+1 234,56\\n"))));
    QVERIFY(text.contains(QRegularExpression(QStringLiteral("ФРЕЗЕРОВКА \\(RAL: 8\\)\\s+Готовая продукция\\s+778\\.75\\n"))));
    // A clipped text is still whole in the file, as with the painter: only its drawing is cut.
    QVERIFY(text.contains(kTooWide));
}

void TestPdfWriter::fontsEmbeddedAndPagesCounted()
{
    const QString pdf = dir_.filePath(QStringLiteral("pages.pdf"));
    QVERIFY(writePdfDirect(sample(3), pdf));
    const QString info = poppler(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+3\\n"))), qPrintable(info));
    QVERIFY(info.contains(QRegularExpression(QStringLiteral("Page size:\\s+595 x 842 pts \\(A4\\)"))));
    QVERIFY(info.contains(QRegularExpression(QStringLiteral("PDF version:\\s+1.4\\n"))));
    QVERIFY(!info.contains(QStringLiteral("Syntax Error")));

    // Three faces (regular, bold, italic), each a subset embedded with its Unicode map.
    const QStringList fonts = poppler(QStringLiteral("pdffonts"), {pdf}).split(u'\n', Qt::SkipEmptyParts).mid(2);
    QCOMPARE(fonts.size(), 3);
    QStringList styles;
    for (const QString& f : fonts) {
        const QStringList cols = f.simplified().split(u' ');
        // name type(2 words) encoding emb sub uni object generation
        QVERIFY2(cols.size() >= 8, qPrintable(f));
        QCOMPARE(cols[1] + u' ' + cols[2], QStringLiteral("CID TrueType"));
        QCOMPARE(cols[3], QStringLiteral("Identity-H"));
        QCOMPARE(cols.mid(4, 3), (QStringList{QStringLiteral("yes"), QStringLiteral("yes"), QStringLiteral("yes")}));
        styles << cols[0].section(u'+', 1);
    }
    QVERIFY2(styles.filter(QStringLiteral("Bold")).size() == 1, qPrintable(styles.join(u',')));
    QVERIFY2(styles.filter(QStringLiteral("Italic")).size() == 1, qPrintable(styles.join(u',')));
}

// The pages are drawn by two writers, every other page each: a face is embedded once, with the glyphs of every
// page, whichever writer drew it (letters only the middle page shows, in each style); a text for the painter is
// drawn on the second writer's thread as on the first.
void TestPdfWriter::glyphsOfEveryPageEmbedded()
{
    Document doc = sample(3);
    const QString only = QStringLiteral("ЩЭЮЯ ЖЦ");
    for (int style = 0; style < 3; ++style) {
        PlacedItem i = item(only, QRectF(20 + 60 * style, 200, 50, 8));
        i.setBold(style == 1);
        i.setItalic(style == 2);
        doc.pages[1].bands.last().items << i;
    }
    // and a text only the painter draws (right to left), drawn by the second writer's thread
    doc.pages[1].bands.last().items << item(QStringLiteral("שלום עולם"), QRectF(20, 220, 50, 8));
    const QString pdf = dir_.filePath(QStringLiteral("every.pdf"));
    QVERIFY(writePdfDirect(doc, pdf));
    QCOMPARE(poppler(QStringLiteral("pdffonts"), {pdf}).split(u'\n', Qt::SkipEmptyParts).mid(2).size(), 3);
    const QString middle = poppler(QStringLiteral("pdftotext"),
                                   {QStringLiteral("-f"), QStringLiteral("2"), QStringLiteral("-l"), QStringLiteral("2"),
                                    QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QCOMPARE(middle.count(only), 3);
    const QImage page = raster(pdf, 2, 100);
    for (int style = 0; style < 3; ++style)
        QVERIFY2(inkIn(page, QRectF(21 + 60 * style, 201, 40, 6), 100) > 0.05, qPrintable(QString::number(style)));
    QVERIFY(inkIn(page, QRectF(21, 221, 40, 6), 100) > 0.05);
}

void TestPdfWriter::looksAsThePainterDraws()
{
    const Document doc = sample(2);
    const QString ours = dir_.filePath(QStringLiteral("ours.pdf")), qt = dir_.filePath(QStringLiteral("qt.pdf"));
    QVERIFY(writePdfDirect(doc, ours));
    painterPdf(doc, qt);
    constexpr int dpi = 100;
    for (int page = 1; page <= 2; ++page) {
        const QImage a = raster(ours, page, dpi), b = raster(qt, page, dpi);
        QCOMPARE(a.size(), b.size());
        // Pixels that differ clearly (anti-aliasing at glyph edges differs a little between the two files).
        int differ = 0, inked = 0;
        for (int y = 0; y < a.height(); ++y) {
            const uchar* pa = a.constScanLine(y);
            const uchar* pb = b.constScanLine(y);
            for (int x = 0; x < a.width(); ++x) {
                differ += std::abs(int(pa[x]) - int(pb[x])) > 96;
                inked += pa[x] < 200 || pb[x] < 200;
            }
        }
        QVERIFY(inked > 10000);
        QVERIFY2(differ < inked / 50, qPrintable(QStringLiteral("page %1: %2 of %3 inked pixels differ")
                                                      .arg(page).arg(differ).arg(inked)));

        // The too-wide texts are cut where their room ends, half a millimetre inside the item: nothing right of
        // the left one (it starts at the room's left), nothing either side of the centred one; inside, both are
        // drawn.
        QCOMPARE(inkIn(a, QRectF(34.6, 91, 80, 6), dpi), 0.0);
        QCOMPARE(inkIn(a, QRectF(144.6, 91, 50, 6), dpi), 0.0);
        QCOMPARE(inkIn(a, QRectF(100, 91, 20.4, 6), dpi), 0.0);
        QVERIFY(inkIn(a, QRectF(11, 91, 23, 6), dpi) > 0.05);
        QVERIFY(inkIn(a, QRectF(121, 91, 23, 6), dpi) > 0.05);
    }
}

void TestPdfWriter::unwritableFileIsAnErrorAndLeavesNoFile()
{
    const QString path = dir_.filePath(QStringLiteral("missing/folder/r.pdf"));
    try {
        writePdfDirect(sample(1), path);
        QFAIL("no error for a file that cannot be written");
    } catch (const ReportError& e) {
        QVERIFY(e.message().contains(path));
    }
    QVERIFY(!QFile::exists(path));
}

void TestPdfWriter::faceWithoutTrueTypeOutlinesGoesThroughThePainter()
{
    const QString family = familyWithoutTrueTypeOutlines();
    if (family.isEmpty())
        QSKIP("no font with PostScript outlines installed");
    Document doc = sample(1);
    inFamily(doc, family);
    const QString path = dir_.filePath(QStringLiteral("cff.pdf"));
    QVERIFY(!writePdfDirect(doc, path));
    QVERIFY(!QFile::exists(path));
    writePdf(doc, path);
    const QString text = poppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    QVERIFY2(text.contains(QStringLiteral("Иванов Пётр Сергеевич")), qPrintable(family + u'\n' + text));
}

// Only the item with the character goes to the painter: the rest of the page is still the writer's own text.
void TestPdfWriter::characterWithoutGlyphGoesThroughThePainter()
{
    Document doc = sample(1);
    PlacedItem* name = nullptr;
    for (PlacedBand& b : doc.pages[0].bands)
        for (PlacedItem& i : b.items)
            if (i.text().startsWith(QStringLiteral("Иванов")))
                name = &i;
    QVERIFY(name);
    const QRawFont raw = QRawFont::fromFont(QFont(name->family()));
    QString missing;
    for (const char32_t c : {U'\u2713', U'\u263A', U'\u4E2D', U'\U0001F600'})
        if (!raw.supportsCharacter(c)) {
            missing = QString::fromUcs4(&c, 1);
            break;
        }
    if (missing.isEmpty())
        QSKIP("the report's face has a glyph for every candidate character");
    name->setText(name->text() + u' ' + missing);
    const QString path = dir_.filePath(QStringLiteral("missing-glyph.pdf"));
    QVERIFY(writePdfDirect(doc, path));
    const QString text = poppler(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    QVERIFY2(text.contains(QStringLiteral("Детальный отчет по рабочим за период")), qPrintable(text));
    QVERIFY2(text.contains(QStringLiteral("ФРЕЗЕРОВКА (RAL: 1)")), qPrintable(text));
    constexpr int dpi = 100;
    QVERIFY(inkIn(raster(path, 1, dpi), name->rect(), dpi) > 0.05); // the painter's outlines are there
}

// Texts that reorder, join, combine or hold characters drawn as nothing or as a gap, and a plain one: each looks in
// the written PDF as the painter draws it (both files rendered by the same rasterizer).
void TestPdfWriter::textsLookAsThePainterDraws_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("align");
    QTest::newRow("soft hyphen") << QStringLiteral("Пере\u00ADнос строки") << int(Align::Left);
    QTest::newRow("tab") << QStringLiteral("Сумма\t12,50") << int(Align::Left);
    QTest::newRow("decomposed letters") << QStringLiteral("Сбори\u0306ка изде\u0301лия") << int(Align::Center);
    QTest::newRow("Hebrew") << QStringLiteral("שלום עולם") << int(Align::Left);
    QTest::newRow("Arabic") << QStringLiteral("مرحبا بالعالم") << int(Align::Right);
    QTest::newRow("mixed direction with a number") << QStringLiteral("Заказ שלום 125 עולם") << int(Align::Left);
    QTest::newRow("plain Cyrillic") << QStringLiteral("Готовая продукция, 1 234,56") << int(Align::Left);
}

void TestPdfWriter::textsLookAsThePainterDraws()
{
    QFETCH(QString, text);
    QFETCH(int, align);
    Document doc;
    doc.pageSize = QPageSize(QPageSize::A4);
    doc.paperMm = QSizeF(210, 297);
    PlacedBand band;
    band.setRect(QRectF(10, 20, 190, 12));
    band.items << item(text, QRectF(20, 20, 150, 12), Align(align), 18);
    doc.pages << Page{1, {band}};
    const QString ours = dir_.filePath(QStringLiteral("case-ours.pdf")), qt = dir_.filePath(QStringLiteral("case-qt.pdf"));
    QVERIFY(writePdfDirect(doc, ours)); // the document stays the writer's; only the item may go to the painter
    painterPdf(doc, qt);
    constexpr int dpi = 150;
    const QImage a = raster(ours, 1, dpi), b = raster(qt, 1, dpi);
    QCOMPARE(a.size(), b.size());
    // Inked pixels of one with no inked pixel of the other within a pixel: a glyph added, left out, moved or
    // mirrored shows as a few hundred of them; edges anti-aliased a little differently as none or a handful.
    const double k = dpi / 25.4;
    const QRect area(int(15 * k), int(15 * k), int(170 * k), int(22 * k));
    auto ink = [](const QImage& img, int x, int y) { return qGray(img.pixel(x, y)) < 128; };
    auto near = [&](const QImage& img, int x, int y) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx)
                if (ink(img, x + dx, y + dy))
                    return true;
        return false;
    };
    int inked = 0, onlyOurs = 0, onlyPainters = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            inked += ink(b, x, y);
            onlyOurs += ink(a, x, y) && !near(b, x, y);
            onlyPainters += ink(b, x, y) && !near(a, x, y);
        }
    QVERIFY(inked > 200);
    QVERIFY2(onlyOurs <= 4 + inked / 200 && onlyPainters <= 4 + inked / 200,
             qPrintable(QStringLiteral("%1 inked pixels; only in the writer's: %2, only in the painter's: %3")
                            .arg(inked).arg(onlyOurs).arg(onlyPainters)));
    if (QTest::currentDataTag() == QByteArray("plain Cyrillic")) // drawn by the writer itself: text to search
        QVERIFY(poppler(QStringLiteral("pdftotext"), {ours, QStringLiteral("-")}).contains(text));
}

// A document without pages still gets its blank page, and a page where nothing is drawn an empty content
// stream: both must be valid Flate data.
void TestPdfWriter::pagesWithoutDrawing_data()
{
    QTest::addColumn<int>("pages");
    QTest::addColumn<bool>("lastBlank"); // the last page's one band has no frame, background or items
    QTest::addColumn<int>("written");
    QTest::newRow("no pages") << 0 << false << 1;
    QTest::newRow("last page blank") << 2 << true << 2;
}

void TestPdfWriter::pagesWithoutDrawing()
{
    QFETCH(int, pages);
    QFETCH(bool, lastBlank);
    QFETCH(int, written);
    Document doc = sample(pages);
    if (lastBlank)
        doc.pages.last().bands = {PlacedBand{}};
    const QString pdf = dir_.filePath(QStringLiteral("blank-%1.pdf").arg(pages));
    QVERIFY(writePdfDirect(doc, pdf));
    const QString info = poppler(QStringLiteral("pdfinfo"), {pdf});
    QVERIFY2(info.contains(QRegularExpression(QStringLiteral("Pages:\\s+%1\\n").arg(written))), qPrintable(info));
    int streams = 0;
    QCOMPARE(brokenStreams(pdf, streams), QStringList());
    QVERIFY(streams >= written); // a content stream per page (and the fonts' files)
}

// Characters the face has no glyph for and the painter draws nothing for, as they come in pasted data: the file
// shows nothing in their place either (no empty box).
void TestPdfWriter::invisibleCharactersDrawNothing_data()
{
    QTest::addColumn<QString>("text");
    QTest::newRow("line feed") << QStringLiteral("\n");
    QTest::newRow("carriage return, line feed") << QStringLiteral("\r\n");
    QTest::newRow("byte order mark") << QStringLiteral("\uFEFF");
}

void TestPdfWriter::invisibleCharactersDrawNothing()
{
    QFETCH(QString, text);
    Document doc = sample(1);
    PlacedBand band;
    band.setRect(QRectF(10, 110, 190, 8));
    band.items << item(text, QRectF(10, 110, 40, 8)) << item(text, QRectF(120, 110, 40, 8), Align::Center);
    doc.pages[0].bands << band;
    const QString pdf = dir_.filePath(QStringLiteral("invisible.pdf"));
    writePdf(doc, pdf);
    constexpr int dpi = 100;
    const QImage page = raster(pdf, 1, dpi);
    QVERIFY(inkIn(page, QRectF(10, 10, 190, 9), dpi) > 0.05); // the title is drawn
    QCOMPARE(inkIn(page, band.rect(), dpi), 0.0);
}

// A disk that fills up (here: a file-size limit) while either writer writes: the report says it could not write
// the file, and an earlier file of that name stays as it was, with no half-written file beside it.
void TestPdfWriter::failedWriteKeepsTheEarlierFile_data()
{
    QTest::addColumn<bool>("throughPainter");
    QTest::newRow("own writer") << false;
    QTest::newRow("painter") << true;
}

void TestPdfWriter::failedWriteKeepsTheEarlierFile()
{
    QFETCH(bool, throughPainter);
    Document doc = sample(3);
    if (throughPainter) { // a face the own writer cannot embed sends the whole document to the painter
        const QString family = familyWithoutTrueTypeOutlines();
        if (family.isEmpty())
            QSKIP("no font with PostScript outlines installed");
        inFamily(doc, family);
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    {
        QFile earlier(path);
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("earlier");
    }
    QCOMPARE(writePdfDirect(doc, dir.filePath(QStringLiteral("probe.pdf"))), !throughPainter);
    QFile::remove(dir.filePath(QStringLiteral("probe.pdf")));

    struct rlimit old {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN); // a write beyond the limit fails instead of ending us
    struct rlimit small = old;
    small.rlim_cur = 16 * 1024;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    QString error;
    try {
        writePdf(doc, path);
    } catch (const ReportError& e) {
        error = e.message();
    }
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldSignal);

    QVERIFY2(error.startsWith(QStringLiteral("Не удалось записать файл ") + path), qPrintable(error));
    QFile earlier(path);
    QVERIFY(earlier.open(QIODevice::ReadOnly));
    QCOMPARE(earlier.readAll(), QByteArray("earlier"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("report.pdf")});

    // With room again the same document replaces it.
    writePdf(doc, path);
    QVERIFY(poppler(QStringLiteral("pdfinfo"), {path}).contains(QStringLiteral("Pages:")));
}

// The document's title in the file's information, whichever writer wrote it; characters that PDF strings
// escape come through as they are.
void TestPdfWriter::titleInDocumentInformation_data()
{
    QTest::addColumn<bool>("throughThePainter");
    QTest::newRow("own writer") << false;
    QTest::newRow("painter") << true;
}

void TestPdfWriter::titleInDocumentInformation()
{
    QFETCH(bool, throughThePainter);
    Document doc = sample(1);
    doc.title = QStringLiteral("Отчет по рабочим (цех \\ «2») за период с 01.12.2026 по 01.01.2027");
    if (throughThePainter) { // a face only the painter draws
        const QString family = familyWithoutTrueTypeOutlines();
        if (family.isEmpty())
            QSKIP("no font with PostScript outlines installed");
        inFamily(doc, family);
    }
    const QString path = dir_.filePath(QStringLiteral("title-%1.pdf").arg(throughThePainter));
    QCOMPARE(writePdfDirect(doc, path), !throughThePainter);
    writePdf(doc, path);
    const QString info = poppler(QStringLiteral("pdfinfo"), {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path});
    QVERIFY2(
        info.contains(QRegularExpression(QStringLiteral("^Title: +") + QRegularExpression::escape(doc.title) + u'$',
                                         QRegularExpression::MultilineOption)),
        qPrintable(info));
}

QTEST_MAIN(TestPdfWriter)
#include "tst_pdf_writer.moc"
