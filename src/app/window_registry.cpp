#include "app/window_registry.h"

#include "app/authorization_window.h"
#include "catalogs/operation_kinds_list.h"
#include "catalogs/operation_prices_list.h"
#include "catalogs/products_list.h"
#include "catalogs/workers_list.h"
#include "reports/reports_window.h"
#include "summary/summary_window.h"
#include "timesheet/timesheet_window.h"

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

ui::CatalogueWindow* Windows::catalogue(journal::Catalogue which)
{
    switch (which) {
    case journal::Catalogue::Workers:
        return workersList;
    case journal::Catalogue::Products:
        return productsList;
    case journal::Catalogue::OperationPrices:
        return operationPricesList;
    case journal::Catalogue::OperationKinds:
        return operationKindsList;
    }
    return nullptr;
}

void Windows::openTimesheet(const QDate& day, ui::Activatable* returnTo)
{
    timesheet->showMonthOf(day, returnTo);
}

void Windows::openReports(const QDate& from, const QDate& to, ui::Activatable* returnTo)
{
    reports->showPeriod(from, to, returnTo);
}

void Windows::openSummary(const QDate& day, ui::Activatable* returnTo)
{
    summary->showMonth(day, returnTo);
}

void Windows::showAuthorization()
{
    if (!terminateRequested && authorization)
        authorization->show();
}

void Windows::withdrawAuthorization()
{
    if (authorization)
        authorization->hide();
}

void Windows::buildRefused()
{
    if (authorization)
        authorization->endSoon();
}
