// The journal window's activation on a large database, against the same four shift statements sent straight
// through libpq.
//
//   bench_journal SOCKET_OR_HOST DATABASE [--repeat N] [--rtt MS [--upstream HOST:PORT]]
//
// Program: JournalWindow::FormActivate() on the shown journal window, for today: the four shift queries closed, given
// the day and opened again, the grid and the totals line following Smena1. It runs synchronously, so the time
// from the call to its return covers the statements, the fetch, the datasets' conversion and the grid's reset.
// Lower bound: the four statement texts the datasets sent (same parameters, bound by db::bindParams) executed
// with PQexec on a connection of our own with the same session settings, every cell read with PQgetvalue.
// Also shown, to tell the connection's share from the datasets': the same texts through db::execStatement on the
// program's own connection, every cell read with value().
// The office bound: the same four texts sent together in one round trip (libpq's pipeline mode), i.e. one round
// trip plus the statements' server time; over a link (--rtt) the program's day should open in that.
// The runs are interleaved (the order rotates each iteration) so that machine noise falls on all of them alike.
// Only ratios to the lower bound mean anything across machines; nothing here fails on a time.
#include "bench_support.h"

#include "app/authorization_window.h"
#include "app/startup.h"
#include "app/window_registry.h"
#include "db/command.h"
#include "db/data_module.h"
#include "harness/widgets.h"
#include "journal/journal_window.h"
#include "ui/dataset_grid.h"
#include "ui/messages.h"

#include <QApplication>
#include <QLocale>

#include <array>
#include <cstdio>
#include <exception>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kWarmUp = 3;
constexpr double kGoal = 1.3;
constexpr double kOfficeGoal = 1.3;

struct Stats {
    double median = 0;
    double min = 0;
};

Stats stats(const std::vector<double>& v)
{
    return {bench::median(v), bench::minimum(v)};
}

} // namespace

