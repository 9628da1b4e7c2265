// The operation kind editor.
#pragma once

#include "ui_operation_kind_editor.h"

#include <QDialog>

struct Windows;

class TForm9 : public QDialog, public Ui::TForm9 {
    Q_OBJECT
public:
    explicit TForm9(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
