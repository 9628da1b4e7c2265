#include "timesheet/timesheet_report.h"

#include "ui_timesheet_report.h"

#include "db/data_module.h"
#include "db/dataset.h"
#include "timesheet/timesheet_sql.h"

using namespace reportengine;

namespace {

// Column widths in millimetres across the 277 mm between the margins of A4 landscape.
constexpr double kNameWidth = 60;
constexpr double kDayWidth = 6.6;
constexpr double kDaysLeft = kNameWidth;
constexpr double kTotalLeft = kDaysLeft + 31 * kDayWidth;

const QColor kGrey(128, 128, 128);

} // namespace

TimesheetReport::TimesheetReport(Database* database, QWidget* parent)
    : QDialog(parent)
    , database_(database)
{
    ui_ = std::make_unique<Ui::TimesheetReport>();
    ui_->setupUi(this);
    H_Tabel = new db::Dataset(database_->reportConnectionName(), QStringLiteral("H_Tabel"), this);
    H_Tabel->setSqlLines(timesheet_sql::kHTabelLines);
    H_Tabel->setParam(QStringLiteral("mnth"), 0);
    H_Tabel->setParam(QStringLiteral("yea"), 0);
    buildLayout();
}

TimesheetReport::~TimesheetReport() = default;

db::Dataset& TimesheetReport::openMonth(int month, int year)
{
    H_Tabel->close();
    H_Tabel->setParam(QStringLiteral("mnth"), month);
    H_Tabel->setParam(QStringLiteral("yea"), year);
    H_Tabel->open();
    return *H_Tabel;
}

reportengine::Document TimesheetReport::prepareMonth(const QString& caption)
{
    QuickRep1.setText(QStringLiteral("QRLabel33"), caption);
    return Prepare();
}

void TimesheetReport::buildLayout()
{
    Report& r = QuickRep1;
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
}

Document TimesheetReport::Prepare() const
{
    return reportengine::layout(QuickRep1, DatasetSource(*H_Tabel));
}
