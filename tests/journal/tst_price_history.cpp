// What the database keeps of prices and norms and of deleted rows, under personal logins: every change of an
// operation's price or norm leaves one history row with the row before and after and who made it; a deleted journal
// row can be written back once, as it was and at the price it was paid, and any other restore is refused with
// nothing written.
#include "support/other_workstation.h"
#include "support/personal_login.h"
#include "support/test_database.h"

#include <QtTest>

namespace {

const QString kRow = QStringLiteral(
    "insert into accounts_dep.smena (id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod,"
    " prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use)"
    " values (%1, %2, 1, 1, %3, 10, 1, '%4', 1, 0, 4, 'no', '%4', 0, 0, 0, 0, 0, 0)");

QString rowOf(int id, int worker, double price, const QString& day)
{
    return kRow.arg(id).arg(worker).arg(price).arg(day);
}

// The restore of a deletion: the deletion named for the transaction, the row written, committed. A refusal throws
// with the transaction left open: the caller rolls it back.
void restore(db::Connector& c, qint64 deletion, const QString& insert)
{
    run(c, QStringLiteral("begin"));
    run(c, QStringLiteral("select set_config('kesta.restores', '%1', true)").arg(deletion));
    run(c, insert);
    run(c, QStringLiteral("commit"));
}

} // namespace

