// The print layout of the report by worker.
#pragma once

#include "ui_worker_report.h"

#include <QDialog>

struct Windows;

class TForm16 : public QDialog, public Ui::TForm16 {
    Q_OBJECT
public:
    explicit TForm16(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
