// A transaction on the connection: rolls back unless committed, so a change of several statements
// is written whole or not at all.
#pragma once

#include <QString>

#include <functional>

namespace db {

class Transaction {
public:
    explicit Transaction(const QString& connectionName); // throws DbError when it cannot begin
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit();   // throws DbError
    void rollback(); // ends it without writing anything; never throws

private:
    QString connectionName_;
    bool done_ = false;
};

// Runs the re-read that follows a committed change. Its failure must not read as a failed change (repeating it
// would act on whatever row the cursor is on then): the error says that the change was saved and only the list
// was not refreshed.
void rereadAfterCommit(const std::function<void()>& reread);

} // namespace db
