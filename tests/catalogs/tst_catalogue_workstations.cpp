// The catalogues with two workstations on one database: duplicate tests that take turns, the operation's last norm,
// changes of rows that another workstation deleted or changed meanwhile, and no message while a transaction is open.
// The other workstation's order is forced by holding its transaction open until the program waits for it.
#include "catalogs/catalogue_changes.h"
#include "catalogs/operation_price_editor.h"
#include "catalogs/worker_editor.h"
#include "catalogs/workers_list.h"
#include "db/data_module.h"
#include "db/reference_locks_sql.h"
#include "db/transaction.h"
#include "harness/widgets.h"
#include "journal/journal_window.h"
#include "support/app_fixture.h"
#include "support/other_workstation.h"
#include "ui/messages.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

using catalogs::Outcome;
using db::refs_sql::Key;
using db::refs_sql::Ref;

class TestCatalogueWorkstations : public QObject {
    Q_OBJECT

private slots:
    void init() { ui::Messages::clearShown(); }

    // Two workstations add the same product ("ДУБЛЬ-1" and "дубль-1"), kind or operation at once: the second waits
    // for the first's duplicate test and row, then finds it.
    void duplicateAdds_data()
    {
        QTest::addColumn<QStringList>("other");
        QTest::addColumn<int>("catalogue"); // 0 product, 1 kind, 2 operation
        QTest::addColumn<QString>("count");
        QTest::newRow("product") << QStringList{db::refs_sql::lockKey(Key::ProductCode, "ДУБЛЬ-1"),
                                                "insert into cmn_gds_and_srv.gds_and_srv (s_caption, massa) values "
                                                "('ДУБЛЬ-1', 1)"}
                                 << 0 << "select count(*) from accounts_dep.izdel where upper(marka)='ДУБЛЬ-1'";
        QTest::newRow("kind") << QStringList{db::refs_sql::lockKey(Key::KindName, "ГИБКА"),
                                             "insert into accounts_dep.vid_oper (vid) values ('Гибка')"}
                              << 1 << "select count(*) from accounts_dep.vid_oper where upper(vid)='ГИБКА'";
        QTest::newRow("operation") << QStringList{db::refs_sql::lockKey(Key::Operation, "2/1/1"),
                                                  "insert into accounts_dep.oper (vid, naimen, i_id, cena_new) values "
                                                  "(2, 1, 1, 0)"}
                                   << 2 << "select count(*) from accounts_dep.oper where vid=2 and naimen=1 and i_id=1";
    }

    void duplicateAdds()
    {
        QFETCH(QStringList, other);
        QFETCH(int, catalogue);
        QFETCH(QString, count);
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        Database& dm = *app.w.database;
        dm.Vid_oper->open();
        OtherWorkstation first(db, "first", other, 1);
        Outcome got = Outcome::Written;
        if (catalogue == 0)
            got = catalogs::saveProduct(dm.ADO_DB.name(), "дубль-1", "2.5", 10, nullptr);
        else if (catalogue == 1)
            got = catalogs::saveKind(dm, "гибка", nullptr);
        else
            got = catalogs::saveOperation(dm.ADO_DB.name(), 2, 1, 1, nullptr);
        QVERIFY2(first.finish(), qPrintable(first.error()));
        QVERIFY(first.sawWaiters());
        QCOMPARE(got, Outcome::Duplicate);
        QCOMPARE(db.scalar(count).toInt(), 1);
    }

