// Statement texts of the journal: acceptance, deletion, and the entry editor's duplicate checks and writes (the
// timesheet correction is in db/timesheet_hours_sql.h).
#pragma once

#include <QDate>
#include <QString>

namespace journal_sql {

extern const QString kUpdtOK;
// The build-stamp table is read newest stamp first: with several rows, "the first" is the newest.
extern const QString kVerOrder;
// Taken by the build-stamp check for its transaction, so two programs starting at once take turns.
extern const QString kLockBuildStamp;
// Moves the build stamp forward to the program's through the owner's function (refused for a stamp from the future).
QString raiseBuildStamp(int date, int time);
QString deleteRow(const QString& rowId);

// The values of one journal row as the entry editor writes it.
struct EntryRow {
    qint64 workerId = 0;  // W
    qint64 operId = 0;    // O
    qint64 productId = 0; // I
    double price = 0;     // P, rounded and written by db::sql::price
    QString quantity;     // Q, digits as typed
    QString rejects;      // B, digits as typed
    QString hours;        // H, digits as typed
    qint64 color = 0;     // C
    int shift = 1;        // S
    QDate date;           // D
    QDate today;          // T
    QString rowId;        // R, the changed row's id (change only)
};

// The product's mark for the operation text of the editor.
QString productMark(qint64 productId);
// Rows that the new row would repeat (column "cnt").
QString duplicateOfNew(const EntryRow& row);
// Rows other than the changed one that it would repeat (column "cnt").
QString duplicateOfChange(const EntryRow& row);
QString insertRow(const EntryRow& row);
QString updateRow(const EntryRow& row);
// A transaction-scoped lock on the row's duplicate key, taken before the duplicate check, so that two
// workstations saving the same key one after the other see each other's row.
QString lockRowKey(const EntryRow& row);
// The row as it is now, locked until the transaction ends: the columns the journal shows, to compare with what the
// user acted on.
QString rowNow(qint64 rowId);
// A row's history, newest first: changed_at, action, role, host, login, old_row, new_row, and what the server saw
// of who: the login's group role and the address it connected from.
QString rowHistory(qint64 rowId);
// The rows of a day deleted, newest first, in the same columns.
QString deletedOfDay(const QDate& day);
// The names the history shows for the ids its rows hold (id, name): workers, products, and operations (the
// operation kind and whether it makes finished goods or blanks, as the editor writes it after the product).
QString workerNames(const QList<qint64>& ids);
QString productNames(const QList<qint64>& ids);
QString operationNames(const QList<qint64>& ids);

} // namespace journal_sql
