#include "timesheet/timesheet_window.h"

#include "ui/window_registry.h"

TForm19::TForm19(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
