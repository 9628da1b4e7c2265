#include "reports/product_report.h"

#include "db/data_module.h"
#include "reports/report_layouts.h"
#include "reports/reports_sql.h"

ProductReport::ProductReport(Database* database, QWidget* parent)
    : PeriodReportForm(parent)
    , QuickRep1(reports::byProductLayout())
    , database_(database)
{
    setupUi(this);
    if (Database* dm = database_) {
        using db::FieldType;
        t_Report = new db::Dataset(dm->reportConnectionName(), QStringLiteral("t_Report"), this);
        t_Report->setSqlLines(reports_sql::kByProduct);
        t_Report->setFieldDefs({{"kolvo", FieldType::Numeric}, {"vid", FieldType::Text, 50}, {"nom", FieldType::Text, 100}, {"naimen", FieldType::SmallInt}, {"color", FieldType::Integer}, {"mass", FieldType::Double}});
    }
}

void ProductReport::setTitle(const QString& title)
{
    QuickRep1.setText(QStringLiteral("QRLabel1"), title);
}

void ProductReport::prepareAndPreview()
{
    reports::previewReport(QuickRep1, *t_Report);
}
