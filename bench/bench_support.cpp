#include "bench_support.h"

#include "harness/net_relay.h"

#include "app/startup.h"
#include "app/window_registry.h"
#include "db/command.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "ui/messages.h"

#include <libpq-fe.h>

#include <QCoreApplication>
#include <QFile>

#include <malloc.h>
#include <QHash>
#include <QLocale>
#include <QVariant>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace bench {

namespace {

const char* programName = "bench";
const char* usageLine = "";
std::unique_ptr<harness::Relay> relay;

} // namespace

void setProgram(const char* name, const char* usageText)
{
    programName = name;
    usageLine = usageText;
}

void fail(const std::string& what)
{
    std::fprintf(stderr, "%s: %s\n", programName, what.c_str());
    std::exit(1);
}

void usage()
{
    std::fprintf(stderr, "usage: %s %s\n", programName, usageLine);
    std::exit(64);
}

int takeInt(QStringList& args, const QString& name, int fallback, int min)
{
    const qsizetype at = args.indexOf(name);
    if (at < 0)
        return fallback;
    bool ok = false;
    const int v = at + 1 < args.size() ? args[at + 1].toInt(&ok) : 0;
    if (!ok || v < min)
        usage();
    args.remove(at, 2);
    return v;
}

double takeDouble(QStringList& args, const QString& name, double fallback)
{
    const qsizetype at = args.indexOf(name);
    if (at < 0)
        return fallback;
    bool ok = false;
    const double v = at + 1 < args.size() ? args[at + 1].toDouble(&ok) : 0;
    if (!ok || v < 0)
        usage();
    args.remove(at, 2);
    return v;
}

QString takeString(QStringList& args, const QString& name, const QString& fallback)
{
    const qsizetype at = args.indexOf(name);
    if (at < 0)
        return fallback;
    if (at + 1 >= args.size())
        usage();
    const QString v = args[at + 1];
    args.remove(at, 2);
    return v;
}

void takeServerAndDatabase(QStringList& args, QString& server, QString& database)
{
    const double rtt = takeDouble(args, QStringLiteral("--rtt"), -1);
    const QString upstream = takeString(args, QStringLiteral("--upstream"));
    if (args.size() != 2 || args[0].startsWith(u'-') || args[1].startsWith(u'-'))
        usage();
    server = args[0];
    database = args[1];
    if (rtt < 0)
        return;
    // The program always connects to port 5432: the relay listens there, on a loopback address of its own.
    const QString to = upstream.isEmpty() ? server + QStringLiteral("/.s.PGSQL.5432") : upstream;
    try {
        relay = std::make_unique<harness::Relay>(harness::freeLoopbackAddress(5432), 5432, to, rtt);
    } catch (const std::exception& e) {
        fail(e.what());
    }
    server = relay->address();
}

bool overLink()
{
    return relay != nullptr;
}

double linkRoundTripMs()
{
    return relay ? relay->roundTripMs() : 0;
}

quint64 roundTripsSoFar()
{
    return relay ? relay->roundTrips() : 0;
}

std::string linkDescription()
{
    if (!relay)
        return "reached directly";
    char text[160];
    std::snprintf(text, sizeof text, "reached through a link with a round trip of %g ms (relay on %s:%d)",
                  relay->roundTripMs(), qPrintable(relay->address()), relay->port());
    return text;
}

double msSince(Clock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double peakRssMiB()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_maxrss) / 1024.0; // KiB on Linux
}

void resetPeakRss()
{
    malloc_trim(0);
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5"); // resets the peak resident size (VmHWM)
}

double peakRssSinceResetMiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0; // kB
    return 0;
}

double heapInUseMiB()
{
    const struct mallinfo2 m = mallinfo2();
    return double(m.uordblks + m.hblkhd) / (1024.0 * 1024.0);
}

double currentRssMiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toDouble() * 4096.0 / (1024.0 * 1024.0) : 0;
}

double timeMs(const std::function<void()>& body)
{
    const auto t0 = Clock::now();
    body();
    return msSince(t0);
}

void Timings::time(const std::function<void()>& body)
{
    const double c0 = cpuMs();
    const auto t0 = Clock::now();
    const quint64 r0 = roundTripsSoFar();
    body();
    wall.push_back(msSince(t0));
    cpu.push_back(cpuMs() - c0);
    if (relay)
        roundTrips.push_back(double(roundTripsSoFar() - r0));
}

double Timings::medianRoundTrips() const
{
    return roundTrips.empty() ? -1 : median(roundTrips);
}

double median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

