// The product editor: grade, name, boxes and group of a product.
#pragma once

#include "ui_product_editor.h"

#include <QDialog>

struct Windows;

class TForm7 : public QDialog, public Ui::TForm7 {
    Q_OBJECT
public:
    explicit TForm7(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
