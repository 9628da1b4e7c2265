// The window "Сводка за месяц" on a real server: it shows the chosen month, follows another workstation's save
// without the user's action, switches between pieces and roubles, is worked by keys, and says so when a month
// has no rows.
#include "charts/chart_view.h"
#include "db/data_module.h"
#include "summary/summary_window.h"
#include "support/test_database.h"
#include "ui/messages.h"

#include <QComboBox>
#include <QLabel>
#include <QRadioButton>
#include <QtTest>

namespace {

void addRow(TestDatabase& db, int worker, int shift, const QString& day, int quantity, double price, const QString& ok)
{
    db.exec(QStringLiteral("insert into accounts_dep.smena (w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color,"
                           " time, ok, vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use)"
                           " values (%1, 1, 1, %2, %3, 0, '%4', %5, 0, 4, '%6', '%4', 0, 0, 0, 0, 0, 0)")
                .arg(worker)
                .arg(price)
                .arg(quantity)
                .arg(day)
                .arg(shift)
                .arg(ok));
}

double total(const charts::Chart& c)
{
    double sum = 0;
    for (const charts::Series& s : c.bars)
        for (double v : s.values)
            sum += v;
    return sum;
}

} // namespace

class TestSummaryWindow : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        ui::Messages::setScripted(true);
        ui::Messages::clearShown();
    }

    void showsFollowsAndSwitches()
    {
        TestDatabase db;
        loadSmallShop(db);
        addRow(db, 1, 1, QStringLiteral("2026-11-02"), 10, 12.5, QStringLiteral("ok"));
        addRow(db, 2, 3, QStringLiteral("2026-11-03"), 20, 10.25, QStringLiteral("no"));
        addRow(db, 1, 2, QStringLiteral("2026-10-15"), 30, 12.5, QStringLiteral("ok"));
        Database dm;
        dm.ADO_DB.setConnectionString(db.connectionString());
        dm.ADO_DB.open();

        SummaryWindow w(dm);
        w.chooseMonth(2026, 11);
        // as the program shows it: modally (the live re-read waits while another window is over it)
        w.setWindowModality(Qt::ApplicationModal);
        w.show();
        w.FormActivate();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        auto* output = w.findChild<charts::ChartView*>(QStringLiteral("outputChart"));
        auto* earners = w.findChild<charts::ChartView*>(QStringLiteral("earnersChart"));
        auto* figures = w.findChild<QLabel*>(QStringLiteral("figures"));
        QCOMPARE(total(output->chart()), 30.0);
        QCOMPARE(output->chart().bars[2].values[2], 20.0); // the 3rd, shift 3
        QCOMPARE(earners->chart().categories, QStringList({QStringLiteral("Петрова А.С."), QStringLiteral("Иванов И.И.")}));
        QVERIFY2(figures->text().contains(QStringLiteral("Записей: 2")), qPrintable(figures->text()));

        // another workstation's save of the shown month shows within a second, without an action
        addRow(db, 1, 4, QStringLiteral("2026-11-20"), 5, 18.75, QStringLiteral("no"));
        QTRY_COMPARE_WITH_TIMEOUT(total(output->chart()), 35.0, 1500);
        QCOMPARE(output->chart().bars[3].values[19], 5.0);
        QCOMPARE(w.shown().current.rows, 3);

        // roubles by the switch, by keys
        auto* roubles = w.findChild<QRadioButton*>(QStringLiteral("roubles"));
        roubles->setFocus();
        QTest::keyClick(roubles, Qt::Key_Space);
        QVERIFY(roubles->isChecked());
        QCOMPARE(total(output->chart()), 10 * 12.5 + 20 * 10.25 + 5 * 18.75);

        // the month list by keys: December has no rows, and every chart says so
        auto* month = w.findChild<QComboBox*>(QStringLiteral("month"));
        month->setFocus();
        QTest::keyClick(month, Qt::Key_Down);
        QCOMPARE(month->currentIndex(), 11);
        QTRY_VERIFY2(output->chart().isEmpty(), qPrintable(QStringLiteral("%1-%2 %3").arg(w.shown().year).arg(w.shown().month).arg(output->chart().title)));
        QVERIFY(earners->chart().isEmpty());
        QVERIFY(ui::Messages::shown().isEmpty());
    }
};

QTEST_MAIN(TestSummaryWindow)
#include "tst_summary_window.moc"