double minimum(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

QString boundText(const db::Dataset* d)
{
    QHash<QString, QVariant> params;
    for (const QString& name : d->paramNames())
        params.insert(name, d->param(name));
    return db::bindParams(d->sql(), params);
}

void prepareEnvironment()
{
    // The windows are real but need no screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QCoreApplication::setApplicationName(QStringLiteral("kesta_tabel"));
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
}

void startProgram(Windows& w, const QString& server, const QString& database)
{
    // A message box would wait for a click that never comes; the benchmarks check the messages instead.
    ui::Messages::setScripted(true);
    w.arg1 = database;
    w.arg2 = server;
    w.buildDate = QStringLiteral(__DATE__);
    w.buildTime = QStringLiteral(__TIME__);
    // No message loop runs here, so there is nothing to end.
    w.endMessageLoop = [] {};
    createWindows(w);
    if (w.terminateRequested || !w.database)
        fail("the program could not connect to database " + database.toStdString() + " at " + server.toStdString());
    // What a successful authorization sets before it shows the journal.
    for (int s = 1; s <= 4; ++s)
        w.database->smenaQuery(s)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
}

void expectNoMessages()
{
    if (!ui::Messages::shown().isEmpty())
        fail("the program showed a message: " + ui::Messages::shown().constFirst().text.toStdString());
}

PgSession::PgSession(const QString& server, const QString& database, bool asSuperuser)
{
    // The program's own connection settings (db::assembleConnectionString): port 5432, user sys.
    const char* keys[] = {"host", "port", "dbname", "user", "password", "sslmode", "connect_timeout", nullptr};
    const QByteArray host = server.toUtf8(), name = database.toUtf8();
    QByteArray user = "sys";
    if (asSuperuser) {
        QFile f(server + QStringLiteral("/../superuser"));
        if (f.open(QIODevice::ReadOnly))
            user = f.readAll().trimmed();
    }
    const char* values[] = {host.constData(), "5432", name.constData(), user.constData(), "wumbral",
                            "allow",          "10",   nullptr};
    conn_ = PQconnectdbParams(keys, values, 0);
    if (PQstatus(conn_) != CONNECTION_OK)
        fail(std::string("libpq connection: ") + PQerrorMessage(conn_));
    for (const char* s : {"SET DateStyle TO 'ISO, DMY'", "SET standard_conforming_strings TO on",
                          "SET client_encoding TO 'UTF8'"})
        run(QByteArray(s));
}

PgSession::~PgSession()
{
    PQfinish(conn_);
}

int PgSession::run(const QByteArray& text)
{
    PGresult* r = PQexec(conn_, text.constData());
    const ExecStatusType st = PQresultStatus(r);
    if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK) {
        const std::string err = PQresultErrorMessage(r);
        PQclear(r);
        fail("libpq: " + text.left(200).toStdString() + ": " + err);
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

std::vector<int> PgSession::runTogether(const std::vector<QByteArray>& texts)
{
    std::vector<int> counts;
    if (PQenterPipelineMode(conn_) != 1)
        fail(std::string("libpq pipeline: ") + PQerrorMessage(conn_));
    for (const QByteArray& t : texts)
        if (PQsendQueryParams(conn_, t.constData(), 0, nullptr, nullptr, nullptr, nullptr, 0) != 1)
            fail(std::string("libpq pipeline: ") + PQerrorMessage(conn_));
    if (PQpipelineSync(conn_) != 1)
        fail(std::string("libpq pipeline: ") + PQerrorMessage(conn_));
    for (;;) {
        PGresult* r = PQgetResult(conn_);
        if (!r) {
            if (PQstatus(conn_) != CONNECTION_OK)
                fail(std::string("libpq pipeline: ") + PQerrorMessage(conn_));
            continue;
        }
        const ExecStatusType st = PQresultStatus(r);
        if (st == PGRES_PIPELINE_SYNC) {
            PQclear(r);
            break;
        }
        if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK) {
            const std::string err = PQresultErrorMessage(r);
            PQclear(r);
            fail("libpq pipeline: " + err);
        }
        const int rows = PQntuples(r), cols = PQnfields(r);
        for (int i = 0; i < rows; ++i)
            for (int c = 0; c < cols; ++c) {
                const char* v = PQgetvalue(r, i, c);
                checksum += std::strlen(v) + static_cast<unsigned char>(v[0]);
            }
        counts.push_back(rows);
        PQclear(r);
    }
    PQexitPipelineMode(conn_);
    return counts;
}

int PgSession::runHeld(const std::vector<QByteArray>& texts)
{
    std::vector<PGresult*> held;
    int rows = 0;
    for (const QByteArray& text : texts) {
        PGresult* r = PQexec(conn_, text.constData());
        held.push_back(r);
        if (PQresultStatus(r) != PGRES_TUPLES_OK) {
            const std::string err = PQresultErrorMessage(r);
            for (PGresult* h : held)
                PQclear(h);
            fail("libpq: " + text.left(200).toStdString() + ": " + err);
        }
        const int n = PQntuples(r), cols = PQnfields(r);
        for (int i = 0; i < n; ++i)
            for (int c = 0; c < cols; ++c) {
                const char* v = PQgetvalue(r, i, c);
                checksum += std::strlen(v) + static_cast<unsigned char>(v[0]);
            }
        rows += n;
    }
    for (PGresult* h : held)
        PQclear(h);
    return rows;
}

QString PgSession::value(const QByteArray& text)
{
    PGresult* r = PQexec(conn_, text.constData());
    if (PQresultStatus(r) != PGRES_TUPLES_OK) {
        const std::string err = PQresultErrorMessage(r);
        PQclear(r);
        fail("libpq: " + text.left(200).toStdString() + ": " + err);
    }
    const QString v = PQntuples(r) > 0 && PQnfields(r) > 0 ? QString::fromUtf8(PQgetvalue(r, 0, 0)) : QString();
    PQclear(r);
    return v;
}

void keep(size_t value)
{
    static volatile size_t sink;
    sink = value;
}

} // namespace bench
