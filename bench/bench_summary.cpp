// The month's summary on a large database, beside a lower bound measured in the same run.
//
//   bench_summary SOCKET_OR_HOST DATABASE [--repeat N] [--month M --year Y]
//
// Program: the window "Сводка за месяц" showing a month: its three statements read through the reports' connection,
// the series and figures made of them, the three charts and the words set and painted. Floor: the same three
// statements (same texts, same parameters) through libpq, every cell read. The month is last month unless given.
// Runs are interleaved so that machine noise falls on both alike. The last line is "summary ratio: X.XX".
#include "bench_support.h"

#include "app/authorization_window.h"
#include "app/startup.h"
#include "app/window_registry.h"
#include "db/command.h"
#include "summary/summary_sql.h"
#include "summary/summary_window.h"

#include <QApplication>
#include <QDate>

#include <cstdio>

namespace {

constexpr double kGoal = 1.5;
constexpr int kWarmUp = 2;

} // namespace

int main(int argc, char* argv[])
{
    bench::setProgram("bench_summary", "SOCKET_OR_HOST DATABASE [--repeat N] [--month M --year Y]");
    bench::prepareEnvironment();
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    const int repeat = bench::takeInt(args, QStringLiteral("--repeat"), 20);
    const QDate lastMonth = QDate::currentDate().addMonths(-1);
    const int month = bench::takeInt(args, QStringLiteral("--month"), lastMonth.month());
    const int year = bench::takeInt(args, QStringLiteral("--year"), lastMonth.year());
    QString server, database;
    bench::takeServerAndDatabase(args, server, database);

    Windows w;
    bench::startProgram(w, server, database);
    w.authorization->hide();
    SummaryWindow* summary = w.summary;
    summary->resize(1000, 700);
    summary->show();
    summary->chooseMonth(year, month);
    auto programShow = [&] {
        summary->FormActivate();
        summary->repaint();
        bench::expectNoMessages();
    };

    const QDate first(year, month, 1);
    const QHash<QString, QVariant> params{{QStringLiteral("data1"), first},
                                          {QStringLiteral("data2"), first.addMonths(1)},
                                          {QStringLiteral("prev1"), first.addMonths(-1)}};
    const QByteArray texts[] = {db::bindParams(summary_sql::byDayAndShift(), params).toUtf8(),
                                db::bindParams(summary_sql::byWorker(), params).toUtf8(),
                                db::bindParams(summary_sql::figures(), params).toUtf8()};
    bench::PgSession pg(server, database);
    int floorRows = 0;
    auto floorShow = [&] {
        floorRows = 0;
        for (const QByteArray& t : texts)
            floorRows += pg.run(t);
    };

    for (int i = 0; i < kWarmUp; ++i) {
        programShow();
        floorShow();
    }
    bench::Timings tProgram, tFloor;
    for (int i = 0; i < repeat; ++i) {
        if (i % 2 == 0) {
            tProgram.time(programShow);
            tFloor.time(floorShow);
        } else {
            tFloor.time(floorShow);
            tProgram.time(programShow);
        }
    }
    const summary::MonthSummary& shown = summary->shown();
    if (shown.year != year || shown.month != month)
        bench::fail("the window did not show the month asked for");
    if (shown.current.rows == 0)
        bench::fail("the month has no journal rows (is the large database made? bench/make_large.sh)");

    std::printf("database %s at %s: the summary of %02d.%d, %lld journal rows, %lld earners; %d runs each after %d "
                "warm-up runs\n",
                qPrintable(database), qPrintable(server), month, year, static_cast<long long>(shown.current.rows),
                static_cast<long long>(shown.earners.size()), repeat, kWarmUp);
    std::printf("  server %s\n", bench::linkDescription().c_str());
    std::printf("%-52s %10s %10s %15s\n", "", "median ms", "min ms", "client CPU ms");
    auto line = [](const char* name, const bench::Timings& t) {
        std::printf("%-52s %10.2f %10.2f %15.2f\n", name, bench::median(t.wall), bench::minimum(t.wall),
                    bench::median(t.cpu));
    };
    line("libpq, the three statements, every cell read", tFloor);
    line("program, the window showing the month", tProgram);
    std::printf("  floor rows read: %d\n", floorRows);
    std::printf("goal: summary ratio <= %.1f\n", kGoal);
    std::printf("summary ratio: %.2f\n", bench::median(tProgram.wall) / bench::median(tFloor.wall));
    return 0;
}
