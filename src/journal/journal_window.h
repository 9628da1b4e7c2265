// The journal window: the day's journal rows of one shift view, with acceptance, deletion and the menu
// that opens every other window.
#pragma once

#include "journal/journal_host.h"
#include "ui/live_refresh.h"
#include "ui/messages.h"
#include "ui/roles.h"

#include <QByteArray>
#include <QDate>
#include <QDialog>

#include <utility>

#include <memory>

namespace Ui {
class JournalWindow;
}

class QAction;
class QMenu;
class QMenuBar;
class QTimer;
class Database;
class EntryEditor;
class HistoryWindow;
namespace journal {
enum class Outcome;
}
namespace db {
class Command;
class Dataset;
} // namespace db

class JournalWindow : public ui::Dialog {
    Q_OBJECT
public:
    // Creates the data module and connects (then shows the authorization window through the host).
    JournalWindow(const journal::Launch& launch, journal::Host& host, QWidget* parent = nullptr);
    ~JournalWindow() override;

    // The data module the journal made; the other windows work on it too.
    Database* database() const { return database_; }
    // The editor of the journal's rows, which this window opens.
    EntryEditor* entryEditor() const { return entryEditor_; }

    // The access code the user signed in with and the shift shown, handed over by the authorization window.
    void signIn(const QByteArray& accessCode, int shift);
    const QByteArray& accessCode() const { return FAccessCode; }
    int shift() const { return FShift; }
    // The build stamp of this program as the last check read it (date yyyymmdd, seconds of the day).
    qint32 buildDate() const { return FBuildDate; }
    qint32 buildTime() const { return FBuildTime; }
    // "История": the current row's history, the shown day's deleted rows.
    void showRowHistory();
    void showDeletedRows();

    // The creation: data module, connection, authorization window.
    void connectDatabase();
    // The program's build stamp against the database's (moved forward when older); a newer one ends the program.
    void checkBuildStamp();
    // The 30-second timer's check.
    void periodicBuildCheck();
    // The check with its errors shown, never two at a time (the timer's and the authorization's);
    // false when it did not run to its end.
    bool runBuildStampCheck();

    void FormActivate() override;
    // What the signed-in role may use here (the rest is switched off); remembered for the history.
    void applyRole(const ui::RoleRights& rights);
    // The day in the date box read; the day-off flag set by it.
    void showChosenDay();
    // The day-off flag's look follows its state.
    void showDayOffFlag();
    void showShift(int shift);
    // "Обновить": every shift of the day read again.
    void rereadDay();
    // "Добавить", "Изменить", "Удалить" and the acceptance mark (double click, Space) of the current row.
    void addRow();
    void changeRow();
    void deleteRow();
    void acceptRow();
    // The menu: the catalogues, "Внеурочное" (no action), the timesheet, the reports; "Выход".
    void openWorkers();
    void openProducts();
    void openPrices();
    void openOperationKinds();
    void openOvertime();
    void openTimesheet();
    void openReports();
    void openSummary();
    void quit();

    // The reports' default period for a day: the previous calendar month, from its first day to the first day
    // of the day's month.
    static std::pair<QDate, QDate> reportPeriod(const QDate& today);

    // The journal query of FShift.
    db::Dataset* shiftQuery() const;
    // The day the shift queries were last opened for (the date box may hold a day typed and not yet read).
    QDate shownDay() const { return shownDay_; }
    // The line under the grid: rows and totals of the shown shift.
    void updateTotals();

protected:
    // Where the user left it last time, each time it is shown.
    void placeOnShow(bool spontaneous) override;
    // Escape does nothing here: closing this window ends the program, which only "Выход" and the close button do.
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::JournalWindow> ui_;
    // The window's controls, menu, grid columns and keys.
    void buildWindow();
    void setUpKeys();
    // Enter, Delete and Space in the list; true when the key was the list's.
    bool gridKey(QKeyEvent* key);
    void reopenShiftQueries();
    // The caption says when the shown day's month is closed.
    void showMonthState(bool closed);
    // "Добавить", "Изменить", "Удалить" by the role's rights and the month's state.
    void enableRowButtons();
    // Another workstation closed or opened a month ('YYYY-MM'): the shown day's month state is read again.
    void monthAnnounced(const QString& payload);
    void rowNotAsShown(journal::Outcome outcome);
    void openCatalogue(db::Dataset* list, QDialog* window);
    void setWeekendFlag(bool checked);
    void styleShiftButtons();
    // Another workstation's change of a day and shift: the shown day's query of that shift is read again
    // (ui::LiveRefresh: at most once per 300 ms, not under an editor), keeping the current row and the scroll.
    void journalChanged(const QString& payload);
    void reread(int shift);

    qint32 FBuildDate = 0;
    qint32 FBuildTime = 0;
    qint32 FShift = 1;
    db::Dataset* FShiftQuery = nullptr;
    QByteArray FAccessCode;

    db::Dataset* ver = nullptr;
    db::Command* updtOK = nullptr;
    QTimer* Timer1 = nullptr;

    QMenuBar* MainMenu1 = nullptr;
    QMenu* N2 = nullptr;
    QAction* N1 = nullptr;
    QAction* N3 = nullptr;
    QAction* N4 = nullptr;
    QAction* N6 = nullptr;
    QAction* N8 = nullptr;
    QAction* N11 = nullptr;
    QMenu* N7 = nullptr;
    QAction* N10 = nullptr;
    QAction* summaryAction_ = nullptr; // "Сводка за месяц"
    QAction* N5 = nullptr;
    // "История": the current row's history and the shown day's deleted rows (the full-access role only).
    QMenu* N12 = nullptr;
    QAction* N13 = nullptr;
    QAction* N14 = nullptr;
    bool FMayReadHistory = false;

    const journal::Launch launch_;
    journal::Host& host_;
    Database* database_ = nullptr;
    EntryEditor* entryEditor_ = nullptr;
    ui::LiveRefresh* live_[5] = {};
    QMetaObject::Connection totalsConnection_;
    bool checkRunning_ = false;
    HistoryWindow* history_ = nullptr;
    QWidget* calendarPopup_ = nullptr;
    QDate shownDay_;
    // A connection found lost and made again while nobody acted, said once under the list.
    QString connectionNote_;
    ui::RoleRights rights_;
    bool monthClosed_ = false;
};
