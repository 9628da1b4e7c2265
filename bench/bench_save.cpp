// The save of one new journal row ("Запись" of the entry editor) on a large database, against the same statements
// sent straight through libpq in one transaction.
//
//   bench_save SOCKET_OR_HOST DATABASE [--repeat N]
//
// Program: TForm11::Button1Click() on an editor filled as the two choosers and the typing leave it, for a
// painting operation of today's shift 1 in the journal: the row-key lock, the duplicate check, the INSERT, the
// timesheet cell rewritten (month and worker locks, row count, the day's sum, the update) and the commit, then
// the journal query of the shift re-read for the whole day, the timesheet queries closed and the boxes cleared.
// Lower bound: the same statement texts (the program's own builders, for the same values) through PQexec on a
// connection of our own, in one transaction, the journal's rows read cell by cell with PQgetvalue.
// Each save writes its own row (the colour number differs), so no save is refused as a duplicate; the rows are
// removed and the timesheet cell recomputed at the end. Runs are interleaved; only the ratio means anything.
#include "app/authorization_window.h"
#include "app/startup.h"
#include "db/command.h"
#include "db/data_module.h"
#include "db/timesheet_hours_sql.h"
#include "journal/entry_editor.h"
#include "journal/journal_sql.h"
#include "journal/journal_window.h"
#include "ui/messages.h"
#include "ui/window_registry.h"

#include <libpq-fe.h>

#include <QApplication>
#include <QLocale>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWarmUp = 3;
constexpr double kGoal = 1.5;
// Colour numbers of the rows this benchmark writes; far above any real colour.
constexpr int kProgramColours = 1'000'000;
constexpr int kLibpqColours = 2'000'000;

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

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

double minimum(const std::vector<double>& v)
{
    return *std::min_element(v.begin(), v.end());
}

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "bench_save: %s\n", what.c_str());
    std::exit(1);
}

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
        const char* keys[] = {"host", "port", "dbname", "user", "password", "sslmode", "connect_timeout", nullptr};
        const QByteArray host = server.toUtf8(), name = database.toUtf8();
        const char* values[] = {host.constData(), "5432", name.constData(), "sys", "wumbral", "allow", "10", nullptr};
        conn_ = PQconnectdbParams(keys, values, 0);
        if (PQstatus(conn_) != CONNECTION_OK)
            fail(std::string("libpq connection: ") + PQerrorMessage(conn_));
        for (const char* s : {"SET DateStyle TO 'ISO, DMY'", "SET standard_conforming_strings TO on",
                              "SET client_encoding TO 'UTF8'"})
            run(QByteArray(s));
    }
    ~PgSession() { PQfinish(conn_); }
    PgSession(const PgSession&) = delete;
    PgSession& operator=(const PgSession&) = delete;

    // Runs a statement; reads every cell of its rows into checksum; returns the row count.
    int run(const QByteArray& text)
    {
        PGresult* r = PQexec(conn_, text.constData());
        const ExecStatusType st = PQresultStatus(r);
        if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK) {
            const std::string err = PQresultErrorMessage(r);
            PQclear(r);
            fail("libpq: " + text.toStdString() + ": " + err);
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
    int run(const QString& text) { return run(text.toUtf8()); }
    QString value(const QString& text)
    {
        PGresult* r = PQexec(conn_, text.toUtf8().constData());
        if (PQresultStatus(r) != PGRES_TUPLES_OK)
            fail("libpq: " + text.toStdString() + ": " + PQresultErrorMessage(r));
        const QString v = PQntuples(r) > 0 ? QString::fromUtf8(PQgetvalue(r, 0, 0)) : QString();
        PQclear(r);
        return v;
    }

    size_t checksum = 0;

private:
    PGconn* conn_ = nullptr;
};

