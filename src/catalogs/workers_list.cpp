#include "catalogs/workers_list.h"

#include "ui/window_registry.h"

TForm5::TForm5(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
