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
#include "reports/product_detail_report.h"
#include "reports/product_report.h"
#include "reports/reports_window.h"
#include "reports/worker_detail_report.h"
#include "reports/worker_report.h"
#include "timesheet/timesheet_report.h"
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
    new TForm23(w);
    if (paintFirstAtOnce) {
        w.Form23->holdActivation();
        w.Form23->show();
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
            w.Form23->show();
    };
    w.withdrawAuthorization = [&w] { w.Form23->hide(); };
    w.Form1 = new TForm1(w);
    w.Form2 = new TForm2(w);
    w.Form3 = new TForm3(w);
    w.Form4 = new TForm4(w);
    w.Form5 = new TForm5(w);
    w.Form7 = new TForm7(w);
    w.Form8 = new TForm8(w);
    w.Form9 = new TForm9(w);
    w.Form10 = new TForm10(w);
    w.Form11 = new TForm11(w);
    w.Form18 = new TForm18(w);
    w.Form19 = new TForm19(w);
    w.Form21 = new TForm21(w);
    w.Form15 = new TForm15(w);
    w.Form16 = new TForm16(w);
    w.Form17 = new TForm17(w);
    w.Form20 = new TForm20(w);
    w.Form22 = new TForm22(w);
    if (w.Form23)
        w.Form23->releaseActivation();
}

void destroyWindows(Windows& w)
{
    QWidget* forms[] = {w.Form23, w.Form22, w.Form20, w.Form17, w.Form16, w.Form15, w.Form21,
                        w.Form19, w.Form18, w.Form11, w.Form10, w.Form9,  w.Form8,  w.Form7,
                        w.Form5,  w.Form4,  w.Form3,  w.Form2,  w.Form1};
    for (QWidget* f : forms)
        delete f;
    // the data module belongs to the journal window
    w = Windows{};
}
