// Changes of journal rows without windows: the entry editor's save, the acceptance and the deletion. Each is one
// transaction that acts on the row as it is on the server, not as a list showed it, and returns what happened;
// the window shows the outcome's message once the transaction has ended.
#pragma once

#include "journal/journal_sql.h"

#include <QDate>
#include <QString>

class Database;
namespace db {
class Dataset;
}

namespace journal {

// A journal row as the list showed it when the user acted on it.
struct ShownRow {
    qint64 id = 0;
    qint64 workerId = 0;
    qint64 productId = 0;
    qint64 operId = 0;
    QDate date;
    int shift = 0;
    qint64 color = 0;
    double quantity = 0;
    qint64 rejects = 0;
    qint64 hours = 0;
    double price = 0;
    QString mark;

    // The current row of a journal query.
    static ShownRow current(const db::Dataset& journal);
};

enum class Outcome {
    Done,
    RowGone,       // deleted on another workstation meanwhile
    RowChanged,    // changed on another workstation since the list was read
    Duplicate,     // the saved row would repeat another one
    WorkerGone,    // the row's worker was deleted meanwhile
    OperationGone, // its operation was deleted meanwhile
    ProductGone,   // its product was deleted meanwhile
    TooManyHours,  // the worker's hours of the day would not fit the timesheet's cell
};
// The message shown for an outcome; empty for Done.
QString message(Outcome outcome);

// The acceptance mark written (documented update with the new mark), the row locked and compared first, mark
// included: two workstations toggling the same row do not undo each other unseen.
Outcome acceptRow(Database& dm, const ShownRow& shown, const QString& newMark);
// The row deleted and the timesheet cell it really belonged to (worker, shift and date read from the server)
// rewritten.
Outcome deleteRow(Database& dm, const ShownRow& shown);
// The entry editor's save: a new row, or a change of row.rowId. The duplicate test serialised per key, the worker,
// the operation and the product held against deletion, the row and the timesheet cells it reaches and leaves.
// A change is refused (RowChanged) when the row on the server is no longer the one the editor opened.
Outcome saveRow(Database& dm, const journal_sql::EntryRow& row, const ShownRow* opened = nullptr);

} // namespace journal
