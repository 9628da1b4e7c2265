// The worker editor: one worker's name and position.
#pragma once

#include "ui_worker_editor.h"

#include <QDialog>

struct Windows;

class TForm2 : public QDialog, public Ui::TForm2 {
    Q_OBJECT
public:
    explicit TForm2(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
