// The registry of the program's windows: each is created once at start, in a fixed order, and every window
// reaches the others through this one object.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QTimer;
class Database;
class JournalWindow;
class WorkerEditor;
class ProductsList;
class OperationPricesList;
class WorkersList;
class ProductEditor;
class OperationKindsList;
class OperationKindEditor;
class OperationPriceEditor;
class EntryEditor;
class ReportsWindow;
class TimesheetWindow;
class NormsEditor;
class AuthorizationWindow;

struct Windows {
    Database* database = nullptr;
    JournalWindow* journal = nullptr;
    WorkerEditor* workerEditor = nullptr;
    ProductsList* productsList = nullptr;
    OperationPricesList* operationPricesList = nullptr;
    WorkersList* workersList = nullptr;
    ProductEditor* productEditor = nullptr;
    OperationKindsList* operationKindsList = nullptr;
    OperationKindEditor* operationKindEditor = nullptr;
    OperationPriceEditor* operationPriceEditor = nullptr;
    EntryEditor* entryEditor = nullptr;
    ReportsWindow* reports = nullptr;
    TimesheetWindow* timesheet = nullptr;
    NormsEditor* normsEditor = nullptr;
    AuthorizationWindow* authorization = nullptr;

    // Command-line arguments 1 (database name) and 2 (server address), empty where absent.
    QString arg1;
    QString arg2;
    // The connection service of a personal login (db::chooseService); empty for the built-in connection.
    QString service;
    // The compiler's date ("Feb 11 2023") and time ("15:36:35") of the build of the program.
    QString buildDate;
    QString buildTime;

    // Starts connecting on a thread (the built-in connection), once the first window is on the screen; empty when
    // the data module connects by itself.
    std::function<void()> startConnection;
    // Shows the authorization window (made before the connection); the journal window calls it once connected,
    // before it builds its own controls.
    std::function<void()> showAuthorization;
    // Hides the authorization window again when the connection it was shown before has failed.
    std::function<void()> withdrawAuthorization;
    // The authorization window's timer that ends a refused build.
    QTimer* authorizationTimer = nullptr;

    // Ends the message loop; also remembered, so that a request made before the loop runs is honoured.
    bool terminateRequested = false;
    // The program's exit status: 0 for a user's own ending, 1 once a start-up was refused (no database, an old
    // build), so that scripts and service managers see the failure.
    int exitCode = 0;
    void requestTermination(int code = 0);
    // How termination ends the loop; tests, which drive windows without the application's loop, replace it.
    std::function<void()> endMessageLoop;
};
