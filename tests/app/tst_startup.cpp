// Start-up, the build stamp and the authorization window against a real database.
#include "app/authorization_window.h"
#include "db/connector.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/service.h"
#include "db/session.h"
#include "harness/widgets.h"
#include "journal/build_stamp.h"
#include "journal/journal_sql.h"
#include "journal/journal_window.h"
#include "reports/reports_window.h"
#include "support/app_fixture.h"
#include "support/personal_login.h"
#include "ui/dataset_grid.h"
#include "ui/date_box.h"
#include "ui/messages.h"

#include <QAction>
#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QtTest>

#include <future>
#include <optional>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using Stamp = QPair<int, int>;

class TestStartup : public QObject {
    Q_OBJECT

private slots:
    void buildStampNumbers_data()
    {
        QTest::addColumn<QString>("dateText");
        QTest::addColumn<QString>("timeText");
        QTest::addColumn<int>("dateNumber");
        QTest::addColumn<int>("timeNumber");
        QTest::newRow("documented example") << "Feb 11 2023"
                                            << "15:36:35" << 20230211 << 56195;
        QTest::newRow("blank before a one-digit day") << "Dec  1 2026"
                                                      << "00:00:09" << 20261201 << 9;
        QTest::newRow("last second of a day") << "Jan 31 2024"
                                              << "23:59:59" << 20240131 << 86399;
        QTest::newRow("September") << "Sep 30 2025"
                                   << "10:00:00" << 20250930 << 36000;
    }

    void buildStampNumbers()
    {
        QFETCH(QString, dateText);
        QFETCH(QString, timeText);
        QFETCH(int, dateNumber);
        QFETCH(int, timeNumber);
        QCOMPARE(buildDateNumber(dateText), dateNumber);
        QCOMPARE(buildTimeNumber(timeText), timeNumber);
    }

    void malformedBuildStampIsRefused()
    {
        QVERIFY_THROWS_EXCEPTION(db::ConversionError, buildDateNumber("Foo 11 2023"));
        QVERIFY_THROWS_EXCEPTION(db::ConversionError, buildDateNumber("2023-02-11"));
        QVERIFY_THROWS_EXCEPTION(db::ConversionError, buildTimeNumber("15:3a:35"));
    }

    // The stored stamp against the program's: (stored before or none) -> (stored after, refused).
    void checkBuildStamp_data()
    {
        QTest::addColumn<bool>("hasRow");
        QTest::addColumn<Stamp>("stored");
        QTest::addColumn<Stamp>("expected");
        QTest::addColumn<bool>("refused");
        // the program's stamp in every row is 20261210 / 36000 (10:00:00)
        QTest::newRow("empty table gets a row") << false << Stamp() << Stamp(20261210, 36000) << false;
        QTest::newRow("equal stamp") << true << Stamp(20261210, 36000) << Stamp(20261210, 36000) << false;
        QTest::newRow("newer build moves the stamp")
            << true << Stamp(20261209, 80000) << Stamp(20261210, 36000) << false;
        QTest::newRow("older date, later time refused") << true << Stamp(20261211, 100) << Stamp(20261211, 100) << true;
        QTest::newRow("same date, earlier time refused")
            << true << Stamp(20261210, 36001) << Stamp(20261210, 36001) << true;
    }