    // Two workstations delete the last two norms of one operation at once: the second counts again after the first
    // and keeps the last one, so the operation stays in the price list.
    void lastTwoNorms()
    {
        TestDatabase db;
        loadSmallShop(db); // operation 1 has two norms
        AppFixture app(db);
        const QList<QVariantList> norms = db.rows("select id from accounts_dep.norm where o_id=1 order by id");
        QCOMPARE(norms.size(), 2);
        OtherWorkstation other(db, "other",
                               {db::refs_sql::lockExclusive(Ref::Operation, 1),
                                QString("delete from accounts_dep.norm where id=%1").arg(norms[0][0].toInt())},
                               1);
        const Outcome got = catalogs::deleteNorm(app.w.database->ADO_DB.name(), norms[1][0].toInt(), 1);
        QVERIFY2(other.finish(), qPrintable(other.error()));
        QVERIFY(other.sawWaiters());
        QCOMPARE(got, Outcome::LastNorm);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.norm where o_id=1").toInt(), 1);
    }

    // An editor opened for a change, the row deleted on another workstation: nothing is written, and the outcome
    // says the row is gone.
    void changeOfDeletedRow_data()
    {
        QTest::addColumn<int>("catalogue"); // 0 worker, 1 product, 2 kind, 3 operation
        QTest::addColumn<QString>("deletion");
        QTest::addColumn<QString>("count");
        QTest::newRow("worker") << 0 << "delete from cmn_contractor.person where id=2"
                                << "select count(*) from cmn_contractor.person";
        QTest::newRow("product") << 1 << "delete from cmn_gds_and_srv.gds_and_srv where id=2"
                                 << "select count(*) from cmn_gds_and_srv.gds_and_srv";
        QTest::newRow("kind") << 2 << "delete from accounts_dep.vid_oper where id=3"
                              << "select count(*) from accounts_dep.vid_oper";
        QTest::newRow("operation") << 3 << "delete from accounts_dep.oper where id=2"
                                   << "select count(*) from accounts_dep.oper";
    }

    void changeOfDeletedRow()
    {
        QFETCH(int, catalogue);
        QFETCH(QString, deletion);
        QFETCH(QString, count);
        TestDatabase db;
        loadSmallShop(db);
        db.exec("insert into accounts_dep.vid_oper (id, vid) values (3, 'ГИБКА')");
        AppFixture app(db);
        Database& dm = *app.w.database;
        const QString cn = dm.ADO_DB.name();
        const catalogs_sql::Row rows[] = {catalogs_sql::Row::Worker, catalogs_sql::Row::Product,
                                          catalogs_sql::Row::Kind, catalogs_sql::Row::Operation};
        const int ids[] = {2, 2, 3, 2};
        catalogs::Change change{ids[catalogue], catalogs::openedVersion(cn, rows[catalogue], ids[catalogue])};
        QVERIFY(!change.opened.isEmpty());
        dm.Vid_oper->open();
        QVERIFY(dm.Vid_oper->locate("id", 3));
        db.exec(deletion);
        const int before = db.scalar(count).toInt();
        Outcome got = Outcome::Written;
        switch (catalogue) {
        case 0:
            got = catalogs::saveWorker(cn, "Петрова А.С.", "Склад", &change);
            break;
        case 1:
            got = catalogs::saveProduct(cn, "ОК-206", "1", 10, &change);
            break;
        case 2:
            got = catalogs::saveKind(dm, "ГИБКА-2", &change);
            break;
        default:
            got = catalogs::saveOperation(cn, 1, 0, 2, &change);
        }
        QCOMPARE(got, Outcome::Gone);
        QCOMPARE(catalogs::message(got), QStringLiteral("Запись не найдена: её изменили или удалили на другом рабочем "
                                                        "месте."));
        QCOMPARE(db.scalar(count).toInt(), before);
    }

    // Two workstations rename one worker: the later one is asked before it overwrites the earlier's name; No keeps
    // the other's name and the editor open, Yes writes its own.
    void renameAfterAnotherRename()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        WorkerEditor* e = app.w.workerEditor;
        e->prepareChange(2, QString(), QString());
        widget<QLineEdit>(e, "Edit1")->setText("Петрова-Смирнова А.С.");
        db.exec("update cmn_contractor.person set s_caption='Петрова А.С. (склад)' where id=2");

