#include "reports/product_report.h"

#include "ui/window_registry.h"

TForm17::TForm17(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
