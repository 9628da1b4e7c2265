// The report engine on small layouts: masks, expressions, groups with subtotals, page breaks with repeated
// headers and page numbers, an empty source, and the printed PDF read back as text.
#include "reportengine/expression.h"
#include "reportengine/format.h"
#include "reportengine/grouping.h"
#include "reportengine/layout.h"
#include "reportengine/preview_dialog.h"
#include "reportengine/render.h"
#include "ui/messages.h"

#include <QAbstractButton>
#include <QFileDialog>
#include <QLabel>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QPrintDialog>
#include <QToolBar>
#include <QLocale>
#include <QPrinter>
#include <QProcess>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace reportengine;

namespace {

QString evalOn(const QString& text, const QStringList& fields, const QVariantList& row)
{
    TableSource src(fields, {row});
    Expression e = Expression::compile(text, [&](const QString& n) { return src.fieldIndex(n); });
    Expression::Context ctx;
    ctx.field = [&](int f) { return src.value(0, f); };
    ctx.pageNumber = 3;
    return plainText(e.evaluate(ctx));
}

// A report of numbered rows with a page number in its footer: 50 rows a page.
Report numberedReport()
{
    Report r;
    r.paper(QPageSize::A4, QPageLayout::Portrait).margins(10);
    r.detail(QStringLiteral("Detail"), 5).field(QStringLiteral("F"), QStringLiteral("n")).at(0, 40);
    r.pageFooter(QStringLiteral("Footer"), 27).expr(QStringLiteral("P"), QStringLiteral("PAGENUMBER")).at(0, 190).right();
    return r;
}

TableSource numberedRows(int count)
{
    QList<QVariantList> rows;
    for (int i = 1; i <= count; ++i)
        rows.append({QStringLiteral("Строка %1").arg(i)});
    return TableSource({QStringLiteral("n")}, rows);
}

QStringList pdfPages(const QString& pdf)
{
    QProcess p;
    p.start(QStandardPaths::findExecutable(QStringLiteral("pdftotext")), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(60000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()).split(u'\f', Qt::SkipEmptyParts);
}

// Rows of (worker, product, amount) for group tests.
TableSource workSource()
{
    return TableSource({QStringLiteral("fio"), QStringLiteral("nom"), QStringLiteral("summa")},
                       {{QStringLiteral("Антонов"), QStringLiteral("Болт"), 1.5},
                        {QStringLiteral("Антонов"), QStringLiteral("Болт"), 2.25},
                        {QStringLiteral("Антонов"), QStringLiteral("Гайка"), 4.0},
                        {QStringLiteral("Борисов"), QStringLiteral("Гайка"), 10.0}});
}

} // namespace

class TestReportEngine : public QObject {
    Q_OBJECT
private slots:
    void masks_data();
    void masks();
    void masksUseTheWorkstationDecimalSeparator();
    void expressions_data();
    void expressions();
    void expressionErrors_data();
    void expressionErrors();
    void groupsSubtotalsAndGrandTotal();
    void totalsComeFromTheGrouping();
    void headerRepeatedOnEveryPageWithPageNumbers();
    void emptySourceStillGivesAPageWithItsFooter();
    void tooWideTextsAreFitted_data();
    void tooWideTextsAreFitted();
    void pdfReadsBackAsText();
    void previewOpensMaximisedAtTheAskedZoom();
    void previewShowsTheFirstPageWhileTheLayoutGoesOn();
    void previewByKeys();
    void aFailedSaveIsToldWithoutTheBusyCursor();
    void previewButtonsShowOnSmallScreens_data();
    void previewButtonsShowOnSmallScreens();
    void printedPagesComeInOrder();
    void pdfFileName_data();
    void pdfFileName();
    void suggestedPdfPath();
};

void TestReportEngine::masks_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("mask");
    QTest::addColumn<QString>("expected");
    QTest::newRow("two decimals") << QVariant(12.5) << "#0.00" << "12.50";
    QTest::newRow("three decimals rounds") << QVariant(3.14159) << "#0.000" << "3.142";
    QTest::newRow("none rounds half up") << QVariant(2.5) << "#0" << "3";
    QTest::newRow("integer with decimals") << QVariant(qlonglong(7)) << "#0.00" << "7.00";
    QTest::newRow("zero") << QVariant(0.0) << "#0.00" << "0.00";
    QTest::newRow("tiny negative is zero") << QVariant(-0.001) << "#0.00" << "0.00";
    QTest::newRow("negative") << QVariant(-1234.5) << "#0.0" << "-1234.5";
    QTest::newRow("optional decimals") << QVariant(1.5) << "#0.##" << "1.5";
    QTest::newRow("numeric text") << QVariant(QStringLiteral("4.125")) << "#0.00" << "4.13";
    QTest::newRow("text stays") << QVariant(QStringLiteral("abc")) << "#0.00" << "abc";
    QTest::newRow("null empty") << QVariant() << "#0.00" << "";
    QTest::newRow("no mask whole") << QVariant(8.0) << "" << "8";
    QTest::newRow("no mask fraction") << QVariant(0.1 + 0.2) << "" << "0.3";
    QTest::newRow("prefix and suffix") << QVariant(5.0) << "#0.0 р." << "5.0 р.";
}

