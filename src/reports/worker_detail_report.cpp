#include "reports/worker_detail_report.h"

#include "ui/window_registry.h"

TForm20::TForm20(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
}
