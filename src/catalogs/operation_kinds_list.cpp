#include "catalogs/operation_kinds_list.h"

#include "ui/window_registry.h"

TForm8::TForm8(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
