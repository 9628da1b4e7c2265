// Changes of the catalogues without windows: each is one transaction that serialises its duplicate test per key,
// holds the rows it refers to against deletion, acts on the row as it is on the server and returns what happened.
// The window shows the outcome once the transaction has ended.
#pragma once

#include "catalogs/catalogs_sql.h"

#include <QString>

class Database;

namespace catalogs {

enum class Outcome {
    Written,
    Duplicate,        // another row has the same key
    Gone,             // the row was deleted on another workstation
    ChangedMeanwhile, // the row was changed on another workstation since the editor opened it
    KindGone,         // the operation's kind was deleted meanwhile
    ProductGone,      // the operation's product was deleted meanwhile
    InUse,            // journal rows use it
    LastNorm,         // the operation's last norm
};
// The message of an outcome that is the same in every catalogue (not Duplicate and InUse, which each window says in
// its own words); empty for Written.
QString message(Outcome outcome);
// Asked before a change overwrites another workstation's.
QString overwriteQuestion();

// The row as an editor opens it for a change (empty when it is gone): compared again when the change is written.
QString openedVersion(const QString& connectionName, catalogs_sql::Row row, qint64 id);

// A change of an existing row (the others add one).
struct Change {
    qint64 id = 0;
    QString opened;         // openedVersion() when the editor opened; empty: not compared, only the row's presence
    bool overwrite = false; // the user agreed to overwrite another workstation's change
};

Outcome saveWorker(const QString& connectionName, const QString& name, const QString& department,
                   const Change* change);
// rate: a checked number as typed; group: the group's id.
Outcome saveProduct(const QString& connectionName, const QString& code, const QString& rate, qint64 group,
                    const Change* change);
// Through the shared kinds table (Vid_oper), whose current row is the changed one.
Outcome saveKind(Database& dm, const QString& name, const Change* change);
// v the kind, n the finished/blank index, i the product. A new operation's id is put into newId.
Outcome saveOperation(const QString& connectionName, qint32 v, int n, qint32 i, const Change* change,
                      qint32* newId = nullptr);
// Refused (InUse, the number of journal rows in used) while the journal uses it; otherwise with its norms.
Outcome deleteOperation(const QString& connectionName, qint32 id, int* used = nullptr);
// An operation just added is deleted again when it was left without a norm (and nothing uses it): it would show in
// no list. Returns whether it was deleted.
bool dropOperationWithoutNorms(const QString& connectionName, qint32 id);
// Refused for the operation's last norm (counted on the server, not in a list that may be old).
Outcome deleteNorm(const QString& connectionName, qint64 normId, qint64 operationId);

} // namespace catalogs
