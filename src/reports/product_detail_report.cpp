#include "reports/product_detail_report.h"

#include "ui/window_registry.h"

TForm21::TForm21(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
