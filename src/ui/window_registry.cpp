#include "ui/window_registry.h"

#include <QCoreApplication>

void Windows::requestTermination()
{
    terminateRequested = true;
    if (endMessageLoop)
        endMessageLoop();
    else
        QCoreApplication::exit(0);
}
