// Statement texts of the journal window: acceptance, deletion and the timesheet correction.
#pragma once

#include <QDate>
#include <QString>

namespace journal_sql {

extern const QString kUpdtOK;
QString deleteRow(const QString& rowId);
QString hoursOfDay(qint64 workerId, int shift, const QDate& date);
QString setTimesheetDay(int day, qint64 hours, qint64 workerId, int shift, int month, int year);

} // namespace journal_sql
