// The four group roles of db/roles.sql against what the program does: each of its changes and reads, run by a
// personal login of each group (through a connection service), is allowed exactly where the group may act and
// otherwise refused in the program's words with nothing written; the same for statements from a plain connection,
// as anybody with the login could send them; and every object of the schema has its place in the grants.
#include "catalogs/catalogs_sql.h"
#include "catalogs/catalogue_changes.h"
#include "db/closed_months.h"
#include "db/command.h"
#include "db/data_module.h"
#include "db/data_module_sql.h"
#include "db/db_error.h"
#include "db/service.h"
#include "db/session.h"
#include "db/transaction.h"
#include "journal/journal_changes.h"
#include "journal/journal_sql.h"
#include "reports/reports_sql.h"
#include "support/personal_login.h"
#include "support/test_database.h"
#include "timesheet/timesheet_rebuild.h"
#include "timesheet/timesheet_sql.h"

#include <QFile>
#include <QRegularExpression>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

const QStringList kGroups = {"kesta_reporting", "kesta_foreman", "kesta_warehouse", "kesta_full"};

QString sourceFile(const char* name)
{
    QFile f(QStringLiteral(KESTA_DB_DIR "/") + QString::fromLatin1(name));
    if (!f.open(QIODevice::ReadOnly))
        qFatal("cannot read %s", name);
    return QString::fromUtf8(f.readAll());
}

// A small shop with one journal row of today (id 1, worker 1, operation 1), its timesheet cell, a worker without
// journal rows (3) and an operation without journal rows (3, one norm).
void loadShop(TestDatabase& db)
{
    loadSmallShop(db);
    const QDate today = QDate::currentDate();
    db.exec(
        QStringLiteral(
            "insert into accounts_dep.smena (id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok,"
            " vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values (1, 1, 1, 1, 10.25,"
            " 10, 0, '%1', 1, 0, 4, 'no', '%1', 0, 0, 0, 0, 0, 0);"
            "select setval('accounts_dep.smena_id_seq', 100);"
            "insert into accounts_dep.h_tabel (w_id, smena, month, year, d%2) values (1, 1, %3, %4, 4);"
            "insert into cmn_contractor.person (id, s_caption, s_code) values (3, 'Сидоров П.П.', '3');"
            "insert into accounts_dep.oper (id, vid, naimen, i_id, cena_new) values (3, 1, 1, 1, 0);"
            "insert into accounts_dep.norm (o_id, norma, price, prize) values (3, 10, 5, 0);"
            "insert into cmn_classifier.item (id, id_level, s_caption) values (7, 2, 'Двери');"
            "insert into accounts_dep.ver (d, t) values (20261210, 36000);")
            .arg(today.toString(Qt::ISODate))
            .arg(today.day())
            .arg(today.month())
            .arg(today.year()));
}

// Everything the program writes, as one text: equal before and after means nothing was written.
QString contents(TestDatabase& db)
{
    QStringList parts;
    for (const char* t : {"accounts_dep.smena", "accounts_dep.h_tabel", "accounts_dep.closed_month", "accounts_dep.ver",
                          "accounts_dep.vid_oper", "accounts_dep.oper", "accounts_dep.norm", "cmn_contractor.person",
                          "cmn_gds_and_srv.gds_and_srv"})
        parts << db.scalar(QStringLiteral("select coalesce(string_agg(r::text, ';' order by r::text), '') from %1 r")
                               .arg(QLatin1String(t)))
                     .toString();
    return parts.join(u'\n');
}

using Run = std::function<void(Database&)>;

// Opens a statement of the program on a connection and reads its rows.
void read(const QString& connection, const QStringList& lines, const QList<std::pair<QString, QVariant>>& params = {})
{
    db::Dataset q(connection, QStringLiteral("q"));
    q.setSqlLines(lines);
    for (const auto& [name, value] : params)
        q.setParam(name, value);
    q.open();
}

journal::ShownRow shownRow()
{
    journal::ShownRow r;
    r.id = 1;
    r.workerId = 1;
    r.productId = 1;
    r.operId = 1;
    r.date = QDate::currentDate();
    r.shift = 1;
    r.quantity = 10;
    r.hours = 4;
    r.price = 10.25;
    r.mark = QStringLiteral("no");
    return r;
}

