// One connection to the database server, the program's own over libpq: it owns the server's connection, runs
// statements and hands back their rows as the program's own result, tells the transaction state, reads the
// announcements the server sent, and connects again with the same settings. The program's connections are kept
// under names (see addConnector) so that datasets, commands and transactions find theirs by name.
#pragma once

#include "db/db_error.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>
#include <memory>

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace db {

// libpq's connection keywords and their values, in the order given.
using ConnectParams = QList<QPair<QByteArray, QByteArray>>;

// The rows of one statement's result, read with a cursor that starts before the first row. Copies share the rows.
class Result {
public:
    Result() = default;
    // Takes the result over.
    explicit Result(PGresult* result);

    // Moves to the next row; false after the last.
    bool next();
    // The current row's value: by the server's type a bool, an int, a qlonglong, a double (numeric too), a date,
    // a time, a date and time, otherwise text; a null is a null of that type.
    QVariant value(int column) const;
    bool isNull(int column) const;
    int size() const;
    int columnCount() const;
    QString columnName(int column) const;
    // The rows a statement changed (0 for a read).
    int numRowsAffected() const;
    // What the server said the statement was ("COMMIT", "INSERT 0 1", ...).
    QString commandStatus() const;

    const PGresult* handle() const { return result_.get(); }

private:
    std::shared_ptr<PGresult> result_;
    int row_ = -1;
};

// An announcement (NOTIFY) the server sent.
struct Notification {
    QString channel;
    QString payload;
    bool own = false; // sent by a statement of this same connection
};

class Connector {
public:
    Connector() = default;
    ~Connector();
    Connector(const Connector&) = delete;
    Connector& operator=(const Connector&) = delete;

    // Connects with these settings (any earlier connection is closed first); false when no server took the
    // connection, lastError() then says libpq's reason.
    bool open(const ConnectParams& params);
    // Connects again with the settings of the last open().
    bool reopen();
    void close();
    // Opened and not closed since (the server may have gone meanwhile: see isOk).
    bool isOpen() const { return conn_ != nullptr; }
    // Open and, as far as libpq knows, still connected.
    bool isOk() const;
    // libpq's text of the last failed open() or of the connection's last failure.
    QString lastError() const;

    // Runs one statement; throws DbError (the server's message with its SQLSTATE in brackets) when it fails.
    Result exec(const QString& text);
    // A transaction is open (or failed and not yet ended) on the connection.
    bool inTransaction() const;
    // Idle in a transaction (neither failed nor busy).
    bool inOpenTransaction() const;
    // The server (host or socket folder of the address list) and the login the connection reached.
    QString server() const;
    QString user() const;
    int socket() const;

    // The announcements that arrived since the last call (reads what the server sent without waiting).
    QList<Notification> notifications();
    // Called after each statement the connection ran: announcements that came with its answer have been read
    // already and wake no one waiting on the socket.
    void setAfterStatement(std::function<void()> hook) { afterStatement_ = std::move(hook); }
    void statementDone() const;

    // The libpq handle, for the data layer's own statement paths (pipelines, whole results).
    PGconn* handle() const { return conn_; }

private:
    PGconn* conn_ = nullptr;
    ConnectParams params_;
    QString lastError_;
    std::function<void()> afterStatement_;
};

// The error of a failed statement as the program words it: the server's message, then the SQLSTATE in brackets.
DbError statementError(const PGresult* result, PGconn* conn);

// The program's connections by name. addConnector gives the existing one of that name or a new, closed one;
// the connection lives until removeConnector. Safe from any thread; a connection is used by one thread at a time.
Connector* findConnector(const QString& name);
Connector& addConnector(const QString& name);
void removeConnector(const QString& name);
QStringList connectorNames();

} // namespace db
