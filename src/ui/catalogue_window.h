// The catalogue pattern shared by the list windows (workers, products, operation prices, operation kinds):
// a grid over a shared query, a search box that narrows it, add/change/delete/exit buttons, catalogue and
// choice mode set up by the opener, and the choice handed back to the opener as a value.
#pragma once

#include "ui/messages.h"

#include <QDialog>
#include <QString>

#include <functional>

class QKeyEvent;
class QLineEdit;
class QPushButton;

namespace db {
class Dataset;
}

namespace ui {

class DbGrid;
class LiveRefresh;

// What a list in choice mode hands to its opener. made is false when the list was left without a choice
// ("Выход", Escape, the close box) or when the list's rules hand nothing over (an empty list, where so).
struct CatalogueChoice {
    bool made = false;
    QString name; // the row's name, trimmed
    qint32 id = 0;
};

class CatalogueWindow : public Dialog {
    Q_OBJECT
public:
    // How the search box treats a key after Up and Down have moved the list.
    enum class SearchKeys {
        EditKeysDiscarded, // every key-down is discarded: Delete, Left, Right, Home, End do nothing
        OnlyUpDown,        // only Up and Down are discarded
    };

    struct Setup {
        db::Dataset* query = nullptr;
        DbGrid* grid = nullptr;
        QLineEdit* search = nullptr;
        QPushButton* add = nullptr;    // Button1
        QPushButton* second = nullptr; // Button2: "Изменить", or "Выбрать" in choice mode
        QPushButton* remove = nullptr; // Button3, none where the catalogue has no deletion
        QPushButton* exit = nullptr;   // Button4
        QString searchField;           // the filter reads searchField + " like '<text>%'"
        SearchKeys keys = SearchKeys::EditKeysDiscarded;
        bool searchInCatalogueMode = true; // the search box shows in catalogue mode too
        bool blankSearchShowsAll = false;  // a text of blanks only switches the filter off as an empty one does
        // The catalogue's name in the database's announcements (db::kCatalogueChannel): another workstation's change
        // of it shows in the open list by itself. Empty: not live.
        QString liveName;
    };

    explicit CatalogueWindow(QWidget* parent = nullptr);

    // ---- for the openers ----

    // Catalogue mode, as the menu opens it: Tag 0, the query opened, "Изменить" not the default button,
    // "Добавить" (and "Удалить", the search box where the list has them) shown; shown modally; the query is
    // closed when the window returns.
    void openCatalogue(Activatable* returnTo);

    // Choice mode in two steps, so that an opener can position the query between them:
    // prepareChoice: Tag 1, the query opened, "Выбрать" visible and the default button, add and delete
    // hidden, the search box shown and cleared (which switches the filter off).
    void prepareChoice();
    // runChoice: shows the window modally and returns what it handed over. Afterwards "Выбрать" is no longer
    // the default button and the search box is hidden (the next opening sets both again). The query stays open
    // with the filter the search left on it.
    CatalogueChoice runChoice(Activatable* returnTo);
    // Both steps, then the query closed.
    CatalogueChoice choose(Activatable* returnTo);

    // The hand-over of the last choice-mode showing.
    const CatalogueChoice& choice() const { return choice_; }

    // ---- the pattern's handlers ----

    void FormActivate() override;
    void applySearch();
    // Up and Down move the list; then the key is discarded as the list's SearchKeys say. True when discarded.
    bool searchKey(QKeyEvent* event);
    // "Изменить" / "Выбрать" and a double click in the grid.
    virtual void changeOrChoose() = 0;
    // A double click in the grid: by default what the second button does.
    virtual void rowActivated() { changeOrChoose(); }

    // The filter text for a search text: the text is quoted, so an apostrophe is searched as itself.
    static QString searchFilter(const QString& field, const QString& text);

    // The mode the opener chose: a choice (a chooser's opening) or the catalogue (the menu's).
    bool choiceMode() const { return Tag != 0; }

protected:
    // Wires the controls the pattern drives; call once, after setupUi.
    void setUpCatalogue(const Setup& setup);
    const Setup& parts() const { return setup_; }

    // Choice mode hands the current row over and closes the window.
    void handOver(const CatalogueChoice& choice);
    // A choice confirmed on a list that shows no row (a search that matches nothing, say): said here, in the list,
    // which stays open for another search or "Выход". True when refused.
    bool emptyChoiceRefused();

    // Reopens the query and, when it holds rows, moves it to recNo (clamped to the rows there are).
    void reloadAt(int recNo);

    // Where the user left it last time, each time the program shows it.
    void placeOnShow(bool spontaneous) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The mode the opener chose: 0 catalogue mode, anything else choice mode.
    int Tag = 0;
    void setUpKeys();
    // Enter and Delete in the list; true when the key was the list's.
    bool gridKey(QKeyEvent* key);
    // The open list read again after another workstation's change, on the same row (by its key) where it is still
    // there, the search's filter kept.
    void liveReread();
    void listenOnce();

    Setup setup_;
    CatalogueChoice choice_;
    LiveRefresh* live_ = nullptr;
    // The search box holds a chooser's text, not one typed in catalogue mode.
    bool searchFromChoice_ = false;
    bool listening_ = false;
};

} // namespace ui
