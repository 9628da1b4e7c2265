// The print layout of the detailed report by worker.
#pragma once

#include "ui_worker_detail_report.h"

#include <QDialog>

struct Windows;

class TForm20 : public QDialog, public Ui::TForm20 {
    Q_OBJECT
public:
    explicit TForm20(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
