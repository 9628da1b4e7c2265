// Closed months and a journal row's history, both held by the database: every change of a closed month refused
// (from the program and from a plain connection) until it is opened again; each change of a row recorded once with
// its values before and after, the role, the workstation and the login; the history window lists them.
#include "db/closed_months.h"
#include "db/data_module.h"
#include "db/session.h"
#include "db/transaction.h"
#include "harness/widgets.h"
#include "journal/history_window.h"
#include "journal/journal_changes.h"
#include "journal/journal_window.h"
#include "support/app_fixture.h"
#include "support/other_workstation.h"
#include "support/personal_login.h"
#include "timesheet/timesheet_rebuild.h"
#include "timesheet/timesheet_window.h"
#include "ui/dataset_grid.h"
#include "ui/messages.h"

#include <QPushButton>
#include <QSysInfo>
#include <QTableWidget>
#include <QtTest>

namespace {

const QDate kDay(2026, 10, 5); // in a month the tests close

void addRow(TestDatabase& db, int id, const QDate& date)
{
    db.exec(QStringLiteral("insert into accounts_dep.smena (id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena,"
                           " color, time, ok, vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use,"
                           " id_cons_use) values (%1, 1, 1, 1, 12.5, 10, 0, '%2', 1, 0, 4, 'no', '%2', 0, 0, 0,"
                           " 0, 0, 0)")
                .arg(id)
                .arg(date.toString(Qt::ISODate)));
}

journal_sql::EntryRow entry(const QString& rowId, int quantity)
{
    journal_sql::EntryRow r;
    r.workerId = 1;
    r.operId = 1;
    r.productId = 1;
    r.price = 12.5;
    r.quantity = QString::number(quantity);
    r.rejects = QStringLiteral("0");
    r.hours = QStringLiteral("4");
    r.shift = rowId.isEmpty() ? 2 : 1;
    r.date = kDay;
    r.today = kDay;
    r.rowId = rowId;
    return r;
}

const QString kRefusal = QStringLiteral("Месяц 10.2026 закрыт: журнал и табель этого месяца не меняются.");

// A foreman's new row of the closed month as the entry editor writes it (worker 2, operation 1 at its lowest price).
journal_sql::EntryRow foremansEntry()
{
    journal_sql::EntryRow r = entry({}, 5);
    r.workerId = 2;
    r.price = 10.25;
    r.shift = 1;
    return r;
}

// The foreman's session with the program's connection (a service naming the login).
struct LoginSession {
    ServiceFile service;
    Database dm;
    LoginSession(TestDatabase& db, const PersonalLogin& login)
        : service(db, login.name())
    {
        dm.ADO_DB.configure({}, {}, QStringLiteral("kesta"));
        dm.ADO_DB.open();
    }
};

} // namespace

class TestClosedMonths : public QObject {
    Q_OBJECT

private slots:
    void init() { ui::Messages::clearShown(); }

    // Each change of a closed month is refused with the guard's words and writes nothing, from the program's
    // procedures and from a plain connection; opened again, the same change goes through.
    void closedMonthRefusesChanges_data()
    {
        QTest::addColumn<QString>("action");
        for (const char* a : {"save", "change", "deletion", "acceptance", "rebuild", "plain insert", "plain update",
                              "plain delete", "plain timesheet"})
            QTest::newRow(a) << QString::fromLatin1(a);
    }

