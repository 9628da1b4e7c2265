// Two workstations on one database: the journal's changes of the hours timesheet take turns, waits are bounded
// and every outcome is reported as it happened.
#include "db/data_module.h"
#include "db/session.h"
#include "db/timesheet_hours_sql.h"
#include "journal/journal_changes.h"
#include "journal/journal_window.h"
#include "support/app_fixture.h"
#include "support/other_workstation.h"
#include "ui/messages.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QtTest>

#include <future>

#include <signal.h>

namespace {

void addRow(TestDatabase& db, int id, int worker, int shift, const QDate& date, int hours)
{
    db.exec(QStringLiteral("insert into accounts_dep.smena (id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena,"
                           " color, time, ok, vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use,"
                           " id_cons_use) values (%1, %2, 1, 1, 12.5, 10, 0, '%3', %4, 0, %5, 'no', '%3', 0, 0, 0,"
                           " 0, 0, 0)")
                .arg(id)
                .arg(worker)
                .arg(date.toString(Qt::ISODate))
                .arg(shift)
                .arg(hours));
}

int cell(TestDatabase& db, int worker, int shift, const QDate& date)
{
    return db
        .scalar(QStringLiteral("select d%1 from accounts_dep.h_tabel where w_id=%2 and smena=%3 and month=%4 and "
                               "year=%5")
                    .arg(date.day())
                    .arg(worker)
                    .arg(shift)
                    .arg(date.month())
                    .arg(date.year()))
        .toInt();
}

void openJournal(AppFixture& app, int shift)
{
    app.w.Form1->FAccessCode = "63175042";
    for (int s = 1; s <= 4; ++s)
        app.w.DataModule6->smenaQuery(s)->setParam("ok", "ta");
    app.w.Form1->FormActivate();
    QRadioButton* buttons[] = {app.w.Form1->RadioButton1, app.w.Form1->RadioButton2, app.w.Form1->RadioButton3,
                               app.w.Form1->RadioButton4};
    buttons[shift - 1]->setChecked(true);
}

// The program's server process (the only other connection to the test database).
int programBackend(TestDatabase& db)
{
    return db.scalar("select pid from pg_stat_activity where datname = current_database() and pid <> pg_backend_pid()")
        .toInt();
}

// Ends the program's server process as an administrator or a crash would, and waits until it is gone.
void killProgramBackend(TestDatabase& db)
{
    db.exec("select pg_terminate_backend(pid, 5000) from pg_stat_activity where datname = current_database() and "
            "pid <> pg_backend_pid()");
}

void act(AppFixture& app, bool deleting)
{
    if (deleting) {
        ui::Messages::queueAnswer(true);
        app.w.Form1->Button3->click();
    } else {
        // as the grid's double click runs it: through the handler guard that shows the error
        ui::guarded([&] { app.w.Form1->DBGrid2DblClick(); });
    }
}

journal_sql::EntryRow newRow(int worker, int oper, const QDate& date, int shift, const QString& hours)
{
    journal_sql::EntryRow r;
    r.workerId = worker;
    r.operId = oper;
    r.productId = oper; // the small shop's operation n is of product n
    r.price = 12.5;
    r.quantity = QStringLiteral("10");
    r.rejects = QStringLiteral("0");
    r.hours = hours;
    r.shift = shift;
    r.date = date;
    r.today = date;
    return r;
}

} // namespace

