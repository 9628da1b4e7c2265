// The state of the one connection: its session settings, the limits on every wait for the server, whether it
// still reaches the server, how a failure is reported, and connecting again after the server went away.
#pragma once

#include "db/db_error.h"

#include <QSqlDatabase>
#include <QString>

typedef struct pg_conn PGconn;

namespace db {

// Every wait for the server is bounded, so that a held lock or a silent server never freezes a window for good.
struct WaitLimits {
    int connectTimeoutSeconds = 5; // connecting, a server that accepts and never answers included
    int lockTimeoutMs = 10000;     // a row or lock that another workstation holds
    // Any one statement; the largest report on a large database takes a small fraction of it.
    int statementTimeoutMs = 120000;
    // A server that says nothing at all (a stopped backend, a network that swallows packets) is given up this long
    // after the statement timeout should have ended the statement.
    int silentServerGraceMs = 15000;
};
WaitLimits waitLimits();
// For tests: short limits. Takes effect at the next connect.
void setWaitLimits(const WaitLimits& limits);

// libpq options of the connection (timeout, TCP keepalives, SSL mode) in the form QPSQL takes them.
QString connectOptions(const QString& sslMode);

// The session settings every connection starts with: day-first dates, standard strings, UTF8, lock and
// statement timeouts.
void prepareSession(QSqlDatabase& db);

// The libpq handle under a QPSQL connection, or nullptr.
PGconn* pgConnection(const QSqlDatabase& db);

// The open connection of that name; one that was lost is made again first. Throws DbError when there is none.
QSqlDatabase openConnection(const QString& connectionName);

// What a failed statement means for the user's change, when the connection broke under it.
enum class Outcome {
    NotDone, // a read, a statement inside a transaction, the start of a transaction: nothing was written
    Unknown, // a write on its own or a commit: it may have been written before the break
};

// Why a statement failed.
enum class FailureKind { Statement, ConnectionLost, LockTimeout, StatementTimeout, Conflict };
// From the connection's state, the SQLSTATE (class 08, 57P01..57P03) and the severity (FATAL, PANIC).
FailureKind classify(const DbError& error, PGconn* conn);

// After a failed statement: throws the error with the program's explanation. When the connection itself broke,
// connects again first (the failed statement is not repeated).
[[noreturn]] void throwAfterFailure(const QString& connectionName, const DbError& error,
                                    Outcome outcome = Outcome::NotDone);

// Bounds one wait for the server from the program's side: when no answer came within the statement timeout and
// the grace after it, the connection's socket is shut, the wait ends with a broken connection and the failure
// is reported as a lost connection. Statement and lock timeouts are the server's; this catches a server that
// cannot send them.
class ServerWait {
public:
    explicit ServerWait(PGconn* conn);
    ~ServerWait();
    ServerWait(const ServerWait&) = delete;
    ServerWait& operator=(const ServerWait&) = delete;

private:
    quint64 id_ = 0;
};

} // namespace db
