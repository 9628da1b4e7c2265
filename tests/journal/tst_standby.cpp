// A primary and a streaming standby on one machine, both listed as the server address: the journal's changes on
// the primary, the reports on the standby (read-only, saying so), and the primary lost: changes refused while only
// the standby answers, then going on, with one message, once the standby is promoted.
#include "db/command.h"
#include "db/connection_string.h"
#include "db/data_module.h"
#include "db/session.h"
#include "journal/journal_changes.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

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
    QSqlQuery q = db::execStatement(connectionName, sql);
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
               {QStringLiteral("psql"), primary_, QStringLiteral("-d"), QStringLiteral("postgres"), QStringLiteral("-c"),
                QStringLiteral("create database kesta_erp")});
        script(QStringLiteral("pgcluster.sh"), {QStringLiteral("psql"), primary_, QStringLiteral("-d"),
                                                QStringLiteral("kesta_erp"), QStringLiteral("-v"),
                                                QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-f"),
                                                kDbDir + QStringLiteral("/schema.sql")});
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
    }

    void cleanupTestCase()
    {
        int rc = 0;
        script(QStringLiteral("standby.sh"), {QStringLiteral("stop"), standby_}, &rc);
        script(QStringLiteral("pgcluster.sh"), {QStringLiteral("stop"), primary_}, &rc);
    }

    // Both listed: the journal's connection on the primary, the reports' on the standby, read-only, saying where
    // its data is from; a row saved on the primary shows in a report once the standby has replayed it.
    void reportsOnTheStandby()
    {
        TDataModule6 dm;
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

    // The primary lost. While only the standby answers, a save is refused and writes nothing; once the standby is
    // promoted, the next save goes through on it and the user is told once which server the program now uses.
    void failover()
    {
        TDataModule6 dm;
        dm.ADO_DB.setConnectionString(db::connectionStringFor("kesta_erp", primarySock_ + u',' + standbySock_));
        dm.ADO_DB.open();
        db::takeNotices();
        script(QStringLiteral("pgcluster.sh"), {QStringLiteral("stop"), primary_});

        QString refusal;
        try {
            journal::saveRow(dm, row(12, 2));
        } catch (const db::DbError& e) {
            refusal = e.text();
        }
        QVERIFY2(refusal.startsWith("Нет связи с базой данных."), qPrintable(refusal));

        script(QStringLiteral("standby.sh"), {QStringLiteral("promote"), standby_});
        QCOMPARE(journal::saveRow(dm, row(13, 3)), journal::Outcome::Done);
        const QStringList notices = db::takeNotices();
        QCOMPARE(notices.size(), 1);
        QVERIFY2(notices[0].contains(standbySock_), qPrintable(notices[0]));
        QCOMPARE(one(dm.ADO_DB.name(), "select pg_is_in_recovery()").toBool(), false);
        QCOMPARE(one(dm.ADO_DB.name(), "select count(*) from accounts_dep.smena where kol_vo in (12, 13)").toInt(), 1);
        QCOMPARE(one(dm.ADO_DB.name(), "select count(*) from accounts_dep.h_tabel where smena = 3").toInt(), 1);
        QCOMPARE(one(dm.ADO_DB.name(), "select count(*) from accounts_dep.h_tabel where smena = 2").toInt(), 0);
    }

private:
    QTemporaryDir dir_;
    QString primary_, standby_, primarySock_, standbySock_;
};

QTEST_MAIN(TestStandby)
#include "tst_standby.moc"
