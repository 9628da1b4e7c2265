// The detailed report by worker and the production export for a whole year on a large database, each against
// its statement sent straight through libpq.
//
//   bench_reports SOCKET_OR_HOST DATABASE [--repeat N] [--year YYYY]
//
// Report, program: what "Детальный отчет по рабочим" does up to the preview: the period and the product class
// given to w_Report, the query opened, the title set, the report laid out into its page model and the pages
// written to a PDF file (the preview paints the same pages; printing from it is the user's). The time is that of
// these steps; freeing the page model and closing the dataset afterwards (what closing the preview does) is timed
// apart and printed beside it.
// Preview, program: the button pressed ("Детальный отчет по рабочим") up to the preview's first page painted on the
// screen (the rest of the layout goes on behind it; the preview is closed then).
// Export, program: "Excel (0 из 0)" pressed: XLS_Rep opened, every line written into a workbook and the .xlsx
// saved (the desktop's spreadsheet application is not started).
// Lower bound of each: the statement text the dataset sent (same parameters, bound by db::bindParams) executed
// with PQexec on a connection of our own with the same session settings, every cell read with PQgetvalue.
// Runs are interleaved so that machine noise falls on both alike. Only ratios mean anything across machines.
#include "bench_support.h"

#include "app/startup.h"
#include "db/command.h"
#include "db/data_module.h"
#include "reportengine/layout.h"
#include "reportengine/preview_dialog.h"
#include "reportengine/render.h"
#include "reportengine/report_runner.h"
#include "reports/reports_window.h"
#include "spreadsheet/spreadsheet.h"
#include "support/widgets.h"
#include "ui/date_box.h"
#include "ui/messages.h"
#include "ui/window_registry.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QLocale>
#include <QTemporaryDir>

#include <algorithm>
#include <array>
#include <cstdio>
#include <functional>
#include <string>

namespace {

constexpr double kGoal = 2.0;

// Catches the engine's preview when it shows: notes when its first page is painted, then closes it.
class PreviewWatch : public QObject {
public:
    QElapsedTimer clock;
    double firstPageMs = -1;
    int pagesReady = 0;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dialog = qobject_cast<reportengine::PreviewDialog*>(watched);
        if (event->type() == QEvent::Show && dialog && !dialog->property("watched").toBool()) {
            dialog->setProperty("watched", true);
            connect(dialog, &reportengine::PreviewDialog::pagePainted, dialog, [this, dialog] {
                if (firstPageMs >= 0)
                    return;
                firstPageMs = double(clock.nsecsElapsed()) / 1e6;
                pagesReady = dialog->pageCount();
                QMetaObject::invokeMethod(dialog, &QDialog::reject, Qt::QueuedConnection);
            });
        }
        return false;
    }
};

} // namespace

