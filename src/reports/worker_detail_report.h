// The print layout of the detailed report by worker.
#pragma once

#include "reportengine/report.h"
#include "reports/period_report_form.h"
#include "ui_worker_detail_report.h"

class Database;

class WorkerDetailReport : public PeriodReportForm, private Ui::WorkerDetailReport {
    Q_OBJECT
public:
    explicit WorkerDetailReport(Database* database, QWidget* parent = nullptr);

    db::Dataset* w_Report = nullptr;
    reportengine::Report QuickRep1;

    db::Dataset* reportQuery() const override { return w_Report; }
    void setTitle(const QString& title) override;
    void prepareAndPreview() override;

private:
    Database* database_;
};
