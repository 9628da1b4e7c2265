#include "journal/journal_sql.h"

#include "db/db_error.h"
#include "db/sql_text.h"

namespace journal_sql {

using db::sql::number;

const QString kUpdtOK = QStringLiteral("update accounts_dep.smena set ok=:ok where id=:id");

QString deleteRow(const QString& rowId)
{
    // The id comes from the row as text; only a whole number may go into the statement.
    bool ok = false;
    const qint64 id = rowId.trimmed().toLongLong(&ok);
    if (!ok)
        throw db::ConversionError(QStringLiteral("'%1' не является целым числом").arg(rowId));
    return QStringLiteral("delete from accounts_dep.smena where id=") + number(id);
}

} // namespace journal_sql