journal_sql::EntryRow entryRow(const QString& rowId)
{
    journal_sql::EntryRow r;
    r.workerId = 2;
    r.operId = 1;
    r.productId = 1;
    r.price = 10.25;
    r.quantity = QStringLiteral("5");
    r.rejects = QStringLiteral("0");
    r.hours = QStringLiteral("2");
    r.date = r.today = QDate::currentDate();
    r.rowId = rowId;
    return r;
}

void expectWritten(bool written)
{
    if (!written)
        throw std::runtime_error("the change reported that nothing was written");
}

struct Action {
    const char* name;
    QStringList allowed; // group roles that may do it; kesta_full may do everything
    Run run;
    bool readsOnly = false;
};

QList<Action> actions()
{
    using journal::Outcome;
    const QList<std::pair<QString, QVariant>> period = {{QStringLiteral("data1"), QDate::currentDate().addDays(-40)},
                                                        {QStringLiteral("data2"), QDate::currentDate().addDays(1)}};
    const auto report = [period](const QStringList& lines) {
        return [lines, period](Database& dm) { read(dm.reportConnectionName(), lines, period); };
    };
    const QStringList all = kGroups;
    const QString full = QStringLiteral("kesta_full");
    return {
        {"journal of a day", all,
         [](Database& dm) {
             read(dm.ADO_DB.name(), db::dmsql::smenaLines(1),
                  {{QStringLiteral("data"), QDate::currentDate()}, {QStringLiteral("ok"), QStringLiteral("ta")}});
         },
         true},
        {"report by workers", all, report(reports_sql::kByWorker), true},
        {"report by products", all, report(reports_sql::kByProduct), true},
        {"detailed report by workers", all, report(reports_sql::kDetailByWorker), true},
        {"detailed report by products", all, report(reports_sql::kDetailByProduct), true},
        {"production export", all, report(reports_sql::kProduction), true},
        {"operations for the chooser",
         {"kesta_foreman", full},
         [](Database& dm) {
             dm.Oper->open();
             dm.Workers->open();
         },
         true},
        {"save of a new row",
         {"kesta_foreman", full},
         [](Database& dm) { expectWritten(journal::saveRow(dm, entryRow({})) == Outcome::Done); }},
        // The price as the editor computes it (lowest norm price x day off x shift 3), rounded on writing.
        {"save of a day-off row of shift 3",
         {"kesta_foreman", full},
         [](Database& dm) {
             journal_sql::EntryRow r = entryRow({});
             r.shift = 3;
             r.price = 10.25 * 2 * 1.2;
             expectWritten(journal::saveRow(dm, r) == Outcome::Done);
         }},
        {"save of a changed row",
         {full},
         [](Database& dm) { expectWritten(journal::saveRow(dm, entryRow(QStringLiteral("1"))) == Outcome::Done); }},
        {"acceptance",
         {"kesta_warehouse", full},
         [](Database& dm) {
             expectWritten(journal::acceptRow(dm, shownRow(), QStringLiteral("ok")) == Outcome::Done);
         }},
        {"deletion",
         {full},
         [](Database& dm) { expectWritten(journal::deleteRow(dm, shownRow()) == Outcome::Done); }},
        // The foreman's save reads the cells it rewrites, so the timesheet reads for the foreman too.
        {"timesheet of a month",
         {"kesta_foreman", full},
         [](Database& dm) {
             read(dm.ADO_DB.name(), timesheet_sql::kHTabelLines,
                  {{QStringLiteral("mnth"), QDate::currentDate().month()},
                   {QStringLiteral("yea"), QDate::currentDate().year()}});
         },
         true},
        {"timesheet rebuild",
         {full},
         [](Database& dm) {
             const QDate d = QDate::currentDate();
             timesheet::rebuildMonth(dm, d.month(), d.year(), {});
         }},
        {"closing a month",
         {full},
         [](Database& dm) { expectWritten(db::months::closeMonth(dm.ADO_DB.name(), 1, 2020)); }},
        {"history of a row",
         {full},
         [](Database& dm) { db::execStatement(dm.ADO_DB.name(), journal_sql::rowHistory(1)); },
         true},
        {"new worker",
         {full},
         [](Database& dm) {
             expectWritten(catalogs::saveWorker(dm.ADO_DB.name(), QStringLiteral("Новиков А.А."), QStringLiteral("Цех"),
                                                nullptr) == catalogs::Outcome::Written);
         }},
        {"changed worker",
         {full},
         [](Database& dm) {
             catalogs::Change c;
             c.id = 3;
             expectWritten(catalogs::saveWorker(dm.ADO_DB.name(), QStringLiteral("Сидоров П.П."),
                                                QStringLiteral("Склад"), &c) == catalogs::Outcome::Written);
         }},
        {"worker deletion",
         {full},
         [](Database& dm) {
             db::Command c(dm.ADO_DB.name(), QStringLiteral("cmd_person"));
             c.setText(catalogs_sql::deleteWorker(3));
             expectWritten(c.execute() == 1);
         }},
        {"new product",
         {full},
         [](Database& dm) {
             expectWritten(catalogs::saveProduct(dm.ADO_DB.name(), QStringLiteral("ШК-1"), QStringLiteral("1.5"), 7,
                                                 nullptr) == catalogs::Outcome::Written);
         }},
        {"new operation kind",
         {full},
         [](Database& dm) {
             dm.Vid_oper->open();
             expectWritten(catalogs::saveKind(dm, QStringLiteral("СВАРКА"), nullptr) == catalogs::Outcome::Written);
         }},
        {"new operation",
         {full},
         [](Database& dm) {
             qint32 id = 0;
             expectWritten(catalogs::saveOperation(dm.ADO_DB.name(), 2, 0, 1, nullptr, &id) ==
                           catalogs::Outcome::Written);
         }},
        {"new norm",
         {full},
         [](Database& dm) {
             db::Dataset norm(dm.ADO_DB.name(), QStringLiteral("Norm"));
             norm.setTable(QStringLiteral("accounts_dep.norm"), QStringLiteral("id"));
             norm.open();
             norm.append();
             norm.setValue(QStringLiteral("o_id"), 3);
             norm.setValue(QStringLiteral("norma"), 20);
             norm.setValue(QStringLiteral("price"), 4.5);
             norm.setValue(QStringLiteral("prize"), 0);
             norm.post();
         }},
        {"norm deletion",
         {full},
         [](Database& dm) {
             qint64 id = 0;
             {
                 db::Result q = db::execStatement(dm.ADO_DB.name(),
                                                 QStringLiteral("select min(id) from accounts_dep.norm where o_id=1"));
                 q.next();
                 id = q.value(0).toLongLong();
             }
             expectWritten(catalogs::deleteNorm(dm.ADO_DB.name(), id, 1) == catalogs::Outcome::Written);
         }},
        {"operation deletion",
         {full},
         [](Database& dm) {
             expectWritten(catalogs::deleteOperation(dm.ADO_DB.name(), 3) == catalogs::Outcome::Written);
         }},
    };
}

