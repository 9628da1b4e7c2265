// The journal window's activation on a large database, against the same four shift statements sent straight
// through libpq.
//
//   bench_journal SOCKET_OR_HOST DATABASE [--repeat N]
//
// Program: TForm1::FormActivate() on the shown journal window, for today: the four shift queries closed, given
// the day and opened again, the grid and the totals line following Smena1. It runs synchronously, so the time
// from the call to its return covers the statements, the fetch, the datasets' conversion and the grid's reset.
// Lower bound: the four statement texts the datasets sent (same parameters, bound by db::bindParams) executed
// with PQexec on a connection of our own with the same session settings, every cell read with PQgetvalue.
// Also shown, to tell the driver's share from the program's: the same texts through QSqlQuery on the program's
// own connection, every cell read with value().
// The runs are interleaved (the order rotates each iteration) so that machine noise falls on all of them alike.
// Only ratios to the lower bound mean anything across machines; nothing here fails on a time.
#include "app/authorization_window.h"
#include "app/startup.h"
#include "db/command.h"
#include "db/data_module.h"
#include "journal/journal_window.h"
#include "ui/messages.h"
#include "ui/window_registry.h"

#include <libpq-fe.h>

#include <QApplication>
#include <QLocale>
#include <QSqlQuery>
#include <QSqlRecord>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWarmUp = 3;
constexpr double kGoal = 1.3;

double peakRssMiB()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_maxrss) / 1024.0; // KiB on Linux
}

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

// CPU time of this process (all its threads), in ms: the client's own work, without the server's and the
// waiting, which the wall time includes.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

// One kind of run: wall times and the client's CPU times.
struct Timings {
    std::vector<double> wall;
    std::vector<double> cpu;
    void time(const std::function<void()>& body)
    {
        const double c0 = cpuMs();
        const auto t0 = Clock::now();
        body();
        wall.push_back(msSince(t0));
        cpu.push_back(cpuMs() - c0);
    }
};

struct Stats {
    double median = 0;
    double min = 0;
};

Stats stats(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return {n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0, v.front()};
}

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "bench_journal: %s\n", what.c_str());
    std::exit(1);
}

// The text a shift dataset sends for its current parameters, bound the way the dataset binds them.
QString boundText(const db::Dataset* d)
{
    QHash<QString, QVariant> params;
    for (const QString& name : d->paramNames())
        params.insert(name, d->param(name));
    return db::bindParams(d->sql(), params);
}

class PgSession {
public:
    PgSession(const QString& server, const QString& database)
    {
        // The program's own connection settings (db::assembleConnectionString): port 5432, user sys.
        const char* keys[] = {"host", "port", "dbname", "user", "password", "sslmode", "connect_timeout", nullptr};
        const QByteArray host = server.toUtf8(), name = database.toUtf8();
        const char* values[] = {host.constData(), "5432", name.constData(), "sys", "wumbral", "allow", "10", nullptr};
        conn_ = PQconnectdbParams(keys, values, 0);
        if (PQstatus(conn_) != CONNECTION_OK)
            fail(std::string("libpq connection: ") + PQerrorMessage(conn_));
        for (const char* s : {"SET DateStyle TO 'ISO, DMY'", "SET standard_conforming_strings TO on",
                              "SET client_encoding TO 'UTF8'"}) {
            PGresult* r = PQexec(conn_, s);
            const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
            PQclear(r);
            if (!ok)
                fail(std::string("libpq: ") + s + ": " + PQerrorMessage(conn_));
        }
    }
    ~PgSession() { PQfinish(conn_); }
    PgSession(const PgSession&) = delete;
    PgSession& operator=(const PgSession&) = delete;

    // Runs the statement and reads every cell; returns the row count and adds the bytes read to checksum.
    int run(const QByteArray& text, size_t& checksum)
    {
        PGresult* r = PQexec(conn_, text.constData());
        if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            const std::string err = PQresultErrorMessage(r);
            PQclear(r);
            fail("libpq: " + err);
        }
        const int rows = PQntuples(r), cols = PQnfields(r);
        for (int i = 0; i < rows; ++i)
            for (int c = 0; c < cols; ++c) {
                const char* v = PQgetvalue(r, i, c);
                checksum += std::strlen(v) + static_cast<unsigned char>(v[0]);
            }
        PQclear(r);
        return rows;
    }

private:
    PGconn* conn_ = nullptr;
};

void usage()
{
    std::fprintf(stderr, "usage: bench_journal SOCKET_OR_HOST DATABASE [--repeat N]\n");
    std::exit(64);
}

} // namespace

