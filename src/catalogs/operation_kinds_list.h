// The operation kinds list, in catalogue or choice mode.
#pragma once

#include "ui_operation_kinds_list.h"

#include <QDialog>

struct Windows;

class TForm8 : public QDialog, public Ui::TForm8 {
    Q_OBJECT
public:
    explicit TForm8(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
