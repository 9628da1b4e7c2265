// Personal logins: which connection a start takes (the command line, PGSERVICE, the service "kesta" where libpq
// finds it), the warning when the access code asks for more than the login's group roles give, and a refusal of
// the database reaching the user from a window in words, with nothing written.
#include "app/command_line.h"
#include "app/login_check.h"
#include "db/data_module.h"
#include "db/service.h"
#include "db/session.h"
#include "harness/widgets.h"
#include "journal/entry_editor.h"
#include "journal/journal_window.h"
#include "support/app_fixture.h"
#include "support/personal_login.h"
#include "ui/messages.h"

#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

namespace {

void write(const QString& path, const QString& text)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(text.toUtf8());
}

// Environment variables set for one test and put back afterwards.
class Environment {
public:
    void set(const char* name, const QString& value)
    {
        if (!saved_.contains(name))
            saved_.insert(name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, QFile::encodeName(value));
    }
    ~Environment()
    {
        for (auto it = saved_.begin(); it != saved_.end(); ++it) {
            if (it.value())
                qputenv(it.key().constData(), *it.value());
            else
                qunsetenv(it.key().constData());
        }
    }

private:
    QMap<QByteArray, std::optional<QByteArray>> saved_;
};

QList<ui::ShownMessage> shownOf(ui::ShownMessage::Kind kind)
{
    QList<ui::ShownMessage> out;
    for (const ui::ShownMessage& m : ui::Messages::shown())
        if (m.kind == kind)
            out << m;
    return out;
}

} // namespace

class TestPersonalLogin : public QObject {
    Q_OBJECT

private slots:
    void init() { ui::Messages::clearShown(); }

    void chosenService_data()
    {
        QTest::addColumn<QString>("userFile");    // the file PGSERVICEFILE names
        QTest::addColumn<QString>("systemFile");  // pg_service.conf in PGSYSCONFDIR
        QTest::addColumn<QString>("environment"); // PGSERVICE
        QTest::addColumn<QString>("commandLine"); // --service
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QString>("host"); // what the chosen service says, where it is defined

        const QString kesta = "[kesta]\nhost=db.example\nsslmode=verify-full\n";
        const QString other = "# nothing for the program\n[office]\nhost=office.example\n";
        QTest::newRow("nothing defined: the built-in connection") << ""
                                                                  << ""
                                                                  << ""
                                                                  << ""
                                                                  << ""
                                                                  << "";
        QTest::newRow("kesta in the user's file") << other + kesta << ""
                                                  << ""
                                                  << ""
                                                  << "kesta"
                                                  << "db.example";
        QTest::newRow("kesta in the system's file") << other << "[kesta]\nhost=sys.example\n"
                                                    << ""
                                                    << ""
                                                    << "kesta"
                                                    << "sys.example";
        QTest::newRow("the user's file before the system's") << kesta << "[kesta]\nhost=sys.example\n"
                                                             << ""
                                                             << ""
                                                             << "kesta"
                                                             << "db.example";
        QTest::newRow("another service only") << other << ""
                                              << ""
                                              << ""
                                              << ""
                                              << "";
        QTest::newRow("a longer name is not kesta") << "[kesta2]\nhost=x\n"
                                                    << ""
                                                    << ""
                                                    << ""
                                                    << ""
                                                    << "";
        QTest::newRow("kesta commented out") << "#[kesta]\n#host=x\n"
                                             << ""
                                             << ""
                                             << ""
                                             << ""
                                             << "";
        QTest::newRow("PGSERVICE names another") << kesta + other << ""
                                                 << "office"
                                                 << ""
                                                 << "office"
                                                 << "office.example";
        QTest::newRow("the command line before PGSERVICE") << kesta + other << ""
                                                           << "office"
                                                           << "kesta"
                                                           << "kesta"
                                                           << "db.example";
    }

    void chosenService()
    {
        QFETCH(QString, userFile);
        QFETCH(QString, systemFile);
        QFETCH(QString, environment);
        QFETCH(QString, commandLine);
        QFETCH(QString, chosen);
        QFETCH(QString, host);
        QTemporaryDir dir;
        Environment env;
        env.set("PGSERVICEFILE", dir.filePath("user.conf"));
        env.set("PGSYSCONFDIR", dir.path());
        env.set("PGSERVICE", environment.isEmpty() ? QString() : environment);
        if (!userFile.isEmpty())
            write(dir.filePath("user.conf"), userFile);
        if (!systemFile.isEmpty())
            write(dir.filePath("pg_service.conf"), systemFile);
        QCOMPARE(db::chooseService(commandLine), chosen);
        if (!chosen.isEmpty())
            QCOMPARE(db::findService(chosen).settings.value("host"), host);
    }

