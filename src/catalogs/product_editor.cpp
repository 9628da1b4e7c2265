#include "catalogs/product_editor.h"

#include "ui/window_registry.h"

TForm7::TForm7(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
