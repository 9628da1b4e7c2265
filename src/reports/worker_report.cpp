#include "reports/worker_report.h"

#include "db/data_module.h"
#include "reports/report_layouts.h"
#include "reports/reports_sql.h"

WorkerReport::WorkerReport(Database* database, QWidget* parent)
    : PeriodReportForm(parent)
    , QuickRep1(reports::byWorkerLayout())
    , database_(database)
{
    setupUi(this);
    if (Database* dm = database_) {
        using db::FieldType;
        t_Report = new db::Dataset(dm->reportConnectionName(), QStringLiteral("t_Report"), this);
        t_Report->setSqlLines(reports_sql::kByWorker);
        t_Report->setFieldDefs({{"fio", FieldType::Text, 50}, {"kolvo", FieldType::Numeric}, {"summa", FieldType::Double}, {"vid", FieldType::Text, 50}, {"nom", FieldType::Text, 100}, {"naimen", FieldType::SmallInt}, {"color", FieldType::Integer}});
    }
}

void WorkerReport::setTitle(const QString& title)
{
    QuickRep1.setText(QStringLiteral("QRLabel1"), title);
}

void WorkerReport::prepareAndPreview()
{
    reports::previewReport(QuickRep1, *t_Report);
}
