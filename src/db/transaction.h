// A transaction on the connection: rolls back unless committed, so a change of several statements
// is written whole or not at all.
#pragma once

#include <QString>

namespace db {

class Transaction {
public:
    explicit Transaction(const QString& connectionName); // throws DbError when it cannot begin
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    void commit(); // throws DbError

private:
    QString connectionName_;
    bool done_ = false;
};

} // namespace db
