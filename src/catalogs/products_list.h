// The products list, in catalogue or choice mode.
#pragma once

#include "ui_products_list.h"

#include <QDialog>

struct Windows;

class TForm3 : public QDialog, public Ui::TForm3 {
    Q_OBJECT
public:
    explicit TForm3(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
