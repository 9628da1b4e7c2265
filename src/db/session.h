// The state of the one connection: its session settings, whether it still reaches the server, and
// connecting again after the server went away.
#pragma once

#include "db/db_error.h"

#include <QSqlDatabase>
#include <QString>

typedef struct pg_conn PGconn;

namespace db {

// The session settings every connection starts with: day-first dates, standard strings, UTF8.
void prepareSession(QSqlDatabase& db);

// The libpq handle under a QPSQL connection, or nullptr.
PGconn* pgConnection(const QSqlDatabase& db);

// The open connection of that name; one that was lost is made again first. Throws DbError when there is none.
QSqlDatabase openConnection(const QString& connectionName);

// After a failed statement: throws the error as it is, or, when the connection itself broke, connects again
// and throws an error that says so (the failed statement is not repeated: it may have run before the break).
[[noreturn]] void throwAfterFailure(const QString& connectionName, const DbError& error);

} // namespace db
