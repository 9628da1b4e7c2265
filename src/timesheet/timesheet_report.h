// The printed monthly timesheet: one line per worker with the hours of all shifts added, on A4 landscape.
#pragma once

#include "reportengine/layout.h"
#include "reportengine/report.h"

#include <QDialog>

#include <memory>

namespace Ui {
class TimesheetReport;
}

class Database;
namespace db {
class Dataset;
}

class TimesheetReport : public QDialog {
    Q_OBJECT
public:
    explicit TimesheetReport(Database* database, QWidget* parent = nullptr);
    ~TimesheetReport() override;

    // The month's hours per worker name, all shifts added (openMonth), and the layout over them.
    db::Dataset* monthQuery() const { return H_Tabel; }
    const reportengine::Report& reportLayout() const { return QuickRep1; }

    // Lays the report out over the open H_Tabel.
    reportengine::Document Prepare() const;

    // The month's hours read anew into H_Tabel, which the caller closes when it is done with them.
    db::Dataset& openMonth(int month, int year);
    // The open month laid out under its caption ("Март 2026 г.").
    reportengine::Document prepareMonth(const QString& caption);

private:
    std::unique_ptr<Ui::TimesheetReport> ui_;
    void buildLayout();

    // The month's hours per worker name, all shifts added; parameters mnth and yea.
    db::Dataset* H_Tabel = nullptr;
    // The layout; QRLabel33 takes the month's caption before printing.
    reportengine::Report QuickRep1;

    Database* database_;
};