int main(int argc, char* argv[])
{
    bench::setProgram("bench_reports", "SOCKET_OR_HOST DATABASE [--repeat N] [--year YYYY]");
    bench::prepareEnvironment();
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    const int repeat = bench::takeInt(args, QStringLiteral("--repeat"), 5);
    const int year = bench::takeInt(args, QStringLiteral("--year"), QDate::currentDate().year() - 1);
    QString server, database;
    bench::takeServerAndDatabase(args, server, database);

    Windows w;
    bench::startProgram(w, server, database);

    ReportsWindow* r = w.reports;
    reportengine::ReportRunner* form = r->report(QStringLiteral("Button1"));
    db::Dataset* query = &form->query();
    widget<ui::DateBox>(r, "DTPicker1")->setDate(QDate(year, 1, 1));
    widget<ui::DateBox>(r, "DTPicker2")->setDate(QDate(year + 1, 1, 1));
    r->setRadioGroup1ItemIndex(0);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    spreadsheet::Application::setOutputFolder(dir.filePath(QStringLiteral("xlsx")));
    QStringList workbooks;
    spreadsheet::Application::setOpener([&](const QString& f) {
        workbooks << f;
        return true;
    });

    bench::PgSession pg(server, database);
    const double rssStart = bench::currentRssMiB();

    // The program's report: the steps of the button without the preview's window.
    int reportRows = 0, pages = 0;
    // Wall and client CPU ms of the last run's steps: open, layout, PDF.
    std::array<double, 6> phases{};
    double rssModel = 0;
    // Heap held by the dataset's rows and by the page model after the last run's open and layout, MiB.
    double heldDataset = 0, heldModel = 0;
    double stepsMs = 0, teardownMs = 0; // the last run's
    auto runReport = [&] {
        r->setPeriod(query);
        r->applyProductClass(query);
        const double c0 = bench::cpuMs();
        const double heapBefore = bench::heapInUseMiB();
        const double t0 = bench::timeMs([&] { query->open(); });
        const double heapOpen = bench::heapInUseMiB();
        heldDataset = heapOpen - heapBefore;
        const double c1 = bench::cpuMs();
        form->setTitle(widget<ui::DateBox>(r, "DTPicker1")->date().toString(QStringLiteral("dd.MM.yyyy")) +
                       QStringLiteral(" по ") +
                       widget<ui::DateBox>(r, "DTPicker2")->date().toString(QStringLiteral("dd.MM.yyyy")));
        reportengine::DatasetSource source(*query);
        reportengine::Document doc;
        const double t1 = bench::timeMs([&] { doc = reportengine::layout(form->layout(), source); });
        heldModel = bench::heapInUseMiB() - heapOpen;
        const double c2 = bench::cpuMs();
        const double t2 = bench::timeMs([&] { reportengine::writePdf(doc, pdf); });
        const double c3 = bench::cpuMs();
        phases = {t0, c1 - c0, t1, c2 - c1, t2, c3 - c2};
        stepsMs = t0 + t1 + t2;
        reportRows = query->recordCount();
        pages = static_cast<int>(doc.pages.size());
        rssModel = std::max(rssModel, bench::currentRssMiB());
        teardownMs = bench::timeMs([&] {
            doc = reportengine::Document();
            query->close();
        });
    };
    auto timeReport = [&] {
        runReport();
        return stepsMs;
    };
    PreviewWatch watch;
    app.installEventFilter(&watch);
    int previewPages = 0;
    auto runPreview = [&] {
        watch.firstPageMs = -1;
        watch.clock.start();
        r->printReport(*form);
        if (watch.firstPageMs < 0)
            bench::fail("the preview closed without painting a page");
        previewPages = watch.pagesReady;
        return watch.firstPageMs;
    };
    int exportRows = 0;
    auto runExport = [&] {
        r->exportProduction();
        exportRows = widget<QPushButton>(r, "Button6")->text().section(QStringLiteral(" из "), 1).chopped(1).toInt();
        QFile::remove(workbooks.value(workbooks.size() - 1));
    };
    // The bound texts, as the datasets send them.
    r->setPeriod(query);
    r->setPeriod(&r->productionQuery());
    const QByteArray reportText = bench::boundText(query).toUtf8(),
                     exportText = bench::boundText(&r->productionQuery()).toUtf8();
    int libpqReportRows = 0, libpqExportRows = 0;

    // Warm-up: caches on both sides.
    runReport();
    runExport();
    runPreview();
    libpqReportRows = pg.run(reportText);
    libpqExportRows = pg.run(exportText);
    bench::expectNoMessages();
    if (reportRows != libpqReportRows || exportRows != libpqExportRows || reportRows == 0)
        bench::fail("row counts differ or the year has no rows (is the large database made? bench/make_large.sh)");

    std::vector<double> tReport, tReportSql, tExport, tExportSql, tPreview, tPreviewSql;
    for (int i = 0; i < repeat; ++i) {
        const bool programFirst = i % 2 == 0;
        // p gives the program's time
        auto pair = [&](std::vector<double>& prog, const std::function<double()>& p, std::vector<double>& sql,
                        const QByteArray& text) {
            if (programFirst)
                prog.push_back(p());
            sql.push_back(bench::timeMs([&] { pg.run(text); }));
            if (!programFirst)
                prog.push_back(p());
        };
        pair(tReport, timeReport, tReportSql, reportText);
        pair(tExport, [&] { return bench::timeMs(runExport); }, tExportSql, exportText);
        // the time up to the first page, not the call's (which lasts until the preview is closed)
        if (programFirst)
            tPreview.push_back(runPreview());
        tPreviewSql.push_back(bench::timeMs([&] { pg.run(reportText); }));
        if (!programFirst)
            tPreview.push_back(runPreview());
    }
    bench::expectNoMessages();

    // Peak memory growth: the program's report (query into the dataset, layout, PDF) and the libpq result of its
    // statement held while every cell is read.
    auto growth = [](const std::function<void()>& step) {
        bench::resetPeakRss();
        const double before = bench::currentRssMiB();
        step();
        return bench::peakRssSinceResetMiB() - before;
    };
    std::vector<double> memProgram, memLibpq;
    for (int i = 0; i < 3; ++i) {
        memLibpq.push_back(growth([&] { pg.run(reportText); }));
        memProgram.push_back(growth(runReport));
    }
    const double memProgramMiB = bench::median(memProgram), memLibpqMiB = bench::median(memLibpq);

    const double pdfKiB = static_cast<double>(QFile(pdf).size()) / 1024.0;
    const double report = bench::median(tReport), reportSql = bench::median(tReportSql);
    const double exp = bench::median(tExport), expSql = bench::median(tExportSql);
    const double previewMs = bench::median(tPreview), previewSql = bench::median(tPreviewSql);
    const double reportRatio = report / reportSql, exportRatio = exp / expSql, previewRatio = previewMs / previewSql;
    std::printf("database %s at %s, year %d, %d runs each after a warm-up run\n", qPrintable(database),
                qPrintable(server), year, repeat);
    std::printf("detailed report by worker: %d rows, %d pages, PDF %.0f KiB\n", reportRows, pages, pdfKiB);
    std::printf("  query alone (libpq)            %10.1f ms\n", reportSql);
    std::printf("  query + layout + PDF (program) %10.1f ms   ratio %.2f\n", report, reportRatio);
    std::printf("  last run's steps, wall (client CPU) ms: query into the dataset %.0f (%.0f), layout %.0f (%.0f), "
                "PDF %.0f (%.0f)\n",
                phases[0], phases[1], phases[2], phases[3], phases[4], phases[5]);
    std::printf("  afterwards, as the preview closes: page model freed and dataset closed in %.0f ms\n", teardownMs);
    std::printf("preview of the same report: the first page painted with %d page(s) placed\n", previewPages);
    std::printf("  query alone (libpq)            %10.1f ms\n", previewSql);
    std::printf("  button to first page (program) %10.1f ms   ratio %.2f\n", previewMs, previewRatio);
    std::printf("production export: %d lines\n", exportRows);
    std::printf("  query alone (libpq)            %10.1f ms\n", expSql);
    std::printf("  query + workbook (program)     %10.1f ms   ratio %.2f\n", exp, exportRatio);
    std::printf("memory: %.1f MiB resident before the first run, %.1f MiB at most with the year's page model "
                "(%d pages), peak RSS %.1f MiB\n",
                rssStart, rssModel, pages, bench::peakRssMiB());
    std::printf("peak memory growth of the report: %.1f MiB (program), %.1f MiB (libpq result)   ratio %.2f (goal <= 3); "
                "held on the heap: the dataset's rows %.1f MiB, the page model %.1f MiB\n",
                memProgramMiB, memLibpqMiB, memProgramMiB / memLibpqMiB, heldDataset, heldModel);
    std::printf("goal: each ratio <= %.1f\n", kGoal);
    // The larger of the two: both are to stay within the goal.
    std::printf("report ratio: %.2f\n", std::max(reportRatio, exportRatio));
    std::printf("preview ratio: %.2f\n", previewRatio);
    std::printf("report memory ratio: %.2f\n", memProgramMiB / memLibpqMiB);

    spreadsheet::Application::setOpener({});
    spreadsheet::Application::setOutputFolder({});
    destroyWindows(w);
    bench::keep(pg.checksum);
    return 0;
}