    void closedMonthRefusesChanges()
    {
        QFETCH(QString, action);
        TestDatabase db;
        loadSmallShop(db);
        addRow(db, 1, kDay);
        db.exec("select setval('accounts_dep.smena_id_seq', 100)");
        db.exec("insert into accounts_dep.h_tabel (w_id, smena, month, year, d5) values (1, 1, 10, 2026, 4)");
        const int history = db.scalar("select count(*) from accounts_dep.smena_history where row_id<>0").toInt();
        AppFixture app(db);
        Database& dm = *app.w.database;
        QVERIFY(db::months::closeMonth(dm.ADO_DB.name(), 10, 2026));
        QVERIFY(!db::months::closeMonth(dm.ADO_DB.name(), 10, 2026)); // closed already
        dm.Smena1->setParam("ok", "ta");
        dm.Smena1->setParam("data", kDay);
        dm.Smena1->open();
        QVERIFY(dm.Smena1->locate("id", 1));
        const journal::ShownRow shown = journal::ShownRow::current(*dm.Smena1);
        const auto act = [&] {
            if (action == "save")
                journal::saveRow(dm, entry({}, 5));
            else if (action == "change")
                journal::saveRow(dm, entry("1", 7));
            else if (action == "deletion")
                journal::deleteRow(dm, shown);
            else if (action == "acceptance")
                journal::acceptRow(dm, shown, "ok");
            else if (action == "rebuild")
                timesheet::rebuildMonth(dm, 10, 2026, {});
            else if (action == "plain insert")
                addRow(db, 2, kDay);
            else if (action == "plain update")
                db.exec("update accounts_dep.smena set ok = 'ok'");
            else if (action == "plain delete")
                db.exec("delete from accounts_dep.smena");
            else
                db.exec("update accounts_dep.h_tabel set d6 = 1");
        };
        QString refusal;
        try {
            act();
        } catch (const db::DbError& e) {
            refusal = e.text();
        } catch (const std::exception& e) {
            refusal = QString::fromUtf8(e.what());
        }
        QVERIFY2(refusal.contains(kRefusal), qPrintable(refusal));
        if (!action.startsWith("plain"))
            QCOMPARE(refusal, kRefusal); // in the guard's own words, nothing else
        QCOMPARE(db.rows("select id, ok, kol_vo::int from accounts_dep.smena"), QList<QVariantList>({{1, "no", 10}}));
        QCOMPARE(db.rows("select d5, d6 from accounts_dep.h_tabel"), QList<QVariantList>({{4, 0}}));
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena_history where row_id<>0").toInt(), history);

        QVERIFY(db::months::reopenMonth(dm.ADO_DB.name(), 10, 2026));
        act();
        QVERIFY(db.rows("select id, ok, kol_vo::int from accounts_dep.smena") != QList<QVariantList>({{1, "no", 10}}) ||
                action == "rebuild" || action == "plain timesheet");
    }

    // Closing a month waits for a change of it that is under way (here a foreman's save that has written its row and
    // not committed yet) and then closes it; the foreman's next save is refused. Each by a login of its group.
    void closeWaitsForAChangeUnderWay()
    {
        TestDatabase db;
        loadSmallShop(db);
        PersonalLogin foreman(db, QStringLiteral("kesta_foreman"));
        PersonalLogin full(db, QStringLiteral("kesta_full"));
        OtherWorkstation save(db, QStringLiteral("foreman"), {journal_sql::insertRow(foremansEntry())}, 1,
                              QStringLiteral("commit"), foreman.name());
        {
            LoginSession office(db, full);
            QVERIFY(db::months::closeMonth(office.dm.ADO_DB.name(), 10, 2026));
        }
        QVERIFY2(save.finish(), qPrintable(save.error()));
        QVERIFY(save.sawWaiters()); // the close waited for it
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 1);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.closed_month").toInt(), 1);

