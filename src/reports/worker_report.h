// The print layout of the report by worker.
#pragma once

#include "reportengine/report.h"
#include "reports/period_report_form.h"
#include "ui_worker_report.h"

class Database;

class WorkerReport : public PeriodReportForm, private Ui::WorkerReport {
    Q_OBJECT
public:
    explicit WorkerReport(Database* database, QWidget* parent = nullptr);

    db::Dataset* t_Report = nullptr;
    reportengine::Report QuickRep1;

    db::Dataset* reportQuery() const override { return t_Report; }
    void setTitle(const QString& title) override;
    void prepareAndPreview() override;

private:
    Database* database_;
};