// A journal row as the entry editor inserts it (worker 2, operation 1 whose lowest norm price is 10.25, shift 1,
// today), with some columns' values replaced.
QString journalRow(const QMap<QString, QString>& replaced)
{
    const QList<std::pair<QString, QString>> columns = {{"w_id", "2"},
                                                        {"i_id", "1"},
                                                        {"o_id", "1"},
                                                        {"cena", "10.25"},
                                                        {"kol_vo", "5"},
                                                        {"brak", "0"},
                                                        {"data", "current_date"},
                                                        {"smena", "1"},
                                                        {"color", "0"},
                                                        {"time", "2"},
                                                        {"ok", "'no'"},
                                                        {"vvod", "current_date"},
                                                        {"prize", "0"},
                                                        {"id_doc", "0"},
                                                        {"id_doc_item", "0"},
                                                        {"f_gds_qty_use", "0"},
                                                        {"id_gds_use", "0"},
                                                        {"id_cons_use", "0"}};
    QStringList names, values;
    for (const auto& [name, value] : columns) {
        names << name;
        values << replaced.value(name, value);
    }
    return QStringLiteral("insert into accounts_dep.smena (%1) values (%2)").arg(names.join(", "), values.join(", "));
}

// A login of its own on the test database (without a password: the cluster trusts its socket).
db::ConnectParams plainLogin(TestDatabase& db, const QString& login)
{
    return {{"host", db.server().toUtf8()}, {"dbname", db.name().toUtf8()}, {"user", login.toUtf8()}};
}

