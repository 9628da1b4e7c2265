// The print layout of the monthly timesheet.
#pragma once

#include "ui_timesheet_report.h"

#include <QDialog>

struct Windows;

class TForm15 : public QDialog, public Ui::TForm15 {
    Q_OBJECT
public:
    explicit TForm15(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
