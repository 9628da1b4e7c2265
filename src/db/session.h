// The state of the one connection: its session settings, the limits on every wait for the server, whether it
// still reaches the server, how a failure is reported, and connecting again after the server went away.
#pragma once

#include "db/connector.h"
#include "db/db_error.h"

#include <QString>
#include <QStringList>

#include <functional>

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

// Which server of the address list a connection wants: the primary for everything that writes (and the journal
// that must show what was just written), a standby if one is listed for the reports and exports.
enum class ServerRole { Primary, PreferStandby };

// Adds the libpq options of every connection (timeout, TCP keepalives, SSL mode, the server it wants).
void addConnectOptions(ConnectParams& params, const QString& sslMode, ServerRole role = ServerRole::Primary);

// The session settings every connection starts with: day-first dates, standard strings, UTF8, lock and
// statement timeouts. connectionName is the name the connection is kept under.
void prepareSession(Connector& connection, const QString& connectionName);

// A refusal of a former primary (SQLSTATE of the program's own): a server of the system this workstation last wrote
// to, on an older timeline than the one it wrote to, i.e. a primary that a failover left behind.
inline constexpr const char* kFormerPrimaryState = "KM090";
// Where the workstation remembers, per database system, the timeline of the last primary it connected to for
// writing. For tests: another settings file.
void setServerMemoryFile(const QString& path);

// Who changes the data, for the database's history of journal rows: the program's role (reporting, foreman,
// warehouse, full) once the access code has decided it, on every connection from then on (also after a
// reconnection). The workstation's host name is given from the first connection on.
void setSessionRole(const QString& role);

// A refusal of the database's closed-month guard (SQLSTATE KM001).
inline constexpr const char* kClosedMonthState = "KM001";
// The database's own refusals (KM001 closed month, KM002 build stamp, KM003 hours of a day, KM004 a month that could
// not be closed for changes under way) are said in their own words.
inline constexpr const char* kOwnStatePrefix = "KM";

// The open connection of that name; one that was lost while idle (a restarted or failed-over server) is made
// again first, through the same address list, and the user is told once (see takeNotices). A connection that broke
// inside a transaction is not: the transaction's statements are lost, and the next statement fails and says so.
// A connection registered to open on first use is opened. Throws DbError when there is none.
Connector& openConnection(const QString& connectionName);

// A connection that opens the first time a statement needs it (the reports' connection).
void registerOnDemand(const QString& connectionName, std::function<void()> open);
void unregisterOnDemand(const QString& connectionName);

// Called (on the thread that reconnected) each time a connection was made anew; owner identifies the handler for
// removal.
void onReconnected(const void* owner, std::function<void(const QString& connectionName)> handler);
void removeReconnectedHandlers(const void* owner);

// What happened to the connections that the user should hear about once, when the current action has ended
// (a connection made again, to the same or another server of the list). Returns them and forgets them.
QStringList takeNotices();
// On a standby: "данные резервного сервера на DD.MM.YYYY HH:MM:SS" (the last change it has replayed); empty on the
// primary.
QString standbyNote(const QString& connectionName);
// The server a connection reached (the host or socket folder of the address list).
QString serverOf(const QString& connectionName);

// What a failed statement means for the user's change, when the connection broke under it.
enum class Outcome {
    NotDone, // a read, a statement inside a transaction, the start of a transaction: nothing was written
    Unknown, // a write on its own or a commit: it may have been written before the break
};

// Why a statement failed.
enum class FailureKind { Statement, ConnectionLost, LockTimeout, StatementTimeout, Conflict };
// From the connection's state, the SQLSTATE (class 08, 57P01..57P03) and the severity (FATAL, PANIC).
FailureKind classify(const DbError& error, const QString& connectionName);

// A failed attempt to connect, explained in the user's words where the cause is known (the server's certificate,
// encryption offered or demanded, a refused password or login, a server that cannot be reached or does not
// answer), libpq's text in the details.
DbError explainConnectFailure(const DbError& error);

// What a failure says about the user's change: nothing was written (the connection broke before the commit was
// sent, or the server refused), or it is unknown (the connection broke at the commit).
inline constexpr const char* kNotDoneAdvice = "Действие не выполнено, повторите его.";
inline constexpr const char* kUnknownAdvice =
    "Неизвестно, успело ли действие выполниться: нажмите «Обновить» и проверьте, прежде чем повторять его.";

// The refusal of a statement for want of a right (SQLSTATE 42501): the login may not do this; nothing is written.
// A statement names a table, column or function the database does not have: the database is older than the program.
inline constexpr const char* kSchemaBehindMessage =
    "В базе данных нет объекта, который нужен этой версии программы: база данных не обновлена. Ничего не записано. "
    "Обновить её (db/schema.sql и db/roles.sql) должен администратор базы данных.";
inline constexpr const char* kNoRightMessage =
    "У учётной записи базы данных «%1» нет права на это действие. Ничего не записано. Права учётным записям "
    "выдаёт администратор базы данных.";

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
    explicit ServerWait(const Connector& connection);
    ~ServerWait();
    ServerWait(const ServerWait&) = delete;
    ServerWait& operator=(const ServerWait&) = delete;

private:
    quint64 id_ = 0;
};

} // namespace db
