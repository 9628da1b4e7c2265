// Another workstation on the test database, for tests of two workstations: plain statements on a connection of
// its own, and a workstation in a thread that holds its transaction open until the program waits for it.
#pragma once

#include "support/test_database.h"

#include "db/connector.h"

#include <QStringList>

#include <future>

class QThread;

// A statement of the other workstation; throws with the server's text.
db::Result run(db::Connector& db, const QString& sql);
// A connection of the other workstation (sys, as the program connects, or another login), kept under name until
// db::removeConnector(name).
db::Connector& connectAs(const QString& name, TestDatabase& target, const QString& user = QStringLiteral("sys"));

// Runs its statements in one transaction in a thread of its own, then waits (bounded) until the given number of lock
// requests wait on the server, then runs its last statement (commit or rollback). The constructor returns once the
// statements ran. The error of any statement is kept. It connects as user.
class OtherWorkstation {
public:
    OtherWorkstation(TestDatabase& db, QString name, QStringList statements, int waitersBeforeEnd,
                     QString end = QStringLiteral("commit"), QString user = QStringLiteral("sys"));
    ~OtherWorkstation();
    // Waits for the thread; true when it ended without an error.
    bool finish();
    QString error() const { return error_; }
    bool sawWaiters() const { return sawWaiters_; }

private:
    QThread* thread_ = nullptr;
    std::promise<void> ready_;
    bool readySet_ = false;
    bool sawWaiters_ = false;
    QString error_;
};
