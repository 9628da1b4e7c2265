// The operation prices list, in catalogue or choice mode.
#pragma once

#include "ui_operation_prices_list.h"

#include <QDialog>

struct Windows;

class TForm4 : public QDialog, public Ui::TForm4 {
    Q_OBJECT
public:
    explicit TForm4(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