class TestPriceHistory : public QObject {
    Q_OBJECT

private slots:
    // An operation's price and a norm changed by a person of the full-access group: one history row each, before and
    // after, the login and its group; a statement that changes nothing leaves none; nobody may write the history.
    void priceAndNormChanges()
    {
        TestDatabase db;
        loadSmallShop(db);
        PersonalLogin full(db, QStringLiteral("kesta_full"));
        db::Connector& c = connectAs(QStringLiteral("history_full"), db, full.name());
        const qint64 before = db.scalar(QStringLiteral("select count(*) from accounts_dep.price_history")).toLongLong();
        run(c, QStringLiteral("update accounts_dep.oper set cena = 9.1 where id = 1"));
        run(c, QStringLiteral("update accounts_dep.norm set price = 13.75 where o_id = 1 and price = 12.5"));
        run(c, QStringLiteral("update accounts_dep.norm set price = price where o_id = 2"));
        const auto rows = db.rows(QStringLiteral(
            "select source, row_id, oper_id, action, login, login_group, old_row->>'cena', new_row->>'cena',"
            " old_row->>'price', new_row->>'price' from accounts_dep.price_history where id > %1 order by id")
                                      .arg(before));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].mid(0, 6), QVariantList({"oper", 1, 1, "U", full.name(), "kesta_full"}));
        QCOMPARE(rows[0][6].toDouble(), 0.0);
        QCOMPARE(rows[0][7].toDouble(), 9.1);
        QCOMPARE(rows[1].mid(0, 6), QVariantList({"norm", rows[1][1], 1, "U", full.name(), "kesta_full"}));
        QCOMPARE(rows[1][8].toDouble(), 12.5);
        QCOMPARE(rows[1][9].toDouble(), 13.75);
        for (const QString& write : {QStringLiteral("insert into accounts_dep.price_history (source, row_id, action)"
                                                    " values ('oper', 1, 'U')"),
                                     QStringLiteral("delete from accounts_dep.price_history"),
                                     QStringLiteral("update accounts_dep.price_history set login = 'x'")})
            QVERIFY_THROWS_EXCEPTION(std::exception, run(c, write));
        db::removeConnector(QStringLiteral("history_full"));
    }

    // A row deleted and written back after its operation's price went up: the same row at the price it was paid, its
    // history naming the deletion it undoes.
    void restoreKeepsThePricePaid()
    {
        TestDatabase db;
        loadSmallShop(db);
        PersonalLogin full(db, QStringLiteral("kesta_full"));
        db::Connector& c = connectAs(QStringLiteral("restore_full"), db, full.name());
        run(c, rowOf(500, 1, 10.25, QStringLiteral("2026-11-10")));
        const QVariantList deleted = db.rows(QStringLiteral("select * from accounts_dep.smena where id = 500")).first();
        run(c, QStringLiteral("delete from accounts_dep.smena where id = 500"));
        run(c, QStringLiteral("update accounts_dep.norm set price = 11 where o_id = 1 and price = 10.25"));
        const qint64 deletion = db.scalar(QStringLiteral(
            "select id from accounts_dep.smena_history where row_id = 500 and action = 'D'")).toLongLong();
        // without naming the deletion the old price is refused, as for any new row
        QVERIFY_THROWS_EXCEPTION(std::exception, run(c, rowOf(500, 1, 10.25, QStringLiteral("2026-11-10"))));
        run(c, QStringLiteral("rollback"));
        restore(c, deletion, rowOf(500, 1, 10.25, QStringLiteral("2026-11-10")));
        QCOMPARE(db.rows(QStringLiteral("select * from accounts_dep.smena where id = 500")).first(), deleted);
        QCOMPARE(db.rows(QStringLiteral("select action, coalesce(undoes, 0) from accounts_dep.smena_history"
                                        " where row_id = 500 order by id")),
                 QList<QVariantList>({{"I", 0LL}, {"D", 0LL}, {"I", deletion}}));
        db::removeConnector(QStringLiteral("restore_full"));
    }

    // Refusals, each writing nothing: the same deletion twice, a row that differs from the deleted one, a deletion
    // that does not exist, a month closed since, a worker gone since, a login that may not delete rows.
    void restoreRefusals_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("login");
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("sameDeletion");
        QTest::newRow("restored before") << QStringLiteral("restore") << "kesta_full"
                                         << rowOf(500, 1, 12.5, QStringLiteral("2026-11-10")) << true;
        QTest::newRow("another quantity") << QString() << "kesta_full"
                                          << rowOf(500, 1, 12.5, QStringLiteral("2026-11-10")).replace(", 10, 1,", ", 11, 1,")
                                          << true;
        QTest::newRow("another row's deletion") << QString() << "kesta_full"
                                                << rowOf(501, 1, 12.5, QStringLiteral("2026-11-10")) << true;
        QTest::newRow("month closed") << QStringLiteral("insert into accounts_dep.closed_month (year, month) values (2026, 11)")
                                      << "kesta_full" << rowOf(500, 1, 12.5, QStringLiteral("2026-11-10")) << true;
        QTest::newRow("worker gone") << QStringLiteral("delete from cmn_contractor.person where id = 1") << "kesta_full"
                                     << rowOf(500, 1, 12.5, QStringLiteral("2026-11-10")) << true;
        QTest::newRow("foreman") << QString() << "kesta_foreman" << rowOf(500, 1, 12.5, QStringLiteral("2026-11-10"))
                                 << true;
        QTest::newRow("no such deletion") << QString() << "kesta_full"
                                          << rowOf(500, 1, 12.5, QStringLiteral("2026-11-10")) << false;
    }
    void restoreRefusals()
    {
        QFETCH(QString, before);
        QFETCH(QString, login);
        QFETCH(QString, row);
        QFETCH(bool, sameDeletion);
        TestDatabase db;
        loadSmallShop(db);
        db.exec(rowOf(500, 1, 12.5, QStringLiteral("2026-11-10")));
        db.exec(QStringLiteral("delete from accounts_dep.smena where id = 500"));
        db.exec(QStringLiteral("update accounts_dep.norm set price = 14 where o_id = 1 and price = 12.5"));
        const qint64 deletion = db.scalar(QStringLiteral(
            "select id from accounts_dep.smena_history where row_id = 500 and action = 'D'")).toLongLong();
        if (before == u"restore") {
            db::Connector& owner = connectAs(QStringLiteral("restore_owner"), db);
            restore(owner, deletion, rowOf(500, 1, 12.5, QStringLiteral("2026-11-10")));
            run(owner, QStringLiteral("delete from accounts_dep.smena where id = 500"));
            db::removeConnector(QStringLiteral("restore_owner"));
        } else if (!before.isEmpty()) {
            db.exec(before);
        }
        const auto journal = [&] { return db.rows(QStringLiteral("select * from accounts_dep.smena order by id")); };
        const auto history = [&] {
            return db.scalar(QStringLiteral("select count(*) from accounts_dep.smena_history")).toLongLong();
        };
        const auto rowsBefore = journal();
        const qint64 historyBefore = history();
        PersonalLogin person(db, login);
        db::Connector& c = connectAs(QStringLiteral("refusal"), db, person.name());
        QVERIFY_THROWS_EXCEPTION(std::exception, restore(c, sameDeletion ? deletion : deletion + 1000, row));
        run(c, QStringLiteral("rollback"));
        db::removeConnector(QStringLiteral("refusal"));
        QCOMPARE(journal(), rowsBefore);
        QCOMPARE(history(), historyBefore);
    }
};

QTEST_MAIN(TestPriceHistory)
#include "tst_price_history.moc"
