#include "reports/worker_report.h"

#include "ui/window_registry.h"

TForm16::TForm16(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