void TestReportEngine::masks()
{
    QFETCH(QVariant, value);
    QFETCH(QString, mask);
    QFETCH(QString, expected);
    QCOMPARE(formatValue(value, mask), expected);
}

void TestReportEngine::masksUseTheWorkstationDecimalSeparator()
{
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
    const QString masked = formatValue(1234567.891, QStringLiteral("#,##0.00"));
    const QString plain = formatValue(2.75, QString());
    QLocale::setDefault(QLocale::c());
    QCOMPARE(masked, QStringLiteral("1\u00a0234\u00a0567,89"));
    QCOMPARE(plain, QStringLiteral("2,75"));
}

void TestReportEngine::expressions_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QVariantList>("row"); // naimen, color, sd1, sd2, vid
    QTest::addColumn<QString>("expected");
    const QString flag = QStringLiteral("IF(naimen=0,'Готовая продукция','Заготовки')");
    const QString colour =
        QStringLiteral("if(color>0,if(color=1,' (грунт)',' (RAL: '+STR(color)+')'),' ')");
    QTest::newRow("flag finished") << flag << QVariantList{0, 0, 1, 2, "x"} << "Готовая продукция";
    QTest::newRow("flag blank") << flag << QVariantList{1, 0, 1, 2, "x"} << "Заготовки";
    QTest::newRow("colour none") << colour << QVariantList{0, 0, 1, 2, "x"} << " ";
    QTest::newRow("colour primer") << colour << QVariantList{0, 1, 1, 2, "x"} << " (грунт)";
    QTest::newRow("colour RAL") << colour << QVariantList{0, 7035, 1, 2, "x"} << " (RAL: 7035)";
    QTest::newRow("null colour") << colour << QVariantList{0, QVariant(), 1, 2, "x"} << " ";
    QTest::newRow("sum of fields") << "sd1+sd2" << QVariantList{0, 0, 5, 3, "x"} << "8";
    QTest::newRow("null adds as 0") << "sd1+sd2" << QVariantList{0, 0, QVariant(), 3, "x"} << "3";
    QTest::newRow("precedence") << "sd1+sd2*2-(1)" << QVariantList{0, 0, 5, 3, "x"} << "10";
    QTest::newRow("text join") << "vid+'-'+STR(sd1/2)" << QVariantList{0, 0, 5, 3, "ab"} << "ab-2.5";
    QTest::newRow("comparisons")
        << "IF((sd1>=5) and (sd2<>3) or not (sd1<=4),'yes','no')" << QVariantList{0, 0, 5, 3, "x"} << "yes";
    QTest::newRow("text compare") << "IF(vid='ab','eq','ne')" << QVariantList{0, 0, 5, 3, "ab"} << "eq";
    QTest::newRow("qualified name") << "t_Report.sd1" << QVariantList{0, 0, 5, 3, "x"} << "5";
    QTest::newRow("page number") << "PAGENUMBER" << QVariantList{0, 0, 5, 3, "x"} << "3";
    QTest::newRow("quote in text") << "'it''s'" << QVariantList{0, 0, 5, 3, "x"} << "it's";
}

void TestReportEngine::expressions()
{
    QFETCH(QString, text);
    QFETCH(QVariantList, row);
    QFETCH(QString, expected);
    const QStringList fields = {QStringLiteral("naimen"), QStringLiteral("color"), QStringLiteral("sd1"),
                                QStringLiteral("sd2"), QStringLiteral("vid")};
    QCOMPARE(evalOn(text, fields, row), expected);
}

void TestReportEngine::expressionErrors_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("fragment");
    QTest::newRow("unknown field") << "sd1+nosuch" << "неизвестное поле nosuch";
    QTest::newRow("unknown function") << "FOO(1)" << "неизвестная функция FOO";
    QTest::newRow("unclosed") << "IF(sd1=1,'a'" << "ожидается";
    QTest::newRow("open string") << "'abc" << "строка не закрыта";
    QTest::newRow("wrong arity") << "IF(1,2)" << "IF ждёт аргументов: 3";
    QTest::newRow("trailing") << "sd1 sd1" << "лишний текст";
}

void TestReportEngine::expressionErrors()
{
    QFETCH(QString, text);
    QFETCH(QString, fragment);
    TableSource src({QStringLiteral("sd1")}, {});
    try {
        Expression::compile(text, [&](const QString& n) { return src.fieldIndex(n); });
        QFAIL("no error");
    } catch (const ReportError& e) {
        QVERIFY2(e.message().contains(fragment), qPrintable(e.message()));
    }
}

