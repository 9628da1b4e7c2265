// The detailed report by worker and the production export for a whole year on a large database, each against
// its statement sent straight through libpq.
//
//   bench_reports SOCKET_OR_HOST DATABASE [--repeat N] [--year YYYY]
//
// Report, program: what "Детальный отчет по рабочим" does up to the preview: the period and the product class
// given to w_Report, the query opened, the title set, the report laid out into its page model and the pages
// written to a PDF file (the preview paints the same pages; printing from it is the user's).
// Export, program: "Excel (0 из 0)" pressed: XLS_Rep opened, every line written into a workbook and the .xlsx
// saved (the desktop's spreadsheet application is not started).
// Lower bound of each: the statement text the dataset sent (same parameters, bound by db::bindParams) executed
// with PQexec on a connection of our own with the same session settings, every cell read with PQgetvalue.
// Runs are interleaved so that machine noise falls on both alike. Only ratios mean anything across machines.
#include "app/startup.h"
#include "db/command.h"
#include "db/data_module.h"
#include "reportengine/layout.h"
#include "reportengine/render.h"
#include "reports/reports_window.h"
#include "reports/worker_detail_report.h"
#include "spreadsheet/spreadsheet.h"
#include "ui/messages.h"
#include "ui/window_registry.h"

#include <libpq-fe.h>

#include <QApplication>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr double kGoal = 2.0;

double peakRssMiB()
{
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    return static_cast<double>(ru.ru_maxrss) / 1024.0; // KiB on Linux
}

