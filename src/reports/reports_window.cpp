#include "reports/reports_window.h"

#include "db/data_module.h"
#include "db/dataset.h"
#include "format/values.h"
#include "reportengine/report_runner.h"
#include "reports/production_export.h"
#include "reports/report_export.h"
#include "reports/report_layouts.h"
#include "reports/reports_sql.h"
#include "ui/messages.h"
#include "ui/window_registry.h"
#include "ui_reports_window.h"

#include <QDateTime>
#include <QScopeGuard>

#include <algorithm>

namespace {

QString shortDate(const QDate& d)
{
    return d.toString(format::kDateFormat);
}

} // namespace

ReportsWindow::ReportsWindow(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , ui_(std::make_unique<Ui::ReportsWindow>())
    , w_(windows)
{
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    if (Database* dm = w_.database) {
        production_ = new db::Dataset(dm->reportConnectionName(), QStringLiteral("XLS_Rep"), this);
        production_->setSqlLines(reports_sql::kProduction);
        production_->setFieldDefs(reports::productionFields());
    }

    // The report buttons stand above the export, in the table's order.
    auto* column = static_cast<QBoxLayout*>(layout());
    int place = column->indexOf(ui_->Button6);
    for (reports::ReportButton& line : reports::reportButtons()) {
        auto* button = new QPushButton(line.caption, this);
        button->setObjectName(line.buttonName);
        column->insertWidget(place++, button);
        if (!line.everyRole)
            restricted_ << button;
        std::unique_ptr<reportengine::ReportRunner> runner;
        if (Database* dm = w_.database)
            runner = std::make_unique<reportengine::ReportRunner>(std::move(line.report), dm->reportConnectionName());
        reportengine::ReportRunner* r = runner.get();
        reports_.push_back({line.buttonName, std::move(runner)});
        connect(button, &QPushButton::clicked, this, [this, r] {
            if (r)
                ui::guarded([this, r] { printReport(*r); });
        });
        if (!line.exportButtonName.isEmpty()) {
            auto* exporting = new QPushButton(line.caption + QStringLiteral(" — Excel (0 из 0)"), this);
            exporting->setObjectName(line.exportButtonName);
            column->insertWidget(place++, exporting);
            if (!line.everyRole)
                restricted_ << exporting;
            connect(exporting, &QPushButton::clicked, this, [this, r, exporting, caption = line.caption] {
                if (r)
                    ui::guarded([&] { exportReport(*r, exporting, caption); });
            });
        }
    }
    restricted_ << ui_->Button6;
    // Tab follows the column from top to bottom, the new buttons in their places.
    QWidget* previous = ui_->DTPicker2;
    for (int i = column->indexOf(ui_->GroupBox1) + 1; i < column->count(); ++i)
        if (QWidget* next = column->itemAt(i)->widget()) {
            setTabOrder(previous, next);
            previous = next;
        }

    ui::connectGuarded(ui_->Button6, &QPushButton::clicked, this, &ReportsWindow::exportProduction);
    connect(ui_->Button5, &QPushButton::clicked, this, &QDialog::reject);
}

ReportsWindow::~ReportsWindow() = default;

void ReportsWindow::showPeriod(const QDate& from, const QDate& to, ui::Activatable* returnTo)
{
    ui_->DTPicker1->setDate(from);
    ui_->DTPicker2->setDate(to);
    ui::showModal(this, returnTo);
}

int ReportsWindow::radioGroup1ItemIndex() const
{
    if (ui_->RadioGroup1Item1->isChecked())
        return 1;
    if (ui_->RadioGroup1Item2->isChecked())
        return 2;
    return 0;
}

void ReportsWindow::applyRole(const ui::RoleRights& rights)
{
    for (QWidget* c : restricted_)
        c->setEnabled(rights.allReports);
    if (rights.finishedGoodsOnly)
        setRadioGroup1ItemIndex(1);
    ui_->RadioGroup1->setEnabled(!rights.finishedGoodsOnly);
}

void ReportsWindow::setRadioGroup1ItemIndex(int index)
{
    (index == 1 ? ui_->RadioGroup1Item1 : index == 2 ? ui_->RadioGroup1Item2 : ui_->RadioGroup1Item0)->setChecked(true);
}

reportengine::ReportRunner* ReportsWindow::report(const QString& buttonName) const
{
    for (const Line& line : reports_)
        if (line.buttonName == buttonName)
            return line.runner.get();
    return nullptr;
}

void ReportsWindow::applyProductClass(db::Dataset* query) const
{
    const auto& defs = query->fieldDefs();
    if (std::none_of(defs.cbegin(), defs.cend(), [](const db::FieldDef& d) { return d.name == "naimen"; }))
        return; // not a report of products
    switch (radioGroup1ItemIndex()) {
    case 1:
        query->setFilter(QStringLiteral("naimen=0"));
        query->setFiltered(true);
        break;
    case 2:
        query->setFilter(QStringLiteral("naimen=1"));
        query->setFiltered(true);
        break;
    default:
        query->setFiltered(false);
        break;
    }
}

void ReportsWindow::setPeriod(db::Dataset* query) const
{
    query->setParam(QStringLiteral("data1"), QDateTime(ui_->DTPicker1->date(), QTime(0, 0)));
    query->setParam(QStringLiteral("data2"), QDateTime(ui_->DTPicker2->date(), QTime(0, 0)));
}

bool ReportsWindow::periodAccepted() const
{
    if (ui_->DTPicker2->date() > ui_->DTPicker1->date())
        return true;
    ui::Messages::error(
        QStringLiteral("Неверный период: дата \"по\" должна быть позже даты \"с\" (день \"по\" в отчет не входит)."));
    return false;
}

void ReportsWindow::printReport(reportengine::ReportRunner& report)
{
    if (!periodAccepted())
        return;
    const auto closing = qScopeGuard([&report] { report.close(); }); // however the preview ends
    setPeriod(&report.query());
    applyProductClass(&report.query());
    report.open(); // the period's rows are read first, then laid out
    report.setTitle(shortDate(ui_->DTPicker1->date()) + QStringLiteral(" по ") + shortDate(ui_->DTPicker2->date()));
    report.preview();
}

void ReportsWindow::exportProduction()
{
    if (!periodAccepted())
        return;
    ui::WaitCursor wait;
    const auto closing = qScopeGuard([this] { production_->close(); });
    setPeriod(production_);
    applyProductClass(production_);
    production_->open();
    if (excel_.OpenWorkbook(QString()) == -1)
        return;
    // No events are processed while the rows are written: the caption shows its last value when the export ends.
    reports::writeProduction(*production_, excel_, [this](const QString& caption) { ui_->Button6->setText(caption); });
    excel_.SetAppVisible(true);
}

void ReportsWindow::exportReport(reportengine::ReportRunner& report, QPushButton* button, const QString& caption)
{
    if (!periodAccepted())
        return;
    ui::WaitCursor wait;
    const auto closing = qScopeGuard([&report] { report.close(); });
    setPeriod(&report.query());
    applyProductClass(&report.query());
    report.open();
    report.setTitle(shortDate(ui_->DTPicker1->date()) + QStringLiteral(" по ") + shortDate(ui_->DTPicker2->date()));
    if (excel_.OpenWorkbook(QString()) == -1)
        return;
    reports::writeReport(report, excel_,
                         [&](const QString& count) { button->setText(caption + QStringLiteral(" — ") + count); });
    excel_.SetAppVisible(true);
}