void TestReportEngine::groupsSubtotalsAndGrandTotal()
{
    Report r;
    r.paper(QPageSize::A4, QPageLayout::Portrait).margins(10);
    Group& all = r.group(QStringLiteral("QRGroup1"));
    all.header(6).label(QStringLiteral("QRLabel1"), QStringLiteral("QRLabel1")).at(0, 100).bold();
    all.headerBand()->child(QStringLiteral("Spacer"), 2);
    Band& total = all.footer(QStringLiteral("QRBand2"), 6);
    total.label(QStringLiteral("Total"), QStringLiteral("Итого:")).at(0, 30);
    total.expr(QStringLiteral("GrandSum"), QStringLiteral("SUM(summa)")).at(150, 30).mask(QStringLiteral("#0.00"));
    Group& worker = r.group(QStringLiteral("ByWorker"), QStringLiteral("t_Report.fio"));
    worker.header(6).field(QStringLiteral("Worker"), QStringLiteral("fio")).at(0, 60);
    worker.footer(QStringLiteral("WorkerFooter"), 5)
        .expr(QStringLiteral("WorkerSum"), QStringLiteral("SUM(summa)"))
        .at(150, 30)
        .mask(QStringLiteral("#0.00"))
        .resetAfterPrint();
    Group& product = r.group(QStringLiteral("ByProduct"), QStringLiteral("t_Report.nom"));
    product.header(5).field(QStringLiteral("Product"), QStringLiteral("nom")).at(10, 60);
    Band& pf = product.footer(QStringLiteral("ProductFooter"), 5);
    pf.expr(QStringLiteral("ProductCount"), QStringLiteral("COUNT")).at(100, 20).resetAfterPrint();
    pf.expr(QStringLiteral("ProductSum"), QStringLiteral("SUM(summa)")).at(150, 30).mask(QStringLiteral("#0.000"))
        .resetAfterPrint();
    r.detail(QStringLiteral("Detail"), 5).field(QStringLiteral("Amount"), QStringLiteral("summa")).at(150, 30)
        .mask(QStringLiteral("#0.000"));
    r.pageFooter(QStringLiteral("PageFooter"), 5).expr(QStringLiteral("Page"), QStringLiteral("PAGENUMBER")).at(180, 10)
        .right();
    r.setText(QStringLiteral("QRLabel1"), QStringLiteral("   Отчет"));

    const TableSource src = workSource();
    const Document doc = layout(r, src);
    const QString expected = QStringLiteral("page 1\n"
                                            "QRGroup1:    Отчет\n"
                                            "Spacer: \n"
                                            "ByWorker: Антонов\n"
                                            "ByProduct: Болт\n"
                                            "Detail: 1.500\n"
                                            "Detail: 2.250\n"
                                            "ProductFooter: 2 | 3.750\n"
                                            "ByProduct: Гайка\n"
                                            "Detail: 4.000\n"
                                            "ProductFooter: 1 | 4.000\n"
                                            "WorkerFooter: 7.75\n"
                                            "ByWorker: Борисов\n"
                                            "ByProduct: Гайка\n"
                                            "Detail: 10.000\n"
                                            "ProductFooter: 1 | 10.000\n"
                                            "WorkerFooter: 10.00\n"
                                            "QRBand2: Итого: | 17.75\n"
                                            "PageFooter: 1\n");
    QCOMPARE(doc.dump(), expected);

    // Bands stack from the top margin; the page footer sits on the bottom margin.
    const Page& page = doc.pages.first();
    QCOMPARE(page.bands[0].rect(), QRectF(10, 10, 190, 6));
    QCOMPARE(page.bands[1].rect().top(), 16.0);
    QCOMPARE(page.bands.last().rect(), QRectF(10, 297 - 10 - 5, 190, 5));
    const PlacedItem* title = page.bands[0].item(QStringLiteral("QRLabel1"));
    QVERIFY(title->bold());
    QCOMPARE(title->family(), QStringLiteral("Arial"));
    QCOMPARE(title->pointSize(), 10.0);
}

void TestReportEngine::headerRepeatedOnEveryPageWithPageNumbers()
{
    Report r;
    r.paper(QPageSize::A4, QPageLayout::Landscape).margins(10);
    Group& head = r.group(QStringLiteral("QRGroup1")).repeatOnNewPage();
    head.header(10).label(QStringLiteral("Caption"), QStringLiteral("Данные за:")).at(0, 50).bold();
    head.headerBand()->frame(Frame::topBottom(Line::solid()));
    Band& total = head.footer(QStringLiteral("Total"), 10);
    total.expr(QStringLiteral("Sum"), QStringLiteral("SUM(n)")).at(0, 30);
    r.detail(QStringLiteral("Detail"), 10).field(QStringLiteral("N"), QStringLiteral("n")).at(0, 20);
    r.pageFooter(QStringLiteral("QRBand2"), 10).expr(QStringLiteral("QRExpr2"), QStringLiteral("PAGENUMBER")).at(0, 277)
        .right();
    // Landscape A4: 210 mm high, 190 between the margins, 180 above the page footer: the header and 17 rows fit.
    QList<QVariantList> rows;
    for (int i = 1; i <= 40; ++i)
        rows.append(QVariantList{i});
    const TableSource src({QStringLiteral("n")}, rows);
    const Document doc = layout(r, src);

    QCOMPARE(doc.paperMm, QSizeF(297, 210));
    QCOMPARE(doc.pages.size(), 3);
    int seen = 0;
    for (const Page& p : doc.pages) {
        QCOMPARE(p.bands.first().name(), QStringLiteral("QRGroup1"));
        QCOMPARE(p.bands.first().texts(), QStringList{QStringLiteral("Данные за:")});
        QCOMPARE(p.bands.last().name(), QStringLiteral("QRBand2"));
        QCOMPARE(p.bands.last().texts(), QStringList{QString::number(p.number)});
        for (const PlacedBand& b : p.bands) {
            if (b.name() == u"Detail") {
                QCOMPARE(b.texts(), QStringList{QString::number(++seen)});
                QVERIFY(b.rect().bottom() <= 210 - 10 - 10 + 1e-9);
            }
        }
    }
    QCOMPARE(seen, 40);
    QCOMPARE(doc.pages[0].bands.size(), 1 + 17 + 1);
    const QList<const PlacedBand*> totals = doc.bands(QStringLiteral("Total"));
    QCOMPARE(totals.size(), 1);
    QCOMPARE(totals.first()->texts(), QStringList{QStringLiteral("820")});
}

