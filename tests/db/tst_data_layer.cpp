// The data layer against a real server: connection strings, statement texts, datasets, commands, transactions
// and the shared data module.
#include "db/command.h"
#include "db/connection_string.h"
#include "db/data_module.h"
#include "db/data_module_sql.h"
#include "db/dataset.h"
#include "db/db_error.h"
#include "db/filter_expression.h"
#include "db/session.h"
#include "db/sql_text.h"
#include "db/timesheet_hours_sql.h"
#include "db/transaction.h"
#include "support/test_database.h"
#include "ui/messages.h"

#include <QtTest>

#include <clocale>

class TestDataLayer : public QObject {
    Q_OBJECT

private:
    // A data module connected to a fresh database.
    struct Connected {
        TestDatabase db;
        Database dm;
        Connected()
        {
            dm.ADO_DB.setConnectionString(db.connectionString());
            dm.ADO_DB.open();
        }
    };

    static void addJournalRow(TestDatabase& db, int id, int worker, int shift, const QString& ok, const QString& date)
    {
        db.exec(QStringLiteral("insert into accounts_dep.smena (id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena,"
                               " color, time, ok, vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use,"
                               " id_cons_use) values (%1, %2, 1, 1, 10.25, 10, 1, '%3', %4, 0, 4, %5, '%3', 0, 0, 0,"
                               " 0, 0, 0)")
                    .arg(id)
                    .arg(worker)
                    .arg(date)
                    .arg(shift)
                    .arg(ok.isNull() ? QStringLiteral("NULL") : db::sql::quote(ok)));
    }

private slots:
    void init()
    {
        ui::Messages::setScripted(true);
        ui::Messages::clearShown();
        db::setWaitLimits(db::WaitLimits{});
    }

    void cleanup() { db::setWaitLimits(db::WaitLimits{}); }

    // Values of the connection string keep their characters: ";" and "=" inside a value add no key.
    void connectionStringValues_data()
    {
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QString>("written");
        QTest::newRow("plain") << "kesta_erp"
                               << "10.0.0.5"
                               << "DATABASE=kesta_erp;SERVER=10.0.0.5;";
        QTest::newRow("empty database") << ""
                                        << "srv"
                                        << "DATABASE=;SERVER=srv;";
        QTest::newRow("semicolon in the name") << "erp;x"
                                               << "srv"
                                               << "DATABASE={erp;x};SERVER=srv;";
        QTest::newRow("key injected through the server") << "erp"
                                                         << "SERVER;DATABASE=other"
                                                         << "DATABASE=erp;SERVER={SERVER;DATABASE=other};";
        QTest::newRow("closing brace doubled") << "a}b"
                                               << "srv"
                                               << "DATABASE={a}}b};SERVER=srv;";
        QTest::newRow("opening brace") << "{x"
                                       << "srv"
                                       << "DATABASE={{x};SERVER=srv;";
        QTest::newRow("blanks at the ends") << " erp "
                                            << "srv"
                                            << "DATABASE={ erp };SERVER=srv;";
        QTest::newRow("cyrillic socket folder") << "учёт"
                                                << "/tmp/база"
                                                << "DATABASE=учёт;SERVER=/tmp/база;";
    }

    void connectionStringValues()
    {
        QFETCH(QString, database);
        QFETCH(QString, server);
        QFETCH(QString, written);
        const QString text = db::assembleConnectionString(database, server);
        QVERIFY2(text.startsWith("DRIVER={PostgreSQL UNICODE};" + written + "PORT=5432;UID=sys;PWD=wumbral;"),
                 qPrintable(text));
        const db::ConnectionOptions o = db::parseConnectionString(text);
        QCOMPARE(o.database, database);
        QCOMPARE(o.server, server);
        QCOMPARE(o.port, 5432);
        QCOMPARE(o.user, QStringLiteral("sys"));
        QCOMPARE(o.password, QStringLiteral("wumbral"));
        QCOMPARE(o.sslMode, QStringLiteral("allow"));
    }