void usage()
{
    std::fprintf(stderr, "usage: bench_save SOCKET_OR_HOST DATABASE [--repeat N]\n");
    std::exit(64);
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

    QStringList args = QApplication::arguments().mid(1);
    int repeat = 40;
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
    ui::Messages::setScripted(true);

    Windows w;
    w.arg1 = database;
    w.arg2 = server;
    w.buildDate = QStringLiteral(__DATE__);
    w.buildTime = QStringLiteral(__TIME__);
    w.endMessageLoop = [] {};
    createWindows(w);
    if (w.terminateRequested || !w.DataModule6)
        fail("the program could not connect to database " + database.toStdString() + " at " + server.toStdString());
    TDataModule6* dm = w.DataModule6;
    for (int s = 1; s <= 4; ++s)
        dm->smenaQuery(s)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
    w.Form23->hide();
    w.Form1->show(); // activation: today, shift 1
    db::Dataset* journal = dm->Smena1;
    if (journal->isEmpty())
        fail("today's shift 1 has no rows (is the journal up to today? bench/make_large.sh)");

    PgSession pg(server, database);
    const QDate today = QDate::currentDate();
    // The worker of the journal's first row and a painting operation of the price list.
    const qint64 worker = journal->asLongLong(QStringLiteral("w_id"));
    const QString workerName = journal->asString(QStringLiteral("fio")).trimmed();
    dm->Oper->open();
    if (!dm->Oper->locate(QStringLiteral("VID"), QStringLiteral("КРАСКА")))
        fail("the price list has no painting operation");
    const qint64 oper = dm->Oper->asLongLong(QStringLiteral("id"));
    const qint64 product = dm->Oper->asLongLong(QStringLiteral("i_id"));
    const double price = dm->Oper->asDouble(QStringLiteral("cena"));
    const QString operText = dm->Oper->asString(QStringLiteral("MARKA")).trimmed() + QStringLiteral("; КРАСКА; ") +
                             dm->Oper->asString(QStringLiteral("nmn")).trimmed();
    dm->Oper->close();
    const QString cleanup = QStringLiteral("delete from accounts_dep.smena where w_id=%1 and o_id=%2 and data='%3' and "
                                           "color >= %4")
                                .arg(worker)
                                .arg(oper)
                                .arg(today.toString(Qt::ISODate))
                                .arg(kProgramColours);
    pg.run(cleanup); // rows a broken earlier run may have left

    TForm11* editor = w.Form11;
    int programColour = kProgramColours, libpqColour = kLibpqColours;
    auto fill = [&] {
        editor->prepareNew(today);
        editor->Edit1->setText(workerName);
        editor->FWorkerId = static_cast<qint32>(worker);
        editor->Edit2->setText(operText);
        editor->FOperId = static_cast<qint32>(oper);
        editor->FProductId = static_cast<qint32>(product);
        editor->FPrice = price;
        editor->Edit3->setText(QStringLiteral("12"));
        editor->Edit6->setText(QStringLiteral("1"));
        editor->Edit5->setEnabled(true);
        editor->Edit5->setText(QString::number(++programColour));
    };
    auto programSave = [&] {
        editor->Button1Click();
        if (!editor->Edit1->text().isEmpty() || !ui::Messages::shown().isEmpty())
            fail("the save did not go through: " +
                 (ui::Messages::shown().isEmpty() ? std::string("the editor kept its input")
                                                  : ui::Messages::shown().constFirst().text.toStdString()));
    };

    const int month = today.month(), year = today.year(), day = today.day();
    auto libpqSave = [&] {
        journal_sql::EntryRow row;
        row.workerId = worker;
        row.operId = oper;
        row.productId = product;
        row.price = price;
        row.quantity = QStringLiteral("12");
        row.rejects = QStringLiteral("0");
        row.hours = QStringLiteral("1");
        row.color = ++libpqColour;
        row.shift = 1;
        row.date = today;
        row.today = today;
        const QString journalText = boundText(journal);
        pg.run(QByteArrayLiteral("begin"));
        pg.run(journal_sql::lockRowKey(row));
        pg.run(journal_sql::duplicateOfNew(row));
        pg.run(journal_sql::insertRow(row));
        pg.run(db::hours_sql::lockMonthShared(month, year));
        pg.run(db::hours_sql::lockWorkerMonth(worker, 1, month, year));
        const int rows = pg.value(db::hours_sql::timesheetRowCount(worker, 1, month, year)).toInt();
        const qint64 hours = pg.value(db::hours_sql::hoursOfDay(worker, 1, today)).toLongLong();
        pg.run(rows ? db::hours_sql::setDay(day, hours, worker, 1, month, year)
                    : db::hours_sql::insertDay(1, worker, month, year, day, hours));
        pg.run(QByteArrayLiteral("commit"));
        pg.run(journalText);
    };

    for (int i = 0; i < kWarmUp; ++i) {
        fill();
        programSave();
        libpqSave();
    }
    Timings tProgram, tLibpq;
    for (int i = 0; i < repeat; ++i) {
        // The boxes are filled outside the timing: that is the user's typing.
        if (i % 2 == 0) {
            fill();
            tProgram.time(programSave);
            tLibpq.time(libpqSave);
        } else {
            tLibpq.time(libpqSave);
            fill();
            tProgram.time(programSave);
        }
    }
    const int journalRows = journal->recordCount();
    QString countWritten = cleanup;
    countWritten.replace(QStringLiteral("delete from"), QStringLiteral("select count(*) from"));
    const int written = pg.value(countWritten).toInt();

    // Leave the database as it was: the rows gone and the day's cell summed again.
    pg.run(QByteArrayLiteral("begin"));
    pg.run(cleanup);
    pg.run(db::hours_sql::setDay(day, pg.value(db::hours_sql::hoursOfDay(worker, 1, today)).toLongLong(), worker, 1,
                                 month, year));
    pg.run(QByteArrayLiteral("commit"));

    std::printf("database %s at %s, today %s: worker %lld, painting operation %lld, %d runs each after %d warm-up "
                "runs\n",
                qPrintable(database), qPrintable(server), qPrintable(today.toString(Qt::ISODate)),
                static_cast<long long>(worker), static_cast<long long>(oper), repeat, kWarmUp);
    std::printf("  journal of shift 1 re-read with %d rows per save; %d rows written\n", journalRows, written);
    if (written != 2 * (repeat + kWarmUp))
        fail("not every save wrote its row");
    const double pm = median(tProgram.wall), lm = median(tLibpq.wall);
    std::printf("%-36s %10s %10s %15s\n", "", "median ms", "min ms", "client CPU ms");
    std::printf("%-36s %10.2f %10.2f %15.2f\n", "libpq, one transaction", lm, minimum(tLibpq.wall),
                median(tLibpq.cpu));
    std::printf("%-36s %10.2f %10.2f %15.2f\n", "program TForm11::Button1Click()", pm, minimum(tProgram.wall),
                median(tProgram.cpu));
    std::printf("goal: within %.1f times the libpq bound\n", kGoal);
    std::printf("save ratio: %.2f\n", pm / lm);

    destroyWindows(w);
    static volatile size_t sink;
    sink = pg.checksum;
    return 0;
}
