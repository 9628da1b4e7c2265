#include "reports/reports_window.h"

#include "ui/window_registry.h"

TForm18::TForm18(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
}

int TForm18::radioGroup1ItemIndex() const
{
    if (RadioGroup1Item1->isChecked())
        return 1;
    if (RadioGroup1Item2->isChecked())
        return 2;
    return 0;
}

void TForm18::setRadioGroup1ItemIndex(int index)
{
    (index == 1 ? RadioGroup1Item1 : index == 2 ? RadioGroup1Item2 : RadioGroup1Item0)->setChecked(true);
}

void TForm18::Button5Click()
{
    reject();
}
