// The workers list, in catalogue or choice mode.
#pragma once

#include "ui_workers_list.h"

#include <QDialog>

struct Windows;

class TForm5 : public QDialog, public Ui::TForm5 {
    Q_OBJECT
public:
    explicit TForm5(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
