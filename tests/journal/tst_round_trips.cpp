// What the journal's actions cost on an office network: the round trips to the server, counted at the connection by
// the benchmarks' slow link (a relay with a chosen round trip), and the link itself showing that delay.
#include "db/batch.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "harness/net_relay.h"
#include "journal/journal_changes.h"
#include "journal/journal_day.h"
#include "support/app_fixture.h"
#include "ui/messages.h"

#include <QElapsedTimer>
#include <QtTest>

#include <libpq-fe.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

const QDate kDay(2026, 11, 10);

std::unique_ptr<harness::Relay> relayTo(double rttMs)
{
    return std::make_unique<harness::Relay>(harness::freeLoopbackAddress(5432), 5432,
                                            TestDatabase::clusterSocket() + QStringLiteral("/.s.PGSQL.5432"), rttMs);
}

journal_sql::EntryRow entry(const QString& rowId, const QDate& date, int hours)
{
    journal_sql::EntryRow r;
    r.workerId = 2;
    r.operId = 1;
    r.productId = 1;
    r.price = 12.5;
    r.quantity = QStringLiteral("7");
    r.rejects = QStringLiteral("0");
    r.hours = QString::number(hours);
    r.shift = 1;
    r.color = 3;
    r.date = date;
    r.today = date;
    r.rowId = rowId;
    return r;
}

} // namespace

class TestRoundTrips : public QObject {
    Q_OBJECT

private slots:
    void init() { ui::Messages::clearShown(); }

    // A statement through the link takes its round trip, and counts as one.
    void linkDelay_data()
    {
        QTest::addColumn<double>("rtt");
        QTest::newRow("10 ms") << 10.0;
        QTest::newRow("40 ms") << 40.0;
    }
    void linkDelay()
    {
        QFETCH(double, rtt);
        TestDatabase db;
        auto relay = relayTo(rtt);
        const QByteArray info = QStringLiteral("host=%1 port=5432 dbname=%2 user=sys connect_timeout=10")
                                    .arg(relay->address(), db.name())
                                    .toUtf8();
        PGconn* conn = PQconnectdb(info.constData());
        QCOMPARE(PQstatus(conn), CONNECTION_OK);
        std::vector<double> times;
        const quint64 before = relay->roundTrips();
        for (int i = 0; i < 5; ++i) {
            QElapsedTimer t;
            t.start();
            PGresult* r = PQexec(conn, "select 1");
            times.push_back(t.nsecsElapsed() / 1e6);
            QCOMPARE(PQresultStatus(r), PGRES_TUPLES_OK);
            PQclear(r);
        }
        QCOMPARE(relay->roundTrips() - before, quint64(5));
        PQfinish(conn);
        std::sort(times.begin(), times.end());
        const double median = times[times.size() / 2];
        QVERIFY2(median >= rtt && median < rtt + 25, qPrintable(QStringLiteral("median %1 ms").arg(median)));
    }

