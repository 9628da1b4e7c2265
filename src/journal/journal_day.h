// Opening a day of the journal: its four shifts and its month's state read in one round trip to the server, since
// none of the answers decides another (on an office network each statement waited for would cost a round trip).
#pragma once

#include "db/closed_months.h"

#include <QDate>

class Database;

namespace journal {

// Closes the four shift queries, gives them the day and reads them again, and whether the day's month is closed,
// with one wait for the server. Throws DbError; then the shifts stay closed.
db::months::Closed openDay(Database& dm, const QDate& day);

} // namespace journal