// Runs the statements ("; " between them) as the login in a transaction that is rolled back; the SQLSTATE of the
// refusal, empty when done.
QString runAs(TestDatabase& db, const QString& login, const QString& statement)
{
    QString state;
    db::Connector c;
    if (!c.open(plainLogin(db, login)))
        qFatal("%s", qPrintable(c.lastError()));
    c.exec(QStringLiteral("begin"));
    // One statement at a time (a second statement's error would not be seen), the first refusal ending them.
    for (const QString& one : statement.split(QStringLiteral("; "))) {
        if (!state.isEmpty())
            break;
        try {
            c.exec(one);
        } catch (const db::DbError& e) {
            state = e.sqlState();
        }
    }
    c.exec(QStringLiteral("rollback"));
    return state;
}

bool allowedFor(const QStringList& allowed, const QString& group)
{
    return group == u"kesta_full" || allowed.contains(group);
}

} // namespace

class TestRoles : public QObject {
    Q_OBJECT

    std::unique_ptr<TestDatabase> shared_;
    QMap<QString, std::shared_ptr<PersonalLogin>> sharedLogins_;

private slots:
    void init() { db::setWaitLimits({}); }

    void initTestCase()
    {
        shared_ = std::make_unique<TestDatabase>();
        loadShop(*shared_);
        for (const QString& g : kGroups)
            sharedLogins_.insert(g, std::make_shared<PersonalLogin>(*shared_, g));
    }

    void cleanupTestCase()
    {
        sharedLogins_.clear();
        shared_.reset();
    }