// Totals taken from the rows' grouping print what running sums reset by each footer print, with rows and without;
// the grouping breaks where the layout's groups do: an inner key that stays the same across an outer change starts
// a span of its own.
void TestReportEngine::totalsComeFromTheGrouping()
{
    auto build = [](bool fromGrouping) {
        Report r;
        r.paper(QPageSize::A4, QPageLayout::Portrait).margins(10);
        Band& grand = r.group(QStringLiteral("All")).footer(QStringLiteral("Grand"), 6);
        Group& worker = r.group(QStringLiteral("ByWorker"), QStringLiteral("t_Report.fio"));
        worker.header(6).field(QStringLiteral("Worker"), QStringLiteral("fio")).at(0, 60);
        Band& perWorker = worker.footer(QStringLiteral("WorkerFooter"), 5);
        Group& product = r.group(QStringLiteral("ByProduct"), QStringLiteral("nom"));
        product.header(5).field(QStringLiteral("Product"), QStringLiteral("nom")).at(10, 60);
        Band& perProduct = product.footer(QStringLiteral("ProductFooter"), 5);
        r.detail(QStringLiteral("Detail"), 5).field(QStringLiteral("Amount"), QStringLiteral("summa")).at(150, 30);
        const std::pair<Band*, QString> sums[] = {{&grand, QStringLiteral("#0.00")},
                                                  {&perWorker, QStringLiteral("#0.0")},
                                                  {&perProduct, QStringLiteral("#0.000")}};
        for (const auto& [band, mask] : sums) {
            if (fromGrouping)
                band->total(QStringLiteral("S"), QStringLiteral("summa")).at(150, 30).mask(mask);
            else
                band->expr(QStringLiteral("S"), QStringLiteral("SUM(summa)")).at(150, 30).mask(mask)
                    .resetAfterPrint(band != &grand);
        }
        return r;
    };
    const TableSource none({QStringLiteral("fio"), QStringLiteral("nom"), QStringLiteral("summa")}, {});
    for (const TableSource& rows : {workSource(), none}) {
        const QString dump = layout(build(true), rows).dump();
        QCOMPARE(dump, layout(build(false), rows).dump());
        QVERIFY2(dump.contains(rows.rowCount() ? QStringLiteral("Grand: 17.75") : QStringLiteral("Grand: 0.00")),
                 qPrintable(dump));
    }

    const Grouping g(build(true), workSource());
    QCOMPARE(g.fields(), QStringList{QStringLiteral("summa")});
    auto spans = [&g](int group) {
        QStringList out;
        for (const Grouping::Span& s : g.spans(group))
            out << QStringLiteral("%1-%2 %3 %4").arg(s.first).arg(s.last).arg(plainText(s.key)).arg(s.sums.value(0));
        return out;
    };
    QCOMPARE(spans(0), QStringList{QStringLiteral("0-3  17.75")});
    QCOMPARE(spans(1), (QStringList{QStringLiteral("0-2 Антонов 7.75"), QStringLiteral("3-3 Борисов 10")}));
    QCOMPARE(spans(2), (QStringList{QStringLiteral("0-1 Болт 3.75"), QStringLiteral("2-2 Гайка 4"),
                                    QStringLiteral("3-3 Гайка 10")}));
    QVERIFY(!g.hasKey(0) && g.hasKey(1) && g.hasKey(2));
    QCOMPARE(g.spanOf(2, 2).sums, QList<double>{4.0});
    QCOMPARE(g.total(), QList<double>{17.75});
}

