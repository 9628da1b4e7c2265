// What the journal's windows ask of the application that made them: the windows of the other libraries (the
// catalogues, the timesheet, the reports, the summary) and the start-up's steps that are the application's.
#pragma once

#include <QDate>
#include <QString>

namespace ui {
class Activatable;
class CatalogueWindow;
} // namespace ui

namespace journal {

enum class Catalogue { Workers, Products, OperationPrices, OperationKinds };

// How the program was started: where to connect and the build it is.
struct Launch {
    // Command-line arguments 1 (database name) and 2 (server address), empty where absent.
    QString arg1;
    QString arg2;
    // The connection service of a personal login (db::chooseService); empty for the built-in connection.
    QString service;
    // The compiler's date ("Feb 11 2023") and time ("15:36:35") of the build of the program.
    QString buildDate;
    QString buildTime;
};

class Host {
public:
    virtual ~Host() = default;

    // A catalogue's list window: opened from the menu, or as a chooser by the entry editor.
    virtual ui::CatalogueWindow* catalogue(Catalogue which) = 0;
    // The timesheet on the month of a day, and the reports for a period; both modal, returnTo activated after.
    virtual void openTimesheet(const QDate& day, ui::Activatable* returnTo) = 0;
    virtual void openReports(const QDate& from, const QDate& to, ui::Activatable* returnTo) = 0;
    // The month's summary on the month of a day, modal, returnTo activated after.
    virtual void openSummary(const QDate& day, ui::Activatable* returnTo) = 0;

    // The authorization window: shown once the journal is connected (unless the program is ending), withdrawn
    // when the connection it was shown before has failed.
    virtual void showAuthorization() = 0;
    virtual void withdrawAuthorization() = 0;
    // The database refused this build: the program ends a few seconds later.
    virtual void buildRefused() = 0;
    // Ends the message loop with the exit status (1 once a start-up was refused).
    virtual void requestTermination(int code = 0) = 0;
};

} // namespace journal
