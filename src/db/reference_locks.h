// Locks that keep a change's references whole while another workstation deletes: see reference_locks_sql.h.
// Every function must run inside the caller's transaction, whose end releases the locks.
#pragma once

#include "db/reference_locks_sql.h"

#include <QString>

namespace db {
class Batch;
}

namespace db::refs {

using refs_sql::Key;
using refs_sql::Ref;

// Holds the row's lock shared until the transaction ends and tells whether the row is (still) there: a deletion
// of it either committed before (false) or waits until this transaction ends and then finds the new use.
bool holdIfPresent(const QString& connectionName, Ref ref, qint64 id);
// holdIfPresent as part of a batch (inside the transaction the batch begins or continues): adds the lock and the
// test, and returns the index whose result present() reads once the batch has run.
int addHold(Batch& batch, Ref ref, qint64 id);
bool present(const Batch& batch, int index);
// Before a deletion counts the row's uses.
void lockForDeletion(const QString& connectionName, Ref ref, qint64 id);
// Before a duplicate test: two workstations testing the same key take turns, so the second sees the first's row.
void lockKey(const QString& connectionName, Key key, const QString& text);

// Throws DbError unless a transaction is open on the connection (locks outside one protect nothing).
void requireTransaction(const QString& connectionName);

} // namespace db::refs
