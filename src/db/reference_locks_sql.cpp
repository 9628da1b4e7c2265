#include "db/reference_locks_sql.h"

#include "db/db_error.h"
#include "db/sql_text.h"

#include <limits>

namespace db::refs_sql {

using db::sql::number;

namespace {

// The advisory lock functions take two 32-bit keys; the program's keys are integers of the database.
QString objectKey(qint64 id)
{
    if (id < std::numeric_limits<qint32>::min() || id > std::numeric_limits<qint32>::max())
        throw ConversionError(QStringLiteral("Ключ %1 вне допустимого диапазона.").arg(id));
    return number(id);
}

QString refLock(const char* function, Ref ref, qint64 id)
{
    return QStringLiteral("select ") + QString::fromLatin1(function) + u'(' +
           number(kRefLockClassBase + static_cast<int>(ref)) + QStringLiteral(", ") + objectKey(id) + u')';
}

} // namespace

QString lockShared(Ref ref, qint64 id)
{
    return refLock("pg_advisory_xact_lock_shared", ref, id);
}

QString lockExclusive(Ref ref, qint64 id)
{
    return refLock("pg_advisory_xact_lock", ref, id);
}

QString presence(Ref ref, qint64 id)
{
    const char* table = "accounts_dep.person";
    switch (ref) {
    case Ref::Worker:
        table = "accounts_dep.person";
        break;
    case Ref::Operation:
        table = "accounts_dep.oper";
        break;
    case Ref::Product:
        table = "accounts_dep.izdel";
        break;
    case Ref::Kind:
        table = "accounts_dep.vid_oper";
        break;
    }
    return QStringLiteral("select count(*) as cnt from ") + QString::fromLatin1(table) + QStringLiteral(" where id=") +
           number(id);
}

QString lockKey(Key key, const QString& text)
{
    return QStringLiteral("select pg_advisory_xact_lock(") + number(kKeyLockClassBase + static_cast<int>(key)) +
           QStringLiteral(", hashtext(") + db::sql::quote(text) + QStringLiteral("))");
}

} // namespace db::refs_sql
