#include "reports/worker_detail_report.h"

#include "db/data_module.h"
#include "reports/report_layouts.h"
#include "reports/reports_sql.h"

WorkerDetailReport::WorkerDetailReport(Database* database, QWidget* parent)
    : PeriodReportForm(parent)
    , QuickRep1(reports::detailByWorkerLayout())
    , database_(database)
{
    setupUi(this);
    if (Database* dm = database_) {
        using db::FieldType;
        w_Report = new db::Dataset(dm->reportConnectionName(), QStringLiteral("w_Report"), this);
        w_Report->setSqlLines(reports_sql::kDetailByWorker);
        w_Report->setFieldDefs({{"fio", FieldType::Text, 50}, {"marka", FieldType::Text, 50}, {"vid", FieldType::Text, 50}, {"naimen", FieldType::SmallInt}, {"kolvo", FieldType::Numeric}, {"brk", FieldType::BigInt}, {"summa", FieldType::Double}, {"color", FieldType::Integer}, {"s_prize", FieldType::Double}});
    }
}

void WorkerDetailReport::setTitle(const QString& title)
{
    QuickRep1.setText(QStringLiteral("QRLabel1"), title);
}

void WorkerDetailReport::prepareAndPreview()
{
    reports::previewReport(QuickRep1, *w_Report);
}
