#include "app/startup.h"

#include "app/authorization_window.h"
#include "catalogs/norms_editor.h"
#include "catalogs/operation_kind_editor.h"
#include "catalogs/operation_kinds_list.h"
#include "catalogs/operation_price_editor.h"
#include "catalogs/operation_prices_list.h"
#include "catalogs/product_editor.h"
#include "catalogs/products_list.h"
#include "catalogs/worker_editor.h"
#include "catalogs/workers_list.h"
#include "db/data_module.h"
#include "journal/entry_editor.h"
#include "journal/journal_window.h"
#include "reports/reports_window.h"
#include "timesheet/timesheet_window.h"
#include "ui/window_place.h"
#include "ui/window_registry.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

void createWindows(Windows& w, bool paintFirstAtOnce)
{
    // What the user waits for is the authorization window: it is made and shown first, and only then is the
    // connection made, on a thread (the journal window, below, waits for it and takes it over). The window takes no
    // input until then: only painting and what Qt has queued run. When the connection fails, the window is hidden
    // again before the failure is said. The windows' own steps (the activation) wait until all are built.
    ui::installWindowRules();
    new AuthorizationWindow(w);
    if (paintFirstAtOnce) {
        w.authorization->holdActivation();
        w.authorization->show();
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }
    if (w.startConnection) {
        w.startConnection();
        QEventLoop waiting;
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &waiting, [&waiting] {
            if (!db::Connection::connectingEarly())
                waiting.quit();
        });
        poll.start(1);
        if (db::Connection::connectingEarly())
            waiting.exec(QEventLoop::ExcludeUserInputEvents);
    }
    // Shown by the journal window once connected (already on the screen at start, unless closed meanwhile).
    w.showAuthorization = [&w] {
        if (!w.terminateRequested)
            w.authorization->show();
    };
    w.withdrawAuthorization = [&w] { w.authorization->hide(); };
    w.journal = new JournalWindow(w);
    w.workerEditor = new WorkerEditor(w);
    w.productsList = new ProductsList(w);
    w.operationPricesList = new OperationPricesList(w);
    w.workersList = new WorkersList(w);
    w.productEditor = new ProductEditor(w);
    w.operationKindsList = new OperationKindsList(w);
    w.operationKindEditor = new OperationKindEditor(w);
    w.operationPriceEditor = new OperationPriceEditor(w);
    w.entryEditor = new EntryEditor(w);
    w.reports = new ReportsWindow(w);
    w.timesheet = new TimesheetWindow(w);
    w.normsEditor = new NormsEditor(w);
    if (w.authorization)
        w.authorization->releaseActivation();
}

void destroyWindows(Windows& w)
{
    QWidget* forms[] = {w.authorization, w.normsEditor, w.timesheet, w.reports, w.entryEditor, w.operationPriceEditor, w.operationKindEditor,  w.operationKindsList,  w.productEditor,
                        w.workersList,  w.operationPricesList,  w.productsList,  w.workerEditor,  w.journal};
    for (QWidget* f : forms)
        delete f;
    // the data module belongs to the journal window
    w = Windows{};
}
