// The reports window: period, product class and the buttons of the period reports and the production export.
#pragma once

#include "ui_reports_window.h"

#include <QDialog>

struct Windows;

class TForm18 : public QDialog, public Ui::TForm18 {
    Q_OBJECT
public:
    explicit TForm18(Windows& windows, QWidget* parent = nullptr);

    // The product class chosen in "Вид продукции": 0 "Все", 1 "Готовая продукция", 2 "Заготовки".
    int radioGroup1ItemIndex() const;
    void setRadioGroup1ItemIndex(int index);

    void Button5Click();

private:
    Windows& w_;
};
