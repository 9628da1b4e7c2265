// The live journal on a large database: another workstation changes a row of today's shift 1 and commits; the time
// from its commit to the journal having read the shift again by itself (the announcement heard, the re-read done,
// the grid and the totals reset), over the same re-read's statement sent straight through libpq.
//
//   bench_live SOCKET_OR_HOST DATABASE [--repeat N]
//
// The changes are spaced beyond the journal's 300 ms between re-reads, so that each one is read at once. Only
// ratios mean anything across machines.
#include "bench_support.h"

#include "app/authorization_window.h"
#include "app/startup.h"
#include "app/window_registry.h"
#include "db/data_module.h"
#include "journal/journal_window.h"

#include <QApplication>
#include <QEventLoop>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace {

constexpr double kGoal = 1.5;

double percentile(std::vector<double> v, double p)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[std::min(v.size() - 1, static_cast<size_t>(p * static_cast<double>(v.size())))];
}

} // namespace

int main(int argc, char* argv[])
{
    bench::setProgram("bench_live", "SOCKET_OR_HOST DATABASE [--repeat N]");
    bench::prepareEnvironment();
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    const int repeat = bench::takeInt(args, QStringLiteral("--repeat"), 100);
    QString server, database;
    bench::takeServerAndDatabase(args, server, database);

    Windows w;
    bench::startProgram(w, server, database);
    Database* dm = w.database;
    db::Dataset* journal = dm->Smena1;
    bench::PgSession other(server, database), pg(server, database);

    std::vector<double> live, bound;
    int rows = 0;
    // The journal shown as after the authorization (modally: it re-reads only while it is the active window).
    QTimer::singleShot(0, w.journal, [&] {
        if (journal->isEmpty())
            bench::fail("today's shift 1 has no rows (is the journal up to today? bench/make_large.sh)");
        const QString id = QString::number(journal->asLongLong(QStringLiteral("id")));
        const QByteArray text = bench::boundText(journal).toUtf8();
        rows = journal->recordCount();
        QEventLoop loop;
        bench::Clock::time_point committed;
        double last = -1;
        QObject::connect(journal, &db::Dataset::opened, &loop, [&] {
            last = bench::msSince(committed);
            loop.quit();
        });
        for (int i = -3; i < repeat; ++i) { // three warm-up changes
            QThread::msleep(350);
            QApplication::processEvents();
            last = -1;
            // Each change is committed by its own statement: the time counts from its return.
            other.run(QByteArrayLiteral("update accounts_dep.smena set time = time where id = ") + id.toUtf8());
            committed = bench::Clock::now();
            QTimer::singleShot(5000, &loop, &QEventLoop::quit);
            loop.exec();
            if (last < 0)
                bench::fail("the journal did not read the change again within 5 s");
            if (i >= 0) {
                live.push_back(last);
                bound.push_back(bench::timeMs([&] { pg.run(text); }));
            }
        }
        w.journal->close();
    });
    w.authorization->hide();
    w.journal->exec();
    bench::expectNoMessages();

    const double median = bench::median(live), boundMedian = bench::median(bound);
    std::printf("database %s at %s, today's shift 1: %d rows, %d changes\n", qPrintable(database), qPrintable(server),
                rows, repeat);
    std::printf("  the shift's statement alone (libpq)        %8.2f ms\n", boundMedian);
    std::printf("  commit elsewhere -> journal read again     %8.2f ms median, %8.2f ms p99\n", median,
                percentile(live, 0.99));
    std::printf("goal: live ratio <= %.1f\n", kGoal);
    std::printf("live ratio: %.2f (p99 %.2f)\n", median / boundMedian, percentile(live, 0.99) / boundMedian);
    destroyWindows(w);
    bench::keep(other.checksum + pg.checksum);
    return 0;
}