    // Every object the schema makes is named in the grants, given to the groups that use it or said to need none.
    void grantsNameEverySchemaObject()
    {
        const QString schema = sourceFile("schema.sql");
        const QString roles = sourceFile("roles.sql");
        QStringList objects;
        static const QRegularExpression created(
            QStringLiteral(R"(create\s+(?:or\s+replace\s+)?(?:table|view|sequence|function|procedure)\s+)"
                           R"((?:if\s+not\s+exists\s+)?([a-z_0-9]+\.[a-z_0-9]+))"),
            QRegularExpression::CaseInsensitiveOption);
        for (auto it = created.globalMatch(schema); it.hasNext();)
            objects << it.next().captured(1).toLower();
        // serial columns make their sequences: table_column_seq
        static const QRegularExpression table(
            QStringLiteral(R"(create\s+table\s+([a-z_0-9]+\.[a-z_0-9]+)\s*\(([^;]*)\);)"),
            QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression serial(QStringLiteral(R"((?:^|,)\s*([a-z_0-9]+)\s+(?:big|small)?serial\b)"),
                                               QRegularExpression::CaseInsensitiveOption);
        for (auto it = table.globalMatch(schema); it.hasNext();) {
            const auto m = it.next();
            for (auto c = serial.globalMatch(m.captured(2)); c.hasNext();)
                objects << m.captured(1).toLower() + u'_' + c.next().captured(1).toLower() + QStringLiteral("_seq");
        }
        QVERIFY(objects.size() > 20);
        QStringList missing;
        for (const QString& o : objects)
            if (!QRegularExpression(QStringLiteral("\\b") + QRegularExpression::escape(o) + QStringLiteral("\\b"))
                     .match(roles)
                     .hasMatch())
                missing << o;
        QVERIFY2(missing.isEmpty(), qPrintable(QStringLiteral("not named in db/roles.sql: ") + missing.join(u", ")));
    }

    void programActions_data()
    {
        QTest::addColumn<QString>("group");
        QTest::addColumn<int>("action");
        QTest::addColumn<bool>("allowed");
        const QList<Action> list = actions();
        for (int a = 0; a < list.size(); ++a)
            for (const QString& g : kGroups)
                QTest::addRow("%s: %s", list[a].name, qPrintable(g)) << g << a << allowedFor(list[a].allowed, g);
    }

    void programActions()
    {
        QFETCH(QString, group);
        QFETCH(int, action);
        QFETCH(bool, allowed);
        // A change that the group may make gets a database of its own; a read, or a change the database refuses,
        // leaves the shared one as it was (which the refusal's check proves).
        std::unique_ptr<TestDatabase> own;
        std::unique_ptr<PersonalLogin> ownLogin;
        TestDatabase* db = shared_.get();
        PersonalLogin* login = sharedLogins_.value(group).get();
        if (allowed && !actions()[action].readsOnly) {
            own = std::make_unique<TestDatabase>();
            loadShop(*own);
            ownLogin = std::make_unique<PersonalLogin>(*own, group);
            db = own.get();
            login = ownLogin.get();
        }
        ServiceFile service(*db, login->name());
        const QString before = contents(*db);
        {
            Database dm;
            dm.ADO_DB.configure({}, {}, QStringLiteral("kesta"));
            dm.ADO_DB.open();
            QString failure, state;
            try {
                actions()[action].run(dm);
            } catch (const db::DbError& e) {
                failure = e.text();
                state = e.sqlState();
            }
            QVERIFY(!db::anyTransactionOpen());
            if (allowed) {
                QVERIFY2(failure.isEmpty(), qPrintable(failure));
            } else {
                QCOMPARE(state, QStringLiteral("42501"));
                const QString expected = QString::fromUtf8(db::kNoRightMessage).arg(login->name());
                QVERIFY2(failure.startsWith(expected), qPrintable(failure));
            }
            if (!allowed || actions()[action].readsOnly)
                QCOMPARE(contents(*db), before);
        }
    }

    // What anybody with the login could send from psql: the group's rights and the database's rules, no more. Each
    // statement runs in a transaction that is rolled back, so all share one database. allowed: the groups that may
    // (kesta_full too unless "-" says nobody); ruled: groups that hold the right but whose statement a rule of the
    // database refuses, with that rule's SQLSTATE; every other group is refused for want of a right (42501).
    void plainConnection_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QStringList>("allowed");
        QTest::addColumn<QStringList>("ruled");
        QTest::addColumn<QString>("ruleState");
        const QStringList all = kGroups;
        const QStringList none;
        const QStringList nobody{"-"};
        const QStringList writers{"kesta_foreman", "kesta_full"};
        const QStringList full{"kesta_full"};
        const QString right = QStringLiteral("42501");
        const QString check = QStringLiteral("23514");
        const QString missing = QStringLiteral("23503");
        const QDate tomorrow = QDate::currentDate().addDays(1);

        QTest::newRow("the journal read") << "select count(*) from accounts_dep.smena" << all << none << right;
        QTest::newRow("the history read") << "select count(*) from accounts_dep.smena_history" << none << none << right;
        QTest::newRow("the staff positions read")
            << "select count(*) from hrms_staffpos.staffpos" << none << none << right;

        // The build stamp: only through the owner's function, never into the future.
        QTest::newRow("the build stamp written") << "update accounts_dep.ver set d=29991231" << nobody << none << right;
        QTest::newRow("a build stamp row added")
            << "insert into accounts_dep.ver (d, t) values (20991231, 0)" << nobody << none << right;
        QTest::newRow("the build stamp raised")
            << "select accounts_dep.raise_build_stamp(20261210, 36001)" << all << none << right;
        QTest::newRow("a build stamp from the future")
            << QString("select accounts_dep.raise_build_stamp(%1, 0)").arg(tomorrow.toString("yyyyMMdd")) << none << all
            << "KM002";

        // New journal rows: the program's row passes, a forged one is refused whoever may add rows.
        QTest::newRow("a row added") << journalRow({}) << writers << none << right;
        QTest::newRow("a row at the day-off price") << journalRow({{"cena", "20.5"}}) << writers << none << right;
        QTest::newRow("a row of shift 3 at its price")
            << journalRow({{"cena", "12.3"}, {"smena", "3"}}) << writers << none << right;
        QTest::newRow("a row of overtime on a day off")
            << journalRow({{"cena", "30.75"}, {"smena", "4"}}) << writers << none << right;
        QTest::newRow("a row already accepted") << journalRow({{"ok", "'ok'"}}) << none << writers << check;
        QTest::newRow("a row at a price of a million") << journalRow({{"cena", "1000000"}}) << none << writers << check;
        QTest::newRow("a row of shift 3 without its factor")
            << journalRow({{"smena", "3"}}) << none << writers << check;
        QTest::newRow("a row of a missing worker") << journalRow({{"w_id", "99"}}) << none << writers << missing;
        QTest::newRow("a row of a missing product") << journalRow({{"i_id", "99"}}) << none << writers << missing;
        QTest::newRow("a row of a missing operation") << journalRow({{"o_id", "99"}}) << none << writers << missing;
        QTest::newRow("a row with more rejects than pieces") << journalRow({{"brak", "6"}}) << none << writers << check;
        QTest::newRow("a row of 40000 hours") << journalRow({{"time", "40000"}}) << none << writers << check;
        QTest::newRow("a row of a fifth shift") << journalRow({{"smena", "5"}}) << none << writers << check;
        QTest::newRow("a row with a bonus") << journalRow({{"prize", "50"}}) << none << writers << check;

        // Changes of a row.
        QTest::newRow("a row's mark") << "update accounts_dep.smena set ok='ok' where id=1"
                                      << QStringList{"kesta_warehouse"} << none << right;
        QTest::newRow("a row's mark of any text") << "update accounts_dep.smena set ok='принято' where id=1" << none
                                                  << QStringList{"kesta_warehouse", "kesta_full"} << check;
        QTest::newRow("a row's quantity")
            << "update accounts_dep.smena set kol_vo=1000 where id=1" << none << none << right;
        QTest::newRow("a row's quantity, its old price kept") << "update accounts_dep.norm set price=11 where o_id=1; "
                                                                 "update accounts_dep.smena set kol_vo=1000 where id=1"
                                                              << none << none << right;
        QTest::newRow("a row's price") << "update accounts_dep.smena set cena=99 where id=1" << none << full << check;
        QTest::newRow("a row's price and mark")
            << "update accounts_dep.smena set ok='ok', cena=99 where id=1" << none << full << check;
        QTest::newRow("a row's id") << "update accounts_dep.smena set id=500 where id=1" << none << full << check;
        QTest::newRow("a row's worker gone")
            << "update accounts_dep.smena set w_id=99 where id=1" << none << full << missing;
        QTest::newRow("a row deleted") << "delete from accounts_dep.smena where id=1" << none << none << right;
        QTest::newRow("the journal truncated") << "truncate accounts_dep.smena" << nobody << none << right;

        // The timesheet: only the database's functions write it.
        QTest::newRow("a timesheet cell")
            << "update accounts_dep.h_tabel set d1=24 where w_id=1" << nobody << none << right;
        QTest::newRow("a timesheet row added")
            << "insert into accounts_dep.h_tabel (w_id, smena, month, year, d1) values (2, 1, 1, 2020, 24)" << nobody
            << none << right;
        QTest::newRow("a timesheet row's worker")
            << "update accounts_dep.h_tabel set w_id=2 where w_id=1" << nobody << none << right;
        QTest::newRow("the timesheet emptied") << "delete from accounts_dep.h_tabel" << nobody << none << right;
        QTest::newRow("the timesheet truncated") << "truncate accounts_dep.h_tabel" << nobody << none << right;
        QTest::newRow("a worker's day recomputed")
            << "select accounts_dep.timesheet_day(1, 1, current_date, true)" << writers << none << right;
        QTest::newRow("a month rebuilt") << "select accounts_dep.rebuild_timesheet_month(1, 2020)" << full << none
                                         << right;

        // Closed months and the history.
        QTest::newRow("a month closed") << "insert into accounts_dep.closed_month (year, month) values (2020, 1)"
                                        << none << none << right;
        QTest::newRow("the history forged")
            << "insert into accounts_dep.smena_history (row_id, action) values (1, 'D')" << nobody << none << right;
        QTest::newRow("the history erased") << "delete from accounts_dep.smena_history" << nobody << none << right;
        QTest::newRow("the history truncated") << "truncate accounts_dep.smena_history" << nobody << none << right;

        // Catalogues.
        QTest::newRow("a norm's price") << "update accounts_dep.norm set price=100" << none << none << right;
        QTest::newRow("a worker renamed")
            << "update cmn_contractor.person set s_caption='X' where id=1" << none << none << right;
        QTest::newRow("a product renamed")
            << "update cmn_gds_and_srv.gds_and_srv set s_caption='X' where id=1" << none << none << right;
        QTest::newRow("a used product deleted")
            << "delete from cmn_gds_and_srv.gds_and_srv where id=1" << nobody << none << right;
    }

