#include "db/data_module_sql.h"

namespace db::dmsql {

const QString kWorkers = QStringLiteral("select * from accounts_dep.person order by fio");
const QString kIzdel = QStringLiteral("select *  from accounts_dep.IZDEL order by marka");
const QString kVidOper = QStringLiteral("select * from accounts_dep.VID_OPER order by vid");
const QString kOperDel = QStringLiteral("delete from accounts_dep.oper where id=:id");

const QStringList kOperLines = {
    QStringLiteral("select izdel.MARKA, vid_oper.VID, oper.NAIMEN, (SELECT (CASE naimen WHEN 0 THEN 'Готовая "
                   "продукция' ELSE 'Заготовки' END)) as nmn,"),
    QStringLiteral("count(o_id) norma, min(price)::numeric cena,"),
    QStringLiteral("oper.id, oper.i_id, oper.VID as oper_vid from "
                   "accounts_dep.norm,accounts_dep.OPER,accounts_dep.IZDEL,accounts_dep.VID_OPER where "
                   "OPER.i_id=IZDEL.id and norm.o_id=oper.id"),
    QStringLiteral("and oper.vid=vid_oper.id group by izdel.MARKA, vid_oper.VID, oper.NAIMEN, oper.id, oper.i_id, "
                   "oper.VID order by izdel.marka, vid_oper.vid, oper.naimen"),
};

static const QStringList kSmena1Lines = {
    QStringLiteral("select smena.id, smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, "),
    QStringLiteral(
        "smena.cena,person.s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN 'Готовая "
        "продукция' ELSE 'Заготовки' END)) as nmn, oper.naimen,  smena.brak, smena.kol_vo::numeric,"),
    QStringLiteral("round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, color,time, smena.ok, vvod, "
                   "smena.id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use"),
    QStringLiteral("from cmn_contractor.person person, "
                   "accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper "),
    QStringLiteral("where smena.i_id=izdel.id and smena.o_id=oper.id and (w_id=person.id or s_code::t_id=w_id) and "),
    QStringLiteral("oper.vid=vid_oper.id and smena.smena=1 and smena.data=:data and ok!=:ok order by "),
    QStringLiteral("fio, izdel.marka, vid_oper.vid, oper.naimen, color"),
};

static const QStringList kSmena2Lines = {
    QStringLiteral("select smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, "),
    QStringLiteral("smena.cena, s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN 'Готовая "
                   "продукция' ELSE 'Заготовки' END)) as nmn, oper.naimen, smena.kol_vo::numeric, smena.brak, "),
    QStringLiteral(
        "round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, smena.id, color,time,smena.ok,vvod, "
        "smena.id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use  "),
    QStringLiteral("from cmn_contractor.person "
                   "person,accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper "),
    QStringLiteral("where smena.i_id=izdel.id and smena.o_id=oper.id and (w_id=person.id or s_code::t_id=w_id) and "),
    QStringLiteral("oper.vid=vid_oper.id and smena.smena=2 and smena.data=:data and ok<>:ok order by fio"),
};

static const QStringList kSmena3Lines = {
    QStringLiteral("select smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, "),
    QStringLiteral("smena.cena,s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN 'Готовая "
                   "продукция' ELSE 'Заготовки' END)) as nmn,  oper.naimen, smena.kol_vo::numeric, smena.brak, "),
    QStringLiteral(
        "round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, smena.id, color,time,smena.ok,vvod, "
        "smena.id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use"),
    QStringLiteral("from cmn_contractor.person "
                   "person,accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper "),
    QStringLiteral("where smena.i_id=izdel.id and smena.o_id=oper.id and (w_id=person.id or s_code::t_id=w_id) and "),
    QStringLiteral("oper.vid=vid_oper.id and smena.smena=3 and smena.data=:data and ok<>:ok order by fio"),
};

static const QStringList kSmena4Lines = {
    QStringLiteral("select smena.data, smena.smena, smena.i_id, smena.o_id, smena.w_id, "),
    QStringLiteral(
        "smena.cena,person.s_caption fio, izdel.marka, vid_oper.vid, (SELECT (CASE naimen WHEN 0 THEN 'Готовая "
        "продукция' ELSE 'Заготовки' END)) as nmn,  oper.naimen, smena.kol_vo::numeric, smena.brak, "),
    QStringLiteral(
        "round((kol_vo-brak)*smena.cena::numeric, 2) as summa, smena.prize, smena.id , color,time,smena.ok,vvod, "
        "smena.id_doc, smena.id_doc_item, smena.f_gds_qty_use, smena.id_gds_use, smena.id_cons_use "),
    QStringLiteral("from cmn_contractor.person person, accounts_dep.izdel, "
                   "accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper "),
    QStringLiteral("where smena.i_id=izdel.id and smena.o_id=oper.id and (w_id=person.id or s_code::t_id=w_id) and "),
    QStringLiteral("oper.vid=vid_oper.id and smena.smena=4 and smena.data=:data and ok<>:ok order by fio"),
};

static const QStringList kHTabel1Lines = {
    QStringLiteral("select person.s_caption fio, h_tabel.*,(d1+d2+d3+d4+d5+d6+d7+d8+d9+d10+d11"),
    QStringLiteral("+d12+d13+d14+d15+d16+d17+d18+d19+d20+d21+d22+d23+d24+d25"),
    QStringLiteral("+d26+d27+d28+d29+d30+d31) as summ from accounts_dep.h_tabel, cmn_contractor.person where "),
    QStringLiteral("h_tabel.w_id=person.s_code::integer and h_tabel.smena=1 and month=:mnth and "),
    QStringLiteral("year=:yea order by fio"),
};
const QStringList& smenaLines(int shift)
{
    switch (shift) {
    case 2:
        return kSmena2Lines;
    case 3:
        return kSmena3Lines;
    case 4:
        return kSmena4Lines;
    default:
        return kSmena1Lines;
    }
}

QStringList hTabelLines(int shift)
{
    QStringList lines = kHTabel1Lines;
    if (shift == 2 || shift == 3)
        lines[3].replace(QStringLiteral("h_tabel.smena=1"), QStringLiteral("h_tabel.smena=%1").arg(shift));
    return lines;
}

} // namespace db::dmsql
