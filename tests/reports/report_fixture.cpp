#include "reports/report_fixture.h"

void loadReportJournal(TestDatabase& db)
{
    loadSmallShop(db);
    // Person 3's number is 77: the journal's worker 3 matches nobody by number.
    db.exec(QStringLiteral(
        "insert into cmn_contractor.person (id, s_caption, s_code) values (3, 'Сидоров С.С.', '77');"
        // operation 3: product 1 painted, finished
        "insert into accounts_dep.oper (id, vid, naimen, i_id, cena_new) values (3, 2, 0, 1, 0);"
        "insert into accounts_dep.smena (w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, prize)"
        " values"
        " (1, 1, 1, 12.5, 10, 1, '2026-11-01', 1, 0, 8, 'ok', 10),"  // first day of the period
        " (1, 1, 3, 30, 4, 0, '2026-11-15', 1, 1, 8, 'ok', 0),"      // primer
        " (1, 1, 3, 30, 6, 0, '2026-11-16', 2, 5, 8, 'no', 0),"      // colour 5
        " (2, 2, 2, 30, 7, 0, '2026-11-30', 1, 5, 8, 'ok', 0),"      // blank, colour 5
        " (2, 2, 2, 30, 3, 1, '2026-11-30', 2, 1, 8, 'ok', 0),"      // blank, primer
        " (2, 1, 1, 12.5, 100, 0, '2026-12-01', 1, 0, 8, 'ok', 0),"  // the period's end: not counted
        " (2, 1, 1, 12.5, 100, 0, '2026-10-31', 1, 0, 8, 'ok', 0),"  // before the period
        " (3, 1, 1, 12.5, 5, 0, '2026-11-20', 1, 0, 8, 'ok', 0)"));  // no worker with number 3
}
