// The monthly hours timesheet per shift.
#pragma once

#include "ui_timesheet_window.h"

#include <QDialog>

struct Windows;

class TForm19 : public QDialog, public Ui::TForm19 {
    Q_OBJECT
public:
    explicit TForm19(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