    void plainConnection()
    {
        QFETCH(QString, statement);
        QFETCH(QStringList, allowed);
        QFETCH(QStringList, ruled);
        QFETCH(QString, ruleState);
        for (const QString& group : kGroups) {
            const bool expected =
                allowed.contains(group) ||
                (group == u"kesta_full" && !allowed.contains(QStringLiteral("-")) && !ruled.contains(group));
            const QString state = runAs(*shared_, sharedLogins_.value(group)->name(), statement);
            QVERIFY2(state.isEmpty() == expected,
                     qPrintable(group + QStringLiteral(": ") + (state.isEmpty() ? QStringLiteral("allowed") : state)));
            if (!expected)
                QCOMPARE(state, ruled.contains(group) ? ruleState : QStringLiteral("42501"));
        }
    }

    // A save the database's rules refuse (here a price from a norm that is not the operation's lowest any more) is
    // said in the rule's words, and nothing is written.
    void programSaysTheRule()
    {
        ServiceFile service(*shared_, sharedLogins_.value(QStringLiteral("kesta_foreman"))->name());
        const QString before = contents(*shared_);
        QString refusal;
        {
            Database dm;
            dm.ADO_DB.configure({}, {}, QStringLiteral("kesta"));
            dm.ADO_DB.open();
            journal_sql::EntryRow r = entryRow({});
            r.price = 12.5;
            try {
                journal::saveRow(dm, r);
            } catch (const db::DbError& e) {
                refusal = e.text();
            }
            QVERIFY(!db::anyTransactionOpen());
        }
        QCOMPARE(refusal, QStringLiteral("Цена 12.5 не равна расценке операции 1 (10.25) с надбавкой смены: выберите "
                                         "операцию заново."));
        QCOMPARE(contents(*shared_), before);
    }

