#include "catalogs/products_list.h"

#include "ui/window_registry.h"

TForm3::TForm3(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
