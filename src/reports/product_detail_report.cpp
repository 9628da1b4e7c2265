#include "reports/product_detail_report.h"

#include "db/data_module.h"
#include "reports/report_layouts.h"
#include "reports/reports_sql.h"

ProductDetailReport::ProductDetailReport(Database* database, QWidget* parent)
    : PeriodReportForm(parent)
    , QuickRep1(reports::detailByProductLayout())
    , database_(database)
{
    setupUi(this);
    if (Database* dm = database_) {
        using db::FieldType;
        i_Report = new db::Dataset(dm->reportConnectionName(), QStringLiteral("i_Report"), this);
        i_Report->setSqlLines(reports_sql::kDetailByProduct);
        i_Report->setFieldDefs({{"marka", FieldType::Text, 512}, {"vid", FieldType::Text, 128}, {"naimen", FieldType::Integer}, {"nom", FieldType::Text, 512}, {"kolvo", FieldType::Numeric}, {"brk", FieldType::BigInt}, {"summa", FieldType::Double}, {"color", FieldType::Integer}, {"mass", FieldType::Double}});
    }
}

void ProductDetailReport::setTitle(const QString& title)
{
    QuickRep1.setText(QStringLiteral("QRLabel1"), title);
}

void ProductDetailReport::prepareAndPreview()
{
    reports::previewReport(QuickRep1, *i_Report);
}