    // The build stamp moves only forward and never past the server's clock, whoever calls the owner's function; a
    // login of the reporting group (every program's start) is enough to call it, and nothing more.
    void buildStampOnlyForward_data()
    {
        QTest::addColumn<QString>("raised");
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("state");
        const QDate today = QDate::currentDate();
        QTest::newRow("a newer build") << "20261210, 36001"
                                       << "20261210/36001"
                                       << "";
        QTest::newRow("an older build") << "20261209, 80000"
                                        << "20261210/36000"
                                        << "";
        QTest::newRow("the same build") << "20261210, 36000"
                                        << "20261210/36000"
                                        << "";
        QTest::newRow("a build of tomorrow") << today.addDays(1).toString("yyyyMMdd") + ", 0"
                                             << "20261210/36000"
                                             << "KM002";
        QTest::newRow("a build of the last second of today") << today.toString("yyyyMMdd") + ", 86399"
                                                             << "20261210/36000"
                                                             << "KM002";
        QTest::newRow("no such day") << "20261332, 0"
                                     << "20261210/36000"
                                     << "KM002";
    }

    void buildStampOnlyForward()
    {
        QFETCH(QString, raised);
        QFETCH(QString, stored);
        QFETCH(QString, state);
        TestDatabase db;
        loadShop(db);
        PersonalLogin login(db, QStringLiteral("kesta_reporting"));
        {
            db::Connector c;
            QVERIFY(c.open(plainLogin(db, login.name())));
            QString refused;
            try {
                c.exec(QStringLiteral("select accounts_dep.raise_build_stamp(%1)").arg(raised));
            } catch (const db::DbError& e) {
                refused = e.sqlState();
            }
            QCOMPARE(refused, state);
        }
        QCOMPARE(db.scalar("select string_agg(d || '/' || t, ';') from accounts_dep.ver").toString(), stored);
    }

