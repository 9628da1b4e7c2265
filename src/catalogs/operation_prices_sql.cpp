#include "catalogs/operation_prices_sql.h"

namespace operation_prices_sql {

namespace {

QString n(qint64 v)
{
    return QString::number(v);
}

} // namespace

QString duplicateOfNew(qint32 v, int nm, qint32 i)
{
    return QStringLiteral("select count(ID) as cnt from accounts_dep.OPER where vid=") + n(v) +
           QStringLiteral(" and naimen=") + n(nm) + QStringLiteral(" and i_id=") + n(i);
}

QString insertOperation(qint32 v, int nm, qint32 i)
{
    return QStringLiteral("insert into accounts_dep.oper(vid, naimen, i_id, cena_new)values (") + n(v) +
           QStringLiteral(", ") + n(nm) + QStringLiteral(", ") + n(i) + QStringLiteral(", 0)");
}

QString duplicateOfChanged(qint32 v, int nm, qint32 i, const QString& x)
{
    return QStringLiteral("select count(*) as cnt from accounts_dep.OPER where vid=") + n(v) +
           QStringLiteral(" and naimen=") + n(nm) + QStringLiteral(" and i_id=") + n(i) + QStringLiteral(" and id<>") + x;
}

QString updateOperation(qint32 v, int nm, qint32 i, const QString& x)
{
    return QStringLiteral("update accounts_dep.oper set vid=") + n(v) + QStringLiteral(", naimen=") + n(nm) +
           QStringLiteral(",  i_id=") + n(i) + QStringLiteral(" where id=") + x;
}

const QStringList kXlsRepLines = {
    QStringLiteral("select izdel.MARKA, vid_oper.VID, oper.NAIMEN,(SELECT (CASE naimen WHEN 0 THEN 'Готовая "
                   "продукция' ELSE 'Заготовки' END)) as nmn, oper.CENA_new as cena, oper.id, oper.i_id,"),
    QStringLiteral(" oper.VID as oper_vid from accounts_dep.OPER,accounts_dep.IZDEL,accounts_dep.VID_OPER where "
                   "OPER.i_id=IZDEL.id "),
    QStringLiteral("and oper.vid=vid_oper.id order by izdel.marka, vid_oper.vid, oper.naimen"),
};

QString newOperationId(qint32 v, int nm, qint32 i)
{
    return QStringLiteral("select max(id) as id from accounts_dep.oper where vid=") + n(v) +
           QStringLiteral(" and naimen=") + n(nm) + QStringLiteral(" and i_id=") + n(i);
}

QString journalRowsOf(qint32 operationId)
{
    return QStringLiteral("select count(*) as cnt from accounts_dep.smena where o_id=") + n(operationId);
}

QString deleteNormsOf(qint32 operationId)
{
    return QStringLiteral("delete from accounts_dep.norm where o_id=") + n(operationId);
}

} // namespace operation_prices_sql
