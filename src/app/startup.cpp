#include "app/startup.h"

#include "app/authorization_window.h"
#include "app/window_registry.h"
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
#include "summary/summary_window.h"
#include "timesheet/timesheet_window.h"
#include "ui/window_place.h"

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
    // The journal makes the data module (and its own entry editor); the other windows are made on it, each after
    // the windows it opens.
    w.journal = new JournalWindow({w.arg1, w.arg2, w.service, w.buildDate, w.buildTime}, w);
    w.database = w.journal->database();
    w.entryEditor = w.journal->entryEditor();
    Database* dm = w.database;
    w.workerEditor = new WorkerEditor(dm);
    w.productEditor = new ProductEditor(dm);
    w.operationKindEditor = new OperationKindEditor(dm);
    w.normsEditor = new NormsEditor(dm);
    w.workersList = new WorkersList(dm, w.workerEditor);
    w.productsList = new ProductsList(dm, w.productEditor);
    w.operationKindsList = new OperationKindsList(dm, w.operationKindEditor);
    w.operationPriceEditor = new OperationPriceEditor(dm, w.productsList, w.operationKindsList);
    w.operationPricesList = new OperationPricesList(dm, w.operationPriceEditor, w.normsEditor);
    w.reports = new ReportsWindow(dm);
    w.summary = new SummaryWindow(*dm);
    w.timesheet = new TimesheetWindow(dm);
    if (w.authorization)
        w.authorization->releaseActivation();
}

void destroyWindows(Windows& w)
{
    // In the reverse order of their making; the data module and the entry editor belong to the journal window.
    QWidget* forms[] = {w.authorization,        w.timesheet,          w.summary,            w.reports,
                        w.operationPricesList,  w.operationPriceEditor, w.operationKindsList, w.productsList,
                        w.workersList,          w.normsEditor,        w.operationKindEditor, w.productEditor,
                        w.workerEditor,         w.journal};
    for (QWidget* f : forms)
        delete f;
    w = Windows{};
}