    // The owner loads and repairs data and is spared the checks of a row's values, but not these: a row's id stays,
    // a used product stays, and a closed month's rows are not emptied at one stroke (opened, they may be).
    void ownerRefused_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::addColumn<QString>("state");
        const QDate today = QDate::currentDate();
        const QString close = QStringLiteral("insert into accounts_dep.closed_month (year, month) values (%1, %2); ")
                                  .arg(today.year())
                                  .arg(today.month());
        const QString closeOther =
            QStringLiteral("insert into accounts_dep.closed_month (year, month) values (2020, 1); ");
        QTest::newRow("a row's id") << "update accounts_dep.smena set id=500 where id=1"
                                    << "23514";
        QTest::newRow("a used product deleted") << "delete from cmn_gds_and_srv.gds_and_srv where id=1"
                                                << "23503";
        QTest::newRow("an unused product deleted") << "delete from cmn_gds_and_srv.gds_and_srv where id=2"
                                                   << "";
        QTest::newRow("a forged row") << journalRow({{"cena", "1000000"}, {"ok", "'ok'"}}) << "";
        for (const char* table : {"accounts_dep.smena", "accounts_dep.h_tabel", "accounts_dep.smena_history"}) {
            QTest::addRow("%s truncated in a closed month", table) << close + "truncate " + table << "KM001";
            // (the history keeps the closing itself, dated in the month closed)
            QTest::addRow("%s truncated, another month closed", table)
                << closeOther + "truncate " + table << (QLatin1String(table).endsWith(u"history") ? "KM001" : "");
            QTest::addRow("%s truncated, no month closed", table) << QString("truncate ") + table << "";
        }
    }

    void ownerRefused()
    {
        QFETCH(QString, statement);
        QFETCH(QString, state);
        const QString owner = shared_->scalar("select tableowner from pg_tables where tablename='smena'").toString();
        QCOMPARE(runAs(*shared_, owner, statement), state);
    }

    // What the history and the closed months record of who did it is what the server saw: the login, its group role
    // and the address it connected from (none for the local socket), beside what the client claims.
    void serverSeesWho()
    {
        TestDatabase db;
        loadShop(db);
        PersonalLogin foreman(db, QStringLiteral("kesta_foreman"));
        PersonalLogin full(db, QStringLiteral("kesta_full"));
        QVariant address;
        for (const PersonalLogin* login : {&foreman, &full}) {
            db::Connector c;
            QVERIFY(c.open(plainLogin(db, login->name())));
            c.exec("set kesta.role to 'full'");
            c.exec("set kesta.host to 'director-pc'");
            db::Result q = c.exec("select inet_client_addr()::text");
            QVERIFY(q.next());
            address = q.value(0);
            if (login == &foreman)
                c.exec(journalRow({}));
            else
                c.exec("insert into accounts_dep.closed_month (year, month, closed_by, closed_at) values"
                       " (2020, 1, 'director', '2000-01-01')");
        }
        QCOMPARE(db.rows("select role, host, login, login_group, address::text is not distinct from " +
                         (address.isNull() ? QString("null") : "'" + address.toString() + "'") +
                         " from accounts_dep.smena_history where action='I' and row_id<>1"),
                 QList<QVariantList>({{"full", "director-pc", foreman.name(), "kesta_foreman", true}}));
        QCOMPARE(db.rows("select closed_by, closed_at > now() - interval '1 minute' from accounts_dep.closed_month"),
                 QList<QVariantList>({{full.name(), true}}));
        QCOMPARE(db.rows("select action, login, login_group, day from accounts_dep.smena_history where row_id=0"),
                 QList<QVariantList>({{"C", full.name(), "kesta_full", QDate(2020, 1, 1)}}));
    }

    // The history of a row names the person who changed it, though nobody may write it by hand.
    void historyNamesTheLogin()
    {
        TestDatabase db;
        loadShop(db);
        PersonalLogin login(db, QStringLiteral("kesta_warehouse"));
        ServiceFile service(db, login.name());
        {
            Database dm;
            dm.ADO_DB.configure({}, {}, QStringLiteral("kesta"));
            dm.ADO_DB.open();
            QCOMPARE(journal::acceptRow(dm, shownRow(), QStringLiteral("ok")), journal::Outcome::Done);
        }
        QCOMPARE(db.scalar("select login from accounts_dep.smena_history where row_id=1 and action='U'").toString(),
                 login.name());
    }
};

QTEST_MAIN(TestRoles)
#include "tst_roles.moc"
