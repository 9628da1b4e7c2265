#include "reports/reports_window.h"

#include "db/data_module.h"
#include "db/dataset.h"
#include "format/values.h"
#include "reports/period_report_form.h"
#include "reports/product_detail_report.h"
#include "reports/product_report.h"
#include "reports/production_export.h"
#include "reports/reports_sql.h"
#include "reports/worker_detail_report.h"
#include "reports/worker_report.h"
#include "ui/messages.h"

#include <QDateTime>
#include <QScopeGuard>

namespace {

QString shortDate(const QDate& d)
{
    return d.toString(format::kDateFormat);
}

} // namespace

ReportsWindow::ReportsWindow(Database* database, const Forms& forms, QWidget* parent)
    : QDialog(parent)
    , database_(database)
    , forms_(forms)
{
    setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    if (Database* dm = database_) {
        XLS_Rep = new db::Dataset(dm->reportConnectionName(), QStringLiteral("XLS_Rep"), this);
        XLS_Rep->setSqlLines(reports_sql::kProduction);
        XLS_Rep->setFieldDefs(reports::productionFields());
    }

    const auto on = [this](QPushButton* b, void (ReportsWindow::*handler)()) {
        connect(b, &QPushButton::clicked, this,
                [this, handler] { ui::guarded([this, handler] { (this->*handler)(); }); });
    };
    on(Button4, &ReportsWindow::Button4Click);
    on(Button2, &ReportsWindow::Button2Click);
    on(Button1, &ReportsWindow::Button1Click);
    on(Button3, &ReportsWindow::Button3Click);
    on(Button6, &ReportsWindow::Button6Click);
    on(Button5, &ReportsWindow::Button5Click);
}

void ReportsWindow::showPeriod(const QDate& from, const QDate& to, ui::Activatable* returnTo)
{
    DTPicker1->setDate(from);
    DTPicker2->setDate(to);
    ui::showModal(this, returnTo);
}

int ReportsWindow::radioGroup1ItemIndex() const
{
    if (RadioGroup1Item1->isChecked())
        return 1;
    if (RadioGroup1Item2->isChecked())
        return 2;
    return 0;
}

void ReportsWindow::applyRole(const ui::RoleRights& rights)
{
    for (QWidget* c : std::initializer_list<QWidget*>{Button1, Button2, Button4, Button6})
        c->setEnabled(rights.allReports);
    if (rights.finishedGoodsOnly)
        setRadioGroup1ItemIndex(1);
    RadioGroup1->setEnabled(!rights.finishedGoodsOnly);
}

void ReportsWindow::setRadioGroup1ItemIndex(int index)
{
    (index == 1 ? RadioGroup1Item1 : index == 2 ? RadioGroup1Item2 : RadioGroup1Item0)->setChecked(true);
}

void ReportsWindow::applyProductClass(db::Dataset* query) const
{
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
    query->setParam(QStringLiteral("data1"), QDateTime(DTPicker1->date(), QTime(0, 0)));
    query->setParam(QStringLiteral("data2"), QDateTime(DTPicker2->date(), QTime(0, 0)));
}

bool ReportsWindow::periodAccepted() const
{
    if (DTPicker2->date() > DTPicker1->date())
        return true;
    ui::Messages::error(
        QStringLiteral("Неверный период: дата \"по\" должна быть позже даты \"с\" (день \"по\" в отчет не входит)."));
    return false;
}

void ReportsWindow::runReport(PeriodReportForm* form, const QString& titlePrefix)
{
    if (!periodAccepted())
        return;
    db::Dataset* query = form->reportQuery();
    const auto closing = qScopeGuard([query] { query->close(); }); // however the preview ends
    setPeriod(query);
    applyProductClass(query);
    {
        ui::WaitCursor wait; // the period's rows are read first, then laid out
        query->open();
    }
    form->setTitle(titlePrefix + shortDate(DTPicker1->date()) + QStringLiteral(" по ") + shortDate(DTPicker2->date()));
    form->prepareAndPreview();
}

void ReportsWindow::Button4Click()
{
    runReport(forms_.workers, QStringLiteral("   Отчет по рабочим за период с "));
}

void ReportsWindow::Button2Click()
{
    runReport(forms_.products, QStringLiteral("   Отчет по продукции за период с "));
}

void ReportsWindow::Button1Click()
{
    runReport(forms_.workerDetails, QStringLiteral("   Детальный отчет по рабочим за период с "));
}

void ReportsWindow::Button3Click()
{
    runReport(forms_.productDetails, QStringLiteral("   Детальный отчет по продукции за период с "));
}

void ReportsWindow::Button6Click()
{
    if (!periodAccepted())
        return;
    ui::WaitCursor wait;
    const auto closing = qScopeGuard([this] { XLS_Rep->close(); });
    setPeriod(XLS_Rep);
    applyProductClass(XLS_Rep);
    XLS_Rep->open();
    if (excel_.OpenWorkbook(QString()) == -1)
        return;
    // No events are processed while the rows are written: the caption shows its last value when the export ends.
    reports::writeProduction(*XLS_Rep, excel_, [this](const QString& caption) { Button6->setText(caption); });
    excel_.SetAppVisible(true);
}

void ReportsWindow::Button5Click()
{
    reject();
}