int main(int argc, char* argv[])
{
    bench::setProgram("bench_journal", "SOCKET_OR_HOST DATABASE [--repeat N] [--rtt MS [--upstream HOST:PORT]]");
    bench::prepareEnvironment();
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    const int repeat = bench::takeInt(args, QStringLiteral("--repeat"), 30);
    QString server, database;
    bench::takeServerAndDatabase(args, server, database);

    Windows w;
    bench::startProgram(w, server, database);
    Database* dm = w.database;

    bench::PgSession pg(server, database);
    const double rssBefore = bench::peakRssMiB();

    auto activate = [&] {
        try {
            w.journal->FormActivate();
        } catch (const std::exception& e) {
            bench::fail(std::string("FormActivate: ") + e.what());
        }
    };
    // As after the authorization: the journal on screen (its first activation comes with showing it).
    w.authorization->hide();
    w.journal->show();
    for (int i = 0; i < kWarmUp; ++i)
        activate();
    bench::expectNoMessages();

    std::array<int, 4> programRows{};
    for (int s = 1; s <= 4; ++s)
        programRows[s - 1] = dm->smenaQuery(s)->recordCount();
    const int gridRows = widget<ui::DbGrid>(w.journal, "DBGrid2")->model()->rowCount();

    // The texts the datasets sent for today, taken again before each run in case the day changes meanwhile.
    std::array<QByteArray, 4> texts;
    std::array<QString, 4> qtexts;
    auto takeTexts = [&] {
        for (int s = 1; s <= 4; ++s) {
            qtexts[s - 1] = bench::boundText(dm->smenaQuery(s));
            texts[s - 1] = qtexts[s - 1].toUtf8();
        }
    };

    size_t checksum = 0;
    std::array<int, 4> libpqRows{};
    auto runLibpq = [&] {
        for (int s = 0; s < 4; ++s)
            libpqRows[s] = pg.run(texts[s]);
    };
    std::array<int, 4> pipelinedRows{};
    auto runPipelined = [&] {
        const std::vector<int> counts = pg.runTogether({texts.begin(), texts.end()});
        for (int s = 0; s < 4 && s < int(counts.size()); ++s)
            pipelinedRows[s] = counts[s];
    };
    std::array<int, 4> qtsqlRows{};
    auto runQtSql = [&] {
        for (int s = 0; s < 4; ++s) {
            db::Result q = db::execStatement(dm->ADO_DB.name(), qtexts[s]);
            const int cols = q.columnCount();
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
        runPipelined();
        runQtSql();
    }

    bench::Timings tProgram, tLibpq, tPipelined, tQtSql;
    const std::array<std::function<void()>, 4> kinds = {
        [&] { tProgram.time(activate); },
        [&] {
            takeTexts();
            tLibpq.time(runLibpq);
        },
        [&] {
            takeTexts();
            tQtSql.time(runQtSql);
        },
        [&] {
            takeTexts();
            tPipelined.time(runPipelined);
        },
    };
    for (int i = 0; i < repeat; ++i)
        for (size_t k = 0; k < kinds.size(); ++k)
            kinds[(i + k) % kinds.size()]();
    const double rssAfter = bench::peakRssMiB();
    bench::expectNoMessages();

    std::printf("database %s at %s, today %s, %d runs each after %d warm-up runs\n", qPrintable(database),
                qPrintable(server), qPrintable(QDate::currentDate().toString(Qt::ISODate)), repeat, kWarmUp);
    std::printf("server %s\n", bench::linkDescription().c_str());
    bool countsOk = gridRows == programRows[0];
    for (int s = 0; s < 4; ++s) {
        std::printf("  shift %d: program %d rows, libpq %d rows, execStatement %d rows\n", s + 1, programRows[s],
                    libpqRows[s], qtsqlRows[s]);
        countsOk = countsOk && programRows[s] > 0 && programRows[s] == libpqRows[s] && programRows[s] == qtsqlRows[s] &&
                   programRows[s] == pipelinedRows[s];
    }
    std::printf("  grid rows (shift 1 shown): %d\n", gridRows);
    if (!countsOk)
        bench::fail("row counts differ or a shift has no rows today (is the journal up to today? bench/make_large.sh)");

    const Stats p = stats(tProgram.wall), l = stats(tLibpq.wall), q = stats(tQtSql.wall), o = stats(tPipelined.wall);
    const double lCpu = stats(tLibpq.cpu).median;
    std::printf("%-34s %10s %10s %11s %11s %15s %12s\n", "", "median ms", "min ms", "ratio(med)", "ratio(min)",
                "client CPU ms", "round trips");
    auto line = [&](const char* name, const Stats& s, const bench::Timings& t) {
        const double trips = t.medianRoundTrips();
        std::printf("%-34s %10.2f %10.2f %11.2f %11.2f %15.2f %12s\n", name, s.median, s.min, s.median / l.median,
                    s.min / l.min, stats(t.cpu).median,
                    trips < 0 ? "-" : QByteArray::number(trips, 'f', 0).constData());
    };
    line("libpq PQexec + PQgetvalue (bound)", l, tLibpq);
    line("libpq pipelined (office bound)", o, tPipelined);
    line("execStatement + value()", q, tQtSql);
    line("program FormActivate()", p, tProgram);
    std::printf("the program's own work over the bound: %.2f ms of client CPU per activation (median)\n",
                stats(tProgram.cpu).median - lCpu);
    std::printf("peak RSS: %.1f MiB before the first activation, %.1f MiB at the end (+%.1f MiB)\n", rssBefore,
                rssAfter, rssAfter - rssBefore);
    std::printf("journal activation: program %.1f ms, libpq %.1f ms, ratio %.2f (goal <= %.1f); peak RSS %.0f MiB\n",
                p.median, l.median, p.median / l.median, kGoal, rssAfter);
    if (bench::overLink())
        std::printf("office journal: program %.1f ms in %.0f round trips, libpq in %.0f round trip %.1f ms\n",
                    p.median, tProgram.medianRoundTrips(), tPipelined.medianRoundTrips(), o.median);
    std::printf("office journal ratio: %.2f (goal <= %.1f%s)\n", p.median / o.median, kOfficeGoal,
                bench::overLink() ? "" : "; meant for a link: --rtt 2");

    // Memory: a day twenty times the shop's. Today's rows are copied nineteen times more (the copies marked in a
    // column the journal does not show as a number anyone enters), the four shifts read, then the copies and their
    // history rows deleted again. Copies a failed run left behind go first.
    const QByteArray kDropCopies = "delete from accounts_dep.smena where data = current_date and id_cons_use = -20";
    const QByteArray kDropCopiesHistory =
        "delete from accounts_dep.smena_history where day = current_date "
        "and (new_row->>'id_cons_use' = '-20' or old_row->>'id_cons_use' = '-20')";
    pg.run(kDropCopies);
    pg.run(kDropCopiesHistory);
    pg.run(QByteArray("insert into accounts_dep.smena (w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, "
                      "ok, vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) "
                      "select w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod, prize, id_doc, "
                      "id_doc_item, f_gds_qty_use, id_gds_use, -20 from accounts_dep.smena, generate_series(1, 19) "
                      "where data = current_date"));
    auto growth = [](const std::function<void()>& step) {
        bench::resetPeakRss();
        const double before = bench::currentRssMiB();
        step();
        return bench::peakRssSinceResetMiB() - before;
    };
    auto closeShifts = [&] {
        for (int s = 1; s <= 4; ++s)
            dm->smenaQuery(s)->close();
    };
    activate(); // caches sized for the larger day
    takeTexts();
    const std::vector<QByteArray> held(texts.begin(), texts.end());
    int bigRows = 0, bigLibpqRows = 0;
    std::vector<double> memProgram, memLibpq;
    for (int i = 0; i < 3; ++i) {
        closeShifts();
        memLibpq.push_back(growth([&] { bigLibpqRows = pg.runHeld(held); }));
        memProgram.push_back(growth(activate));
    }
    for (int s = 1; s <= 4; ++s)
        bigRows += dm->smenaQuery(s)->recordCount();
    closeShifts();
    pg.run(kDropCopies);
    pg.run(kDropCopiesHistory);
    bench::expectNoMessages();
    if (bigRows != bigLibpqRows)
        bench::fail("row counts of the larger day differ");
    const double memP = bench::median(memProgram), memL = bench::median(memLibpq);
    std::printf("a day twenty times as large (%d rows in the four shifts): peak memory growth of the activation "
                "%.1f MiB (program), %.1f MiB (libpq results held)   ratio %.2f (goal <= 2)\n",
                bigRows, memP, memL, memP / memL);
    std::printf("journal memory ratio: %.2f\n", memP / memL);

    destroyWindows(w);
    bench::keep(checksum + pg.checksum);
    return 0;
}
