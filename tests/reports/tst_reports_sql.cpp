// The statements of the period reports and of the production export, held against their documented texts.
#include "db/sql_text.h"
#include "reports/reports_sql.h"

#include <QtTest>

class TestReportsSql : public QObject {
    Q_OBJECT

private slots:
    void statements_data()
    {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("expected");
        QTest::newRow("by worker")
            << reports_sql::kByWorker
            << "select person.s_caption fio, sum(smena.kol_vo-smena.brak)::numeric as kolvo, \r\n"
               "sum((kol_vo-brak)*smena.cena) as summa,vid_oper.vid,\r\n"
               "izdel.nom, oper.naimen, color from cmn_contractor.person "
               "person,accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper,\r\n"
               "accounts_dep.oper where w_id=s_code::integer and izdel.id=smena.i_id and vid_oper.id=oper.vid\r\n"
               "and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 \r\n"
               "group by fio, izdel.nom, oper.naimen, vid_oper.vid, color order by fio, izdel.nom\r\n";
        QTest::newRow("by product")
            << reports_sql::kByProduct
            << "select sum(smena.kol_vo-smena.brak)::numeric as kolvo, vid_oper.vid,\r\n"
               "izdel.nom, oper.naimen, color,  round((izdel.massa*sum(smena.kol_vo-smena.brak))::numeric,2) as mass\r\n"
               "from accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper, accounts_dep.oper where "
               "izdel.id=smena.i_id and vid_oper.id=oper.vid\r\n"
               "and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 \r\n"
               "group by izdel.nom,color, oper.naimen, vid_oper.vid, izdel.massa order by izdel.nom\r\n";
        QTest::newRow("detailed by worker")
            << reports_sql::kDetailByWorker
            << "select s_caption fio, izdel.marka, vid_oper.vid, oper.naimen, \r\n"
               "sum(smena.kol_vo)::numeric as kolvo, sum(smena.brak) as brk, sum((kol_vo-brak)*\r\n"
               "smena.cena) as summa, color, sum(prize*(kol_vo-brak)*smena.cena/100) as s_prize \r\n"
               "from cmn_contractor.person "
               "person,accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper where \r\n"
               "smena.o_id=oper.id and smena.w_id=s_code::integer and smena.i_id=izdel.id \r\n"
               "and smena.o_id=oper.id and w_id=s_code::integer and oper.vid=vid_oper.id \r\n"
               "and smena.data<:data2 and smena.data>=:data1 group by fio, marka, \r\n"
               "vid_oper.vid, oper.naimen, color order by fio, marka, vid_oper.vid, oper.naimen\r\n";
        QTest::newRow("detailed by product")
            << reports_sql::kDetailByProduct
            << "select izdel.marka, vid_oper.vid vid, oper.naimen, izdel.nom,\r\n"
               "sum(smena.kol_vo)::numeric as kolvo, sum(smena.brak) as brk, \r\n"
               "sum((kol_vo-brak)*smena.cena) as summa, color, round((izdel.massa*sum(smena.kol_vo))::numeric,2) as "
               "mass \r\n"
               "from accounts_dep.izdel,accounts_dep.oper,accounts_dep.smena,accounts_dep.vid_oper where "
               "smena.o_id=oper.id and smena.i_id=izdel.id \r\n"
               "and smena.o_id=oper.id and oper.vid=vid_oper.id and smena.data<:data2 and \r\n"
               "smena.data>=:data1 group by izdel.nom, marka, vid_oper.vid, oper.naimen, color,massa \r\n"
               "order by izdel.nom,marka, vid_oper.vid, oper.naimen\r\n";
        QTest::newRow("production export")
            << reports_sql::kProduction
            << "select sum(smena.kol_vo-smena.brak)::numeric as kolvo, vid_oper.vid,\r\n"
               "izdel.nom, oper.naimen, color,izdel.massa*sum(smena.kol_vo-smena.brak) as mass \r\n"
               "from accounts_dep.smena,accounts_dep.izdel,accounts_dep.vid_oper, accounts_dep.oper where "
               "izdel.id=smena.i_id and vid_oper.id=oper.vid\r\n"
               "and oper.id=smena.o_id and smena.data<:data2 and smena.data>=:data1 \r\n"
               "group by izdel.nom,color, oper.naimen, vid_oper.vid, izdel.massa order by izdel.nom\r\n";
    }

    void statements()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, expected);
        QCOMPARE(db::sql::lines(lines), expected);
        QStringList params;
        for (const auto& p : db::sql::findParams(db::sql::lines(lines)))
            params << p.name;
        QCOMPARE(params, QStringList({"data2", "data1"}));
    }
};

QTEST_APPLESS_MAIN(TestReportsSql)
#include "tst_reports_sql.moc"