    void checkBuildStamp()
    {
        QFETCH(bool, hasRow);
        QFETCH(Stamp, stored);
        QFETCH(Stamp, expected);
        QFETCH(bool, refused);
        TestDatabase db;
        if (hasRow)
            db.exec(QString("insert into accounts_dep.ver (d, t, delim) values (%1, %2, 'x')")
                        .arg(stored.first)
                        .arg(stored.second));
        const QString versionBefore =
            db.scalar("select coalesce(max(xmin::text), '') from accounts_dep.ver").toString();
        AppFixture app(db, "Dec 10 2026", "10:00:00");
        app.w.journal->checkBuildStamp();
        QCOMPARE(app.w.journal->buildDate(), 20261210);
        QCOMPARE(app.w.journal->buildTime(), 36000);
        const auto rows = db.rows("select d, t from accounts_dep.ver");
        QCOMPARE(rows.size(), 1);
        QCOMPARE(Stamp(rows[0][0].toInt(), rows[0][1].toInt()), expected);
        if (stored == expected) // nothing written
            QCOMPARE(db.scalar("select xmin::text from accounts_dep.ver").toString(), versionBefore);
        QCOMPARE(app.w.terminateRequested, refused);
        QCOMPARE(app.w.exitCode, refused ? 1 : 0);
        QCOMPARE(widget<QTimer>(app.w.authorization, "Timer1")->isActive(), refused);
        QCOMPARE(widget<QTimer>(app.w.authorization, "Timer1")->interval(), 5000);
        const auto shown = ui::Messages::shown();
        if (refused) {
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text,
                     QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин."));
            QCOMPARE(shown[0].caption, QStringLiteral("Ошибка"));
            // the details, which standard error prints too, say both builds
            const QDate d(stored.first / 10000, stored.first / 100 % 100, stored.first % 100);
            QCOMPARE(shown[0].details,
                     QStringLiteral("Сборка программы: 10.12.2026 10:00:00\n"
                                    "Сборка, записанная в базе данных (accounts_dep.ver): ") +
                         d.toString("dd.MM.yyyy ") + QTime::fromMSecsSinceStartOfDay(stored.second * 1000).toString() +
                         QStringLiteral("\nС этой базой работают сборки не старше записанной в ней."));
        } else {
            QVERIFY(shown.isEmpty());
        }
    }

    // A newer build started elsewhere stops this one at its next tick, ending about 5 s after the message.
    // With several rows the first is the one with the newest stamp: an old row is never moved forward past a
    // newer one, and a program older than the newest row is refused.
    void severalStampRows_data()
    {
        QTest::addColumn<QList<Stamp>>("rows");
        QTest::addColumn<QList<Stamp>>("after");
        QTest::addColumn<bool>("refused");
        QTest::newRow("an old and a future row: refused, nothing written")
            << QList<Stamp>{{20200101, 5}, {20991231, 5}} << QList<Stamp>{{20200101, 5}, {20991231, 5}} << true;
        QTest::newRow("two older rows: the newest moves forward")
            << QList<Stamp>{{20261201, 5}, {20261209, 5}} << QList<Stamp>{{20261201, 5}, {20261210, 36000}} << false;
    }

    void severalStampRows()
    {
        QFETCH(QList<Stamp>, rows);
        QFETCH(QList<Stamp>, after);
        QFETCH(bool, refused);
        TestDatabase db;
        for (const Stamp& r : rows)
            db.exec(QString("insert into accounts_dep.ver (d, t) values (%1, %2)").arg(r.first).arg(r.second));
        AppFixture app(db, "Dec 10 2026", "10:00:00");
        app.w.terminateRequested = false;
        ui::Messages::clearShown();
        app.w.journal->checkBuildStamp();
        QList<Stamp> stored;
        for (const auto& r : db.rows("select d, t from accounts_dep.ver order by d, t"))
            stored.append({r[0].toInt(), r[1].toInt()});
        QCOMPARE(stored, after);
        QCOMPARE(app.w.terminateRequested, refused);
        QCOMPARE(ui::Messages::shown().size(), refused ? 1 : 0);
    }

    // Two programs start on an empty table at the same moment: the other one has added its row but not yet
    // committed when this one checks. This one waits for it, finds the row, and adds none.
    void twoFirstStartsAddOneRow()
    {
        TestDatabase db;
        std::promise<void> locked;
        std::future<void> lockedFuture = locked.get_future();
        QString otherError;
        bool programWaited = false;
        QThread* other = QThread::create([&] {
            try {
                {
                    db::Connector& c = connectToCluster(QStringLiteral("other"), db.server(), db.name(), "sys");
                    const auto run = [&](const QString& sql) {
                        try {
                            return c.exec(sql);
                        } catch (const db::DbError& e) {
                            throw std::runtime_error((sql + ": " + e.text()).toStdString());
                        }
                    };
                    run("begin");
                    run(journal_sql::kLockBuildStamp);
                    run("insert into accounts_dep.ver (d, t) values (20261210, 36000)");
                    locked.set_value();
                    QElapsedTimer t;
                    t.start();
                    while (!programWaited && t.elapsed() < 10000) {
                        db::Result w = run("select count(*) from pg_locks where locktype = 'advisory' and not granted");
                        programWaited = w.next() && w.value(0).toInt() > 0;
                        if (!programWaited)
                            QThread::msleep(20);
                    }
                    run("commit");
                }
                db::removeConnector(QStringLiteral("other"));
            } catch (const std::exception& e) {
                otherError = QString::fromUtf8(e.what());
                locked.set_value();
            }
        });
        other->start();
        lockedFuture.wait();
        {
            AppFixture app(db, "Dec 10 2026", "10:00:00");
            app.w.journal->checkBuildStamp();
            other->wait();
            QVERIFY(!app.w.terminateRequested);
        }
        delete other;
        QVERIFY2(otherError.isEmpty(), qPrintable(otherError));
        QCOMPARE(db.rows("select d, t from accounts_dep.ver"), QList<QVariantList>({{20261210, 36000}}));
        QVERIFY(programWaited);
    }

