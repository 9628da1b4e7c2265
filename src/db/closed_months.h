// Closed months of the journal and the timesheet (accounts_dep.closed_month): whether a month is closed, and
// closing and opening it again. The database's triggers refuse every change of a closed month's rows.
#pragma once

#include <QDateTime>
#include <QString>

namespace db::months {

struct Closed {
    bool closed = false;
    QDateTime at;
    QString by;
};

Closed closedState(const QString& connectionName, int month, int year);
// Closes an open month (false: it was closed already) and opens a closed one (false: it was open).
bool closeMonth(const QString& connectionName, int month, int year);
bool reopenMonth(const QString& connectionName, int month, int year);

} // namespace db::months