void TestReportEngine::emptySourceStillGivesAPageWithItsFooter()
{
    Report r;
    Group& head = r.group(QStringLiteral("QRGroup1"));
    head.header(6).label(QStringLiteral("Caption"), QStringLiteral("Данные за:")).at(0, 50);
    head.footer(QStringLiteral("QRBand2"), 6).expr(QStringLiteral("Sum"), QStringLiteral("SUM(summa)")).at(0, 30)
        .mask(QStringLiteral("#0.00"));
    r.group(QStringLiteral("ByWorker"), QStringLiteral("fio")).header(6).field(QStringLiteral("W"), QStringLiteral("fio"));
    r.detail(QStringLiteral("Detail"), 5).field(QStringLiteral("S"), QStringLiteral("summa"));
    r.pageFooter(QStringLiteral("PageFooter"), 5).expr(QStringLiteral("P"), QStringLiteral("PAGENUMBER"));
    const TableSource src({QStringLiteral("fio"), QStringLiteral("summa")}, {});
    QCOMPARE(layout(r, src).dump(), QStringLiteral("page 1\nQRGroup1: Данные за:\nQRBand2: 0.00\nPageFooter: 1\n"));
}

// A field wider than its item: set smaller while that suffices; beyond the smallest size a number is given the room
// it needs (towards its free side, inside the band) and a name ends in an ellipsis. A label is left as declared.
void TestReportEngine::tooWideTextsAreFitted_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<int>("align"); // Align
    QTest::addColumn<double>("width");
    QTest::addColumn<QString>("printed");
    QTest::addColumn<bool>("smaller");
    QTest::addColumn<bool>("wider");
    QTest::newRow("fits") << QVariant(1234.5) << int(Align::Right) << 30.0 << "1234.50" << false << false;
    QTest::newRow("number set smaller") << QVariant(9999999999.99) << int(Align::Center) << 20.0 << "9999999999.99"
                                        << true << false;
    QTest::newRow("number given room") << QVariant(12345678901234.5) << int(Align::Right) << 8.0
                                       << "12345678901234.50" << true << true;
    QTest::newRow("name set smaller") << QVariant("Константинопольская-Щедрина А.В.") << int(Align::Left) << 40.0
                                      << "Константинопольская-Щедрина А.В." << true << false;
    QTest::newRow("name shortened") << QVariant("Константинопольская-Щедрина Александра Владимировна") << int(Align::Left)
                                    << 20.0 << "…" << true << false;
}

void TestReportEngine::tooWideTextsAreFitted()
{
    QFETCH(QVariant, value);
    QFETCH(int, align);
    QFETCH(double, width);
    QFETCH(QString, printed);
    QFETCH(bool, smaller);
    QFETCH(bool, wider);
    Report r;
    r.font(QStringLiteral("Arial"), 10);
    Band& d = r.detail(QStringLiteral("Detail"), 5);
    d.field(QStringLiteral("F"), QStringLiteral("v")).at(100, width).align(Align(align)).mask(
        value.typeId() == QMetaType::QString ? QString() : QStringLiteral("#0.00"));
    d.label(QStringLiteral("L"), value.toString()).at(0, 5);
    const Document doc = layout(r, TableSource({QStringLiteral("v")}, {{value}}));
    const PlacedItem* f = doc.pages[0].bands[0].item(QStringLiteral("F"));
    const PlacedItem* l = doc.pages[0].bands[0].item(QStringLiteral("L"));
    if (printed == QStringLiteral("…"))
        QVERIFY2(f->text().endsWith(printed) && f->text().size() > 5, qPrintable(f->text()));
    else
        QCOMPARE(QString(f->text()).remove(QLocale().decimalPoint()), printed.remove(u'.'));
    QVERIFY(textWidthMm(*f) <= textRoomMm(*f) + 1e-6);
    QCOMPARE(f->pointSize() < 10, smaller);
    QCOMPARE(f->rect().width() > width + 1e-6, wider);
    if (wider && Align(align) == Align::Right)
        QCOMPARE(f->rect().right(), r.marginsMm().left() + 100 + width); // grown to the left, its free side
    QCOMPARE(l->pointSize(), 10.0);
    QCOMPARE(l->text(), value.toString());
}

void TestReportEngine::pdfReadsBackAsText()
{
    const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    QVERIFY2(!pdftotext.isEmpty(), "pdftotext (poppler-utils) is needed");
    Report r;
    r.paper(QPageSize::A4, QPageLayout::Landscape).margins(10);
    Group& head = r.group(QStringLiteral("QRGroup1")).repeatOnNewPage();
    head.header(8).label(QStringLiteral("Caption"), QStringLiteral("Данные за: Март 2026 г.")).at(0, 80).bold();
    r.detail(QStringLiteral("Detail"), 8).field(QStringLiteral("F"), QStringLiteral("fio")).at(0, 80);
    r.detailBand()->field(QStringLiteral("S"), QStringLiteral("s")).at(100, 30).center().mask(QStringLiteral("#0.00"));
    r.pageFooter(QStringLiteral("QRBand2"), 8).expr(QStringLiteral("QRExpr2"), QStringLiteral("PAGENUMBER")).at(0, 277)
        .right();
    QList<QVariantList> rows;
    for (int i = 1; i <= 30; ++i)
        rows.append({QStringLiteral("Работник %1").arg(i), i * 1.5});
    const Document doc = layout(r, TableSource({QStringLiteral("fio"), QStringLiteral("s")}, rows));
    QCOMPARE(doc.pages.size(), 2);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("r.pdf"));
    writePdf(doc, pdf);
    QProcess p;
    p.start(pdftotext, {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QVERIFY(p.waitForFinished(30000));
    const QStringList pages = QString::fromUtf8(p.readAllStandardOutput()).split(u'\f', Qt::SkipEmptyParts);
    QCOMPARE(pages.size(), 2);
    for (int i = 0; i < 2; ++i) {
        QVERIFY(pages[i].contains(QStringLiteral("Данные за: Март 2026 г.")));
        const QStringList lines = pages[i].split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.last().trimmed(), QString::number(i + 1));
    }
    QVERIFY(pages[0].contains(QRegularExpression(QStringLiteral("Работник 1\\s+1.50\\n"))));
    QVERIFY(pages[1].contains(QRegularExpression(QStringLiteral("Работник 30\\s+45.00\\n"))));
}

