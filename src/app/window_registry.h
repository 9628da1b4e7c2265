// The registry of the program's windows: each is created once at start, in a fixed order (app/startup.h). The
// windows get what they need when they are made; the journal asks the registry for the windows of the other
// libraries (journal::Host).
#pragma once

#include "journal/journal_host.h"

#include <QString>

#include <functional>

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
class SummaryWindow;
class TimesheetWindow;
class NormsEditor;
class AuthorizationWindow;

struct Windows : journal::Host {
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
    SummaryWindow* summary = nullptr;
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

    // Ends the message loop; also remembered, so that a request made before the loop runs is honoured.
    bool terminateRequested = false;
    // The program's exit status: 0 for a user's own ending, 1 once a start-up was refused (no database, an old
    // build), so that scripts and service managers see the failure.
    int exitCode = 0;
    void requestTermination(int code = 0) override;
    // How termination ends the loop; tests, which drive windows without the application's loop, replace it.
    std::function<void()> endMessageLoop;

    // What the journal asks for.
    ui::CatalogueWindow* catalogue(journal::Catalogue which) override;
    void openTimesheet(const QDate& day, ui::Activatable* returnTo) override;
    void openReports(const QDate& from, const QDate& to, ui::Activatable* returnTo) override;
    void openSummary(const QDate& day, ui::Activatable* returnTo) override;
    // Shown by the journal window once connected (already on the screen at start, unless closed meanwhile).
    void showAuthorization() override;
    void withdrawAuthorization() override;
    void buildRefused() override;
};
