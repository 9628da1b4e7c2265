// The program's start-up up to the authorization window on the screen, against a bare Qt dialog program started the
// same way (bench/startup_bare.cpp).
//
//   bench_startup SOCKET_OR_HOST DATABASE [--repeat N] [--rtt MS [--upstream HOST:PORT]]
//
// Both are started as processes with the same environment (offscreen platform, the same locale) and the same
// preloaded probe (bench/startup_probe.cpp), which reports the first top-level window painted and ends the process;
// the time is from the start of the process to that report. The program starts connecting to the database once its
// authorization window is on the screen (and hides it again to say a failed connection), so a link (--rtt) should not
// delay the window; the round trips made up to the report are printed all the same. Runs are interleaved; the ratio
// of the medians is the figure.
#include "bench_support.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWarmUp = 2;
constexpr double kGoal = 1.2;

// Starts the program with the probe and returns the ms until it reported its first window; name: that window.
double startOnce(const QString& program, const QStringList& arguments, const QString& probe, QString& name)
{
    int fds[2];
    if (::pipe(fds) != 0)
        bench::fail("pipe");
    std::vector<QByteArray> argStore{QFile::encodeName(program)};
    for (const QString& a : arguments)
        argStore.push_back(a.toUtf8());
    std::vector<char*> argv;
    for (QByteArray& a : argStore)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    const QByteArray preload = QFile::encodeName(probe);
    const QByteArray fd = QByteArray::number(fds[1]);

    const auto t0 = bench::Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        ::setenv("LD_PRELOAD", preload.constData(), 1);
        ::setenv("KESTA_STARTUP_FD", fd.constData(), 1);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    QByteArray line;
    char buf[256];
    ssize_t n = 0;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0) {
        line.append(buf, n);
        if (line.contains('\n'))
            break;
    }
    const double ms = bench::msSince(t0);
    ::close(fds[0]);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    if (!line.startsWith("shown "))
        bench::fail(program.toStdString() + " showed no window");
    name = QString::fromUtf8(line.mid(6).trimmed());
    return ms;
}

} // namespace

int main(int argc, char* argv[])
{
    bench::setProgram("bench_startup", "SOCKET_OR_HOST DATABASE [--repeat N] [--rtt MS [--upstream HOST:PORT]]");
    QCoreApplication app(argc, argv);
    QStringList args = QCoreApplication::arguments().mid(1);
    const int repeat = bench::takeInt(args, QStringLiteral("--repeat"), 20);
    const QDir here(QCoreApplication::applicationDirPath());
    const QString program =
        bench::takeString(args, QStringLiteral("--program"), here.filePath(QStringLiteral("../src/app/kesta_tabel")));
    QString server, database;
    bench::takeServerAndDatabase(args, server, database);
    const QString bare = here.filePath(QStringLiteral("startup_bare"));
    const QString probe = here.filePath(QStringLiteral("libkesta_startup_probe.so"));
    for (const QString& f : {program, bare, probe})
        if (!QFileInfo::exists(f))
            bench::fail(f.toStdString() + " is missing (cmake --build build --target bench_startup kesta_tabel)");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");

    const QStringList programArgs{database, server};
    QString name;
    for (int i = 0; i < kWarmUp; ++i) {
        startOnce(program, programArgs, probe, name);
        startOnce(bare, {}, probe, name);
    }
    std::vector<double> tProgram, tBare, trips;
    for (int i = 0; i < repeat; ++i) {
        for (int k = 0; k < 2; ++k) {
            if ((i + k) % 2 == 0) {
                const quint64 r0 = bench::roundTripsSoFar();
                tProgram.push_back(startOnce(program, programArgs, probe, name));
                trips.push_back(double(bench::roundTripsSoFar() - r0));
                if (name != u"TForm23")
                    bench::fail("the program's first window was " + name.toStdString() +
                                ", not the authorization window (can it connect to " + database.toStdString() +
                                " at " + server.toStdString() + "?)");
            } else {
                QString bareName;
                tBare.push_back(startOnce(bare, {}, probe, bareName));
            }
        }
    }
    const double p = bench::median(tProgram), b = bench::median(tBare);
    std::printf("database %s at %s; server %s; %d starts each after %d warm-up starts\n", qPrintable(database),
                qPrintable(server), bench::linkDescription().c_str(), repeat, kWarmUp);
    std::printf("%-40s %10s %10s %12s\n", "", "median ms", "min ms", "round trips");
    std::printf("%-40s %10.1f %10.1f %12s\n", "bare dialog (floor)", b, bench::minimum(tBare), "0");
    std::printf("%-40s %10.1f %10.1f %12s\n", "program to the authorization window", p, bench::minimum(tProgram),
                bench::overLink() ? QByteArray::number(bench::median(trips), 'f', 0).constData() : "-");
    std::printf("startup ratio: %.2f (goal <= %.1f)\n", p / b, kGoal);
    return 0;
}