        QString refusal;
        {
            LoginSession shop(db, foreman);
            journal_sql::EntryRow next = foremansEntry();
            next.workerId = 1;
            try {
                journal::saveRow(shop.dm, next);
            } catch (const db::DbError& e) {
                refusal = e.text();
            }
            QVERIFY(!db::anyTransactionOpen());
        }
        QCOMPARE(refusal, kRefusal);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 1);
    }

    // The close waits no longer than any other wait, and says why it did not close.
    void closeWaitIsBounded()
    {
        TestDatabase db;
        loadSmallShop(db);
        PersonalLogin foreman(db, QStringLiteral("kesta_foreman"));
        PersonalLogin full(db, QStringLiteral("kesta_full"));
        db::Connector& c = connectAs(QStringLiteral("foreman"), db, foreman.name());
        run(c, QStringLiteral("begin"));
        run(c, journal_sql::insertRow(foremansEntry()));
        db::WaitLimits limits;
        limits.lockTimeoutMs = 300;
        db::setWaitLimits(limits);
        QString refusal;
        {
            LoginSession office(db, full);
            try {
                db::months::closeMonth(office.dm.ADO_DB.name(), 10, 2026);
            } catch (const db::DbError& e) {
                refusal = e.text();
            }
        }
        db::setWaitLimits({});
        QCOMPARE(refusal, QStringLiteral("Месяц 10.2026 не закрыт: его журнал или табель сейчас меняют на другом "
                                         "рабочем месте. Повторите через несколько секунд."));
        QCOMPARE(db.scalar("select count(*) from accounts_dep.closed_month").toInt(), 0);
        run(c, QStringLiteral("commit"));
        db::removeConnector(QStringLiteral("foreman"));
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 1);
    }

    // The journal says that the shown day's month is closed and offers no change of its rows; the database refuses
    // one all the same (a deletion through the program's procedure) with the message.
    void journalSaysSo()
    {
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addRow(db, 1, today);
        db.exec(QString("insert into accounts_dep.closed_month (year, month) values (%1, %2)")
                    .arg(today.year())
                    .arg(today.month()));
        AppFixture app(db);
        app.login("9865", [&] {
            QCOMPARE(app.w.journal->windowTitle(), QStringLiteral("Табель — месяц закрыт, записи не меняются"));
            for (const char* button : {"Button1", "Button2", "Button3"})
                QVERIFY(!widget<QPushButton>(app.w.journal, button)->isEnabled());
            QTest::keyClick(widget<ui::DbGrid>(app.w.journal, "DBGrid2"), Qt::Key_Delete); // nothing
            QVERIFY(ui::Messages::shown().isEmpty());
            ui::guarded([&] {
                journal::deleteRow(*app.w.database, journal::ShownRow::current(*app.w.database->Smena1));
            });
        });
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 1);
        QVERIFY2(shown.last().text.startsWith(
                     QString("Месяц %1.%2 закрыт").arg(today.month(), 2, 10, QChar('0')).arg(today.year())),
                 qPrintable(shown.last().text));
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 1);
    }

    // Another workstation closes the shown month and opens it again: the journal's caption and its row buttons follow
    // at once (announced by the database), and the role's own limits stay.
    void closeElsewhereShows_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<bool>("changes"); // "Изменить" and "Удалить" for the role
        QTest::newRow("full access") << "9865" << true;
        QTest::newRow("foreman") << "plinoth" << false;
    }

    void closeElsewhereShows()
    {
        QFETCH(QString, code);
        QFETCH(bool, changes);
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addRow(db, 1, today);
        AppFixture app(db);
        bool ran = false;
        app.login(code, [&] {
            JournalWindow* j = app.w.journal;
            auto* add = widget<QPushButton>(j, "Button1");
            QCOMPARE(j->windowTitle(), QStringLiteral("Табель"));
            QVERIFY(add->isEnabled());
            QCOMPARE(widget<QPushButton>(j, "Button2")->isEnabled(), changes);
            db.exec(QString("insert into accounts_dep.closed_month (year, month) values (%1, %2)")
                        .arg(today.year())
                        .arg(today.month()));
            QTRY_COMPARE_WITH_TIMEOUT(j->windowTitle(), QStringLiteral("Табель — месяц закрыт, записи не меняются"),
                                      2000);
            for (const char* button : {"Button1", "Button2", "Button3"})
                QVERIFY(!widget<QPushButton>(j, button)->isEnabled());
            // another month's close changes nothing here
            db.exec("insert into accounts_dep.closed_month (year, month) values (2001, 1)");
            db.exec(QString("delete from accounts_dep.closed_month where year = %1 and month = %2")
                        .arg(today.year())
                        .arg(today.month()));
            QTRY_COMPARE_WITH_TIMEOUT(j->windowTitle(), QStringLiteral("Табель"), 2000);
            QVERIFY(add->isEnabled());
            QCOMPARE(widget<QPushButton>(j, "Button2")->isEnabled(), changes);
            QCOMPARE(widget<QPushButton>(j, "Button3")->isEnabled(), changes);
            ran = true;
        });
        QVERIFY(ran);
        QVERIFY(ui::Messages::shown().isEmpty());
    }

    // The full-access role closes and opens the shown month from the timesheet, after a question; the caption says so.
    void timesheetClosesAndOpens()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        TimesheetWindow* t = app.w.timesheet;
        t->applyRole(ui::rightsOf(ui::Role::FullAccess));
        t->selectMonthOf(kDay);
        t->showMonth();
        QCOMPARE(widget<QPushButton>(t, "ButtonClose")->text(), QStringLiteral("Закрыть месяц"));
        ui::Messages::queueAnswer(false);
        t->closeOrOpenMonth();
        QCOMPARE(db.scalar("select count(*) from accounts_dep.closed_month").toInt(), 0);
        ui::Messages::queueAnswer(true);
        t->closeOrOpenMonth();
        QCOMPARE(db.rows("select year, month from accounts_dep.closed_month"), QList<QVariantList>({{2026, 10}}));
        QVERIFY2(t->windowTitle().startsWith("Табель по времени — месяц закрыт"), qPrintable(t->windowTitle()));
        QCOMPARE(widget<QPushButton>(t, "ButtonClose")->text(), QStringLiteral("Открыть месяц"));
        ui::Messages::queueAnswer(true);
        t->closeOrOpenMonth();
        QCOMPARE(db.scalar("select count(*) from accounts_dep.closed_month").toInt(), 0);
        QCOMPARE(t->windowTitle(), QStringLiteral("Табель по времени"));
        // another role may not
        t->applyRole(ui::rightsOf(ui::Role::Foreman));
        t->showMonth();
        QVERIFY(!widget<QPushButton>(t, "ButtonClose")->isEnabled());
    }

    // Every change of a row leaves one entry with its values before and after, the role, the workstation and the
    // login; acceptance is a change like any other; a rolled-back save leaves none. The window lists them newest
    // first, the changed values marked.
    void historyOfARow()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        Database& dm = *app.w.database;
        db::setSessionRole("full");
        {
            db::Transaction tx(dm.ADO_DB.name());
            db::execStatement(dm.ADO_DB.name(), journal_sql::insertRow(entry({}, 3)));
            tx.rollback();
        }
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena_history where row_id<>0").toInt(), 0);

        QCOMPARE(journal::saveRow(dm, entry({}, 10)), journal::Outcome::Done);
        const QString id = db.scalar("select id from accounts_dep.smena").toString();
        QCOMPARE(journal::saveRow(dm, entry(id, 12)), journal::Outcome::Done);
        dm.Smena1->setParam("ok", "ta");
        dm.Smena1->setParam("data", kDay);
        dm.Smena1->open();
        QVERIFY(dm.Smena1->locate("id", id.toInt()));
        QCOMPARE(journal::acceptRow(dm, journal::ShownRow::current(*dm.Smena1), "ok"), journal::Outcome::Done);
        dm.Smena1->requery();
        QVERIFY(dm.Smena1->locate("id", id.toInt()));
        QCOMPARE(journal::deleteRow(dm, journal::ShownRow::current(*dm.Smena1)), journal::Outcome::Done);
        db::setSessionRole("");

        // (no value reads as an empty text)
        QCOMPARE(db.rows("select action, role, host, login, old_row->>'kol_vo', new_row->>'kol_vo', old_row->>'ok', "
                         "new_row->>'ok' from accounts_dep.smena_history order by id"),
                 (QList<QVariantList>{
                     {"I", "full", QSysInfo::machineHostName(), "sys", "", "10", "", "no"},
                     {"U", "full", QSysInfo::machineHostName(), "sys", "10", "12", "no", "no"},
                     {"U", "full", QSysInfo::machineHostName(), "sys", "12", "12", "no", "ok"},
                     {"D", "full", QSysInfo::machineHostName(), "sys", "12", "", "ok", ""},
                 }));

        HistoryWindow window;
        window.showRow(dm.ADO_DB.name(), id.toLongLong());
        const QTableWidget* list = widget<QTableWidget>(&window, "List");
        QCOMPARE(list->rowCount(), 4);
        QStringList actions;
        for (int r = 0; r < 4; ++r)
            actions << list->item(r, 1)->text();
        QCOMPARE(actions, QStringList({"Удалена", "Изменена", "Изменена", "Добавлена"}));
        QCOMPARE(list->item(1, 5)->text(), QStringLiteral("OK: no → ok"));
        QVERIFY(list->item(1, 5)->font().bold());
        QCOMPARE(list->item(2, 5)->text(), QStringLiteral("Смена: 2 → 1; Кол-во: 10 → 12"));
        window.showDeletedOf(dm.ADO_DB.name(), kDay);
        QCOMPARE(list->rowCount(), 1);
        QCOMPARE(list->item(0, 1)->text(), QStringLiteral("Удалена"));
    }

    // The history names the worker, the product and the operation where it holds their ids (an id no longer in the
    // catalogues stays a number).
    void historyShowsNames()
    {
        TestDatabase db;
        loadSmallShop(db);
        addRow(db, 1, kDay);
        db.exec("update accounts_dep.smena set w_id = 2, i_id = 2, o_id = 2 where id = 1");
        db.exec("update accounts_dep.smena set w_id = 777 where id = 1");
        AppFixture app(db);
        HistoryWindow window;
        window.showRow(app.w.database->ADO_DB.name(), 1);
        const QTableWidget* list = widget<QTableWidget>(&window, "List");
        QCOMPARE(list->rowCount(), 3);
        QCOMPARE(list->item(0, 5)->text(), QStringLiteral("Работник: Петрова А.С. → 777"));
        QCOMPARE(list->item(1, 5)->text(),
                 QStringLiteral("Работник: Иванов И.И. → Петрова А.С.; Изделие: ДМ-101 → ОК-205; Операция: РЕЗКА; "
                                "Готовая продукция → КРАСКА; Заготовки"));
        QVERIFY2(list->item(2, 5)->text().startsWith(
                     "Работник: Иванов И.И.; Изделие: ДМ-101; Операция: РЕЗКА; Готовая продукция; Дата: 2026-10-05"),
                 qPrintable(list->item(2, 5)->text()));
    }
};

QTEST_MAIN(TestClosedMonths)
#include "tst_closed_months.moc"