    // A server that accepts the connection and never answers: the start-up gives up after the connect timeout
    // with its message, instead of hanging without a window.
    void silentServerAtStartUp()
    {
        QTemporaryDir dir;
        const QByteArray path = (dir.path() + "/.s.PGSQL.5432").toLocal8Bit();
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        qstrncpy(addr.sun_path, path.constData(), sizeof addr.sun_path);
        QCOMPARE(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        QCOMPARE(::listen(fd, 8), 0); // connections wait in the backlog; nobody ever reads them
        db::WaitLimits limits;
        limits.connectTimeoutSeconds = 2;
        db::setWaitLimits(limits);
        {
            AppFixture app("kesta_erp", dir.path(), "Dec 10 2026", "10:00:00");
            const auto shown = ui::Messages::shown();
            QCOMPARE(shown.size(), 1);
            QCOMPARE(shown[0].text, QStringLiteral("Подключение к БД отсутсвует!!!"));
            // why, in words, before libpq's own text
            QVERIFY2(shown[0].details.contains(QStringLiteral("Причина: Сервер базы данных не ответил за отведённое "
                                                              "время.")),
                     qPrintable(shown[0].details));
            QVERIFY(app.w.terminateRequested);
        }
        db::setWaitLimits(db::WaitLimits{});
        ::close(fd);
    }

    void newerBuildElsewhereStopsRunningProgram()
    {
        TestDatabase db;
        AppFixture app(db, "Dec 10 2026", "10:00:00");
        app.w.journal->checkBuildStamp();
        QVERIFY(!app.w.terminateRequested);
        QCOMPARE(widget<QTimer>(app.w.journal, "Timer1")->interval(), 30000);
        QVERIFY(widget<QTimer>(app.w.journal, "Timer1")->isActive());
        db.exec("update accounts_dep.ver set d = 20261211");
        // the message waits for an answer that never comes; the 5-second timer ends the program regardless
        bool timerRunningWhileMessageShown = false;
        ui::Messages::setOnShow(
            [&](const ui::ShownMessage&) { timerRunningWhileMessageShown = widget<QTimer>(app.w.authorization, "Timer1")->isActive(); });
        app.w.terminateRequested = false;
        app.w.journal->periodicBuildCheck();
        ui::Messages::setOnShow({});
        QVERIFY(timerRunningWhileMessageShown);
        QVERIFY(app.w.terminateRequested);
        app.w.terminateRequested = false;
        app.w.authorization->endAfterRefusedBuild();
        QVERIFY(app.w.terminateRequested);
    }

    void missingStampTableGoesToStandardErrorBox()
    {
        TestDatabase db;
        db.exec("drop table accounts_dep.ver");
        AppFixture app(db);
        // a tick that comes while the previous check's error is still on screen does not open another box
        int nestedTicks = 0;
        ui::Messages::setOnShow([&](const ui::ShownMessage&) {
            if (nestedTicks++ == 0)
                app.w.journal->periodicBuildCheck();
        });
        app.w.journal->periodicBuildCheck();
        ui::Messages::setOnShow({});
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, ui::ShownMessage::Kind::StandardError);
        // a database older than the program, in words; what the server said in the details
        QCOMPARE(shown[0].text, QString::fromUtf8(db::kSchemaBehindMessage));
        QVERIFY(shown[0].details.contains("accounts_dep.ver"));
        QVERIFY(!app.w.terminateRequested);
    }