double currentRssMiB()
{
    QFile f(QStringLiteral("/proc/self/statm"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QList<QByteArray> parts = f.readAll().split(' ');
    return parts.size() > 1 ? parts[1].toDouble() * 4096.0 / (1024.0 * 1024.0) : 0;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) * 1e3 + static_cast<double>(ts.tv_nsec) / 1e6;
}

double timeMs(const std::function<void()>& body)
{
    const auto t0 = Clock::now();
    body();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

[[noreturn]] void fail(const std::string& what)
{
    std::fprintf(stderr, "bench_reports: %s\n", what.c_str());
    std::exit(1);
}

QByteArray boundText(const db::Dataset* d)
{
    QHash<QString, QVariant> params;
    for (const QString& name : d->paramNames())
        params.insert(name, d->param(name));
    return db::bindParams(d->sql(), params).toUtf8();
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

    // Runs the statement and reads every cell; gives the row count.
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
    std::fprintf(stderr, "usage: bench_reports SOCKET_OR_HOST DATABASE [--repeat N] [--year YYYY]\n");
    std::exit(64);
}

int intOption(QStringList& args, const QString& name, int fallback)
{
    const qsizetype at = args.indexOf(name);
    if (at < 0)
        return fallback;
    bool ok = false;
    const int v = at + 1 < args.size() ? args[at + 1].toInt(&ok) : 0;
    if (!ok || v < 1)
        usage();
    args.remove(at, 2);
    return v;
}

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kesta_tabel"));
    QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));

    QStringList args = QApplication::arguments().mid(1);
    const int repeat = intOption(args, QStringLiteral("--repeat"), 5);
    const int year = intOption(args, QStringLiteral("--year"), QDate::currentDate().year() - 1);
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

    TForm18* r = w.Form18;
    TForm20* form = w.Form20;
    db::Dataset* query = form->w_Report;
    r->DTPicker1->setDate(QDate(year, 1, 1));
    r->DTPicker2->setDate(QDate(year + 1, 1, 1));
    r->setRadioGroup1ItemIndex(0);

    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    spreadsheet::Application::setOutputFolder(dir.filePath(QStringLiteral("xlsx")));
    QStringList workbooks;
    spreadsheet::Application::setOpener([&](const QString& f) {
        workbooks << f;
        return true;
    });

    PgSession pg(server, database);
    size_t checksum = 0;
    const double rssStart = currentRssMiB();

    // The program's report: the steps of the button without the preview's window.
    int reportRows = 0, pages = 0;
    // Wall and client CPU ms of the last run's steps: open, layout, PDF.
    std::array<double, 6> phases{};
    double rssModel = 0;
    auto runReport = [&] {
        r->setPeriod(query);
        r->applyProductClass(query);
        const double c0 = cpuMs();
        const double t0 = timeMs([&] { query->open(); });
        const double c1 = cpuMs();
        form->setTitle(QStringLiteral("   Детальный отчет по рабочим за период с ") +
                       r->DTPicker1->date().toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" по ") +
                       r->DTPicker2->date().toString(QStringLiteral("dd.MM.yyyy")));
        reportengine::DatasetSource source(*query);
        reportengine::Document doc;
        const double t1 = timeMs([&] { doc = reportengine::layout(form->QuickRep1, source); });
        const double c2 = cpuMs();
        const double t2 = timeMs([&] { reportengine::writePdf(doc, pdf); });
        const double c3 = cpuMs();
        phases = {t0, c1 - c0, t1, c2 - c1, t2, c3 - c2};
        reportRows = query->recordCount();
        pages = static_cast<int>(doc.pages.size());
        rssModel = std::max(rssModel, currentRssMiB());
        query->close();
    };
    int exportRows = 0;
    auto runExport = [&] {
        r->Button6Click();
        exportRows = r->Button6->text().section(QStringLiteral(" из "), 1).chopped(1).toInt();
        QFile::remove(workbooks.value(workbooks.size() - 1));
    };
    // The bound texts, as the datasets send them.
    r->setPeriod(query);
    r->setPeriod(r->XLS_Rep);
    const QByteArray reportText = boundText(query), exportText = boundText(r->XLS_Rep);
    int libpqReportRows = 0, libpqExportRows = 0;

    // Warm-up: caches on both sides.
    runReport();
    runExport();
    libpqReportRows = pg.run(reportText, checksum);
    libpqExportRows = pg.run(exportText, checksum);
    if (!ui::Messages::shown().isEmpty())
        fail("the program showed a message: " + ui::Messages::shown().constFirst().text.toStdString());
    if (reportRows != libpqReportRows || exportRows != libpqExportRows || reportRows == 0)
        fail("row counts differ or the year has no rows (is the large database made? bench/make_large.sh)");

    std::vector<double> tReport, tReportSql, tExport, tExportSql;
    for (int i = 0; i < repeat; ++i) {
        const bool programFirst = i % 2 == 0;
        auto pair = [&](std::vector<double>& prog, const std::function<void()>& p, std::vector<double>& sql,
                        const QByteArray& text) {
            if (programFirst)
                prog.push_back(timeMs(p));
            sql.push_back(timeMs([&] { pg.run(text, checksum); }));
            if (!programFirst)
                prog.push_back(timeMs(p));
        };
        pair(tReport, runReport, tReportSql, reportText);
        pair(tExport, runExport, tExportSql, exportText);
    }
    if (!ui::Messages::shown().isEmpty())
        fail("the program showed a message: " + ui::Messages::shown().constFirst().text.toStdString());

    const double pdfKiB = static_cast<double>(QFile(pdf).size()) / 1024.0;
    const double report = median(tReport), reportSql = median(tReportSql);
    const double exp = median(tExport), expSql = median(tExportSql);
    const double reportRatio = report / reportSql, exportRatio = exp / expSql;
    std::printf("database %s at %s, year %d, %d runs each after a warm-up run\n", qPrintable(database),
                qPrintable(server), year, repeat);
    std::printf("detailed report by worker: %d rows, %d pages, PDF %.0f KiB\n", reportRows, pages, pdfKiB);
    std::printf("  query alone (libpq)            %10.1f ms\n", reportSql);
    std::printf("  query + layout + PDF (program) %10.1f ms   ratio %.2f\n", report, reportRatio);
    std::printf("  last run's steps, wall (client CPU) ms: query into the dataset %.0f (%.0f), layout %.0f (%.0f), "
                "PDF %.0f (%.0f)\n",
                phases[0], phases[1], phases[2], phases[3], phases[4], phases[5]);
    std::printf("production export: %d lines\n", exportRows);
    std::printf("  query alone (libpq)            %10.1f ms\n", expSql);
    std::printf("  query + workbook (program)     %10.1f ms   ratio %.2f\n", exp, exportRatio);
    std::printf("memory: %.1f MiB resident before the first run, %.1f MiB at most with the year's page model "
                "(%d pages), peak RSS %.1f MiB\n",
                rssStart, rssModel, pages, peakRssMiB());
    std::printf("goal: each ratio <= %.1f\n", kGoal);
    // The larger of the two: both are to stay within the goal.
    std::printf("report ratio: %.2f\n", std::max(reportRatio, exportRatio));

    spreadsheet::Application::setOpener({});
    spreadsheet::Application::setOutputFolder({});
    destroyWindows(w);
    static volatile size_t sink;
    sink = checksum;
    return 0;
}