void TestReportEngine::previewOpensMaximisedAtTheAskedZoom()
{
    Report r;
    r.detail(QStringLiteral("Detail"), 5).field(QStringLiteral("F"), QStringLiteral("n"));
    const Document doc = layout(r, TableSource({QStringLiteral("n")}, {{1}}));
    for (Zoom zoom : {Zoom::WholePage, Zoom::PageWidth}) {
        bool seen = false;
        setPreviewHook([&](PreviewDialog& dialog, const Document& shown) {
            seen = true;
            QCOMPARE(&shown, &doc);
            QVERIFY(dialog.windowState() & Qt::WindowMaximized);
            auto* fit = dialog.findChild<QAction*>(zoom == Zoom::WholePage ? QStringLiteral("fitPageAction")
                                                                           : QStringLiteral("fitWidthAction"));
            QVERIFY(fit && fit->isChecked());
            QVERIFY(dialog.findChild<QAction*>(QStringLiteral("savePdf")));
        });
        preview(doc, zoom);
        QVERIFY(seen);
    }
    setPreviewHook({});
}

// A long report shows its first page before its last is placed, paints only the pages in view, and ends with the
// same pages as a layout in one go; going to the last page places the rest first.
void TestReportEngine::previewShowsTheFirstPageWhileTheLayoutGoesOn()
{
    const Report r = numberedReport();
    const TableSource rows = numberedRows(20000); // some 400 pages
    const QString whole = layout(r, rows).dump();
    LayoutRun run(r, rows);
    PreviewDialog dialog(run, Zoom::PageWidth);
    QVERIFY(!dialog.layoutDone());
    QVERIFY(dialog.pageCount() >= 1);
    QVERIFY(dialog.pageCount() < 10);
    QList<int> painted;
    connect(&dialog, &PreviewDialog::pagePainted, this, [&](int i) { painted << i; });
    dialog.resize(800, 600);
    dialog.show();
    QTRY_VERIFY(painted.contains(0));
    QVERIFY(*std::max_element(painted.cbegin(), painted.cend()) < 3);
    QTRY_VERIFY_WITH_TIMEOUT(dialog.layoutDone(), 60000); // placed between events, without being asked
    QCOMPARE(dialog.pageCount(), 400);
    QCOMPARE(dialog.document().dump(), whole);

    LayoutRun again(r, rows);
    PreviewDialog second(again, Zoom::WholePage);
    second.resize(800, 600);
    second.findChild<QAction*>(QStringLiteral("lastPageAction"))->trigger();
    QVERIFY(second.layoutDone());
    QCOMPARE(second.currentPage(), 399);
    QCOMPARE(second.findChild<QSpinBox*>(QStringLiteral("pageNumber"))->value(), 400);
    QCOMPARE(second.findChild<QLabel*>(QStringLiteral("pageTotal"))->text(), QStringLiteral("из 400"));
    painted.clear();
    connect(&second, &PreviewDialog::pagePainted, this, [&](int i) { painted << i; });
    second.show();
    QTRY_VERIFY(painted.contains(399));
    // on demand: none of the pages between was painted
    QVERIFY(std::none_of(painted.cbegin(), painted.cend(), [](int i) { return i > 3 && i < 396; }));
}

namespace {

// Runs `then` on the modal window of class T once it shows (a file or print dialog opened by a key).
template <class T> void whenModalShows(std::function<void(T*)> then)
{
    auto* poll = new QTimer;
    poll->setInterval(20);
    QObject::connect(poll, &QTimer::timeout, [poll, then] {
        if (auto* d = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            then(d);
        }
    });
    poll->start();
}

} // namespace

