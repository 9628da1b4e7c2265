// The norms editor: norms and piece prices of one operation.
#pragma once

#include "ui_norms_editor.h"

#include <QDialog>

struct Windows;

class TForm22 : public QDialog, public Ui::TForm22 {
    Q_OBJECT
public:
    explicit TForm22(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
