// Closed months of the journal and the timesheet (accounts_dep.closed_month): whether a month is closed, and
// closing and opening it again. The database's triggers refuse every change of a closed month's rows.
#pragma once

#include <QDateTime>
#include <QString>

namespace db {
class Batch;
}

namespace db::months {

struct Closed {
    bool closed = false;
    QDateTime at;
    QString by;
};

Closed closedState(const QString& connectionName, int month, int year);
// The same read as part of a batch: its statement, and the state from the statement's result.
QString closedStateStatement(int month, int year);
Closed closedStateOf(const Batch& batch, int index);
// Closes an open month (false: it was closed already) and opens a closed one (false: it was open).
bool closeMonth(const QString& connectionName, int month, int year);
bool reopenMonth(const QString& connectionName, int month, int year);

} // namespace db::months
