// A fresh database for one test, made from the template that the test cluster holds.
#pragma once

#include <QDate>

#include <QString>
#include <QVariant>

namespace db {
class Connector;
}

// A connection of its own to the test cluster, kept under name (db::findConnector) until db::removeConnector;
// throws std::runtime_error when it cannot connect.
db::Connector& connectToCluster(const QString& name, const QString& socket, const QString& database,
                                const QString& user);

class TestDatabase {
public:
    TestDatabase();
    ~TestDatabase();
    TestDatabase(const TestDatabase&) = delete;
    TestDatabase& operator=(const TestDatabase&) = delete;

    QString name() const { return name_; }
    // The server address the program is given: the cluster's socket folder.
    QString server() const { return server_; }
    QString connectionString() const;

    // Statements on a separate connection, as another workstation or the test itself would run them.
    void exec(const QString& sql);
    QVariant scalar(const QString& sql);
    QList<QVariantList> rows(const QString& sql);
    // A statement on the cluster's maintenance database as its superuser, for what the program's user sys may not do
    // (logins, databases).
    void execAdmin(const QString& sql);

    static QString clusterSocket();

private:
    QString name_;
    QString server_;
    QString connection_;
};

// A small shop: two workers, two products, operation kinds (one "КРАСКА"), operations with norms.
// Returns nothing; ids are fixed: workers 1 and 2, products 1 and 2, kinds 1 (РЕЗКА) and 2 (КРАСКА),
// operations 1 (product 1, РЕЗКА, finished) and 2 (product 2, КРАСКА, blank).
void loadSmallShop(TestDatabase& db);

// A journal row of operation 1 (price 12.5, 10 pieces, not accepted) for the worker, shift, date and hours.
void addJournalRow(TestDatabase& db, int id, int worker, int shift, const QDate& date, int hours);
