#include "catalogs/operation_prices_list.h"

#include "ui/window_registry.h"

TForm4::TForm4(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
