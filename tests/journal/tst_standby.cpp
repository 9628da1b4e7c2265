// A primary and a streaming standby on one machine, both listed as the server address: the journal's changes on
// the primary, the reports on the standby (read-only, saying so), and the primary lost: changes refused while only
// the standby answers, then going on, with one message, once the standby is promoted.
#include "db/command.h"
#include "db/connection_string.h"
#include "db/data_module.h"
#include "db/service.h"
#include "db/session.h"
#include "db/transaction.h"
#include "journal/journal_changes.h"
#include "journal/journal_window.h"
#include "support/app_fixture.h"
#include "ui/messages.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cstdlib>
#include <thread>

namespace {

const QString kDbDir = QStringLiteral(KESTA_DB_DIR);

QString script(const QString& name, const QStringList& args, int* rc = nullptr)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(kDbDir + u'/' + name, args);
    p.waitForFinished(120000);
    if (rc)
        *rc = p.exitCode();
    else if (p.exitCode() != 0)
        qFatal("%s %s failed: %s", qPrintable(name), qPrintable(args.join(u' ')), p.readAll().constData());
    return QString::fromUtf8(p.readAll()).trimmed();
}

QVariant one(const QString& connectionName, const QString& sql)
{
    db::Result q = db::execStatement(connectionName, sql);
    return q.next() ? q.value(0) : QVariant();
}

// Rows of one worker and operation that differ in their shift (and so are no duplicates).
journal_sql::EntryRow row(int quantity, int shift)
{
    journal_sql::EntryRow r;
    r.workerId = 1;
    r.operId = 1;
    r.productId = 1;
    r.price = 12.5;
    r.quantity = QString::number(quantity);
    r.rejects = QStringLiteral("0");
    r.hours = QStringLiteral("4");
    r.shift = shift;
    r.date = QDate::currentDate();
    r.today = r.date;
    return r;
}

} // namespace