    void startArguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QStringList>("expected"); // arg1, arg2, service, error (empty or not)
        QTest::newRow("none") << QStringList{} << QStringList{"", "", "", ""};
        QTest::newRow("database and server")
            << QStringList{"kesta_erp", "srv"} << QStringList{"kesta_erp", "srv", "", ""};
        QTest::newRow("service first") << QStringList{"--service", "kesta", "kesta_erp", "srv"}
                                       << QStringList{"kesta_erp", "srv", "kesta", ""};
        QTest::newRow("service between") << QStringList{"kesta_erp", "--service", "demo_full", "srv"}
                                         << QStringList{"kesta_erp", "srv", "demo_full", ""};
        QTest::newRow("service with =") << QStringList{"--service=demo_full"} << QStringList{"", "", "demo_full", ""};
        QTest::newRow("service without a name") << QStringList{"--service"} << QStringList{"", "", "", "error"};
    }

    void startArguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QStringList, expected);
        const StartArguments a = ::startArguments(QStringList{"kesta_tabel"} + arguments);
        QCOMPARE(a.arg1, expected[0]);
        QCOMPARE(a.arg2, expected[1]);
        QCOMPARE(a.service, expected[2]);
        QCOMPARE(a.error.isEmpty(), expected[3].isEmpty());
    }

    void roleWarning_data()
    {
        QTest::addColumn<int>("role");
        QTest::addColumn<QStringList>("groups");
        QTest::addColumn<bool>("superuser");
        QTest::addColumn<QString>("given"); // what the warning says the login has; empty: no warning
        const QStringList reporting{"kesta_reporting"};
        const QStringList foreman{"kesta_foreman", "kesta_reporting"};
        const QStringList warehouse{"kesta_reporting", "kesta_warehouse"};
        const QStringList full{"kesta_foreman", "kesta_full", "kesta_reporting", "kesta_warehouse"};
        const int rep = int(ui::Role::Reporting), fore = int(ui::Role::Foreman), ware = int(ui::Role::Warehouse),
                  all = int(ui::Role::FullAccess);
        QTest::newRow("reporting code, reporting login") << rep << reporting << false << "";
        QTest::newRow("reporting code, foreman login") << rep << foreman << false << "";
        QTest::newRow("full code, full login") << all << full << false << "";
        QTest::newRow("any code, superuser") << all << QStringList{} << true << "";
        QTest::newRow("full code, reporting login")
            << all << reporting << false << "выданы права роли «отчёты» (kesta_reporting)";
        QTest::newRow("warehouse code, foreman login")
            << ware << foreman << false << "выданы права роли «мастер» (kesta_foreman)";
        QTest::newRow("foreman code, warehouse login")
            << fore << warehouse << false << "выданы права роли «склад» (kesta_warehouse)";
        QTest::newRow("full code, foreman and warehouse login")
            << all << QStringList{"kesta_foreman", "kesta_reporting", "kesta_warehouse"} << false
            << "выданы права роли «мастер» (kesta_foreman) и «склад» (kesta_warehouse)";
        QTest::newRow("reporting code, no group") << rep << QStringList{} << false << "не выдана ни одна из ролей";
    }

    void roleWarning()
    {
        QFETCH(int, role);
        QFETCH(QStringList, groups);
        QFETCH(bool, superuser);
        QFETCH(QString, given);
        db::LoginRights rights;
        rights.login = "ivanov";
        rights.groups = groups;
        rights.superuser = superuser;
        const QString warning = loginRoleWarning(ui::Role(role), rights);
        QCOMPARE(warning.isEmpty(), given.isEmpty());
        if (!given.isEmpty()) {
            QVERIFY2(warning.contains(given), qPrintable(warning));
            QVERIFY(warning.contains("«ivanov»"));
        }
    }

    // A reporting login that knows the full-access code: warned once at the start, then its save is refused by
    // the database and the user reads why; nothing is written.
    void refusedSaveInTheEditor()
    {
        TestDatabase db;
        loadSmallShop(db);
        PersonalLogin login(db, "kesta_reporting");
        ServiceFile service(db, login.name());
        AppFixture app(AppFixture::Service{"kesta"});
        QVERIFY(!app.w.terminateRequested);
        bool saved = false;
        app.login("63175042", [&] {
            EntryEditor* e = app.w.entryEditor;
            e->prepareNew(QDate::currentDate(), 1, false);
            e->takeWorker(1, "Иванов И.И.");
            e->takeOperation(1, 1, 10.25, "ДМ-101; РЕЗКА; Готовая продукция");
            widget<QLineEdit>(e, "Edit3")->setText("5");
            widget<QLineEdit>(e, "Edit6")->setText("2");
            ui::guarded([&] { e->saveRow(); });
            saved = true;
        });
        QVERIFY(saved);
        const auto warnings = shownOf(ui::ShownMessage::Kind::Information);
        QCOMPARE(warnings.size(), 1);
        QVERIFY2(warnings[0].text.contains("«полный доступ»") && warnings[0].text.contains("«отчёты»"),
                 qPrintable(warnings[0].text));
        const auto errors = shownOf(ui::ShownMessage::Kind::StandardError);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].text.startsWith(QString::fromUtf8(db::kNoRightMessage).arg(login.name())),
                 qPrintable(errors[0].text));
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 0);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.h_tabel").toInt(), 0);
    }

    // The login's own role: no warning, and the journal opens.
    void matchingCodeIsNotWarned()
    {
        TestDatabase db;
        loadSmallShop(db);
        PersonalLogin login(db, "kesta_reporting");
        ServiceFile service(db, login.name());
        AppFixture app(AppFixture::Service{"kesta"});
        bool inside = false;
        app.login("vudrak", [&] { inside = true; });
        QVERIFY(inside);
        QVERIFY2(ui::Messages::shown().isEmpty(), qPrintable(ui::Messages::shown().value(0).text));
    }

    // A service that is named but defined nowhere: the start is refused and says which service it looked for.
    void undefinedService()
    {
        QTemporaryDir dir;
        Environment env;
        env.set("PGSERVICEFILE", dir.filePath("none.conf"));
        env.set("PGSYSCONFDIR", dir.path());
        AppFixture app(AppFixture::Service{"nowhere"});
        QVERIFY(app.w.terminateRequested);
        const auto errors = shownOf(ui::ShownMessage::Kind::Error);
        QCOMPARE(errors.size(), 1);
        QCOMPARE(errors[0].text, QString("Подключение к БД отсутсвует!!!"));
        QVERIFY2(errors[0].details.contains("Служба подключения: nowhere (не описана ни в одном файле служб)"),
                 qPrintable(errors[0].details));
    }
};

QTEST_MAIN(TestPersonalLogin)
#include "tst_personal_login.moc"