class TestTwoWorkstations : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        ui::Messages::clearShown();
        db::setWaitLimits(db::WaitLimits{});
    }

    void cleanup() { db::setWaitLimits(db::WaitLimits{}); }

    // Both workstations delete one of the worker's last two rows of a day at the same moment. The other one has
    // summed the day (the program's row still there) and writes its sum only once the program's deletion is
    // under way; the program's deletion must then sum after the other has committed, and the cell ends at 0.
    void simultaneousDeletionsLeaveTheCellRight()
    {
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        const int shift = 2, worker = 1;
        addRow(db, 1, worker, shift, today, 4);
        addRow(db, 2, worker, shift, today, 4);
        db.exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, smena, month, year, d%1) values (%2, %3, %4, "
                               "%5, 8)")
                    .arg(today.day())
                    .arg(worker)
                    .arg(shift)
                    .arg(today.month())
                    .arg(today.year()));
        AppFixture app(db);
        openJournal(app, shift);
        QVERIFY(app.w.DataModule6->Smena2->locate("id", 1));

        std::promise<void> summed;
        std::future<void> summedFuture = summed.get_future();
        QString otherError;
        bool programWaited = false;
        QThread* other = QThread::create([&] {
            try {
                {
                    QSqlDatabase c = connectAs(QStringLiteral("other"), db);
                    run(c, QStringLiteral("begin"));
                    run(c, QStringLiteral("delete from accounts_dep.smena where id=2"));
                    run(c, db::hours_sql::lockMonthShared(today.month(), today.year()));
                    run(c, db::hours_sql::lockWorkerMonth(worker, shift, today.month(), today.year()));
                    QSqlQuery sum = run(c, db::hours_sql::hoursOfDay(worker, shift, today));
                    const qint64 hours = sum.next() ? sum.value(0).toLongLong() : 0;
                    summed.set_value();
                    // Wait (bounded) until the program's deletion waits for this workstation's lock.
                    QElapsedTimer t;
                    t.start();
                    while (!programWaited && t.elapsed() < 10000) {
                        QSqlQuery w = run(c, QStringLiteral("select count(*) from pg_locks where locktype = 'advisory'"
                                                            " and not granted"));
                        programWaited = w.next() && w.value(0).toInt() > 0;
                        if (!programWaited)
                            QThread::msleep(20);
                    }
                    run(c, db::hours_sql::setDay(today.day(), hours, worker, shift, today.month(), today.year()));
                    run(c, QStringLiteral("commit"));
                }
                QSqlDatabase::removeDatabase(QStringLiteral("other"));
            } catch (const std::exception& e) {
                otherError = QString::fromUtf8(e.what());
                summed.set_value();
            }
        });
        other->start();
        summedFuture.wait();
        ui::Messages::queueAnswer(true);
        app.w.Form1->Button3->click();
        other->wait();
        delete other;
        QVERIFY2(otherError.isEmpty(), qPrintable(otherError));
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 0);
        QCOMPARE(cell(db, worker, shift, today), 0);
        QVERIFY(programWaited);
        QCOMPARE(ui::Messages::shown().size(), 1); // the question only
    }

    // The row under the cursor was deleted on another workstation: deleting or accepting it says so, shows the
    // list as it is now and touches no other row.
    void rowDeletedElsewhere_data()
    {
        QTest::addColumn<bool>("deleting");
        QTest::newRow("deletion") << true;
        QTest::newRow("acceptance") << false;
    }

    void rowDeletedElsewhere()
    {
        QFETCH(bool, deleting);
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addRow(db, 1, 1, 1, today, 4);
        addRow(db, 2, 2, 1, today, 4);
        addRow(db, 3, 2, 1, today, 3);
        db.exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, smena, month, year, d%1) values (2, 1, %2, %3, "
                               "7)")
                    .arg(today.day())
                    .arg(today.month())
                    .arg(today.year()));
        AppFixture app(db);
        openJournal(app, 1);
        db::Dataset* q = app.w.DataModule6->Smena1;
        QVERIFY(q->locate("id", 2));
        db.exec("delete from accounts_dep.smena where id = 2");
        if (deleting) {
            ui::Messages::queueAnswer(true);
            app.w.Form1->Button3->click();
        } else {
            app.w.Form1->DBGrid2DblClick();
        }
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.size(), deleting ? 2 : 1);
        QCOMPARE(shown.last().kind, ui::ShownMessage::Kind::Error);
        QCOMPARE(shown.last().text,
                 QStringLiteral("Запись не найдена: её изменили или удалили на другом рабочем месте."));
        QCOMPARE(db.rows("select id, ok from accounts_dep.smena order by id"),
                 QList<QVariantList>({{1, "no"}, {3, "no"}}));
        QCOMPARE(cell(db, 2, 1, today), 7);
        QCOMPARE(q->recordCount(), 2);
    }

    // Another workstation holds the row: the program waits no longer than the lock timeout, says what happened
    // and writes nothing; once the row is free the same action goes through.
    void heldRowTimesOut_data()
    {
        QTest::addColumn<bool>("deleting");
        QTest::newRow("deletion") << true;
        QTest::newRow("acceptance") << false;
    }

    void heldRowTimesOut()
    {
        QFETCH(bool, deleting);
        db::WaitLimits limits;
        limits.lockTimeoutMs = 300;
        db::setWaitLimits(limits);
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addRow(db, 1, 1, 1, today, 4);
        addRow(db, 2, 1, 1, today, 4);
        db.exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, smena, month, year, d%1) values (1, 1, %2, %3, "
                               "8)")
                    .arg(today.day())
                    .arg(today.month())
                    .arg(today.year()));
        AppFixture app(db);
        openJournal(app, 1);
        QVERIFY(app.w.DataModule6->Smena1->locate("id", 1));
        db.exec("begin");
        db.exec("select * from accounts_dep.smena where id = 1 for update");
        act(app, deleting);
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.last().kind, ui::ShownMessage::Kind::StandardError);
        QVERIFY2(shown.last().text.startsWith("Запись занята на другом рабочем месте. Действие не выполнено, повторите "
                                              "его через несколько секунд."),
                 qPrintable(shown.last().text));
        db.exec("rollback");
        QCOMPARE(db.rows("select id, ok from accounts_dep.smena order by id"),
                 QList<QVariantList>({{1, "no"}, {2, "no"}}));
        QCOMPARE(cell(db, 1, 1, today), 8);

        ui::Messages::clearShown();
        QVERIFY(app.w.DataModule6->Smena1->locate("id", 1));
        act(app, deleting);
        QCOMPARE(ui::Messages::shown().size(), deleting ? 1 : 0);
        QCOMPARE(db.rows("select id, ok from accounts_dep.smena order by id"),
                 deleting ? QList<QVariantList>({{2, "no"}}) : QList<QVariantList>({{1, "ok"}, {2, "no"}}));
        QCOMPARE(cell(db, 1, 1, today), deleting ? 4 : 8);
    }

    // The server process ends under the program: before the change nothing is written and the message says so;
    // after the commit, during the re-read, the message says that the change was saved.
    void connectionLostAroundAChange_data()
    {
        QTest::addColumn<bool>("deleting");
        QTest::addColumn<bool>("afterCommit");
        QTest::newRow("deletion, before") << true << false;
        QTest::newRow("acceptance, before") << false << false;
        QTest::newRow("deletion, re-read after commit") << true << true;
        QTest::newRow("acceptance, re-read after commit") << false << true;
    }

    void connectionLostAroundAChange()
    {
        QFETCH(bool, deleting);
        QFETCH(bool, afterCommit);
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addRow(db, 1, 1, 1, today, 4);
        addRow(db, 2, 1, 1, today, 4);
        AppFixture app(db);
        openJournal(app, 1);
        db::Dataset* q = app.w.DataModule6->Smena1;
        QVERIFY(q->locate("id", 1));
        QMetaObject::Connection hook;
        if (afterCommit)
            hook = connect(q, &db::Dataset::aboutToOpen, this, [&] {
                disconnect(hook);
                killProgramBackend(db);
            });
        else
            killProgramBackend(db);
        act(app, deleting);
        disconnect(hook);
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.last().kind, ui::ShownMessage::Kind::StandardError);
        const QString text = shown.last().text;
        const QString lost = "Связь с базой данных была потеряна, соединение восстановлено.";
        if (afterCommit) {
            QVERIFY2(text.startsWith("Изменение сохранено, но список не обновлён. Нажмите «Обновить», чтобы увидеть "
                                     "данные.\n" +
                                     lost + "\n"),
                     qPrintable(text));
            QVERIFY2(!text.contains("не выполнено"), qPrintable(text));
            QCOMPARE(db.rows("select id, ok from accounts_dep.smena order by id"),
                     deleting ? QList<QVariantList>({{2, "no"}}) : QList<QVariantList>({{1, "ok"}, {2, "no"}}));
        } else {
            QVERIFY2(text.startsWith(lost + " Действие не выполнено, повторите его."), qPrintable(text));
            QCOMPARE(db.rows("select id, ok from accounts_dep.smena order by id"),
                     QList<QVariantList>({{1, "no"}, {2, "no"}}));
        }
        // the connection is back: the list reads again
        app.w.Form1->Button8->click();
        QCOMPARE(q->recordCount(), afterCommit && deleting ? 1 : 2);
    }

    // The list shows a row as it was read; another workstation changes it, then this one deletes or accepts it.
    // The action is refused when what the user acted on differs from the row on the server (worker, product,
    // amounts, date, shift; the mark too when accepting), nothing is written and the list is read again. The other
    // workstation's change is forced in between by holding the row while this one already waits for it.
    void staleRow_data()
    {
        QTest::addColumn<bool>("deleting");
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("refused");
        const QString moved = "update accounts_dep.smena set w_id=2 where id=1";
        const QString accepted = "update accounts_dep.smena set ok='ok' where id=1";
        QTest::newRow("deletion of a row moved to another worker") << true << moved << true;
        QTest::newRow("acceptance of a row moved to another worker") << false << moved << true;
        QTest::newRow("acceptance of a row accepted meanwhile") << false << accepted << true;
        QTest::newRow("deletion of a row accepted meanwhile") << true << accepted << false;
        QTest::newRow("deletion of a row with other hours")
            << true << QString("update accounts_dep.smena set time=6 where id=1") << true;
    }

    void staleRow()
    {
        QFETCH(bool, deleting);
        QFETCH(QString, change);
        QFETCH(bool, refused);
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addRow(db, 1, 1, 1, today, 8);
        addRow(db, 2, 1, 1, today, 2);
        db.exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, smena, month, year, d%1) values (1, 1, %2, %3, "
                               "10)")
                    .arg(today.day())
                    .arg(today.month())
                    .arg(today.year()));
        AppFixture app(db);
        openJournal(app, 1);
        QVERIFY(app.w.DataModule6->Smena1->locate("id", 1));
        OtherWorkstation other(db, "other", {change}, 1);
        act(app, deleting);
        QVERIFY2(other.finish(), qPrintable(other.error()));
        QVERIFY(other.sawWaiters());
        const auto shown = ui::Messages::shown();
        if (refused) {
            QCOMPARE(shown.last().kind, ui::ShownMessage::Kind::Error);
            QCOMPARE(shown.last().text, QStringLiteral("Запись изменили на другом рабочем месте. Список обновлён: "
                                                       "проверьте запись и повторите действие."));
            QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 2);
            QCOMPARE(cell(db, 1, 1, today), 10);
            // the list shows the row as it is now
            db::Dataset* q = app.w.DataModule6->Smena1;
            QVERIFY(q->locate("id", 1));
            QCOMPARE(QVariantList({q->asInt("w_id"), q->asString("ok"), q->asInt("time")}),
                     db.rows("select w_id, ok, time from accounts_dep.smena where id=1").value(0));
        } else {
            QCOMPARE(shown.size(), 1); // the question only
            QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 1);
            QCOMPARE(cell(db, 1, 1, today), 2);
        }
    }

    // A save refers to a worker and an operation that another workstation deletes. Deleted first: the save waits
    // for the deletion, then finds the reference gone, writes nothing and says so. Saved first (the save waiting
    // for the month's timesheet lock, held as a rebuild holds it, when the deletion comes): the deletion waits for
    // the save and is then refused by the database, since the journal uses the row now.
    void saveAgainstDeletion_data()
    {
        QTest::addColumn<QString>("deletion");
        QTest::addColumn<int>("outcome");
        QTest::newRow("worker") << "delete from accounts_dep.person where id=2" << int(journal::Outcome::WorkerGone);
        QTest::newRow("operation") << "delete from accounts_dep.norm where o_id=1; delete from accounts_dep.oper where id=1"
                                   << int(journal::Outcome::OperationGone);
    }

    void saveAgainstDeletion()
    {
        QFETCH(QString, deletion);
        QFETCH(int, outcome);
        const QDate today = QDate::currentDate();
        {
            // deleted first
            TestDatabase db;
            loadSmallShop(db);
            AppFixture app(db);
            OtherWorkstation other(db, "deleting", deletion.split("; "), 1);
            const journal::Outcome got = journal::saveRow(*app.w.DataModule6, newRow(2, 1, today, 1, "8"));
            QVERIFY2(other.finish(), qPrintable(other.error()));
            QVERIFY(other.sawWaiters());
            QCOMPARE(int(got), outcome);
            QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 0);
            QCOMPARE(db.scalar("select count(*) from accounts_dep.h_tabel").toInt(), 0);
            QVERIFY(!journal::message(got).isEmpty());
        }
        {
            // saved first; the deletion comes while the save waits for the month
            TestDatabase db;
            loadSmallShop(db);
            AppFixture app(db);
            auto month = std::make_unique<OtherWorkstation>(
                db, "rebuilding", QStringList{db::hours_sql::lockMonthExclusive(today.month(), today.year())}, 2);
            QString deletionError;
            QThread* deleting = QThread::create([&] {
                // starts once the save waits for the month, then waits itself for the save's hold on the row
                try {
                    QSqlDatabase c = connectAs("deleting", db);
                    QElapsedTimer t;
                    t.start();
                    auto waiting = [&] {
                        QSqlQuery w = run(c, "select count(*) from pg_locks where not granted");
                        return w.next() ? w.value(0).toInt() : 0;
                    };
                    while (waiting() < 1 && t.elapsed() < 10000)
                        QThread::msleep(20);
                    run(c, "begin");
                    for (const QString& sql : deletion.split("; "))
                        run(c, sql);
                    run(c, "commit");
                } catch (const std::exception& e) {
                    deletionError = QString::fromUtf8(e.what());
                }
                QSqlDatabase::removeDatabase("deleting");
            });
            deleting->start();
            const journal::Outcome got = journal::saveRow(*app.w.DataModule6, newRow(2, 1, today, 1, "8"));
            deleting->wait();
            delete deleting;
            QVERIFY2(month->finish(), qPrintable(month->error()));
            QVERIFY(month->sawWaiters());
            QCOMPARE(got, journal::Outcome::Done);
            QVERIFY2(deletionError.contains("используется в журнале"), qPrintable(deletionError));
            QCOMPARE(db.rows("select w_id, o_id from accounts_dep.smena"), QList<QVariantList>({{2, 1}}));
            QCOMPARE(db.scalar("select count(*) from accounts_dep.person where id=2").toInt(), 1);
            QCOMPARE(db.scalar("select count(*) from accounts_dep.oper where id=1").toInt(), 1);
            QCOMPARE(cell(db, 2, 1, today), 8);
        }
    }

    // A server process that stops answering without closing the connection: the program gives the connection up
    // after the statement timeout and its grace, connects again and says so.
    void silentServerIsGivenUp()
    {
        db::WaitLimits limits;
        limits.statementTimeoutMs = 300;
        limits.silentServerGraceMs = 700;
        db::setWaitLimits(limits);
        TestDatabase db;
        loadSmallShop(db);
        addRow(db, 1, 1, 1, QDate::currentDate(), 4);
        AppFixture app(db);
        openJournal(app, 1);
        const int pid = programBackend(db);
        QVERIFY(pid > 0);
        QCOMPARE(::kill(pid, SIGSTOP), 0);
        app.w.Form1->Button8->click();
        ::kill(pid, SIGCONT);
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith("Связь с базой данных была потеряна, соединение восстановлено. Действие не "
                                          "выполнено, повторите его."),
                 qPrintable(shown[0].text));
        app.w.Form1->Button8->click();
        QCOMPARE(app.w.DataModule6->Smena1->recordCount(), 1);
    }
};

QTEST_MAIN(TestTwoWorkstations)
#include "tst_two_workstations.moc"
