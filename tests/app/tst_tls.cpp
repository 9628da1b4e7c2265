// Encrypted connections through a connection service: a server of the test's own with a certificate made here,
// checked in full (verify-full) against the authority that signed it; another authority, another name, or a
// service that asks for no encryption are refused with the reason in words. The password comes from a pgpass file.
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/session.h"
#include "support/app_fixture.h"
#include "ui/messages.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// A port of 127.0.0.1 that nothing listens on now.
int freePort()
{
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        qFatal("no free port");
    ::close(s);
    return ntohs(a.sin_port);
}

const QString kScript = QStringLiteral(KESTA_TESTS_DIR "/app/tls_server.sh");
const QString kDbDir = QStringLiteral(KESTA_DB_DIR);

} // namespace

class TestTls : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    int port_ = 0;

    QString path(const QString& name) const { return dir_.filePath(name); }

private slots:
    void initTestCase()
    {
        QVERIFY(dir_.isValid());
        // The server runs as postgres when the tests run as root: it must reach the folder.
        QFile::setPermissions(dir_.path(), QFile::permissions(dir_.path()) | QFile::ReadOther | QFile::ExeOther |
                                               QFile::ReadGroup | QFile::ExeGroup);
        port_ = freePort();
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(kScript, {QStringLiteral("start"), dir_.path(), QString::number(port_), kDbDir});
        QVERIFY(p.waitForFinished(180000));
        QVERIFY2(p.exitCode() == 0, p.readAll().constData());
        // A login whose password expired long ago.
        QVERIFY(QProcess::execute(kDbDir + QStringLiteral("/pgcluster.sh"),
                                  {QStringLiteral("admin"), path("pg"), QStringLiteral("-d"), QStringLiteral("postgres"),
                                   QStringLiteral("-c"),
                                   QStringLiteral("create role expired_login login password 'old-password' valid until "
                                                  "'2000-01-01'")}) == 0);

        QFile services(path("pg_service.conf"));
        QVERIFY(services.open(QIODevice::WriteOnly));
        const QString common = QStringLiteral("port=%1\ndbname=postgres\nuser=sys\n").arg(port_);
        services.write(QStringLiteral("[verified]\nhost=localhost\n%1sslmode=verify-full\nsslrootcert=%2\n\n"
                                      "[other_authority]\nhost=localhost\n%1sslmode=verify-full\nsslrootcert=%3\n\n"
                                      "[other_name]\nhost=127.0.0.1\n%1sslmode=verify-full\nsslrootcert=%2\n\n"
                                      "[no_authority_file]\nhost=localhost\n%1sslmode=verify-full\nsslrootcert=%4\n\n"
                                      "[unencrypted]\nhost=localhost\n%1sslmode=disable\n\n"
                                      "[wrong_password]\nhost=localhost\nport=%5\ndbname=postgres\nuser=sys\n"
                                      "password=not-the-password\nsslmode=verify-full\nsslrootcert=%2\n\n"
                                      "[unknown_login]\nhost=localhost\nport=%5\ndbname=postgres\nuser=nobody_here\n"
                                      "password=wumbral\nsslmode=verify-full\nsslrootcert=%2\n\n"
                                      "[expired_password]\nhost=localhost\nport=%5\ndbname=postgres\n"
                                      "user=expired_login\npassword=old-password\nsslmode=verify-full\nsslrootcert=%2\n\n"
                                      "[unreachable]\nhost=localhost\nport=%6\ndbname=postgres\nuser=sys\n")
                           .arg(common, path("ca.crt"), path("other-ca.crt"), path("missing.crt"))
                           .arg(port_)
                           .arg(freePort())
                           .toUtf8());
        services.close();
        QFile pgpass(path("pgpass"));
        QVERIFY(pgpass.open(QIODevice::WriteOnly));
        pgpass.write(QStringLiteral("localhost:%1:*:sys:wumbral\n127.0.0.1:%1:*:sys:wumbral\n").arg(port_).toUtf8());
        pgpass.close();
        pgpass.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        qputenv("PGSERVICEFILE", QFile::encodeName(path("pg_service.conf")));
        qputenv("PGPASSFILE", QFile::encodeName(path("pgpass")));
    }

    void cleanupTestCase()
    {
        QProcess::execute(kScript, {QStringLiteral("stop"), dir_.path(), kDbDir});
        qunsetenv("PGSERVICEFILE");
        qunsetenv("PGPASSFILE");
    }

    void connections_data()
    {
        QTest::addColumn<QString>("service");
        QTest::addColumn<QString>("reason"); // empty: connected, encrypted
        QTest::newRow("verify-full, the server's authority") << "verified"
                                                             << "";
        QTest::newRow("verify-full, another authority") << "other_authority"
                                                        << "Сервер базы данных не подтвердил свою подлинность";
        QTest::newRow("verify-full, another name") << "other_name"
                                                   << "Сертификат сервера базы данных выдан на другое имя";
        QTest::newRow("verify-full, no authority file") << "no_authority_file"
                                                        << "Не найден файл центра сертификации";
        // The server insists on encryption, refuses a password (it does not say whether the login exists or the
        // password expired), or is not there: said in words, libpq's text only in the details.
        QTest::newRow("unencrypted") << "unencrypted"
                                     << "Сервер базы данных принимает с этого компьютера только шифрованные соединения";
        QTest::newRow("wrong password") << "wrong_password"
                                        << "Сервер базы данных не принял учётную запись и пароль";
        QTest::newRow("expired password") << "expired_password"
                                          << "Сервер базы данных не принял учётную запись и пароль";
        QTest::newRow("unknown login") << "unknown_login"
                                       << "Сервер базы данных не принял учётную запись и пароль";
        QTest::newRow("nothing listens") << "unreachable"
                                         << "Сервер базы данных недоступен";
    }

    void connections()
    {
        QFETCH(QString, service);
        QFETCH(QString, reason);
        db::Connection c(QStringLiteral("tls_") + service);
        c.setService(service);
        QString failure, details;
        try {
            c.open();
        } catch (const db::DbError& e) {
            failure = e.text();
            details = e.details();
        }
        if (reason.isEmpty()) {
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            db::Result q = db::execStatement(c.name(), "select ssl from pg_stat_ssl where pid = pg_backend_pid()");
            QVERIFY(q.next());
            QVERIFY(q.value(0).toBool());
        } else {
            QVERIFY2(failure.startsWith(reason), qPrintable(failure));
            QVERIFY2(!details.isEmpty() && !failure.contains(details), qPrintable(failure));
        }
    }

    // The start of the program with the wrong authority: refused, and the details say why.
    void startRefusedWithTheReason()
    {
        AppFixture app(AppFixture::Service{QStringLiteral("other_authority")});
        QVERIFY(app.w.terminateRequested);
        const QList<ui::ShownMessage> shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QStringLiteral("Подключение к БД отсутсвует!!!"));
        QVERIFY2(shown[0].details.contains(QStringLiteral("Служба подключения: other_authority")) &&
                     shown[0].details.contains(QStringLiteral("не подтвердил свою подлинность")),
                 qPrintable(shown[0].details));
    }
};

QTEST_MAIN(TestTls)
#include "tst_tls.moc"
