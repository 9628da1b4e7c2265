// The journal entry editor: one row of the shift journal.
#pragma once

#include "ui_entry_editor.h"

#include <QDialog>

struct Windows;

class TForm11 : public QDialog, public Ui::TForm11 {
    Q_OBJECT
public:
    explicit TForm11(Windows& windows, QWidget* parent = nullptr);

private:
    Windows& w_;
};
