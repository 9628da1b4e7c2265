// Two workstations on one database: the journal's changes of the hours timesheet take turns, waits are bounded
// and every outcome is reported as it happened.
#include "db/data_module.h"
#include "db/session.h"
#include "db/timesheet_hours_sql.h"
#include "harness/widgets.h"
#include "journal/entry_editor.h"
#include "journal/journal_changes.h"
#include "journal/journal_window.h"
#include "support/app_fixture.h"
#include "support/other_workstation.h"
#include "ui/messages.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QtTest>

#include <future>
#include <memory>

#include <signal.h>

namespace {

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
    app.w.journal->signIn("63175042", app.w.journal->shift());
    for (int s = 1; s <= 4; ++s)
        app.w.database->smenaQuery(s)->setParam("ok", "ta");
    app.w.journal->FormActivate();
    QRadioButton* buttons[] = {
        widget<QRadioButton>(app.w.journal, "RadioButton1"), widget<QRadioButton>(app.w.journal, "RadioButton2"),
        widget<QRadioButton>(app.w.journal, "RadioButton3"), widget<QRadioButton>(app.w.journal, "RadioButton4")};
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
        widget<QPushButton>(app.w.journal, "Button3")->click();
    } else {
        // as the grid's double click runs it: through the handler guard that shows the error
        ui::guarded([&] { app.w.journal->acceptRow(); });
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

QStringList messages()
{
    QStringList out;
    for (const ui::ShownMessage& m : ui::Messages::shown())
        out << m.text;
    return out;
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
        addJournalRow(db, 1, worker, shift, today, 4);
        addJournalRow(db, 2, worker, shift, today, 4);
        db.exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, smena, month, year, d%1) values (%2, %3, %4, "
                               "%5, 8)")
                    .arg(today.day())
                    .arg(worker)
                    .arg(shift)
                    .arg(today.month())
                    .arg(today.year()));
        AppFixture app(db);
        openJournal(app, shift);
        QVERIFY(app.w.database->Smena2->locate("id", 1));

        std::promise<void> summed;
        std::future<void> summedFuture = summed.get_future();
        QString otherError;
        bool programWaited = false;
        QThread* other = QThread::create([&] {
            try {
                {
                    db::Connector& c = connectAs(QStringLiteral("other"), db);
                    run(c, QStringLiteral("begin"));
                    run(c, QStringLiteral("delete from accounts_dep.smena where id=2"));
                    run(c, db::hours_sql::lockMonthShared(today.month(), today.year()));
                    run(c, db::hours_sql::lockWorkerMonth(worker, shift, today.month(), today.year()));
                    db::Result sum = run(c, db::hours_sql::hoursOfDay(worker, shift, today));
                    const qint64 hours = sum.next() ? sum.value(0).toLongLong() : 0;
                    summed.set_value();
                    // Wait (bounded) until the program's deletion waits for this workstation's lock.
                    QElapsedTimer t;
                    t.start();
                    while (!programWaited && t.elapsed() < 10000) {
                        db::Result w = run(c, QStringLiteral("select count(*) from pg_locks where locktype = 'advisory'"
                                                            " and not granted"));
                        programWaited = w.next() && w.value(0).toInt() > 0;
                        if (!programWaited)
                            QThread::msleep(20);
                    }
                    run(c, db::hours_sql::setDay(today.day(), hours, worker, shift, today.month(), today.year()));
                    run(c, QStringLiteral("commit"));
                }
                db::removeConnector(QStringLiteral("other"));
            } catch (const std::exception& e) {
                otherError = QString::fromUtf8(e.what());
                summed.set_value();
            }
        });
        other->start();
        summedFuture.wait();
        ui::Messages::queueAnswer(true);
        widget<QPushButton>(app.w.journal, "Button3")->click();
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
        addJournalRow(db, 1, 1, 1, today, 4);
        addJournalRow(db, 2, 2, 1, today, 4);
        addJournalRow(db, 3, 2, 1, today, 3);
        db.exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, smena, month, year, d%1) values (2, 1, %2, %3, "
                               "7)")
                    .arg(today.day())
                    .arg(today.month())
                    .arg(today.year()));
        AppFixture app(db);
        openJournal(app, 1);
        db::Dataset* q = app.w.database->Smena1;
        QVERIFY(q->locate("id", 2));
        db.exec("delete from accounts_dep.smena where id = 2");
        if (deleting) {
            ui::Messages::queueAnswer(true);
            widget<QPushButton>(app.w.journal, "Button3")->click();
        } else {
            app.w.journal->acceptRow();
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
        addJournalRow(db, 1, 1, 1, today, 4);
        addJournalRow(db, 2, 1, 1, today, 4);
        db.exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, smena, month, year, d%1) values (1, 1, %2, %3, "
                               "8)")
                    .arg(today.day())
                    .arg(today.month())
                    .arg(today.year()));
        AppFixture app(db);
        openJournal(app, 1);
        QVERIFY(app.w.database->Smena1->locate("id", 1));
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
        QVERIFY(app.w.database->Smena1->locate("id", 1));
        act(app, deleting);
        QCOMPARE(ui::Messages::shown().size(), deleting ? 1 : 0);
        QCOMPARE(db.rows("select id, ok from accounts_dep.smena order by id"),
                 deleting ? QList<QVariantList>({{2, "no"}}) : QList<QVariantList>({{1, "ok"}, {2, "no"}}));
        QCOMPARE(cell(db, 1, 1, today), deleting ? 4 : 8);
    }

    // A row opened for a change and changed by another workstation before the save: the save writes nothing (the
    // other's values stay, the timesheet too), says so, and the editor stays open with what the user typed. A
    // change of what the editor neither shows nor saves (the acceptance mark) does not stop the save.
    void changeAfterAnotherChange_data()
    {
        QTest::addColumn<QString>("otherChange");
        QTest::addColumn<bool>("refused");
        QTest::newRow("hours") << "time=5" << true;
        QTest::newRow("quantity") << "kol_vo=11" << true;
        QTest::newRow("rejects") << "brak=1" << true;
        QTest::newRow("worker") << "w_id=2" << true;
        QTest::newRow("day") << "data=data-1" << true;
        QTest::newRow("price") << "cena=13" << true;
        QTest::newRow("operation") << "o_id=2, i_id=2, color=4" << true;
        QTest::newRow("acceptance mark only") << "ok='ok'" << false;
    }

    void changeAfterAnotherChange()
    {
        QFETCH(QString, otherChange);
        QFETCH(bool, refused);
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addJournalRow(db, 1, 1, 1, today, 8);
        db.exec(QStringLiteral("insert into accounts_dep.h_tabel (w_id, smena, month, year, d%1) values (1, 1, %2, %3, "
                               "8)")
                    .arg(today.day())
                    .arg(today.month())
                    .arg(today.year()));
        AppFixture app(db);
        openJournal(app, 1);
        const QString before = "select w_id, o_id, data, cena, kol_vo::int, brak, time, ok from accounts_dep.smena";
        EntryEditor* e = app.w.entryEditor;
        bool stayed = false;
        QList<QVariantList> otherRow;
        ui::scriptModal("EntryEditor", [&](QDialog*) {
            db.exec("update accounts_dep.smena set " + otherChange + " where id = 1");
            otherRow = db.rows(before);
            widget<QLineEdit>(e, "Edit3")->setText("25");
            widget<QPushButton>(e, "Button1")->click();
            stayed = e->isVisible();
            if (stayed)
                widget<QPushButton>(e, "Button2")->click();
        });
        widget<QPushButton>(app.w.journal, "Button2")->click();
        if (refused) {
            QVERIFY(stayed);
            QCOMPARE(messages(), QStringList{QString::fromUtf8(db::kRowChangedMessage)});
            QCOMPARE(widget<QLineEdit>(e, "Edit3")->text(), QStringLiteral("25"));
            QCOMPARE(db.rows(before), otherRow);
            QCOMPARE(cell(db, 1, 1, today), 8);
        } else {
            QVERIFY2(messages().isEmpty(), qPrintable(messages().join('\n')));
            QVERIFY(!stayed);
            QCOMPARE(db.scalar("select kol_vo::int from accounts_dep.smena where id = 1").toInt(), 25);
        }
    }

    // The server process ends under the program. While the connection is idle (a restarted or failed-over server):
    // the action goes through on a new connection and the user is told once. While the action waits inside its
    // transaction: nothing is written and the message says so. When the re-read after the commit fails: the
    // message says that the change was saved.
    void connectionLostAroundAChange_data()
    {
        QTest::addColumn<bool>("deleting");
        QTest::addColumn<int>("when"); // 0 idle before, 1 inside the transaction, 2 at the re-read
        QTest::newRow("deletion, idle before") << true << 0;
        QTest::newRow("acceptance, idle before") << false << 0;
        QTest::newRow("deletion, inside its transaction") << true << 1;
        QTest::newRow("acceptance, inside its transaction") << false << 1;
        QTest::newRow("deletion, re-read after commit") << true << 2;
        QTest::newRow("acceptance, re-read after commit") << false << 2;
    }

    void connectionLostAroundAChange()
    {
        QFETCH(bool, deleting);
        QFETCH(int, when);
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addJournalRow(db, 1, 1, 1, today, 4);
        addJournalRow(db, 2, 1, 1, today, 4);
        AppFixture app(db);
        openJournal(app, 1);
        db::Dataset* q = app.w.database->Smena1;
        QVERIFY(q->locate("id", 1));
        QMetaObject::Connection hook;
        std::unique_ptr<OtherWorkstation> other;
        if (when == 0) {
            killProgramBackend(db);
        } else if (when == 1) {
            // holds the row until the program waits for it, then ends the program's server process
            other = std::make_unique<OtherWorkstation>(
                db, "other", QStringList{"select * from accounts_dep.smena where id = 1 for update"}, 1,
                "select pg_terminate_backend(pid, 5000) from pg_stat_activity where datname = current_database() "
                "and wait_event_type = 'Lock'");
        } else {
            hook = connect(q, &db::Dataset::aboutToOpen, this, [&] {
                disconnect(hook);
                db.exec("alter table accounts_dep.smena rename to smena_away");
            });
        }
        act(app, deleting);
        disconnect(hook);
        if (other)
            QVERIFY2(other->finish(), qPrintable(other->error()));
        if (when == 2)
            db.exec("alter table accounts_dep.smena_away rename to smena");
        const auto shown = ui::Messages::shown();
        const QString text = shown.last().text;
        const QString lost = "Связь с базой данных была потеряна, соединение восстановлено.";
        const auto done = deleting ? QList<QVariantList>({{2, "no"}}) : QList<QVariantList>({{1, "ok"}, {2, "no"}});
        if (when == 0) {
            QCOMPARE(shown.last().kind, ui::ShownMessage::Kind::Information);
            QCOMPARE(text, lost);
            QCOMPARE(db.rows("select id, ok from accounts_dep.smena order by id"), done);
        } else if (when == 1) {
            QCOMPARE(shown.last().kind, ui::ShownMessage::Kind::StandardError);
            QVERIFY2(text.startsWith(lost + " Действие не выполнено, повторите его."), qPrintable(text));
            QCOMPARE(db.rows("select id, ok from accounts_dep.smena order by id"),
                     QList<QVariantList>({{1, "no"}, {2, "no"}}));
        } else {
            QCOMPARE(shown.last().kind, ui::ShownMessage::Kind::StandardError);
            QVERIFY2(text.startsWith("Изменение сохранено, но список не обновлён. Нажмите «Обновить», чтобы увидеть "
                                     "данные.\n"),
                     qPrintable(text));
            QVERIFY2(!text.contains("не выполнено"), qPrintable(text));
            QCOMPARE(db.rows("select id, ok from accounts_dep.smena order by id"), done);
        }
        // the connection is there: the list reads again
        widget<QPushButton>(app.w.journal, "Button8")->click();
        QCOMPARE(q->recordCount(), when != 1 && deleting ? 1 : 2);
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
        addJournalRow(db, 1, 1, 1, QDate::currentDate(), 4);
        AppFixture app(db);
        openJournal(app, 1);
        const int pid = programBackend(db);
        QVERIFY(pid > 0);
        QCOMPARE(::kill(pid, SIGSTOP), 0);
        widget<QPushButton>(app.w.journal, "Button8")->click();
        ::kill(pid, SIGCONT);
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown[0].text.startsWith("Связь с базой данных была потеряна, соединение восстановлено. Действие не "
                                          "выполнено, повторите его."),
                 qPrintable(shown[0].text));
        widget<QPushButton>(app.w.journal, "Button8")->click();
        QCOMPARE(app.w.database->Smena1->recordCount(), 1);
    }
};

QTEST_MAIN(TestTwoWorkstations)
#include "tst_two_workstations.moc"