class TestStandby : public QObject {
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        QFile::setPermissions(dir_.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                               QFileDevice::ExeGroup | QFileDevice::ExeOther |
                                               QFileDevice::ReadGroup | QFileDevice::ReadOther);
        primary_ = dir_.filePath(QStringLiteral("primary"));
        standby_ = dir_.filePath(QStringLiteral("standby"));
        script(QStringLiteral("pgcluster.sh"), {QStringLiteral("start"), primary_});
        script(QStringLiteral("pgcluster.sh"),
               {QStringLiteral("admin"), primary_, QStringLiteral("-d"), QStringLiteral("postgres"),
                QStringLiteral("-c"), QStringLiteral("create database kesta_erp owner sys")});
        script(QStringLiteral("pgcluster.sh"), {QStringLiteral("psql"), primary_, QStringLiteral("-d"),
                                                QStringLiteral("kesta_erp"), QStringLiteral("-v"),
                                                QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-f"),
                                                kDbDir + QStringLiteral("/schema.sql")});
        script(QStringLiteral("pgcluster.sh"),
               {QStringLiteral("admin"), primary_, QStringLiteral("-d"), QStringLiteral("kesta_erp"),
                QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-f"),
                kDbDir + QStringLiteral("/roles.sql")});
        script(QStringLiteral("pgcluster.sh"),
               {QStringLiteral("psql"), primary_, QStringLiteral("-d"), QStringLiteral("kesta_erp"), QStringLiteral("-c"),
                QStringLiteral("insert into cmn_contractor.person (id, s_caption, s_code) values (1, 'Иванов И.И.', '1');"
                               "insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa) values (1, 'ДМ-101', 2);"
                               "insert into accounts_dep.vid_oper (id, vid) values (1, 'РЕЗКА');"
                               "insert into accounts_dep.oper (id, vid, naimen, i_id, cena_new) values (1, 1, 0, 1, 0);"
                               "insert into accounts_dep.norm (o_id, norma, price, prize) values (1, 100, 12.5, 0)")});
        script(QStringLiteral("standby.sh"), {QStringLiteral("start"), primary_, standby_});
        primarySock_ = script(QStringLiteral("pgcluster.sh"), {QStringLiteral("socket"), primary_});
        standbySock_ = script(QStringLiteral("pgcluster.sh"), {QStringLiteral("socket"), standby_});
        // What this "workstation" remembers of the primaries it wrote to, kept apart from the user's settings.
        db::setServerMemoryFile(dir_.filePath(QStringLiteral("memory.ini")));
    }

    void cleanupTestCase()
    {
        int rc = 0;
        db::setServerMemoryFile({});
        script(QStringLiteral("standby.sh"), {QStringLiteral("stop"), standby_}, &rc);
        script(QStringLiteral("pgcluster.sh"), {QStringLiteral("stop"), primary_}, &rc);
    }

    // Both listed: the journal's connection on the primary, the reports' on the standby, read-only, saying where
    // its data is from; a row saved on the primary shows in a report once the standby has replayed it.
    void reportsOnTheStandby()
    {
        Database dm;
        dm.ADO_DB.setConnectionString(db::connectionStringFor("kesta_erp", primarySock_ + u',' + standbySock_));
        dm.ADO_DB.open();
        const QString cn = dm.ADO_DB.name(), reports = dm.reportConnectionName();
        QCOMPARE(one(cn, "select pg_is_in_recovery()").toBool(), false);
        QCOMPARE(one(reports, "select pg_is_in_recovery()").toBool(), true);
        QVERIFY2(db::standbyNote(reports).startsWith("данные резервного сервера"), qPrintable(db::standbyNote(reports)));
        QCOMPARE(db::standbyNote(cn), QString());
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::execStatement(reports, "insert into accounts_dep.vid_oper (vid) "
                                                                         "values ('X')"));

        QCOMPARE(journal::saveRow(dm, row(11, 1)), journal::Outcome::Done);
        const QString lsn = one(cn, "select pg_current_wal_insert_lsn()::text").toString();
        QElapsedTimer t;
        t.start();
        while (!one(reports, QString("select pg_last_wal_replay_lsn() >= '%1'::pg_lsn").arg(lsn)).toBool() &&
               t.elapsed() < 20000)
            QThread::msleep(50);
        QCOMPARE(one(reports, "select count(*) from accounts_dep.smena where kol_vo = 11").toInt(), 1);
    }

    // The primary lost while a save waits for a timesheet row that another workstation holds, before the save's
    // commit: one message, that nothing was written, in the program's words (libpq's only in the details), and the
    // 30-second check that ticks while it is open adds none; nor does it repeat it later. Once the standby is
    // promoted the check says once where the program is now, and the next save goes through there.
    void primaryLostInASave()
    {
        AppFixture app(QStringLiteral("kesta_erp"), primarySock_ + u',' + standbySock_, QStringLiteral("Dec 10 2026"),
                       QStringLiteral("10:00:00"));
        QVERIFY(!app.w.terminateRequested);
        Database& dm = *app.w.database;
        QCOMPARE(journal::saveRow(dm, row(12, 2)), journal::Outcome::Done);

        db::Connector other;
        QVERIFY(other.open({{"host", primarySock_.toUtf8()}, {"user", "sys"}, {"dbname", "kesta_erp"}}));
        other.exec(QStringLiteral("begin"));
        other.exec(QStringLiteral("select id from accounts_dep.h_tabel where smena = 2 for update"));
        std::thread stopper([this] {
            QThread::msleep(1500);
            std::system(qPrintable(kDbDir + QStringLiteral("/pgcluster.sh stop ") + primary_));
        });
        ui::Messages::clearShown();
        ui::Messages::setOnShow([&](const ui::ShownMessage&) { app.w.journal->periodicBuildCheck(); });
        journal_sql::EntryRow cut = row(13, 2);
        cut.color = 1; // no duplicate of the row above
        ui::guarded([&] { journal::saveRow(dm, cut); });
        ui::Messages::setOnShow({});
        stopper.join();
        other.close();

        QList<ui::ShownMessage> shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Нет связи с основным сервером базы данных: отвечает только резервный "
                                               "сервер, изменения на нём невозможны. Действие не выполнено, повторите "
                                               "его."));
        QVERIFY(!shown[0].details.isEmpty());
        QVERIFY(!db::anyTransactionOpen());
        // Later ticks while the primary is away say nothing more: the problem has been said.
        app.w.journal->periodicBuildCheck();
        app.w.journal->periodicBuildCheck();
        QCOMPARE(ui::Messages::shown().size(), 1);

        script(QStringLiteral("standby.sh"), {QStringLiteral("promote"), standby_});
        ui::Messages::clearShown();
        db::takeNotices();
        QVERIFY(app.w.journal->runBuildStampCheck());
        app.w.journal->periodicBuildCheck();
        shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, ui::ShownMessage::Kind::Information);
        QVERIFY2(shown[0].text.contains(standbySock_), qPrintable(shown[0].text));

        QCOMPARE(journal::saveRow(dm, row(14, 3)), journal::Outcome::Done);
        const QString cn = dm.ADO_DB.name();
        QCOMPARE(one(cn, "select pg_is_in_recovery()").toBool(), false);
        QCOMPARE(one(cn, "select count(*) from accounts_dep.smena where kol_vo in (13, 14)").toInt(), 1);
        QCOMPARE(one(cn, "select count(*) from accounts_dep.smena where kol_vo = 12").toInt(), 1);
        QCOMPARE(one(cn, "select sum(d" + QString::number(QDate::currentDate().day()) +
                             ") from accounts_dep.h_tabel where smena = 2")
                     .toInt(),
                 4);
    }

    // The old primary started again after the failover: the workstation, which wrote on the new primary's
    // timeline, refuses it and says which server and why; once db/standby.sh has made it a standby of the new
    // primary, the program works against the pair again: changes on the new primary, reports on the old server.
    void formerPrimaryRefusedUntilRewound()
    {
        script(QStringLiteral("pgcluster.sh"), {QStringLiteral("start"), primary_});
        {
            Database dm;
            dm.ADO_DB.setConnectionString(db::connectionStringFor("kesta_erp", primarySock_ + u',' + standbySock_));
            QString refusal, state;
            try {
                dm.ADO_DB.open();
            } catch (const db::DbError& e) {
                refusal = e.text();
                state = e.sqlState();
            }
            QCOMPARE(state, QString::fromLatin1(db::kFormerPrimaryState));
            QVERIFY2(
                refusal.startsWith(QStringLiteral("Сервер базы данных %1 — прежний основной сервер").arg(primarySock_)),
                qPrintable(refusal));
        }
        {
            AppFixture app(QStringLiteral("kesta_erp"), primarySock_ + u',' + standbySock_,
                           QStringLiteral("Dec 10 2026"), QStringLiteral("10:00:00"));
            QVERIFY(app.w.terminateRequested);
            const QList<ui::ShownMessage> shown = ui::Messages::shown();
            QCOMPARE(shown.size(), 1);
            QVERIFY2(shown[0].details.contains(QStringLiteral("прежний основной сервер")),
                     qPrintable(shown[0].details));
        }
        // Nothing of the refused server was taken as the data: the row saved after the failover is not there.
        QCOMPARE(script(QStringLiteral("pgcluster.sh"),
                        {QStringLiteral("psql"), primary_, QStringLiteral("-d"), QStringLiteral("kesta_erp"),
                         QStringLiteral("-Atc"),
                         QStringLiteral("select count(*) from accounts_dep.smena where kol_vo = 14")}),
                 QStringLiteral("0"));

        script(QStringLiteral("standby.sh"), {QStringLiteral("rewind"), primary_, standby_});
        AppFixture app(QStringLiteral("kesta_erp"), primarySock_ + u',' + standbySock_, QStringLiteral("Dec 10 2026"),
                       QStringLiteral("10:00:00"));
        QVERIFY(!app.w.terminateRequested);
        Database& dm = *app.w.database;
        const QString cn = dm.ADO_DB.name(), reports = dm.reportConnectionName();
        QCOMPARE(journal::saveRow(dm, row(15, 4)), journal::Outcome::Done);
        QCOMPARE(one(cn, "select pg_is_in_recovery()").toBool(), false);
        QCOMPARE(db::serverOf(cn), standbySock_);
        QCOMPARE(one(reports, "select pg_is_in_recovery()").toBool(), true);
        QCOMPARE(db::serverOf(reports), primarySock_);
        const QString lsn = one(cn, "select pg_current_wal_insert_lsn()::text").toString();
        QElapsedTimer t;
        t.start();
        while (!one(reports, QString("select pg_last_wal_replay_lsn() >= '%1'::pg_lsn").arg(lsn)).toBool() &&
               t.elapsed() < 20000)
            QThread::msleep(50);
        QCOMPARE(one(reports, "select count(*) from accounts_dep.smena where kol_vo in (14, 15)").toInt(), 2);
    }

private:
    QTemporaryDir dir_;
    QString primary_, standby_, primarySock_, standbySock_;
};

QTEST_MAIN(TestStandby)
#include "tst_standby.moc"