// The preview by keys alone: Tab reaches every button (each named for a screen reader) and the pages; Enter presses
// the focused button; Ctrl+0 and Ctrl+2 fit, Ctrl+S saves the PDF, Ctrl+P prints, each key shown in its tooltip.
void TestReportEngine::previewByKeys()
{
    const Document doc = layout(numberedReport(), numberedRows(260));
    PreviewDialog dialog(doc, Zoom::PageWidth);
    dialog.resize(1024, 700);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    QWidget* pages = dialog.findChild<QWidget*>(QStringLiteral("pageView"));
    QCOMPARE(QApplication::focusWidget(), pages);

    QStringList reached;
    for (int i = 0; i < 20 && (reached.isEmpty() || QApplication::focusWidget() != pages); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached << QApplication::focusWidget()->accessibleName();
    }
    QCOMPARE(reached, (QStringList{"Печать", "Сохранить в PDF", "По ширине", "Страница целиком", "Уменьшить", "Масштаб",
                                   "Увеличить", "Первая страница", "Предыдущая страница", "Номер страницы",
                                   "Следующая страница", "Последняя страница", "Страницы отчета"}));

    auto* fitWidth = dialog.findChild<QAction*>(QStringLiteral("fitWidthAction"));
    auto* fitPage = dialog.findChild<QAction*>(QStringLiteral("fitPageAction"));
    QTest::keyClick(pages, Qt::Key_0, Qt::ControlModifier);
    QVERIFY(fitPage->isChecked() && !fitWidth->isChecked());
    QTest::keyClick(pages, Qt::Key_2, Qt::ControlModifier);
    QVERIFY(fitWidth->isChecked() && !fitPage->isChecked());
    QTest::keyClick(pages, Qt::Key_PageDown);
    QCOMPARE(dialog.currentPage(), 1);
    auto* toolbar = dialog.findChild<QToolBar*>(QStringLiteral("previewToolBar"));
    QWidget* fitPageButton = toolbar->widgetForAction(fitPage);
    fitPageButton->setFocus(Qt::TabFocusReason);
    QTest::keyClick(fitPageButton, Qt::Key_Return);
    QVERIFY(fitPage->isChecked());
    for (const char* name : {"printAction", "savePdf", "fitWidthAction", "fitPageAction"}) {
        QAction* a = dialog.findChild<QAction*>(QLatin1String(name));
        QVERIFY2(a->toolTip().endsWith(u'(' + a->shortcut().toString(QKeySequence::NativeText) + u')'), name);
    }

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("by_keys.pdf"));
    bool saveAsked = false;
    whenModalShows<QFileDialog>([&](QFileDialog* d) {
        saveAsked = true;
        // The dialog selects its suggested name again once its folder listing arrives from its thread: a name typed
        // before that is overwritten, so the keys wait for the listing.
        if (auto* model = d->findChild<QFileSystemModel*>()) {
            QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
            loaded.wait(3000);
        }
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        name->selectAll();
        QTest::keyClicks(name, pdf);
        QTest::keyClick(name, Qt::Key_Return);
        if (d->isVisible()) // a failed step leaves no window waiting
            d->reject();
    });
    QTest::keyClick(pages, Qt::Key_S, Qt::ControlModifier);
    QVERIFY(saveAsked);
    QFile written(pdf);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.read(5) == "%PDF-");

    dialog.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    bool printAsked = false;
    whenModalShows<QPrintDialog>([&](QPrintDialog* d) {
        printAsked = true;
        QTest::keyClick(d, Qt::Key_Escape);
    });
    QTest::keyClick(pages, Qt::Key_P, Qt::ControlModifier);
    QVERIFY(printAsked);
}

// A PDF that cannot be written is told through the program's messages, the busy cursor already gone.
void TestReportEngine::aFailedSaveIsToldWithoutTheBusyCursor()
{
    const Document doc = layout(numberedReport(), numberedRows(3));
    PreviewDialog dialog(doc, Zoom::PageWidth);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    ui::Messages::setScripted(true);
    ui::Messages::clearShown();
    bool busyWhileShown = true;
    ui::Messages::setOnShow([&](const ui::ShownMessage&) { busyWhileShown = QApplication::overrideCursor(); });
    whenModalShows<QFileDialog>([](QFileDialog* d) {
        if (auto* model = d->findChild<QFileSystemModel*>()) {
            QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
            loaded.wait(3000);
        }
        auto* name = d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        name->selectAll();
        QTest::keyClicks(name, QStringLiteral("/proc/kesta_report.pdf")); // no file can be made there, even by root
        QTest::keyClick(name, Qt::Key_Return);
        if (d->isVisible())
            d->reject();
    });
    dialog.findChild<QAction*>(QStringLiteral("savePdf"))->trigger();
    ui::Messages::setOnShow({});
    ui::Messages::setScripted(false);
    const auto shown = ui::Messages::shown();
    QCOMPARE(shown.size(), 1);
    QCOMPARE(shown[0].kind, ui::ShownMessage::Kind::Error);
    QCOMPARE(shown[0].caption, QStringLiteral("Ошибка"));
    QVERIFY(!shown[0].text.isEmpty());
    QVERIFY(!busyWhileShown);
    QVERIFY(QApplication::overrideCursor() == nullptr);
}

// Printing, saving and the fits stay on the bar, not behind its "»", on a 1024-pixel screen and on 1440x900 at
// scale 2 (720 by 450 of the program's pixels).
void TestReportEngine::previewButtonsShowOnSmallScreens_data()
{
    QTest::addColumn<QSize>("size");
    QTest::newRow("1024x768") << QSize(1024, 740);
    QTest::newRow("1440x900 at scale 2") << QSize(720, 420);
}

