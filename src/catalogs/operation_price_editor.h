// The operation editor: product, kind and finished/blank flag.
#pragma once

#include "ui_operation_price_editor.h"

#include <QDialog>

struct Windows;

class TForm10 : public QDialog, public Ui::TForm10 {
    Q_OBJECT
public:
    explicit TForm10(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
