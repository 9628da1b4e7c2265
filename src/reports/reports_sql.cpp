#include "reports/reports_sql.h"

namespace reports_sql {

// Each statement is sent as its lines joined by line breaks (db::sql::lines).

const QStringList kByWorker = {
    QStringLiteral("select person.s_caption fio, sum(smena.kol_vo-smena.brak)::numeric as kolvo, "),
    QStringLiteral("sum((kol_vo-brak)*smena.cena) as summa,vid_oper.vid,"),
    QStringLiteral("izdel.nom, oper.naimen, color from cmn_contractor.person "
                   "person,accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper,"),
    QStringLiteral("accounts_dep.oper where w_id=s_code::integer and izdel.id=smena.i_id and vid_oper.id=oper.vid"),
    QStringLiteral("and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 "),
    QStringLiteral("group by fio, izdel.nom, oper.naimen, vid_oper.vid, color order by fio, izdel.nom"),
};

const QStringList kByProduct = {
    QStringLiteral("select sum(smena.kol_vo-smena.brak)::numeric as kolvo, vid_oper.vid,"),
    QStringLiteral("izdel.nom, oper.naimen, color,  round((izdel.massa*sum(smena.kol_vo-smena.brak))::numeric,2) as mass"),
    QStringLiteral("from accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper, accounts_dep.oper where "
                   "izdel.id=smena.i_id and vid_oper.id=oper.vid"),
    QStringLiteral("and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 "),
    QStringLiteral("group by izdel.nom,color, oper.naimen, vid_oper.vid, izdel.massa order by izdel.nom"),
};

const QStringList kDetailByWorker = {
    QStringLiteral("select s_caption fio, izdel.marka, vid_oper.vid, oper.naimen, "),
    QStringLiteral("sum(smena.kol_vo)::numeric as kolvo, sum(smena.brak) as brk, sum((kol_vo-brak)*"),
    // cena qualified: the operations table has a column cena too, and the bare name is ambiguous to the server.
    QStringLiteral("smena.cena) as summa, color, sum(prize*(kol_vo-brak)*smena.cena/100) as s_prize "),
    QStringLiteral("from cmn_contractor.person "
                   "person,accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper where "),
    QStringLiteral("smena.o_id=oper.id and smena.w_id=s_code::integer and smena.i_id=izdel.id "),
    QStringLiteral("and smena.o_id=oper.id and w_id=s_code::integer and oper.vid=vid_oper.id "),
    QStringLiteral("and smena.data<:data2 and smena.data>=:data1 group by fio, marka, "),
    QStringLiteral("vid_oper.vid, oper.naimen, color order by fio, marka, vid_oper.vid, oper.naimen"),
};

const QStringList kDetailByProduct = {
    QStringLiteral("select izdel.marka, vid_oper.vid vid, oper.naimen, izdel.nom,"),
    QStringLiteral("sum(smena.kol_vo)::numeric as kolvo, sum(smena.brak) as brk, "),
    QStringLiteral("sum((kol_vo-brak)*smena.cena) as summa, color, round((izdel.massa*sum(smena.kol_vo))::numeric,2) "
                   "as mass "),
    QStringLiteral("from accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper where "
                   "smena.o_id=oper.id and smena.i_id=izdel.id "),
    QStringLiteral("and smena.o_id=oper.id and oper.vid=vid_oper.id and smena.data<:data2 and "),
    QStringLiteral("smena.data>=:data1 group by izdel.nom, marka, vid_oper.vid, oper.naimen, color,massa "),
    QStringLiteral("order by izdel.nom,marka, vid_oper.vid, oper.naimen"),
};

const QStringList kProduction = {
    QStringLiteral("select sum(smena.kol_vo-smena.brak)::numeric as kolvo, vid_oper.vid,"),
    QStringLiteral("izdel.nom, oper.naimen, color,izdel.massa*sum(smena.kol_vo-smena.brak) as mass "),
    QStringLiteral("from accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper, accounts_dep.oper where "
                   "izdel.id=smena.i_id and vid_oper.id=oper.vid"),
    QStringLiteral("and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 "),
    QStringLiteral("group by izdel.nom,color, oper.naimen, vid_oper.vid, izdel.massa order by izdel.nom"),
};

} // namespace reports_sql
