#include "reports/report_layouts.h"

#include "reports/reports_sql.h"

#include <QColor>

using namespace reportengine;

namespace reports {

namespace {

const QColor kTitleBackground(244, 244, 244);
const QColor kGroupBackground(224, 224, 224);
const QColor kSumBackground(239, 239, 239);
const QColor kTotalBackground(220, 220, 220);

// A column of the detail band; its subtotals and totals stand under it.
struct Column {
    double x;
    double width;
};

// A4 portrait, 10 mm margins, Arial 10 pt; QRGroup1 printed once with the title (and, right of titleWidth, the
// headings the caller adds), followed by a narrow spacer.
Group& titleGroup(Report& r, double titleWidth)
{
    r.paper(QPageSize::A4, QPageLayout::Portrait).margins(10).font(QStringLiteral("Arial"), 10);
    Group& g = r.group(QStringLiteral("QRGroup1"));
    Band& head = g.header(7).background(kTitleBackground).bold();
    head.label(QStringLiteral("QRLabel1"), QStringLiteral("QRLabel1")).at(0, titleWidth);
    head.child(QStringLiteral("ChildBand1"), 2);
    return g;
}

Item& heading(Band& head, const QString& name, const QString& caption, Column c)
{
    return head.label(name, caption).at(c.x, c.width).center();
}

// A group with an expression, its header showing the field in bold, repeated at the top of a continuation page.
Group& fieldGroup(Report& r, const QString& name, const QString& expression, const QString& field, double x,
                  bool shaded)
{
    // A page that continues a group starts with its header line again, so the reader need not page back.
    Group& g = r.group(name, expression).repeatOnNewPage();
    Band& head = g.header(6).bold();
    if (shaded)
        head.background(kGroupBackground);
    head.field(name + QStringLiteral("Text"), field).at(x, r.usableWidth() - x);
    return g;
}

// A subtotal (in a group's footer) or a grand total (in the report's) under a detail column.
Item& sum(Band& band, const QString& name, const QString& field, Column c)
{
    return band.total(name, field).at(c.x, c.width).center().background(kSumBackground);
}

Band& totalBand(Group& g)
{
    Band& total = g.footer(QStringLiteral("QRBand2"), 7).bold().background(kTotalBackground);
    total.frame(Frame::all(Line::solid()));
    total.label(QStringLiteral("QRLabelTotal"), QStringLiteral("Итого:")).at(0, 30);
    return total;
}

void pageFooter(Report& r)
{
    r.pageFooter(QStringLiteral("QRBand3"), 6)
        .expr(QStringLiteral("QRSysData1"), QStringLiteral("PAGENUMBER"))
        .at(0, r.usableWidth())
        .right();
}

} // namespace

Report byWorkerLayout()
{
    Report r;
    Group& g1 = titleGroup(r, r.usableWidth());
    Group& byFio = fieldGroup(r, QStringLiteral("QRGroup2"), QStringLiteral("t_Report.fio"), QStringLiteral("fio"), 0,
                              true);
    Group& byNom = fieldGroup(r, QStringLiteral("QRGroup3"), QStringLiteral("t_Report.nom"), QStringLiteral("nom"), 5,
                              false);
    const Column flag{10, 40}, vid{50, 45}, colour{95, 30}, kolvo{125, 30}, summa{155, 35};

    Band& d = r.detail(QStringLiteral("QRBand1"), 5).size(9);
    d.expr(QStringLiteral("QRExpr1"), QString::fromUtf8(kFlagText)).at(flag.x, flag.width);
    d.field(QStringLiteral("QRDBText3"), QStringLiteral("vid")).at(vid.x, vid.width).center();
    d.expr(QStringLiteral("QRExpr2"), QString::fromUtf8(kColourText)).at(colour.x, colour.width);
    d.field(QStringLiteral("QRDBText4"), QStringLiteral("kolvo")).at(kolvo.x, kolvo.width).center();
    d.field(QStringLiteral("QRDBText5"), QStringLiteral("summa")).at(summa.x, summa.width).center().mask(QStringLiteral("#0.000"));

    Band& perNom = byNom.footer(QStringLiteral("QRBand4"), 6).bold();
    sum(perNom, QStringLiteral("QRExpr3"), QStringLiteral("kolvo"), kolvo);
    sum(perNom, QStringLiteral("QRExpr4"), QStringLiteral("summa"), summa).mask(QStringLiteral("#0.000"));

    Band& perFio = byFio.footer(QStringLiteral("QRBand5"), 6).bold();
    perFio.frame({Line::none(), Line::none(), Line::none(), Line::solid()});
    sum(perFio, QStringLiteral("QRExpr5"), QStringLiteral("summa"), summa).mask(QStringLiteral("#0.00"));

    Band& total = totalBand(g1);
    sum(total, QStringLiteral("QRExpr6"), QStringLiteral("summa"), summa).mask(QStringLiteral("#0.00")).size(11);

    pageFooter(r);
    return r;
}

Report byProductLayout()
{
    Report r;
    Group& g1 = titleGroup(r, 125);
    const Column flag{5, 40}, vid{45, 50}, colour{95, 30}, mass{125, 30}, kolvo{155, 35};
    Band& head = *g1.headerBand();
    heading(head, QStringLiteral("QRLabel2"), QStringLiteral("Коробки"), mass);
    heading(head, QStringLiteral("QRLabel3"), QStringLiteral("Количество"), kolvo);
    Group& byNom = fieldGroup(r, QStringLiteral("QRGroup2"), QStringLiteral("nom"), QStringLiteral("nom"), 0, true);

    Band& d = r.detail(QStringLiteral("QRBand1"), 5).size(9);
    d.expr(QStringLiteral("QRExpr1"), QString::fromUtf8(kFlagText)).at(flag.x, flag.width);
    d.field(QStringLiteral("QRDBText2"), QStringLiteral("vid")).at(vid.x, vid.width).center();
    d.expr(QStringLiteral("QRExpr2"), QString::fromUtf8(kColourText)).at(colour.x, colour.width);
    d.field(QStringLiteral("QRDBText3"), QStringLiteral("mass")).at(mass.x, mass.width).center();
    d.field(QStringLiteral("QRDBText4"), QStringLiteral("kolvo")).at(kolvo.x, kolvo.width).center();

    Band& perNom = byNom.footer(QStringLiteral("QRBand4"), 6).bold();
    sum(perNom, QStringLiteral("QRExpr3"), QStringLiteral("mass"), mass);
    sum(perNom, QStringLiteral("QRExpr4"), QStringLiteral("kolvo"), kolvo);

    Band& total = totalBand(g1);
    sum(total, QStringLiteral("QRExpr5"), QStringLiteral("mass"), mass).mask(QStringLiteral("#0")).size(11);
    sum(total, QStringLiteral("QRExpr6"), QStringLiteral("kolvo"), kolvo).size(11);

    pageFooter(r);
    return r;
}

Report detailByWorkerLayout()
{
    Report r;
    Group& g1 = titleGroup(r, 130);
    const Column marka{0, 45}, vid{45, 35}, colour{80, 12}, flag{92, 38}, brk{130, 15}, kolvo{145, 20},
        summa{165, 25};
    Band& head = *g1.headerBand();
    heading(head, QStringLiteral("QRLabel2"), QStringLiteral("Брак"), brk).size(9);
    heading(head, QStringLiteral("QRLabel3"), QStringLiteral("Количество"), kolvo).size(9);
    heading(head, QStringLiteral("QRLabel4"), QStringLiteral("Сумма"), summa).size(9);
    Group& byFio = fieldGroup(r, QStringLiteral("QRGroup2"), QStringLiteral("fio"), QStringLiteral("fio"), 0, true);

    Band& d = r.detail(QStringLiteral("QRBand1"), 5).size(8);
    d.field(QStringLiteral("QRDBText2"), QStringLiteral("marka")).at(marka.x, marka.width);
    d.field(QStringLiteral("QRDBText3"), QStringLiteral("vid")).at(vid.x, vid.width).center();
    d.field(QStringLiteral("QRDBText4"), QStringLiteral("color")).at(colour.x, colour.width).center();
    d.expr(QStringLiteral("QRExpr1"), QString::fromUtf8(kFlagText)).at(flag.x, flag.width);
    d.field(QStringLiteral("QRDBText5"), QStringLiteral("brk")).at(brk.x, brk.width).center();
    d.field(QStringLiteral("QRDBText6"), QStringLiteral("kolvo")).at(kolvo.x, kolvo.width).center();
    d.field(QStringLiteral("QRDBText7"), QStringLiteral("summa")).at(summa.x, summa.width).center().mask(QStringLiteral("#0.00"));

    Band& perFio = byFio.footer(QStringLiteral("QRBand4"), 6).bold();
    sum(perFio, QStringLiteral("QRExpr2"), QStringLiteral("brk"), brk);
    sum(perFio, QStringLiteral("QRExpr3"), QStringLiteral("kolvo"), kolvo);
    sum(perFio, QStringLiteral("QRExpr4"), QStringLiteral("summa"), summa).mask(QStringLiteral("#0.00"));

    Band& total = totalBand(g1);
    sum(total, QStringLiteral("QRExpr5"), QStringLiteral("brk"), brk).size(11);
    sum(total, QStringLiteral("QRExpr6"), QStringLiteral("kolvo"), kolvo).size(11);
    sum(total, QStringLiteral("QRExpr7"), QStringLiteral("summa"), summa).mask(QStringLiteral("#0.00")).size(11);

    pageFooter(r);
    return r;
}

Report detailByProductLayout()
{
    Report r;
    // the title takes about 123 mm of the line: the headings start after it
    Group& g1 = titleGroup(r, 124);
    const Column marka{0, 38}, vid{38, 32}, colour{70, 10}, flag{80, 36}, brk{124, 13}, mass{137, 18},
        kolvo{155, 15}, summa{170, 20};
    Band& head = *g1.headerBand();
    heading(head, QStringLiteral("QRLabel2"), QStringLiteral("Брак"), brk);
    heading(head, QStringLiteral("QRLabel3"), QStringLiteral("Коробки"), mass);
    heading(head, QStringLiteral("QRLabel4"), QStringLiteral("Кол-во"), kolvo);
    heading(head, QStringLiteral("QRLabel5"), QStringLiteral("Сумма"), summa);
    Group& byNom = fieldGroup(r, QStringLiteral("QRGroup2"), QStringLiteral("nom"), QStringLiteral("nom"), 0, true);

    Band& d = r.detail(QStringLiteral("QRBand1"), 5).size(9);
    d.field(QStringLiteral("QRDBText2"), QStringLiteral("marka")).at(marka.x, marka.width);
    d.field(QStringLiteral("QRDBText3"), QStringLiteral("vid")).at(vid.x, vid.width);
    d.field(QStringLiteral("QRDBText4"), QStringLiteral("color")).at(colour.x, colour.width).center();
    d.expr(QStringLiteral("QRExpr1"), QString::fromUtf8(kFlagText)).at(flag.x, flag.width);
    d.field(QStringLiteral("QRDBText5"), QStringLiteral("brk")).at(brk.x, brk.width).center();
    d.field(QStringLiteral("QRDBText6"), QStringLiteral("mass")).at(mass.x, mass.width).center();
    d.field(QStringLiteral("QRDBText7"), QStringLiteral("kolvo")).at(kolvo.x, kolvo.width).center();
    d.field(QStringLiteral("QRDBText8"), QStringLiteral("summa")).at(summa.x, summa.width).center().mask(QStringLiteral("#0.000"));

    Band& perNom = byNom.footer(QStringLiteral("QRBand4"), 6).bold();
    sum(perNom, QStringLiteral("QRExpr2"), QStringLiteral("brk"), brk);
    sum(perNom, QStringLiteral("QRExpr3"), QStringLiteral("mass"), mass).mask(QStringLiteral("#0.00"));
    sum(perNom, QStringLiteral("QRExpr4"), QStringLiteral("kolvo"), kolvo);
    sum(perNom, QStringLiteral("QRExpr5"), QStringLiteral("summa"), summa).mask(QStringLiteral("#0.00"));

    Band& total = totalBand(g1);
    sum(total, QStringLiteral("QRExpr6"), QStringLiteral("brk"), brk);
    sum(total, QStringLiteral("QRExpr7"), QStringLiteral("mass"), mass);
    sum(total, QStringLiteral("QRExpr8"), QStringLiteral("kolvo"), kolvo);
    sum(total, QStringLiteral("QRExpr9"), QStringLiteral("summa"), summa).mask(QStringLiteral("#0.00"));

    pageFooter(r);
    return r;
}

namespace {

reportengine::PrintedReport periodReport(const QString& queryName, const QStringList& statement,
                                         const QList<db::FieldDef>& fields, Report (*layout)(), const QString& title)
{
    return {queryName, statement, fields, layout, QStringLiteral("QRLabel1"), title, {}, Zoom::PageWidth};
}

} // namespace

reportengine::PrintedReport byWorker()
{
    using db::FieldType;
    return periodReport(QStringLiteral("t_Report"), reports_sql::kByWorker,
                        {{"fio", FieldType::Text, 50}, {"kolvo", FieldType::Numeric}, {"summa", FieldType::Double},
                         {"vid", FieldType::Text, 50}, {"nom", FieldType::Text, 100}, {"naimen", FieldType::SmallInt},
                         {"color", FieldType::Integer}},
                        byWorkerLayout, QStringLiteral("   Отчет по рабочим за период с "));
}

reportengine::PrintedReport byProduct()
{
    using db::FieldType;
    return periodReport(QStringLiteral("t_Report"), reports_sql::kByProduct,
                        {{"kolvo", FieldType::Numeric}, {"vid", FieldType::Text, 50}, {"nom", FieldType::Text, 100},
                         {"naimen", FieldType::SmallInt}, {"color", FieldType::Integer}, {"mass", FieldType::Double}},
                        byProductLayout, QStringLiteral("   Отчет по продукции за период с "));
}

reportengine::PrintedReport detailByWorker()
{
    using db::FieldType;
    return periodReport(QStringLiteral("w_Report"), reports_sql::kDetailByWorker,
                        {{"fio", FieldType::Text, 50}, {"marka", FieldType::Text, 50}, {"vid", FieldType::Text, 50},
                         {"naimen", FieldType::SmallInt}, {"kolvo", FieldType::Numeric}, {"brk", FieldType::BigInt},
                         {"summa", FieldType::Double}, {"color", FieldType::Integer}, {"s_prize", FieldType::Double}},
                        detailByWorkerLayout, QStringLiteral("   Детальный отчет по рабочим за период с "));
}

reportengine::PrintedReport detailByProduct()
{
    using db::FieldType;
    return periodReport(QStringLiteral("i_Report"), reports_sql::kDetailByProduct,
                        {{"marka", FieldType::Text, 512}, {"vid", FieldType::Text, 128}, {"naimen", FieldType::Integer},
                         {"nom", FieldType::Text, 512}, {"kolvo", FieldType::Numeric}, {"brk", FieldType::BigInt},
                         {"summa", FieldType::Double}, {"color", FieldType::Integer}, {"mass", FieldType::Double}},
                        detailByProductLayout, QStringLiteral("   Детальный отчет по продукции за период с "));
}

QList<ReportButton> reportButtons()
{
    return {
        {QStringLiteral("Button4"), QStringLiteral("Отчет по рабочим"), false, byWorker()},
        {QStringLiteral("Button2"), QStringLiteral("Отчет по продукции"), false, byProduct()},
        {QStringLiteral("Button1"), QStringLiteral("Детальный отчет по рабочим"), false, detailByWorker()},
        // the one report the reporting role may print, perhaps for finished goods only
        {QStringLiteral("Button3"), QStringLiteral("Детальный отчет по продукции"), true, detailByProduct()},
    };
}

} // namespace reports