int main(int argc, char* argv[])
{
    // The windows are real but need no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kesta_tabel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Табель"));
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

    QStringList args = QApplication::arguments().mid(1);
    int repeat = 30;
    if (const qsizetype at = args.indexOf(QStringLiteral("--repeat")); at >= 0) {
        bool ok = false;
        repeat = at + 1 < args.size() ? args[at + 1].toInt(&ok) : 0;
        if (!ok || repeat < 1)
            usage();
        args.remove(at, 2);
    }
    if (args.size() != 2)
        usage();
    const QString server = args[0], database = args[1];

    // A message box would wait for a click that never comes; the messages are checked below instead.
    ui::Messages::setScripted(true);

    Windows w;
    w.arg1 = database;
    w.arg2 = server;
    w.buildDate = QStringLiteral(__DATE__);
    w.buildTime = QStringLiteral(__TIME__);
    // No message loop runs here, so there is nothing to end.
    w.endMessageLoop = [] {};
    createWindows(w);
    if (w.terminateRequested || !w.DataModule6)
        fail("the program could not connect to database " + database.toStdString() + " at " + server.toStdString());
    TDataModule6* dm = w.DataModule6;
    // What a successful authorization sets before it shows the journal.
    for (int s = 1; s <= 4; ++s)
        dm->smenaQuery(s)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));

    PgSession pg(server, database);
    const double rssBefore = peakRssMiB();

    auto activate = [&] {
        try {
            w.Form1->FormActivate();
        } catch (const std::exception& e) {
            fail(std::string("FormActivate: ") + e.what());
        }
    };
    // As after the authorization: the journal on screen (its first activation comes with showing it).
    w.Form23->hide();
    w.Form1->show();
    for (int i = 0; i < kWarmUp; ++i)
        activate();
    if (!ui::Messages::shown().isEmpty())
        fail("the program showed a message: " + ui::Messages::shown().constFirst().text.toStdString());

    std::array<int, 4> programRows{};
    for (int s = 1; s <= 4; ++s)
        programRows[s - 1] = dm->smenaQuery(s)->recordCount();
    const int gridRows = w.Form1->DBGrid2->model()->rowCount();

    // The texts the datasets sent for today, taken again before each run in case the day changes meanwhile.
    std::array<QByteArray, 4> texts;
    std::array<QString, 4> qtexts;
    auto takeTexts = [&] {
        for (int s = 1; s <= 4; ++s) {
            qtexts[s - 1] = boundText(dm->smenaQuery(s));
            texts[s - 1] = qtexts[s - 1].toUtf8();
        }
    };

    size_t checksum = 0;
    std::array<int, 4> libpqRows{};
    auto runLibpq = [&] {
        for (int s = 0; s < 4; ++s)
            libpqRows[s] = pg.run(texts[s], checksum);
    };
    std::array<int, 4> qtsqlRows{};
    auto runQtSql = [&] {
        for (int s = 0; s < 4; ++s) {
            QSqlQuery q = db::execStatement(dm->ADO_DB.name(), qtexts[s]);
            const int cols = q.record().count();
            int rows = 0;
            while (q.next()) {
                for (int c = 0; c < cols; ++c)
                    checksum += static_cast<size_t>(q.value(c).isNull());
                ++rows;
            }
            qtsqlRows[s] = rows;
        }
    };

    takeTexts();
    for (int i = 0; i < kWarmUp; ++i) {
        runLibpq();
        runQtSql();
    }

    Timings tProgram, tLibpq, tQtSql;
    const std::array<std::function<void()>, 3> kinds = {
        [&] { tProgram.time(activate); },
        [&] {
            takeTexts();
            tLibpq.time(runLibpq);
        },
        [&] {
            takeTexts();
            tQtSql.time(runQtSql);
        },
    };
    for (int i = 0; i < repeat; ++i)
        for (int k = 0; k < 3; ++k)
            kinds[(i + k) % 3]();
    const double rssAfter = peakRssMiB();
    if (!ui::Messages::shown().isEmpty())
        fail("the program showed a message: " + ui::Messages::shown().constFirst().text.toStdString());

    std::printf("database %s at %s, today %s, %d runs each after %d warm-up runs\n", qPrintable(database),
                qPrintable(server), qPrintable(QDate::currentDate().toString(Qt::ISODate)), repeat, kWarmUp);
    bool countsOk = gridRows == programRows[0];
    for (int s = 0; s < 4; ++s) {
        std::printf("  shift %d: program %d rows, libpq %d rows, QSqlQuery %d rows\n", s + 1, programRows[s],
                    libpqRows[s], qtsqlRows[s]);
        countsOk = countsOk && programRows[s] > 0 && programRows[s] == libpqRows[s] && programRows[s] == qtsqlRows[s];
    }
    std::printf("  grid rows (shift 1 shown): %d\n", gridRows);
    if (!countsOk)
        fail("row counts differ or a shift has no rows today (is the journal up to today? bench/make_large.sh)");

    const Stats p = stats(tProgram.wall), l = stats(tLibpq.wall), q = stats(tQtSql.wall);
    const double lCpu = stats(tLibpq.cpu).median;
    std::printf("%-34s %10s %10s %11s %11s %15s\n", "", "median ms", "min ms", "ratio(med)", "ratio(min)",
                "client CPU ms");
    auto line = [&](const char* name, const Stats& s, const Timings& t) {
        std::printf("%-34s %10.2f %10.2f %11.2f %11.2f %15.2f\n", name, s.median, s.min, s.median / l.median,
                    s.min / l.min, stats(t.cpu).median);
    };
    line("libpq PQexec + PQgetvalue (bound)", l, tLibpq);
    line("QSqlQuery exec + value()", q, tQtSql);
    line("program FormActivate()", p, tProgram);
    std::printf("the program's own work over the bound: %.2f ms of client CPU per activation (median)\n",
                stats(tProgram.cpu).median - lCpu);
    std::printf("peak RSS: %.1f MiB before the first activation, %.1f MiB at the end (+%.1f MiB)\n", rssBefore,
                rssAfter, rssAfter - rssBefore);
    std::printf("journal activation: program %.1f ms, libpq %.1f ms, ratio %.2f (goal <= %.1f); peak RSS %.0f MiB\n",
                p.median, l.median, p.median / l.median, kGoal, rssAfter);

    destroyWindows(w);
    // The checksum only keeps the reads from being optimized away.
    static volatile size_t sink;
    sink = checksum;
    return 0;
}
