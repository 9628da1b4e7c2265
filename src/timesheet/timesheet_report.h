// The printed monthly timesheet: one line per worker with the hours of all shifts added, on A4 landscape.
#pragma once

#include "reportengine/layout.h"
#include "reportengine/report.h"
#include "ui_timesheet_report.h"

#include <QDialog>

struct Windows;
namespace db {
class Dataset;
}

class TForm15 : public QDialog, public Ui::TForm15 {
    Q_OBJECT
public:
    explicit TForm15(Windows& windows, QWidget* parent = nullptr);

    // The month's hours per worker name, all shifts added; parameters mnth and yea.
    db::Dataset* H_Tabel = nullptr;
    // The layout; QRLabel33 takes the month's caption before printing.
    reportengine::Report QuickRep1;

    // Lays the report out over the open H_Tabel.
    reportengine::Document Prepare() const;

private:
    void buildLayout();

    Windows& w_;
};
