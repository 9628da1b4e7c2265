#include "journal/entry_editor.h"

#include "ui/window_registry.h"

TForm11::TForm11(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
