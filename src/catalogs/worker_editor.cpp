#include "catalogs/worker_editor.h"

#include "ui/window_registry.h"

TForm2::TForm2(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
