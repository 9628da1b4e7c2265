// The journal entry editor: one row of the shift journal, typed in or changed, priced and saved.
#pragma once

#include "journal/journal_changes.h"
#include "ui/messages.h"

#include <QDialog>

#include <memory>

namespace Ui {
class EntryEditor;
}

class Database;
class QPushButton;
namespace journal {
class Host;
}
namespace db {
class Command;
class Dataset;
} // namespace db
namespace journal_sql {
struct EntryRow;
}

class EntryEditor : public ui::Dialog {
    Q_OBJECT
public:
    // host: the choosers of workers and operations; centreOver: the window it opens over (the journal).
    EntryEditor(Database* database, journal::Host& host, QWidget* centreOver, QWidget* parent = nullptr);
    ~EntryEditor() override;

    // True while the editor changes a row of the journal, false for a new one.
    bool changesRow() const { return Tag != 1; }
    qint32 workerId() const { return FWorkerId; }
    qint32 operationId() const { return FOperId; }
    qint32 productId() const { return FProductId; }
    double price() const { return FPrice; }
    // What a chooser hands over: the worker, and the operation price row with its product, final piece price and
    // the text the operation box shows.
    void takeWorker(qint32 id, const QString& name);
    void takeOperation(qint32 operId, qint32 productId, double price, const QString& shownText);

    // The journal's openings: for a new row on the given date, and for a change of the journal query's current row;
    // each with the journal's shift and its day-off flag, which price the row.
    // shownDay: the day the journal's list shows (the date box's day when not given); a save on another day asks.
    void prepareNew(const QDate& date, int shift, bool dayOff, const QDate& shownDay = {});
    void prepareChange(db::Dataset* journal, int shift, bool dayOff);

    void FormActivate() override;
    // The two "..." choosers, the price boxes recalculated (leaving the quantity or the hours), "Запись".
    void chooseWorker();
    void chooseOperation();
    void recalculatePrices();
    void saveRow();

    // The piece price of a row: the base price, doubled on a day off, then times 1.2 in shift 3 or 1.5 in
    // overtime (shift 4).
    static double finalPrice(double base, bool dayOff, int shift);
    // A value as the price boxes show it: rounded to 4 decimals, general notation, the workstation's separator.
    static QString shown(double value);
    // True for an operation text that needs a colour ("КРАСКА" in any letter case).
    static bool isPaint(const QString& text);

protected:
    // Centred over the journal.
    void placeOnShow(bool spontaneous) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::EntryEditor> ui_;
    // The hand-over of the operation chooser: product, operation, price and the operation text from the current
    // row of the price list.
    void takeOperation();
    void setPaint(bool on); // the colour box and its label; off also clears the box
    // The focus after a chooser: the next control of the row's road that still needs a value (the road's next
    // control when none does); back on the chooser's own button when nothing was chosen.
    void focusAfterChooser(QPushButton* chooser, bool chosen);
    void focusOn(QWidget* control);
    // A number too large for its column is refused with a message naming the box; false then.
    bool numbersFit();
    void save(const journal_sql::EntryRow& row, bool change);
    // A row saved on another day than the list shows (a new row) or than it had (a change) leaves the user's view:
    // asked first, "Нет" by default. True to go on.
    bool otherDayConfirmed(const QDate& day, bool change);

    // 1: a new row; any other value: a change of the current row of the journal's shift query.
    int Tag = 1;
    qint32 FWorkerId = 0;
    qint32 FOperId = 0; // the operation price row (accounts_dep.oper.id), not the operation kind
    qint32 FProductId = 0;
    double FPrice = 0; // the final piece price, unrounded

    db::Command* SmenaIU = nullptr;

    Database* database_;
    journal::Host& host_;
    QWidget* centreOver_;
    int FShift = 1;
    bool FDayOff = false;
    // The row a change opened, as the journal showed it: the save changes this row only while it is still so.
    journal::ShownRow opened_;
    // The day a save is expected on: the journal's day for a new row, the row's stored day for a change.
    QDate expectedDay_;
    // The base price of the operation the row is priced from, shown while the price list is closed.
    double rowBasePrice_ = 0;
};
