#include "ui/window_registry.h"

#include <QCoreApplication>

#include <algorithm>

void Windows::requestTermination(int code)
{
    terminateRequested = true;
    exitCode = std::max(exitCode, code);
    if (endMessageLoop)
        endMessageLoop();
    else
        QCoreApplication::exit(exitCode);
}
