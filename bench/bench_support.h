// What every benchmark program needs: the program started on the benchmark's database, a libpq connection of our
// own for the lower bound, timing (wall and client CPU), medians, memory, options and failing.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

struct pg_conn;
struct Windows;

namespace db {
class Dataset;
}

namespace bench {

using Clock = std::chrono::steady_clock;

// The name in front of every failure and usage line, and the usage text itself (without "usage: ").
void setProgram(const char* name, const char* usageText);
[[noreturn]] void fail(const std::string& what);
[[noreturn]] void usage();

// Splits off "--name N"; the fallback when absent; usage() when N is not a whole number of at least min.
int takeInt(QStringList& args, const QString& name, int fallback, int min = 1);
// Splits off "--name X" for a number X of at least 0; the fallback when absent.
double takeDouble(QStringList& args, const QString& name, double fallback);
// Splits off "--name TEXT"; the fallback when absent.
QString takeString(QStringList& args, const QString& name, const QString& fallback = {});
// The two positional arguments SOCKET_OR_HOST DATABASE after the options are taken; usage() otherwise.
// With "--rtt MS" (taken here, as "--upstream HOST:PORT|SOCKET_FILE") the benchmark runs over a slow link: a relay
// with that round trip (net_relay.h) in front of the upstream (by default the server's socket, SOCKET_OR_HOST/
// .s.PGSQL.5432), and server is set to the relay's address, so that the program and the lower bounds both go
// through it.
void takeServerAndDatabase(QStringList& args, QString& server, QString& database);
// Whether the benchmark runs over the relay, its round trip in ms, and the round trips it has carried so far.
bool overLink();
double linkRoundTripMs();
quint64 roundTripsSoFar();
// A line that says how the server was reached ("local socket" or "a link with a round trip of 2 ms").
std::string linkDescription();

double msSince(Clock::time_point t0);
// CPU time of this process (all its threads), in ms: the client's own work, without the server's and the waiting.
double cpuMs();
double peakRssMiB();
double currentRssMiB();
// Heap memory in use by the program's allocations (all arenas, mapped blocks included), MiB.
double heapInUseMiB();
double timeMs(const std::function<void()>& body);

// One kind of run: wall times and the client's CPU times.
struct Timings {
    std::vector<double> wall;
    std::vector<double> cpu;
    std::vector<double> roundTrips; // counted by the relay (none without one)
    void time(const std::function<void()>& body);
    // The median of the round trips of one run; -1 without a relay.
    double medianRoundTrips() const;
};

double median(std::vector<double> v);
double minimum(const std::vector<double>& v);

// The text a dataset sends for its current parameters, bound the way the dataset binds them.
QString boundText(const db::Dataset* d);

// Sets up the process for a benchmark: offscreen windows, the program's name and the Russian locale. Call before
// constructing the QApplication.
void prepareEnvironment();
// Creates the program's windows connected to the database as the program does at start (messages scripted, so
// nothing waits for a click), and sets what a successful authorization sets. Fails when the program cannot connect.
void startProgram(Windows& w, const QString& server, const QString& database);
// Fails with the first message the program showed, if any.
void expectNoMessages();

// A connection of our own with the program's settings (port 5432, user sys, the same session settings).
// Peak resident memory: started again from the present resident size (freed heap memory handed back to the system
// first), and read, in MiB. A step's peak growth is the second after the first, less the resident size before it.
void resetPeakRss();
double peakRssSinceResetMiB();

class PgSession {
public:
    // As the program's user sys; asSuperuser: as the cluster's superuser (db/pgcluster.sh names it beside the socket
    // folder), for settings sys may not make.
    PgSession(const QString& server, const QString& database, bool asSuperuser = false);
    ~PgSession();
    PgSession(const PgSession&) = delete;
    PgSession& operator=(const PgSession&) = delete;

    // Runs a statement and reads every cell of its rows (into checksum); returns the row count.
    int run(const QByteArray& text);
    // Runs the statements in one round trip (pipeline mode), each read as run() reads; returns their row counts.
    std::vector<int> runTogether(const std::vector<QByteArray>& texts);
    int run(const QString& text) { return run(text.toUtf8()); }
    // Runs the statements one after another and reads every cell, holding every result until the last is read (as
    // a window holds the datasets it shows); returns the rows of all.
    int runHeld(const std::vector<QByteArray>& texts);
    // The first cell of the first row; empty when there is no row.
    QString value(const QByteArray& text);
    QString value(const QString& text) { return value(text.toUtf8()); }

    // Only keeps the reads from being optimized away.
    size_t checksum = 0;

private:
    pg_conn* conn_ = nullptr;
};

// Keeps a value alive so that the work producing it is not optimized away.
void keep(size_t value);

} // namespace bench