        ui::Messages::queueAnswer(false);
        e->save();
        QCOMPARE(ui::Messages::shown().size(), 1);
        QCOMPARE(ui::Messages::shown()[0].kind, ui::ShownMessage::Kind::Question);
        QCOMPARE(ui::Messages::shown()[0].text, catalogs::overwriteQuestion());
        QCOMPARE(db.scalar("select s_caption from cmn_contractor.person where id=2").toString(),
                 QStringLiteral("Петрова А.С. (склад)"));

        ui::Messages::queueAnswer(true);
        e->save();
        QCOMPARE(db.scalar("select s_caption from cmn_contractor.person where id=2").toString(),
                 QStringLiteral("Петрова-Смирнова А.С."));
    }

    // A worker added through the list, and the list's re-read after the commit fails: the message says the worker
    // was saved, so that nobody adds them a second time.
    void addedWorkerWhoseRereadFails()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        WorkersList* list = app.w.workersList;
        WorkerEditor* e = app.w.workerEditor;
        db::Dataset* workers = app.w.database->Workers;
        QMetaObject::Connection hook;
        ui::scriptModal("WorkerEditor", [&](QDialog*) {
            widget<QLineEdit>(e, "Edit1")->setText("Новиков Н.Н.");
            hook = connect(workers, &db::Dataset::aboutToOpen, this, [&] {
                disconnect(hook);
                db.exec("alter view accounts_dep.person rename to person_away");
            });
            widget<QPushButton>(e, "Button1")->click();
        });
        ui::scriptModal("WorkersList", [&](QDialog*) { widget<QPushButton>(list, "Button1")->click(); });
        list->openCatalogue(nullptr);
        disconnect(hook);
        db.exec("alter view accounts_dep.person_away rename to person");
        const auto shown = ui::Messages::shown();
        QVERIFY(!shown.isEmpty());
        QVERIFY2(shown.last().text.startsWith("Изменение сохранено, но список не обновлён."),
                 qPrintable(shown.last().text));
        QCOMPARE(db.scalar("select count(*) from cmn_contractor.person where s_caption='Новиков Н.Н.'").toInt(), 1);
    }

    // A refusal is shown only after the rollback: the 30-second check that ticks while the box is open runs its
    // own transaction as usual, and one that ticks while a change is under way skips its turn. A transaction is
    // never begun inside another.
    void noMessageOrCheckInsideATransaction()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        Database& dm = *app.w.database;
        const QString cn = dm.ADO_DB.name();
        bool tickRan = false;
        ui::Messages::setOnShow([&](const ui::ShownMessage&) {
            QVERIFY(!db::anyTransactionOpen());
            tickRan = app.w.journal->runBuildStampCheck();
        });
        OperationPriceEditor* e = app.w.operationPriceEditor; // an operation that repeats operation 1
        e->prepareAdd();
        e->takeProduct(1, "ДМ-101");
        e->takeKind(1, "РЕЗКА");
        widget<QComboBox>(e, "ComboBox1")->setCurrentIndex(0);
        widget<QPushButton>(e, "Button1")->click();
        ui::Messages::setOnShow({});
        QCOMPARE(ui::Messages::shown().size(), 1);
        QCOMPARE(ui::Messages::shown()[0].text, QStringLiteral("Операция с такими параметрами уже заведена!"));
        QVERIFY(tickRan);

        db::Transaction tx(cn);
        QVERIFY(db::transactionOpen(cn));
        QVERIFY(!app.w.journal->runBuildStampCheck());
        QVERIFY_THROWS_EXCEPTION(db::DbError, db::Transaction{cn});
        QVERIFY(db::transactionOpen(cn)); // the open one is left as it was
        tx.rollback();
        QVERIFY(!db::transactionOpen(cn));
    }
};

QTEST_MAIN(TestCatalogueWorkstations)
#include "tst_catalogue_workstations.moc"
