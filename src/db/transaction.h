// A transaction on the connection: rolls back unless committed, so a change of several statements
// is written whole or not at all.
#pragma once

#include <QString>

#include <functional>

namespace db {

class Batch;

class Transaction {
public:
    // Throws DbError when it cannot begin, also when a transaction is already open on the connection: a nested
    // BEGIN would only be warned about, and the inner COMMIT would end the outer change half-way.
    explicit Transaction(const QString& connectionName);
    // Begins as the first statement of a batch, so that the transaction costs no round trip of its own; it is open
    // once the batch has run.
    Transaction(const QString& connectionName, Batch& first);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit(); // throws DbError
    // Commits as the last statement of a batch, which it runs; throws DbError as commit() does (a statement of the
    // batch that fails leaves the transaction to be rolled back, and nothing is written).
    void commitWith(Batch& last);
    void rollback(); // ends it without writing anything; never throws

private:
    QString connectionName_;
    bool done_ = false;
};

// Whether a transaction is open (or failed and not yet ended) on the connection.
bool transactionOpen(const QString& connectionName);
// On any of the program's connections (those named with the prefix below): nothing modal may run then (a message
// box would hold the transaction's locks for as long as it stays open).
bool anyTransactionOpen();
inline constexpr const char* kProgramConnectionPrefix = "ADO_DB_";

// Runs the re-read that follows a committed change. Its failure must not read as a failed change (repeating it
// would act on whatever row the cursor is on then): the error says that the change was saved and only the list
// was not refreshed.
void rereadAfterCommit(const std::function<void()>& reread);

} // namespace db
