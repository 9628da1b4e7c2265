// The print layout of the report by product.
#pragma once

#include "reportengine/report.h"
#include "reports/period_report_form.h"
#include "ui_product_report.h"

class Database;

class ProductReport : public PeriodReportForm, private Ui::ProductReport {
    Q_OBJECT
public:
    explicit ProductReport(Database* database, QWidget* parent = nullptr);

    db::Dataset* t_Report = nullptr;
    reportengine::Report QuickRep1;

    db::Dataset* reportQuery() const override { return t_Report; }
    void setTitle(const QString& title) override;
    void prepareAndPreview() override;

private:
    Database* database_;
};
