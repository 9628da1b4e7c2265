#include "catalogs/operation_price_editor.h"

#include "ui/window_registry.h"

TForm10::TForm10(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
