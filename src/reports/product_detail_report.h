// The print layout of the detailed report by product.
#pragma once

#include "reportengine/report.h"
#include "reports/period_report_form.h"
#include "ui_product_detail_report.h"

class Database;

class ProductDetailReport : public PeriodReportForm, private Ui::ProductDetailReport {
    Q_OBJECT
public:
    explicit ProductDetailReport(Database* database, QWidget* parent = nullptr);

    db::Dataset* i_Report = nullptr;
    reportengine::Report QuickRep1;

    db::Dataset* reportQuery() const override { return i_Report; }
    void setTitle(const QString& title) override;
    void prepareAndPreview() override;

private:
    Database* database_;
};