    // The 30-second check that fails while another window of the program is open modally (a preview, an editor)
    // puts no box over it; at the first tick with nothing open it says the problem, once.
    void failingCheckWaitsForModalWindows()
    {
        TestDatabase db;
        db.exec("drop table accounts_dep.ver");
        AppFixture app(db);
        ui::Messages::clearShown();
        QDialog other;
        bool wasModal = false;
        ui::scriptModal(QStringLiteral("QDialog"), [&](QDialog* shown) {
            wasModal = QApplication::activeModalWidget() == shown;
            app.w.journal->periodicBuildCheck();
        });
        ui::showModal(&other);
        QVERIFY(wasModal);
        QCOMPARE(ui::Messages::shown().size(), 0);
        app.w.journal->periodicBuildCheck();
        app.w.journal->periodicBuildCheck();
        QCOMPARE(ui::Messages::shown().size(), 1);
        QVERIFY(ui::Messages::shown()[0].details.contains("accounts_dep.ver"));
    }

    void connectionFailure()
    {
        AppFixture app("no_such_database", TestDatabase::clusterSocket(), "Dec 10 2026", "10:00:00");
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Подключение к БД отсутсвует!!!"));
        QCOMPARE(shown[0].caption, QStringLiteral("Ошибка!"));
        // the details say where the program looked and what the server answered
        QVERIFY2(shown[0].details.contains("База данных: no_such_database"), qPrintable(shown[0].details));
        QVERIFY(shown[0].details.contains("Сервер: " + TestDatabase::clusterSocket()));
        QVERIFY(shown[0].details.contains("no_such_database\" does not exist") ||
                shown[0].details.contains("no_such_database»"));
        QVERIFY(app.w.terminateRequested);
        QCOMPARE(app.w.exitCode, 1);
        QVERIFY(!app.w.authorization->isVisible()); // made while connecting, never shown
    }

