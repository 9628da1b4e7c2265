#include "catalogs/norms_editor.h"

#include "ui/window_registry.h"

TForm22::TForm22(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