    // Each action of the journal in as few round trips as its decisions allow, with the same result as one statement
    // at a time: the day in one, the acceptance, the deletion and the saves in two (the timesheet's cells are
    // recomputed by the database with the row, in the batch that commits).
    void actions_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("roundTrips");
        QTest::newRow("day opened") << "open" << 1;
        QTest::newRow("row accepted") << "accept" << 2;
        QTest::newRow("row deleted") << "delete" << 2;
        QTest::newRow("new row saved") << "new" << 2;
        QTest::newRow("row moved to another day of a month without timesheet row") << "move" << 2;
    }
    void actions()
    {
        QFETCH(QString, action);
        QFETCH(int, roundTrips);
        TestDatabase db;
        loadSmallShop(db);
        addJournalRow(db, 1001, 1, 1, kDay, 4);
        addJournalRow(db, 1002, 1, 2, kDay, 5);
        addJournalRow(db, 1003, 2, 3, kDay.addMonths(-1), 6); // worker 2 has no timesheet row in kDay's month
        db.exec("insert into accounts_dep.h_tabel (smena, w_id, month, year, d10) values (1, 1, 11, 2026, 4)");
        auto relay = relayTo(0);
        AppFixture app(db.name(), relay->address(), QStringLiteral("Dec 10 2026"), QStringLiteral("10:00:00"));
        Database& dm = *app.w.database;
        for (int s = 1; s <= 4; ++s)
            dm.smenaQuery(s)->setParam("ok", "ta");
        journal::openDay(dm, kDay);
        dm.Smena1->first();
        const journal::ShownRow shown = journal::ShownRow::current(*dm.Smena1);

        const quint64 before = relay->roundTrips();
        if (action == u"open") {
            QVERIFY(!journal::openDay(dm, kDay).closed);
            QCOMPARE(dm.Smena1->recordCount(), 1);
            QCOMPARE(dm.Smena2->recordCount(), 1);
            QCOMPARE(dm.Smena3->recordCount(), 0);
        } else if (action == u"accept") {
            QCOMPARE(journal::acceptRow(dm, shown, "ok"), journal::Outcome::Done);
            QCOMPARE(db.scalar("select ok from accounts_dep.smena where id=1001").toString(), QString("ok"));
        } else if (action == u"delete") {
            QCOMPARE(journal::deleteRow(dm, shown), journal::Outcome::Done);
            QCOMPARE(db.scalar("select count(*) from accounts_dep.smena where id=1001").toInt(), 0);
            QCOMPARE(db.scalar("select d10 from accounts_dep.h_tabel where w_id=1 and smena=1").toInt(), 0);
        } else if (action == u"new") {
            QCOMPARE(journal::saveRow(dm, entry({}, kDay, 8)), journal::Outcome::Done);
            QCOMPARE(db.scalar("select d10 from accounts_dep.h_tabel where w_id=2 and smena=1 and month=11").toInt(), 8);
        } else {
            // The row of worker 2 saved on the 10th, then moved to the 3rd and on to the 20th, each time with no
            // timesheet row for the month: both days of a move are cells of the one row that the move inserts.
            QCOMPARE(journal::saveRow(dm, entry({}, kDay, 8)), journal::Outcome::Done);
            const QString id = db.scalar("select id from accounts_dep.smena where w_id=2 and data='2026-11-10'").toString();
            db.exec("delete from accounts_dep.h_tabel where w_id=2");
            const quint64 start = relay->roundTrips();
            QCOMPARE(journal::saveRow(dm, entry(id, kDay.addDays(-7), 8)), journal::Outcome::Done);
            QCOMPARE(relay->roundTrips() - start, quint64(roundTrips));
            QList<QVariantList> rows =
                db.rows("select d3, d10 from accounts_dep.h_tabel where w_id=2 and smena=1 and month=11");
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows[0][0].toInt(), 8);
            QVERIFY(!rows[0][1].isNull()); // the day it left reads 0 in the row the 3rd's cell inserted
            QCOMPARE(rows[0][1].toInt(), 0);
            db.exec("delete from accounts_dep.h_tabel where w_id=2");
            QCOMPARE(journal::saveRow(dm, entry(id, kDay.addDays(10), 9)), journal::Outcome::Done);
            rows = db.rows("select d3, d20 from accounts_dep.h_tabel where w_id=2 and smena=1 and month=11");
            QCOMPARE(rows.size(), 1);
            QCOMPARE(rows[0][0].toInt(), 0);
            QCOMPARE(rows[0][1].toInt(), 9);
            QVERIFY(ui::Messages::shown().isEmpty());
            return;
        }
        QCOMPARE(relay->roundTrips() - before, quint64(roundTrips));
        QVERIFY(ui::Messages::shown().isEmpty());
    }
};

QTEST_MAIN(TestRoundTrips)
#include "tst_round_trips.moc"