void TestReportEngine::previewButtonsShowOnSmallScreens()
{
    QFETCH(QSize, size);
    const Document doc = layout(numberedReport(), numberedRows(10));
    PreviewDialog dialog(doc, Zoom::PageWidth);
    dialog.resize(size);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    auto* toolbar = dialog.findChild<QToolBar*>(QStringLiteral("previewToolBar"));
    for (const char* name : {"printAction", "savePdf", "fitWidthAction", "fitPageAction"}) {
        QWidget* button = toolbar->widgetForAction(dialog.findChild<QAction*>(QLatin1String(name)));
        QVERIFY2(button && button->isVisible(), name);
        QVERIFY2(button->geometry().right() < toolbar->width(), name);
    }
}

// Printing prints the pages asked for, in order, on the paper of the report.
void TestReportEngine::printedPagesComeInOrder()
{
    const Document doc = layout(numberedReport(), numberedRows(260)); // 6 pages
    QCOMPARE(doc.pages.size(), 6);
    QTemporaryDir dir;
    for (auto [from, to] : {std::pair{0, 5}, std::pair{2, 3}}) {
        QPrinter printer(QPrinter::HighResolution);
        setUpPrinter(doc, printer);
        printer.setOutputFormat(QPrinter::PdfFormat);
        const QString pdf = dir.filePath(QStringLiteral("p%1.pdf").arg(from));
        printer.setOutputFileName(pdf);
        printPages(doc, printer, from, to);
        const QStringList pages = pdfPages(pdf);
        QCOMPARE(pages.size(), to - from + 1);
        for (int i = from; i <= to; ++i) {
            QVERIFY(pages[i - from].contains(QStringLiteral("Строка %1\n").arg(i * 50 + 1)));
            QCOMPARE(pages[i - from].split(u'\n', Qt::SkipEmptyParts).last().trimmed(), QString::number(i + 1));
        }
        QCOMPARE(printer.pageLayout().fullRectPoints().size(), QSize(595, 842));
    }
}

// The name the save dialog suggests: the title as it reads, with what a file system refuses replaced, never
// hidden, never empty, never longer than a name may be.
void TestReportEngine::pdfFileName_data()
{
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("name");
    QTest::newRow("caption and period") << "Отчет по рабочим за период с 01.12.2026 по 01.01.2027"
                                        << "Отчет по рабочим за период с 01.12.2026 по 01.01.2027.pdf";
    QTest::newRow("month") << "Табель по времени — Февраль 2026 г."
                           << "Табель по времени — Февраль 2026 г.pdf";
    QTest::newRow("separators and wildcards") << "Цех 1/2: \"А\" <*> | б\\в?"
                                              << "Цех 1_2_ _А_ ___ _ б_в_.pdf";
    QTest::newRow("blanks, tabs and line breaks") << "  Отчет\tпо\n рабочим  "
                                                  << "Отчет по рабочим.pdf";
    QTest::newRow("control and format characters") << QString("a") + QChar(0x01) + "b" + QChar(0x200E) + "c"
                                                   << "a_b_c.pdf";
    QTest::newRow("too long for a name") << QString(300, u'Ж') << QString(100, u'Ж') + ".pdf";
    QTest::newRow("leading dots") << "..Отчет."
                                  << "Отчет.pdf";
    QTest::newRow("empty") << ""
                           << "Отчет.pdf";
    QTest::newRow("only dots") << " . . "
                               << "Отчет.pdf";
}

void TestReportEngine::pdfFileName()
{
    QFETCH(QString, title);
    QFETCH(QString, name);
    QCOMPARE(reportengine::pdfFileName(title), name);
}

// The dialog opens in the user's documents folder, or at home when the user has none (none is made for it).
void TestReportEngine::suggestedPdfPath()
{
    QTemporaryDir home;
    // A user of its own: the home folder and the desktop's folder settings (none) under the temporary folder.
    struct Environment {
        const char* name;
        QByteArray old = qgetenv(name);
        ~Environment() { old.isNull() ? qunsetenv(name) : qputenv(name, old); }
    } homeVar{"HOME"}, configVar{"XDG_CONFIG_HOME"};
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(".config")));
    Document doc;
    doc.title = QStringLiteral("Табель по времени — Февраль 2026 г.");
    QCOMPARE(reportengine::suggestedPdfPath(doc),
             home.filePath(QStringLiteral("Табель по времени — Февраль 2026 г.pdf")));
    QVERIFY(!QFileInfo::exists(home.filePath(QStringLiteral("Documents"))));
    QVERIFY(QDir(home.path()).mkdir(QStringLiteral("Documents")));
    QCOMPARE(reportengine::suggestedPdfPath(doc),
             home.filePath(QStringLiteral("Documents/Табель по времени — Февраль 2026 г.pdf")));
}

QTEST_MAIN(TestReportEngine)
#include "tst_reportengine.moc"
