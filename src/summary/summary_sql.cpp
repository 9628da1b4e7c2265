#include "summary/summary_sql.h"

namespace summary_sql {

// Good pieces are the quantity less the rejects, and they are what is paid, as in the period reports; a row is
// accepted when its mark is "ok" (or "да", written by older programs).

QString byDayAndShift()
{
    return QStringLiteral(
        "select extract(day from data)::integer as day, smena::integer as shift, count(*)::integer as rows_count,\n"
        "       coalesce(sum(kol_vo - brak), 0)::float8 as pieces,\n"
        "       coalesce(sum((kol_vo - brak) * cena), 0)::float8 as summa,\n"
        "       (count(*) filter (where ok in ('ok', 'да')))::integer as accepted\n"
        "from accounts_dep.smena\n"
        "where data >= :data1 and data < :data2\n"
        "group by 1, 2\n"
        "order by 1, 2");
}

QString byWorker()
{
    return QStringLiteral(
        "select coalesce((select p.s_caption from cmn_contractor.person p where p.s_code::t_id = s.w_id\n"
        "                 order by p.id limit 1), s.w_id::text) as fio,\n"
        "       s.summa\n"
        "from (select w_id, coalesce(sum((kol_vo - brak) * cena), 0)::float8 as summa\n"
        "      from accounts_dep.smena\n"
        "      where data >= :data1 and data < :data2\n"
        "      group by w_id) s\n"
        "order by s.summa desc, fio");
}

QString figures()
{
    return QStringLiteral(
        "select (data >= :data1) as current_month, count(*)::integer as rows_count,\n"
        "       coalesce(sum(kol_vo - brak), 0)::float8 as pieces, coalesce(sum(brak), 0)::float8 as rejects,\n"
        "       coalesce(sum(time), 0)::float8 as hours, coalesce(sum((kol_vo - brak) * cena), 0)::float8 as summa,\n"
        "       count(distinct data)::integer as days\n"
        "from accounts_dep.smena\n"
        "where data >= :prev1 and data < :data2\n"
        "group by 1");
}

} // namespace summary_sql
