#include "timesheet/timesheet_report.h"

#include "timesheet/timesheet_sql.h"

using namespace reportengine;

namespace timesheet {

namespace {

// Column widths in millimetres across the 277 mm between the margins of A4 landscape.
constexpr double kNameWidth = 60;
constexpr double kDayWidth = 6.6;
constexpr double kDaysLeft = kNameWidth;
constexpr double kTotalLeft = kDaysLeft + 31 * kDayWidth;

const QColor kGrey(128, 128, 128);

} // namespace

Report monthLayout()
{
    Report r;
    r.paper(QPageSize::A4, QPageLayout::Landscape).margins(10).font(QStringLiteral("Arial"), 10);
    const double totalWidth = r.usableWidth() - kTotalLeft;

    Group& group = r.group(QStringLiteral("QRGroup1")).repeatOnNewPage();
    Band& head = group.header(7).frame(Frame::topBottom(Line::solid()));
    head.label(QStringLiteral("QRLabel33"), QStringLiteral("Данные за:")).at(0, kNameWidth).left().bold();
    for (int d = 1; d <= 31; ++d)
        head.label(QStringLiteral("QRLabel%1").arg(d), QString::number(d))
            .at(kDaysLeft + (d - 1) * kDayWidth, kDayWidth)
            .center()
            .bold()
            .frame(Frame::leftRight(Line::dot(kGrey)));
    head.label(QStringLiteral("QRLabel32"), QStringLiteral("Итого")).at(kTotalLeft, totalWidth).center().bold();

    Band& detail = r.detail(QStringLiteral("QRBand1"), 5.5).frame(Frame::topBottom(Line::dot(kGrey)));
    detail.field(QStringLiteral("QRDBText32"), QStringLiteral("fio")).at(0, kNameWidth).left();
    QStringList days;
    for (int d = 1; d <= 31; ++d) {
        Item& cell = detail.field(QStringLiteral("QRDBText%1").arg(d), QStringLiteral("sd%1").arg(d))
                         .at(kDaysLeft + (d - 1) * kDayWidth, kDayWidth)
                         .center()
                         .size(9);
        if (d % 2 == 1)
            cell.frame(Frame::leftRight(Line::dot(kGrey)));
        days.append(QStringLiteral("sd%1").arg(d));
    }
    detail.expr(QStringLiteral("QRExpr1"), days.join(u'+')).at(kTotalLeft, totalWidth).center().bold();

    r.pageFooter(QStringLiteral("QRBand2"), 6)
        .expr(QStringLiteral("QRExpr2"), QStringLiteral("PAGENUMBER"))
        .at(0, r.usableWidth())
        .right();
    return r;
}

PrintedReport monthReport()
{
    return {QStringLiteral("H_Tabel"), timesheet_sql::kHTabelLines, {}, monthLayout, QStringLiteral("QRLabel33"), {},
            QStringLiteral("Табель по времени — "), Zoom::WholePage};
}

} // namespace timesheet
