// Reports on a hot standby: the year's detailed report by worker read through the reports' connection with a
// standby listed (the report runs on the standby) over the same with only the primary listed, and the journal's
// day open on the primary measured while that report runs over and over beside it, on the standby or on the primary.
//
//   bench_standby PRIMARY_SOCKET_OR_HOST STANDBY_SOCKET_OR_HOST DATABASE [--repeat N] [--year YYYY]
//
// Report, program: what "Детальный отчет по рабочим" does up to the preview (query into the dataset, layout, PDF).
// Journal: JournalWindow::FormActivate() for today on the primary. The report beside it is the same statement sent through
// libpq in a loop from a thread of its own. Only ratios mean anything across machines.
#include "bench_support.h"

#include "app/authorization_window.h"
#include "app/startup.h"
#include "app/window_registry.h"
#include "db/data_module.h"
#include "harness/widgets.h"
#include "journal/journal_window.h"
#include "reportengine/layout.h"
#include "reportengine/render.h"
#include "reportengine/report_runner.h"
#include "reports/reports_window.h"
#include "ui/date_box.h"

#include <QApplication>
#include <QTemporaryDir>

#include <atomic>
#include <cstdio>
#include <thread>

namespace {

constexpr double kGoal = 1.1;

// The program started on the given address list; runs the year's report (dataset, layout, PDF) repeat times and
// returns the median wall time; *onStandby tells where the reports' connection read.
double reportMedian(const QString& servers, const QString& database, int year, int repeat, const QString& pdf,
                    bool* onStandby, QByteArray* text)
{
    Windows w;
    bench::startProgram(w, servers, database);
    ReportsWindow* r = w.reports;
    reportengine::ReportRunner* form = r->report(QStringLiteral("Button1"));
    db::Dataset* query = &form->query();
    widget<ui::DateBox>(r, "DTPicker1")->setDate(QDate(year, 1, 1));
    widget<ui::DateBox>(r, "DTPicker2")->setDate(QDate(year + 1, 1, 1));
    r->setRadioGroup1ItemIndex(0);
    auto run = [&] {
        r->setPeriod(query);
        r->applyProductClass(query);
        query->open();
        reportengine::DatasetSource source(*query);
        const reportengine::Document doc = reportengine::layout(form->layout(), source);
        reportengine::writePdf(doc, pdf);
        query->close();
    };
    run(); // warm-up
    *onStandby = !db::standbyNote(query->connectionName()).isEmpty();
    r->setPeriod(query);
    *text = bench::boundText(query).toUtf8();
    std::vector<double> t;
    for (int i = 0; i < repeat; ++i)
        t.push_back(bench::timeMs(run));
    bench::expectNoMessages();
    destroyWindows(w);
    return bench::median(t);
}

// The journal's day open on the primary while the report's statement runs in a loop on `reportServer`.
double journalMedianBeside(const QString& primary, const QString& reportServer, const QString& database,
                           const QByteArray& reportText, int repeat)
{
    std::atomic<bool> stop{false};
    std::thread beside([&] {
        bench::PgSession pg(reportServer, database);
        while (!stop)
            pg.run(reportText);
    });
    Windows w;
    bench::startProgram(w, primary, database);
    w.authorization->hide();
    w.journal->show();
    std::vector<double> t;
    for (int i = 0; i < repeat; ++i)
        t.push_back(bench::timeMs([&] { w.journal->FormActivate(); }));
    stop = true;
    beside.join();
    bench::expectNoMessages();
    destroyWindows(w);
    return bench::median(t);
}

} // namespace

int main(int argc, char* argv[])
{
    bench::setProgram("bench_standby", "PRIMARY STANDBY DATABASE [--repeat N] [--year YYYY]");
    bench::prepareEnvironment();
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    const int repeat = bench::takeInt(args, QStringLiteral("--repeat"), 5);
    const int year = bench::takeInt(args, QStringLiteral("--year"), QDate::currentDate().year() - 1);
    if (args.size() != 3)
        bench::usage();
    const QString primary = args[0], standby = args[1], database = args[2];

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    bool onStandby = false, onPrimary = true;
    QByteArray text;
    const double viaStandby = reportMedian(primary + u',' + standby, database, year, repeat, pdf, &onStandby, &text);
    const double viaPrimary = reportMedian(primary, database, year, repeat, pdf, &onPrimary, &text);
    if (!onStandby || onPrimary)
        bench::fail("the reports' connection did not read where expected (is the standby running?)");
    const int journalRepeat = repeat * 6;
    const double journalAlone =
        journalMedianBeside(primary, primary, database, QByteArrayLiteral("select 1"), journalRepeat);
    const double besideStandby = journalMedianBeside(primary, standby, database, text, journalRepeat);
    const double besidePrimary = journalMedianBeside(primary, primary, database, text, journalRepeat);

    std::printf("database %s, primary %s, standby %s, year %d, %d runs each after a warm-up run\n",
                qPrintable(database), qPrintable(primary), qPrintable(standby), year, repeat);
    std::printf("detailed report by worker (query + layout + PDF): on the standby %.1f ms, on the primary %.1f ms\n",
                viaStandby, viaPrimary);
    std::printf("journal day open on the primary: alone %.2f ms, beside the report on the standby %.2f ms, beside "
                "the report on the primary %.2f ms\n",
                journalAlone, besideStandby, besidePrimary);
    std::printf("goal: standby report ratio <= %.1f\n", kGoal);
    std::printf("standby report ratio: %.2f\n", viaStandby / viaPrimary);
    std::printf("journal beside a report: on the standby %.2f, on the primary %.2f (over the journal alone)\n",
                besideStandby / journalAlone, besidePrimary / journalAlone);
    return 0;
}