    // The workstation's setting switches the built-in connection off: without a service the start is refused with
    // its own message, before anything connects; a person's login through the service still starts.
    void builtinConnectionSwitchedOff_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("withService");
        QTest::addColumn<bool>("refused");
        QTest::newRow("off, no service") << "builtin_connection = off" << false << true;
        QTest::newRow("misspelt value switches it off too") << "builtin_connection = of" << false << true;
        QTest::newRow("on, no service") << "# the administrator's note\nbuiltin_connection = on" << false << false;
        QTest::newRow("off, a service") << "builtin_connection = off" << true << false;
    }

    void builtinConnectionSwitchedOff()
    {
        QFETCH(QString, setting);
        QFETCH(bool, withService);
        QFETCH(bool, refused);
        TestDatabase db;
        QTemporaryDir dir;
        QFile conf(dir.filePath("kesta_tabel.conf"));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write(setting.toUtf8() + '\n');
        conf.close();
        db::setWorkstationSettingsFile(conf.fileName());
        std::optional<PersonalLogin> login;
        std::optional<ServiceFile> service;
        if (withService) {
            login.emplace(db, QStringLiteral("kesta_full"));
            service.emplace(db, login->name());
        }
        {
            std::optional<AppFixture> app;
            if (withService)
                app.emplace(AppFixture::Service{QStringLiteral("kesta")});
            else
                app.emplace(db);
            const auto shown = ui::Messages::shown();
            QCOMPARE(app->w.terminateRequested, refused);
            if (refused) {
                QCOMPARE(shown.size(), 1);
                QCOMPARE(shown[0].text, QString::fromUtf8(db::kBuiltinConnectionOffMessage));
                QVERIFY2(shown[0].details.contains(conf.fileName()), qPrintable(shown[0].details));
                QCOMPARE(app->w.exitCode, 1);
                // nothing reached the server: the build stamp was never written
                QCOMPARE(db.scalar("select count(*) from accounts_dep.ver").toInt(), 0);
            } else {
                QVERIFY(shown.isEmpty());
                // connected: the authorization window's check writes the build stamp once it is on the screen
                QTRY_COMPARE(db.scalar("select count(*) from accounts_dep.ver").toInt(), 1);
            }
        }
        db::setWorkstationSettingsFile({});
    }

    // The program's user sys owns the program's objects without a superuser's rights: it cannot run commands on the
    // server or read the password hashes of other logins.
    void builtinUserIsNoSuperuser()
    {
        TestDatabase db;
        QCOMPARE(db.scalar("select rolsuper or rolcreaterole from pg_roles where rolname = current_user").toBool(),
                 false);
        QCOMPARE(db.scalar("select current_user").toString(), QStringLiteral("sys"));
        QCOMPARE(db.scalar("select count(*) from pg_tables where schemaname = 'accounts_dep' and tableowner <> 'sys'")
                     .toInt(),
                 0);
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.scalar("select count(*) from pg_authid"));
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, db.exec("copy (select 1) to program 'true'"));
    }

    // The whole application on the test database: the authorization window comes up with its caption.
    void applicationStartsOnAuthorization()
    {
        TestDatabase db;
        AppFixture app(db, "Feb 11 2023", "15:36:35");
        QVERIFY(app.w.authorization->isVisible());
        QVERIFY(!app.w.journal->isVisible());
        QTRY_COMPARE(app.w.authorization->windowTitle(), QStringLiteral("Авторизация (build: 20230211.56195)"));
        QCOMPARE(widget<QLineEdit>(app.w.authorization, "Edit1")->echoMode(), QLineEdit::Password);
        QVERIFY(widget<QPushButton>(app.w.authorization, "Button1")->isDefault());
        QCOMPARE(db.scalar("select d from accounts_dep.ver").toInt(), 20230211);
    }

    // Each code decides a role; the role's controls are disabled (never hidden).
    void roles_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QStringList>("journalOff");
        QTest::addColumn<QStringList>("reportsOff");
        QTest::addColumn<int>("productClass");
        const QStringList all = {"Button1",      "Button2",      "Button3",      "Button8", "RadioButton1",
                                 "RadioButton2", "RadioButton3", "RadioButton4", "CBox1",   "DateT",
                                 "DBGrid2",      "N2",           "N11"};
        const QStringList reportsLimited = {"Button1", "Button2", "Button4", "Button6"};
        QTest::newRow("reporting") << "vudrak" << all << QStringList() << 0;
        QTest::newRow("foreman") << "plinoth" << QStringList{"Button2", "Button3", "N2", "N11"} << reportsLimited << 0;
        QTest::newRow("warehouse") << "fromu" << QStringList{"Button1", "Button2", "Button3", "N2", "N11"}
                                   << (reportsLimited + QStringList{"RadioGroup1"}) << 1;
        QTest::newRow("full access") << "63175042" << QStringList() << QStringList() << 0;
        QTest::newRow("full access, second code") << "9865" << QStringList() << QStringList() << 0;
        QTest::newRow("blanks around the code")
            << "  fromu\t " << QStringList{"Button1", "Button2", "Button3", "N2", "N11"}
            << (reportsLimited + QStringList{"RadioGroup1"}) << 1;
    }

    void roles()
    {
        QFETCH(QString, code);
        QFETCH(QStringList, journalOff);
        QFETCH(QStringList, reportsOff);
        QFETCH(int, productClass);
        TestDatabase db;
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        ReportsWindow* r = app.w.reports;
        bool shiftParamsSet = false;
        bool authorizationHidden = false;
        app.login(code, [&] {
            shiftParamsSet = true;
            for (int s = 1; s <= 4; ++s)
                shiftParamsSet = shiftParamsSet && app.w.database->smenaQuery(s)->param("ok").toString() == "ta";
            authorizationHidden = !app.w.authorization->isVisible();
        });
        QVERIFY(ui::Messages::shown().isEmpty());
        QCOMPARE(ui::shownModals(), QStringList{"JournalWindow"});
        QVERIFY(shiftParamsSet);
        QVERIFY(authorizationHidden);
        QCOMPARE(j->shift(), 1);
        QCOMPARE(j->accessCode(), code.trimmed().toUtf8());
        const QMap<QString, bool> journalEnabled = {
            {"Button1", widget<QPushButton>(j, "Button1")->isEnabled()},
            {"Button2", widget<QPushButton>(j, "Button2")->isEnabled()},
            {"Button3", widget<QPushButton>(j, "Button3")->isEnabled()},
            {"Button8", widget<QPushButton>(j, "Button8")->isEnabled()},
            {"RadioButton1", widget<QRadioButton>(j, "RadioButton1")->isEnabled()},
            {"RadioButton2", widget<QRadioButton>(j, "RadioButton2")->isEnabled()},
            {"RadioButton3", widget<QRadioButton>(j, "RadioButton3")->isEnabled()},
            {"RadioButton4", widget<QRadioButton>(j, "RadioButton4")->isEnabled()},
            {"CBox1", widget<QCheckBox>(j, "CBox1")->isEnabled()},
            {"DateT", widget<ui::DateBox>(j, "DateT")->isEnabled()},
            {"DBGrid2", widget<ui::DbGrid>(j, "DBGrid2")->isEnabled()},
            {"N2", widget<QMenu>(j, "N2")->menuAction()->isEnabled()},
            {"N11", widget<QAction>(j, "N11")->isEnabled()}};
        for (auto it = journalEnabled.begin(); it != journalEnabled.end(); ++it)
            QVERIFY2(it.value() != journalOff.contains(it.key()), qPrintable("journal " + it.key()));
        QVERIFY(widget<QMenu>(j, "N7")->menuAction()->isEnabled());
        QVERIFY(widget<QAction>(j, "N5")->isEnabled());
        QVERIFY(widget<QPushButton>(j, "Button4")->isEnabled());
        const QMap<QString, bool> reportsEnabled = {{"Button1", widget<QPushButton>(r, "Button1")->isEnabled()},
                                                    {"Button2", widget<QPushButton>(r, "Button2")->isEnabled()},
                                                    {"Button3", widget<QPushButton>(r, "Button3")->isEnabled()},
                                                    {"Button4", widget<QPushButton>(r, "Button4")->isEnabled()},
                                                    {"Button6", widget<QPushButton>(r, "Button6")->isEnabled()},
                                                    {"RadioGroup1", widget<QGroupBox>(r, "RadioGroup1")->isEnabled()}};
        for (auto it = reportsEnabled.begin(); it != reportsEnabled.end(); ++it)
            QVERIFY2(it.value() != reportsOff.contains(it.key()), qPrintable("reports " + it.key()));
        QCOMPARE(r->radioGroup1ItemIndex(), productClass);
        // disabled, never hidden
        QVERIFY(!widget<QPushButton>(j, "Button1")->isHidden() && !widget<ui::DbGrid>(j, "DBGrid2")->isHidden() &&
                !widget<QPushButton>(r, "Button6")->isHidden());
        // closing the journal ends the application
        QVERIFY(app.w.terminateRequested);
    }

    void wrongCodes_data()
    {
        QTest::addColumn<QString>("code");
        QTest::newRow("empty") << "";
        QTest::newRow("blanks only") << "   ";
        QTest::newRow("other letter case") << "VUDRAK";
        QTest::newRow("wrong") << "12345";
        QTest::newRow("part of a code") << "631750";
        QTest::newRow("inner blank") << "from u";
    }

    void wrongCodes()
    {
        QFETCH(QString, code);
        TestDatabase db;
        AppFixture app(db);
        app.w.journal->signIn(QByteArray(), 3);
        widget<QLineEdit>(app.w.authorization, "Edit1")->setText(code);
        widget<QPushButton>(app.w.authorization, "Button1")->click();
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Введены неверные данные."));
        QCOMPARE(shown[0].caption, QStringLiteral("Ошибка"));
        QVERIFY(ui::shownModals().isEmpty());
        QVERIFY(app.w.authorization->isVisible());
        QCOMPARE(widget<QLineEdit>(app.w.authorization, "Edit1")->text(), code);
        QCOMPARE(app.w.journal->shift(), 1);
        QVERIFY(!app.w.terminateRequested);
        // then the right code: its role applies and the journal starts on shift 1
        ui::Messages::clearShown();
        widget<QRadioButton>(app.w.journal, "RadioButton3")->setChecked(true);
        QCOMPARE(app.w.journal->shift(), 3);
        app.login("plinoth");
        QVERIFY(ui::Messages::shown().isEmpty());
        QCOMPARE(app.w.journal->shift(), 1);
        QVERIFY(widget<QPushButton>(app.w.journal, "Button1")->isEnabled());
        QVERIFY(!widget<QPushButton>(app.w.journal, "Button2")->isEnabled());
    }

    void cancelEndsApplication()
    {
        TestDatabase db;
        AppFixture app(db);
        QTest::keyClick(app.w.authorization, Qt::Key_Escape);
        QVERIFY(app.w.terminateRequested);
        QVERIFY(!app.w.authorization->isVisible());
        QVERIFY(ui::shownModals().isEmpty());
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
