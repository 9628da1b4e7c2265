#include "catalogs/operation_kind_editor.h"

#include "ui/window_registry.h"

TForm9::TForm9(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
