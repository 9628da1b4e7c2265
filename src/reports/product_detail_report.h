// The print layout of the detailed report by product.
#pragma once

#include "ui_product_detail_report.h"

#include <QDialog>

struct Windows;

class TForm21 : public QDialog, public Ui::TForm21 {
    Q_OBJECT
public:
    explicit TForm21(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