    // Hostile text through the quoting helper, the parameter binder of commands and datasets, and the filter:
    // stored and read back verbatim, or refused with a clear message and nothing stored.
    void hostileText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("refused");
        QTest::newRow("quote") << "O'Brien ''x'" << false;
        QTest::newRow("backslashes") << "C:\\temp\\ \\' \\\\" << false;
        QTest::newRow("statement end and comment") << "x'; delete from accounts_dep.hostile; --" << false;
        QTest::newRow("line comment") << "-- a" << false;
        QTest::newRow("block comment") << "/* a */ */ /*" << false;
        QTest::newRow("parameter look-alike") << ":v ::text :" << false;
        QTest::newRow("dollar quoting") << "$$ $a$ $$" << false;
        QTest::newRow("wildcards") << "100% _x_ *" << false;
        QTest::newRow("control characters") << "a\tb\r\nc" << false;
        QTest::newRow("cyrillic") << "Иванов Пётр Ёжикович" << false;
        QTest::newRow("right to left") << QString::fromUtf8("שלום عليكم \u202Eabc\u202C") << false;
        QTest::newRow("outside the basic plane") << QString::fromUtf8("\U0001F600 \U00020000") << false;
        QTest::newRow("10000 characters") << QString("Жё'\\;-").repeated(2000) << false;
        QTest::newRow("NUL") << QString("a") + QChar(0) + "b" << true;
        QTest::newRow("lone high surrogate") << QString("a") + QChar(0xD800) + "b" << true;
        QTest::newRow("lone low surrogate") << QString("a") + QChar(0xDC00) << true;
    }

    void hostileText()
    {
        QFETCH(QString, text);
        QFETCH(bool, refused);
        Connected c;
        c.db.exec("create table accounts_dep.hostile (id serial primary key, v text)");
        db::Command& cmd = *c.dm.SQL_exec;
        const auto storeAll = [&] {
            cmd.setText("insert into accounts_dep.hostile (v) values (" + db::sql::quote(text) + ")");
            cmd.execute();
            cmd.setText("insert into accounts_dep.hostile (v) values (:v)");
            cmd.setParam("v", text);
            cmd.execute();
            c.dm.Control->setSqlLines({"select :V as v"});
            c.dm.Control->setParam("v", text);
            c.dm.Control->open();
        };
        if (refused) {
            try {
                storeAll();
                QFAIL("the text must be refused");
            } catch (const db::ConversionError& e) {
                QVERIFY2(e.text().startsWith("Текст содержит недопустимый символ"), qPrintable(e.text()));
            }
            QCOMPARE(c.db.scalar("select count(*) from accounts_dep.hostile").toInt(), 0);
            return;
        }
        storeAll();
        QCOMPARE(c.dm.Control->asString("v"), text);
        c.dm.Control->close();
        db::Dataset rows(c.dm.ADO_DB.name(), "rows");
        rows.setSql("select id, v from accounts_dep.hostile order by id");
        rows.open();
        QCOMPARE(rows.recordCount(), 2);
        for (rows.first(); !rows.eof(); rows.next())
            QCOMPARE(rows.asString("v"), text);
        rows.setFilter("v = " + db::FilterExpression::quote(text));
        rows.setFiltered(true);
        QCOMPARE(rows.recordCount(), 2);
        rows.setFilter("v <> " + db::FilterExpression::quote(text));
        QCOMPARE(rows.recordCount(), 0);
    }

    // A negative number bound after a minus of the statement stays a number (not "--", a comment).
    void negativeNumberAfterMinus()
    {
        Connected c;
        c.dm.Control->setSqlLines({"select 5-:d as v, 1 as w"});
        c.dm.Control->setParam("d", -1);
        c.dm.Control->open();
        QCOMPARE(c.dm.Control->asInt("v"), 6);
        QCOMPARE(c.dm.Control->asInt("w"), 1);
    }

    // Every path reports a failure in the program's words: a lost connection the same way on reads, commands and
    // commits (saying whether the change may have been written), a statement that ran too long as such.
    void failureExplained_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("start");
        const QString lost = "Связь с базой данных была потеряна, соединение восстановлено. ";
        QTest::newRow("dataset") << "dataset" << lost + "Действие не выполнено, повторите его.";
        QTest::newRow("command on its own") << "command"
                                            << lost + "Неизвестно, успело ли действие выполниться: нажмите "
                                                      "«Обновить» и проверьте, прежде чем повторять его.";
        QTest::newRow("command in a transaction") << "in transaction" << lost + "Действие не выполнено, повторите его.";
        QTest::newRow("commit") << "commit"
                                << lost + "Неизвестно, успело ли действие выполниться: нажмите «Обновить» и проверьте, "
                                          "прежде чем повторять его.";
        QTest::newRow("statement timeout")
            << "timeout"
            << "База данных не ответила за отведённое время. Действие не выполнено, повторите его позже.";
    }

    void failureExplained()
    {
        QFETCH(QString, path);
        QFETCH(QString, start);
        if (path == "timeout") {
            db::WaitLimits limits;
            limits.statementTimeoutMs = 200;
            db::setWaitLimits(limits);
        }
        Connected c;
        const auto kill = [&] {
            c.db.exec("select pg_terminate_backend(pid, 5000) from pg_stat_activity where datname = "
                      "current_database() and pid <> pg_backend_pid()");
        };
        c.dm.SQL_exec->setText("insert into accounts_dep.vid_oper (vid) values ('X')");
        try {
            // A server process that ends under the statement itself (an idle connection lost before is made again
            // without a failure: idleConnectionLostIsMadeAgain).
            if (path == "dataset") {
                c.dm.Control->setSqlLines({"select pg_terminate_backend(pg_backend_pid()), pg_sleep(1) as a"});
                c.dm.Control->open();
            } else if (path == "command") {
                c.dm.SQL_exec->setText("select pg_terminate_backend(pg_backend_pid()), pg_sleep(1)");
                c.dm.SQL_exec->execute();
            } else if (path == "in transaction") {
                db::Transaction tx(c.dm.ADO_DB.name());
                kill();
                c.dm.SQL_exec->execute();
            } else if (path == "commit") {
                db::Transaction tx(c.dm.ADO_DB.name());
                c.dm.SQL_exec->execute();
                kill();
                tx.commit();
            } else {
                c.dm.Control->setSqlLines({"select pg_sleep(5) as a"});
                c.dm.Control->open();
            }
            QFAIL("the action must fail");
        } catch (const db::DbError& e) {
            QCOMPARE(e.text(), start);
            QVERIFY(!e.details().isEmpty()); // what the server or libpq said, apart from the message
        }
        QCOMPARE(c.db.scalar("select count(*) from accounts_dep.vid_oper").toInt(), 0);
        // the connection works again
        c.dm.Control->setSqlLines({"select 2 as a"});
        c.dm.Control->open();
        QCOMPARE(c.dm.Control->asInt("a"), 2);
    }

    // The server process of an idle connection ended (a restarted server, a failover): the next action connects
    // again through the same address list, goes through, and leaves one notice for the user.
    void idleConnectionLostIsMadeAgain()
    {
        Connected c;
        db::takeNotices();
        c.db.exec("select pg_terminate_backend(pid, 5000) from pg_stat_activity where datname = current_database() "
                  "and pid <> pg_backend_pid()");
        {
            db::Transaction tx(c.dm.ADO_DB.name());
            c.dm.SQL_exec->setText("insert into accounts_dep.vid_oper (vid) values ('X')");
            c.dm.SQL_exec->execute();
            tx.commit();
        }
        QCOMPARE(c.db.scalar("select count(*) from accounts_dep.vid_oper").toInt(), 1);
        QCOMPARE(db::takeNotices(),
                 QStringList{QStringLiteral("Связь с базой данных была потеряна, соединение восстановлено.")});
        QCOMPARE(db::takeNotices(), QStringList{});
    }

    void connectionString_data()
    {
        QTest::addColumn<QString>("arg1");
        QTest::addColumn<QString>("arg2");
        QTest::addColumn<QString>("database");
        QTest::addColumn<QString>("server");
        QTest::newRow("no arguments") << QString() << QString() << "kesta_erp"
                                      << "localhost";
        QTest::newRow("argument 1 only") << "other_db" << QString() << "kesta_erp"
                                         << "localhost";
        QTest::newRow("argument 2 only") << QString() << "10.0.0.5"
                                         << ""
                                         << "10.0.0.5";
        QTest::newRow("both") << "erp2"
                              << "db.example"
                              << "erp2"
                              << "db.example";
    }

    void connectionString()
    {
        QFETCH(QString, arg1);
        QFETCH(QString, arg2);
        QFETCH(QString, database);
        QFETCH(QString, server);
        const QString text = db::connectionStringFor(arg1, arg2);
        const QString expected =
            "DRIVER={PostgreSQL UNICODE};DATABASE=" + database + ";SERVER=" + server +
            ";PORT=5432;UID=sys;PWD=wumbral;SSLmode=allow;ReadOnly=0;Protocol=7.4;FakeOidIndex=0;ShowOidColumn=0;"
            "RowVersioning=0;ShowSystemTables=0;Fetch=100;UnknownSizes=0;MaxVarcharSize=255;"
            "MaxLongVarcharSize=8190;Debug=0;CommLog=0;UseDeclareFetch=0;TextAsLongVarchar=1;"
            "UnknownsAsLongVarchar=0;BoolsAsChar=1;Parse=0;ExtraSysTablePrefixes=;LFConversion=1;"
            "UpdatableCursors=1;TrueIsMinus1=0;BI=0;ByteaAsLongVarBinary=1;UseServerSidePrepare=1;"
            "LowerCaseIdentifier=0;D6=-101;OptionalErrors=0;XaOpt=1";
        QCOMPARE(text, expected);
        const db::ConnectionOptions o = db::parseConnectionString(text);
        QCOMPARE(o.database, database);
        QCOMPARE(o.server, server);
        QCOMPARE(o.port, 5432);
        QCOMPARE(o.user, QStringLiteral("sys"));
        QCOMPARE(o.password, QStringLiteral("wumbral"));
        QCOMPARE(o.sslMode, QStringLiteral("allow"));
    }

    void statementValues_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain text") << db::sql::quote("КРАСКА") << "'КРАСКА'";
        QTest::newRow("apostrophe doubled") << db::sql::quote("O'Brien") << "'O''Brien'";
        QTest::newRow("injection stays text") << db::sql::quote("x'; drop table t; --") << "'x''; drop table t; --'";
        QTest::newRow("number") << db::sql::number(1234567) << "1234567";
        QTest::newRow("negative number cannot join a minus") << db::sql::number(-1234567) << "(-1234567)";
        QTest::newRow("negative price") << db::sql::price(-2.5) << "(-2.5)";
        QTest::newRow("bound after a minus")
            << db::bindParams("select 5-:d, 5-:x", {{"d", -1}, {"x", -0.5}}) << "select 5-(-1), 5-(-0.5)";
        QTest::newRow("price rounded to 4") << db::sql::price(12.345678) << "12.3457";
        QTest::newRow("price whole") << db::sql::price(30) << "30";
        QTest::newRow("price 1.2 factor") << db::sql::price(10.25 * 1.2) << "12.3";
        QTest::newRow("date") << db::sql::toDate(QDate(2026, 1, 5)) << "to_date('05.01.2026', 'DD.MM.YYYY')";
        QTest::newRow("lines") << db::sql::lines({"a", "b"}) << "a\r\nb\r\n";
        QTest::newRow("hours of a day") << db::hours_sql::hoursOfDay(17, 3, QDate(2026, 2, 9))
                                        << "select sum(time) as tim from accounts_dep.smena where w_id=17 and smena=3 "
                                           "and data=to_date('09.02.2026', 'DD.MM.YYYY') group by w_id, smena, data";
        QTest::newRow("timesheet day") << db::hours_sql::setDay(9, 12, 17, 3, 2, 2026)
                                       << "update accounts_dep.h_tabel set d9=12 where w_id=17 and smena=3 and month=2 "
                                          "and year=2026";
        QTest::newRow("a day rewritten by the database") << db::hours_sql::rewriteDay(17, 3, QDate(2026, 2, 9), false)
                                                         << "select accounts_dep.timesheet_day(17, 3, "
                                                            "to_date('09.02.2026', 'DD.MM.YYYY'), false)";
    }

    void statementValues()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    void quoteRefusesNul()
    {
        QVERIFY_THROWS_EXCEPTION(db::ConversionError, db::sql::quote(QString("a") + QChar(0) + "b"));
    }

    // The shared statements are held against their documented texts.
    void dataModuleStatements()
    {
        Database dm;
        QCOMPARE(dm.Workers->sql(), QStringLiteral("select * from accounts_dep.person order by fio"));
        QCOMPARE(dm.Izdel->sql(), QStringLiteral("select *  from accounts_dep.IZDEL order by marka"));
        QCOMPARE(dm.Vid_oper->sql(), QStringLiteral("select * from accounts_dep.VID_OPER order by vid"));
        QVERIFY(dm.Oper->sql().startsWith(
            "select izdel.MARKA, vid_oper.VID, oper.NAIMEN, (SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' "
            "ELSE 'Заготовки' END)) as nmn,\r\ncount(o_id) norma, min(price)::numeric cena,\r\n"));
        QVERIFY(dm.Smena1->sql().endsWith(
            "oper.vid=vid_oper.id and smena.smena=1 and smena.data=:data and ok!=:ok order by \r\n"
            "fio, izdel.marka, vid_oper.vid, oper.naimen, color\r\n"));
        for (int s = 2; s <= 4; ++s)
            QVERIFY(dm.smenaQuery(s)->sql().endsWith(
                QStringLiteral("smena.smena=%1 and smena.data=:data and ok<>:ok order by fio\r\n").arg(s)));
        QCOMPARE(dm.smenaQuery(7), dm.Smena1);
        QCOMPARE(dm.H_Tabel_2->sql().split("\r\n")[3],
                 QStringLiteral("h_tabel.w_id=person.s_code::integer and h_tabel.smena=2 and month=:mnth and "));
        QCOMPARE(dm.Smena3->paramNames(), QStringList({"data", "ok"}));
        QCOMPARE(dm.H_Tabel_3->paramNames(), QStringList({"mnth", "yea"}));
        QCOMPARE(dm.Oper_del->text(), QStringLiteral("delete from accounts_dep.oper where id=:id"));
    }

    // Rows with a null mark never show, a row is listed once per matching person, rows without a person vanish,
    // and "ta" lists every marked row; parameters are set by name in any letter case.
    void journalListingRules()
    {
        Connected c;
        loadSmallShop(c.db);
        // person 3's number is worker 1's key: journal rows of worker 1 match person 1 by id and person 3 by number
        c.db.exec("insert into cmn_contractor.person (id, s_caption, s_code) values (3, 'Сидоров П.П.', '1')");
        addJournalRow(c.db, 1, 1, 1, "ok", "2026-03-02");
        addJournalRow(c.db, 2, 2, 1, "no", "2026-03-02");
        addJournalRow(c.db, 3, 2, 1, QString(), "2026-03-02");
        addJournalRow(c.db, 4, 99, 1, "да", "2026-03-02");
        addJournalRow(c.db, 5, 2, 2, "no", "2026-03-02");
        addJournalRow(c.db, 6, 2, 1, "no", "2026-03-03");
        db::Dataset* q = c.dm.Smena1;
        q->setParam("DATA", QDateTime(QDate(2026, 3, 2), QTime(0, 0)));
        q->setParam("Ok", "ta");
        q->open();
        QStringList seen;
        for (q->first(); !q->eof(); q->next())
            seen << QString("%1:%2").arg(q->asInt("id")).arg(q->asString("fio"));
        QCOMPARE(seen, QStringList({"1:Иванов И.И.", "2:Петрова А.С.", "1:Сидоров П.П."}));
        QCOMPARE(q->value("data").toDateTime().date(), QDate(2026, 3, 2));
        QCOMPARE(q->asDouble("summa"), 92.25);
        QCOMPARE(q->asString("nmn"), QStringLiteral("Готовая продукция"));
        // "no" excluded
        q->close();
        q->setParam("ok", "no");
        q->open();
        QCOMPARE(q->recordCount(), 2);
        QVERIFY_THROWS_EXCEPTION(db::DbError, q->setParam("nosuch", 1));
    }

    void recordNumbersAndFilters()
    {
        Connected c;
        loadSmallShop(c.db);
        db::Dataset* oper = c.dm.Oper;
        oper->setFilter("id=2");
        oper->setFiltered(true);
        oper->open();
        QCOMPARE(oper->recordCount(), 1);
        QCOMPARE(oper->asString("VID"), QStringLiteral("КРАСКА"));
        QCOMPARE(oper->asInt("norma"), 1);
        // filters are kept across close and open
        oper->close();
        oper->open();
        QCOMPARE(oper->recordCount(), 1);
        oper->setFiltered(false);
        QCOMPARE(oper->recordCount(), 2);
        QCOMPARE(oper->asDouble("cena"), 10.25); // lowest norm price of the first operation
        oper->setRecNo(99);
        QCOMPARE(oper->recNo(), 2);
        oper->setRecNo(-3);
        QCOMPARE(oper->recNo(), 1);
        QVERIFY(oper->locate("i_id", 2));
        QCOMPARE(oper->recNo(), 2);
        QVERIFY(!oper->locate("i_id", 42));
        oper->setFilter("marka like 'дм%'");
        oper->setFiltered(true);
        QCOMPARE(oper->recordCount(), 1);
        QVERIFY_THROWS_EXCEPTION(db::DbError, oper->value("nosuch"));
        oper->close();
        QCOMPARE(oper->recNo(), 0);
        oper->setRecNo(5); // an empty dataset stays empty
        QCOMPARE(oper->recNo(), 0);
    }

    // Values are read as the server writes them: numbers of every shape give the same doubles as a full parser.
    void numbersReadExactly_data()
    {
        QTest::addColumn<QString>("literal");
        QTest::addColumn<QString>("type");
        for (const char* n : {"0", "-0.5", "10.25", "0.1", "12.3457", "-987654.321", "123456789012345",
                              "1234567890123456789", "0.000000000000001234"})
            QTest::newRow(n) << QString::fromLatin1(n) << "numeric";
        QTest::newRow("float8 with exponent") << "1e+20"
                                              << "float8";
        QTest::newRow("float8 tiny") << "1.5e-300"
                                     << "float8";
        QTest::newRow("integer") << "-2147483648"
                                 << "int4";
    }

    void numbersReadExactly()
    {
        QFETCH(QString, literal);
        QFETCH(QString, type);
        Connected c;
        c.dm.Control->setSqlLines({"select '" + literal + "'::" + type + " as v"});
        // a Russian workstation's C library writes numbers with a decimal comma
        const QByteArray previous = std::setlocale(LC_NUMERIC, nullptr);
        QVERIFY2(std::setlocale(LC_NUMERIC, "ru_RU.UTF-8"), "the ru_RU.UTF-8 locale is missing (test.sh makes it)");
        c.dm.Control->open();
        std::setlocale(LC_NUMERIC, previous.constData());
        QCOMPARE(c.dm.Control->value("v").toDouble(), literal.toDouble());
    }

    // Rows are kept column by column; every cell reads back as the value and type the server's text gives, nulls of
    // the column's type, repeats and nulls in any order.
    void cellsReadAsStored_data()
    {
        QTest::addColumn<QString>("array");
        QTest::addColumn<QVariantList>("expected");
        const QVariant nullInt{QMetaType(QMetaType::Int)}, nullText{QMetaType(QMetaType::QString)};
        QTest::newRow("int4") << "array[7, 7, null, 7, -2147483648]::int4[]"
                              << QVariantList{7, 7, nullInt, 7, int(INT32_MIN)};
        QTest::newRow("int8") << "array[9000000000, null]::int8[]"
                              << QVariantList{qlonglong(9000000000), QVariant(QMetaType(QMetaType::LongLong))};
        QTest::newRow("bool") << "array[true, false, false, null]"
                              << QVariantList{true, false, false, QVariant(QMetaType(QMetaType::Bool))};
        QTest::newRow("numeric") << "array[12.5, -0.1, 12.5, null]::numeric[]"
                                 << QVariantList{12.5, -0.1, 12.5, QVariant(QMetaType(QMetaType::Double))};
        QTest::newRow("date") << "array['2026-01-05', '1899-12-31', null]::date[]"
                              << QVariantList{QDate(2026, 1, 5), QDate(1899, 12, 31), QVariant(QMetaType(QMetaType::QDate))};
        QTest::newRow("timestamp") << "array['2026-01-05 10:11:12.345', '1960-02-29 23:59:59']::timestamp[]"
                                   << QVariantList{QDateTime(QDate(2026, 1, 5), QTime(10, 11, 12, 345), Qt::UTC),
                                                   QDateTime(QDate(1960, 2, 29), QTime(23, 59, 59), Qt::UTC)};
        QTest::newRow("text") << "array['Иванов', 'Иванов', null, 'Иванов', 'Петров', '', 'Петров']::text[]"
                              << QVariantList{QStringLiteral("Иванов"), QStringLiteral("Иванов"), nullText,
                                              QStringLiteral("Иванов"), QStringLiteral("Петров"), QString(""),
                                              QStringLiteral("Петров")};
    }

    void cellsReadAsStored()
    {
        QFETCH(QString, array);
        QFETCH(QVariantList, expected);
        Connected c;
        c.dm.Control->setSqlLines({"select unnest(" + array + ") as v, 1 as n"});
        c.dm.Control->open();
        QCOMPARE(c.dm.Control->recordCount(), expected.size());
        for (int r = 0; r < expected.size(); ++r) {
            const QVariant v = c.dm.Control->valueAt(r, 0);
            QCOMPARE(v.typeId(), expected[r].typeId());
            QCOMPARE(v.isNull(), expected[r].isNull());
            QCOMPARE(v, expected[r]);
            if (v.typeId() == QMetaType::QDateTime)
                QCOMPARE(v.toDateTime().timeSpec(), Qt::UTC);
        }
    }

    // A statement's rows keep the server's types, a null the type of its column, whatever the locale.
    void statementRowsKeepServerTypes_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QVariant>("expected");
        QTest::newRow("int2") << "-7" << "int2" << QVariant(-7);
        QTest::newRow("int4") << "2147483647" << "int4" << QVariant(2147483647);
        QTest::newRow("int8") << "9000000000" << "int8" << QVariant(qlonglong(9000000000));
        QTest::newRow("numeric") << "1234.5" << "numeric" << QVariant(1234.5);
        QTest::newRow("float8") << "-0.25" << "float8" << QVariant(-0.25);
        QTest::newRow("bool") << "true" << "bool" << QVariant(true);
        QTest::newRow("date") << "'2026-02-28'" << "date" << QVariant(QDate(2026, 2, 28));
        QTest::newRow("timestamp") << "'2026-01-05 10:11:12.345'" << "timestamp"
                                   << QVariant(QDateTime(QDate(2026, 1, 5), QTime(10, 11, 12, 345)));
        QTest::newRow("timestamptz") << "'2026-01-05 10:11:12+03'" << "timestamptz"
                                     << QVariant(QDateTime(QDate(2026, 1, 5), QTime(7, 11, 12), Qt::UTC));
        QTest::newRow("text") << "'Иванов ''И.'''" << "text" << QVariant(QStringLiteral("Иванов 'И.'"));
    }

    void statementRowsKeepServerTypes()
    {
        QFETCH(QString, value);
        QFETCH(QString, type);
        QFETCH(QVariant, expected);
        Connected c;
        const QByteArray previous = std::setlocale(LC_NUMERIC, nullptr);
        QVERIFY2(std::setlocale(LC_NUMERIC, "ru_RU.UTF-8"), "the ru_RU.UTF-8 locale is missing (test.sh makes it)");
        db::Result r = db::execStatement(c.dm.ADO_DB.name(), QStringLiteral("select %1::%2, null::%2").arg(value, type));
        std::setlocale(LC_NUMERIC, previous.constData());
        QCOMPARE(r.size(), 1);
        QVERIFY(r.next());
        QCOMPARE(r.value(0).typeId(), expected.typeId());
        QCOMPARE(r.value(0), expected);
        QVERIFY(r.value(1).isNull());
        QCOMPARE(r.value(1).typeId(), expected.typeId());
        QVERIFY(!r.next());
    }

    // A transaction whose statement failed is not reported as written: its COMMIT ends it with a rollback, and the
    // program says so instead of going on as if the change were saved.
    void commitAfterFailedStatementIsRefused()
    {
        Connected c;
        const QString cn = c.dm.ADO_DB.name();
        QString refusal;
        {
            db::Transaction t(cn);
            db::execStatement(cn, "insert into accounts_dep.vid_oper (vid) values ('ОКРАСКА')");
            QVERIFY_THROWS_EXCEPTION(db::DbError, db::execStatement(cn, "select 1/0"));
            try {
                t.commit();
            } catch (const db::DbError& e) {
                refusal = e.text();
            }
        }
        QCOMPARE(refusal, QStringLiteral("Транзакция не подтверждена сервером. Действие не выполнено, повторите его."));
        QVERIFY(!db::transactionOpen(cn));
        QCOMPARE(c.db.scalar("select count(*) from accounts_dep.vid_oper where vid = 'ОКРАСКА'").toInt(), 0);
    }

    // A year's report is read by two threads, a column each in turn: every cell as stored, and a value that does not
    // fit, met by either thread, fails the whole reading.
    void largeResultsReadOnTwoThreads()
    {
        Connected c;
        const int rows = 40000; // four columns: enough cells for two threads
        c.dm.Control->setSqlLines({"select g as n, ('Рабочий ' || g % 7)::text as t,",
                                   "case when g % 5 = 0 then null else g * 0.5 end as d,",
                                   "date '2025-01-01' + g % 30 as day from generate_series(1, " +
                                       QString::number(rows) + ") g order by g"});
        c.dm.Control->open();
        QCOMPARE(c.dm.Control->recordCount(), rows);
        for (int r = 0; r < rows; ++r) {
            const int g = r + 1;
            QCOMPARE(c.dm.Control->valueAt(r, 0), QVariant(g));
            QCOMPARE(c.dm.Control->valueAt(r, 1), QVariant(QStringLiteral("Рабочий ") + QString::number(g % 7)));
            if (g % 5 == 0)
                QVERIFY(c.dm.Control->valueAt(r, 2).isNull());
            else
                QCOMPARE(c.dm.Control->valueAt(r, 2), QVariant(g * 0.5));
            QCOMPARE(c.dm.Control->valueAt(r, 3), QVariant(QDate(2025, 1, 1).addDays(g % 30)));
        }
        c.dm.Control->close();

        for (const QString& big : {QStringLiteral("first"), QStringLiteral("second")}) {
            // the value that does not fit an integer in the column the main thread reads, then in the other's
            c.dm.Control->setSqlLines({big == u"first" ? "select g::int8 * 100000 as big, g as n"
                                                       : "select g as n, g::int8 * 100000 as big",
                                       "from generate_series(1, 60000) g"});
            c.dm.Control->setFieldDefs({{"big", db::FieldType::Integer}});
            QVERIFY_THROWS_EXCEPTION(db::ConversionError, c.dm.Control->open());
            QVERIFY(!c.dm.Control->isOpen());
            c.dm.Control->setFieldDefs({});
        }
    }

    // Rows written back keep every value as written: a value not of its column's type (a text typed into a number,
    // a null without a type, a local time) turns the column into plain values without changing the other rows.
    void storedRowsTakeAnyValue()
    {
        db::RowStore rows;
        rows.setColumns({QMetaType::Int, QMetaType::QString, QMetaType::QDateTime});
        const QDateTime utc(QDate(2026, 3, 1), QTime(8, 0), Qt::UTC);
        rows.appendInteger(0, 5);
        rows.appendText(1, rows.addText(1, QStringLiteral("Иванов")));
        rows.appendDateTime(2, utc);
        rows.finishRow();
        rows.appendSameAsLast(0);
        rows.appendNull(1);
        rows.appendNull(2);
        rows.finishRow();
        const QVector<QVariant> first = rows.row(0), second = rows.row(1);
        QCOMPARE(first, (QVector<QVariant>{5, QStringLiteral("Иванов"), utc}));
        QCOMPARE(second[0], QVariant(5));
        QCOMPARE(second[1].typeId(), int(QMetaType::QString));
        QVERIFY(second[1].isNull() && second[2].isNull());

        const QDateTime local(QDate(2026, 3, 2), QTime(9, 30), Qt::LocalTime);
        rows.appendRow({QStringLiteral("12a"), QVariant(), local});
        QCOMPARE(rows.row(2), (QVector<QVariant>{QStringLiteral("12a"), QVariant(), local}));
        QCOMPARE(rows.row(2)[2].toDateTime().timeSpec(), Qt::LocalTime);
        QCOMPARE(rows.row(0), first); // the earlier rows as they were
        QCOMPARE(rows.value(1, 1).typeId(), int(QMetaType::QString));
        rows.setRow(0, {6, QStringLiteral("Петров"), utc.addDays(1)});
        QCOMPARE(rows.row(0), (QVector<QVariant>{6, QStringLiteral("Петров"), utc.addDays(1)}));
        rows.removeRow(1);
        QCOMPARE(rows.rowCount(), 2);
        QCOMPARE(rows.row(1), (QVector<QVariant>{QStringLiteral("12a"), QVariant(), local}));
    }

    // The refusal goes to whatever the window layer installed; without it the message still reaches the user as
    // an error instead of nothing.
    void checkDuplicate()
    {
        Connected c;
        loadSmallShop(c.db);
        QStringList shown;
        c.dm.showRefusal = [&](const QString& m) { shown << m; };
        QVERIFY(!c.dm.CheckDuplicate("select count(*) as cnt from accounts_dep.vid_oper where upper(vid)='ГИБКА'",
                                     "Такая операция уже заведена!"));
        QVERIFY(shown.isEmpty());
        QVERIFY(c.dm.CheckDuplicate("select count(*) as cnt from accounts_dep.vid_oper where upper(vid)='КРАСКА'",
                                    "Такая операция уже заведена!"));
        QCOMPARE(shown, QStringList{"Такая операция уже заведена!"});
        QVERIFY(!c.dm.Control->isOpen());
        QVERIFY_THROWS_EXCEPTION(db::DbError, c.dm.CheckDuplicate("select count(*) as cnt from nosuch", "x"));
        c.dm.showRefusal = nullptr;
        try {
            c.dm.CheckDuplicate("select 1 as cnt", "Такая операция уже заведена!");
            QFAIL("a duplicate without a refusal display must not pass silently");
        } catch (const db::DbError& e) {
            QCOMPARE(e.text(), QStringLiteral("Такая операция уже заведена!"));
        }
    }

    // A name typed with an apostrophe is stored as typed; day-first dates are read day first.
    void quotingAndDates()
    {
        Connected c;
        c.dm.SQL_exec->setText("insert into accounts_dep.vid_oper (vid) values (" + db::sql::quote("O'Neil; --") + ")");
        QCOMPARE(c.dm.SQL_exec->execute(), 1);
        QCOMPARE(c.db.scalar("select vid from accounts_dep.vid_oper").toString(), QStringLiteral("O'Neil; --"));
        c.dm.Control->setSqlLines({"select '05.01.2026'::date as d"});
        c.dm.Control->open();
        QCOMPARE(c.dm.Control->value("d").toDate(), QDate(2026, 1, 5));
    }

    // A table without a key is written back by row; a failed transaction leaves nothing behind.
    void tableWritesAndTransactions()
    {
        Connected c;
        db::Dataset ver(c.dm.ADO_DB.name(), "ver");
        ver.setTable("accounts_dep.ver");
        ver.open();
        QVERIFY(ver.isEmpty());
        ver.edit();
        ver.setValue("d", 20260101);
        ver.setValue("t", 100);
        ver.post();
        QCOMPARE(ver.asInt("d"), 20260101);
        ver.edit();
        ver.setValue("t", 200);
        ver.post();
        QCOMPARE(c.db.rows("select d, t, delim from accounts_dep.ver"),
                 QList<QVariantList>({{20260101, 200, QVariant(QMetaType(QMetaType::QString))}}));
        // another workstation deletes the row: the next write says so instead of writing nothing silently
        c.db.exec("delete from accounts_dep.ver");
        ver.edit();
        ver.setValue("t", 300);
        QVERIFY_THROWS_EXCEPTION(db::DbError, ver.post());

        try {
            db::Transaction tx(c.dm.ADO_DB.name());
            c.dm.DelSmena->setText("insert into accounts_dep.vid_oper (vid) values ('X')");
            c.dm.DelSmena->execute();
            c.dm.DelSmena->setText("update nosuch set a=1");
            c.dm.DelSmena->execute();
            tx.commit();
            QFAIL("the failing statement must throw");
        } catch (const db::DbError& e) {
            // A table the database does not have: said as a database older than the program, the server's text
            // in the details; the connection is fine.
            QCOMPARE(e.text(), QString::fromUtf8(db::kSchemaBehindMessage));
            QVERIFY2(e.details().contains("nosuch"), qPrintable(e.details()));
            QCOMPARE(e.sqlState(), QStringLiteral("42P01"));
        }
        QCOMPARE(c.db.scalar("select count(*) from accounts_dep.vid_oper").toInt(), 0);
    }

    void lostConnectionIsReported()
    {
        Connected c;
        db::takeNotices();
        // The server process ended while the connection was idle: the next read connects again by itself, with the
        // session settings (day-first dates), and the user hears of it once.
        c.db.exec("select pg_terminate_backend(pid, 5000) from pg_stat_activity where datname = current_database() "
                  "and pid <> pg_backend_pid()");
        c.dm.Control->setSqlLines({"select '05.01.2026'::date as d"});
        c.dm.Control->open();
        QCOMPARE(db::takeNotices(),
                 QStringList{QStringLiteral("Связь с базой данных была потеряна, соединение восстановлено.")});
        QCOMPARE(c.dm.Control->value("d").toDate(), QDate(2026, 1, 5));
        c.dm.Control->close();

        // the server refuses connections while the connection breaks: no way back yet, and a clear message
        c.db.execAdmin("alter database " + c.db.name() + " allow_connections false");
        c.db.exec("select pg_terminate_backend(pid, 5000) from pg_stat_activity where datname = current_database() "
                  "and pid <> pg_backend_pid()");
        try {
            c.dm.Control->open();
            QFAIL("a statement on a broken connection must fail");
        } catch (const db::DbError& e) {
            QVERIFY2(e.text().startsWith("Нет связи с базой данных."), qPrintable(e.text()));
        }
        c.dm.DelSmena->setText("select 1");
        QVERIFY_THROWS_EXCEPTION(db::DbError, c.dm.DelSmena->execute());
        // once the server takes connections again, the next action connects by itself
        c.db.execAdmin("alter database " + c.db.name() + " allow_connections true");
        c.dm.Control->open();
        QCOMPARE(c.dm.Control->value("d").toDate(), QDate(2026, 1, 5));
    }
};

QTEST_MAIN(TestDataLayer)
#include "tst_data_layer.moc"
