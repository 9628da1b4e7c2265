#include "timesheet/timesheet_report.h"

#include "ui/window_registry.h"

TForm15::TForm15(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
