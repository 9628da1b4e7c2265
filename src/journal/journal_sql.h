// Statement texts of the journal window: acceptance and deletion (the timesheet correction is in
// db/timesheet_hours_sql.h).
#pragma once

#include <QDate>
#include <QString>

namespace journal_sql {

extern const QString kUpdtOK;
QString deleteRow(const QString& rowId);

} // namespace journal_sql
