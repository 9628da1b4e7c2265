// The print layout of the report by product.
#pragma once

#include "ui_product_report.h"

#include <QDialog>

struct Windows;

class TForm17 : public QDialog, public Ui::TForm17 {
    Q_OBJECT
public:
    explicit TForm17(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
