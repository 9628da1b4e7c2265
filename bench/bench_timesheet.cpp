// The timesheet's rebuild of a month and its printed month on a large database, each beside a lower bound
// measured in the same run.
//
//   bench_timesheet SOCKET_OR_HOST DATABASE [--repeat N] [--loop-repeat N] [--month M --year Y]
//
// Rebuild. Program: TimesheetWindow::Button1Click() for the month (one transaction under the month's lock: the month's
// rows deleted, the day's hours read one day at a time, one insert). Floor: the same result through libpq as one
// set-based statement (delete and insert ... select with the 31 day sums, in one transaction). Also shown: the
// statement-by-statement loop the timesheet once used (per day the day's sums, then per worker and shift a count
// and an update or an insert), what users would get without the set-based rebuild; it runs --loop-repeat times.
// Every kind must leave the same rows: a checksum of the month's rows is compared after each.
// Print. Program: the print query opened, laid out and written to a PDF file (what the preview shows and saves).
// Floor: the print query alone through libpq, every cell read.
// Program and floor runs are interleaved so that machine noise falls on both alike. The last line is the rebuild's
// ratio of medians, "rebuild ratio: X.XX".
#include "bench_support.h"

#include "app/startup.h"
#include "db/command.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "reportengine/render.h"
#include "reportengine/report_runner.h"
#include "support/widgets.h"
#include "timesheet/timesheet_sql.h"
#include "timesheet/timesheet_window.h"
#include "ui/messages.h"
#include "ui/window_registry.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <cstdio>
#include <string>
#include <vector>

namespace {

// The month's rebuilt rows as one set-based statement: the same rows the rebuild writes.
QByteArray floorRebuild(int month, int year)
{
    const QDate first(year, month, 1);
    QString days, sums;
    for (int d = 1; d <= 31; ++d) {
        days += QStringLiteral(", d%1").arg(d);
        sums += QStringLiteral(", coalesce(sum(time) filter (where data = '%1'), 0)")
                    .arg(d <= first.daysInMonth() ? first.addDays(d - 1).toString(Qt::ISODate)
                                                  : QStringLiteral("infinity"));
    }
    return (QStringLiteral("begin; ") + timesheet_sql::deleteMonth(month, year) +
            QStringLiteral("; insert into accounts_dep.h_tabel(smena, w_id, month, year%1) select smena, w_id, %2, %3%4"
                           " from accounts_dep.smena where data >= '%5' and data < '%6' group by smena, w_id; commit")
                .arg(days)
                .arg(month)
                .arg(year)
                .arg(sums)
                .arg(first.toString(Qt::ISODate), first.addMonths(1).toString(Qt::ISODate)))
        .toUtf8();
}

// The month's rows in a canonical order, hashed, to tell that every kind left the same result.
QByteArray monthDigest(int month, int year)
{
    QString days;
    for (int d = 1; d <= 31; ++d)
        days += QStringLiteral(" || ',' || d%1").arg(d);
    return QStringLiteral(
               "select count(*) || ':' || md5(coalesce(string_agg(smena || '/' || w_id%1, ';' order by smena,"
               " w_id), '')) from accounts_dep.h_tabel where month=%2 and year=%3")
        .arg(days)
        .arg(month)
        .arg(year)
        .toUtf8();
}

// The statement-by-statement rebuild on the program's connection, as the timesheet once did it.
void loopRebuild(Database* dm, db::Dataset* dt, int month, int year)
{
    dm->DelSmena->setText(timesheet_sql::deleteMonth(month, year));
    dm->DelSmena->execute();
    const int n = QDate(year, month, 1).daysInMonth();
    for (int i = 1; i <= n; ++i) {
        dt->close();
        dt->setParam(QStringLiteral("data"), QDate(year, month, i));
        dt->open();
        for (dt->first(); !dt->eof(); dt->next()) {
            const int shift = dt->asInt(QStringLiteral("smena"));
            const qint64 worker = dt->asLongLong(QStringLiteral("w_id"));
            const qint64 tim = dt->asLongLong(QStringLiteral("tim"));
            dm->Control->close();
            dm->Control->setSql(timesheet_sql::countRow(worker, shift, month, year));
            dm->Control->open();
            const int cnt = dm->Control->asInt(QStringLiteral("cnt"));
            dm->Control->close();
            dm->H_Tabel_ins->setText(cnt != 0 ? timesheet_sql::updateDay(i, tim, worker, shift, month, year)
                                              : timesheet_sql::insertDay(i, tim, worker, shift, month, year));
            dm->H_Tabel_ins->execute();
        }
        dt->close();
    }
}

} // namespace

int main(int argc, char* argv[])
{
    bench::setProgram("bench_timesheet", "SOCKET_OR_HOST DATABASE [--repeat N] [--loop-repeat N] [--month M --year Y]");
    bench::prepareEnvironment();
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    const QDate previous = QDate::currentDate().addMonths(-1);
    const int repeat = bench::takeInt(args, QStringLiteral("--repeat"), 7);
    const int loopRepeat = bench::takeInt(args, QStringLiteral("--loop-repeat"), 1, 0);
    const int month = bench::takeInt(args, QStringLiteral("--month"), previous.month());
    const int year = bench::takeInt(args, QStringLiteral("--year"), previous.year());
    if (month > 12)
        bench::usage();
    QString server, database;
    bench::takeServerAndDatabase(args, server, database);

    Windows w;
    bench::startProgram(w, server, database);
    Database* dm = w.database;
    TimesheetWindow* form = w.timesheet;
    widget<QComboBox>(form, "ComboBox1")->setCurrentIndex(month - 1);
    widget<QComboBox>(form, "ComboBox2")->setCurrentText(QString::number(year));
    if (widget<QComboBox>(form, "ComboBox2")->currentText() != QString::number(year))
        bench::fail("the year is not in the window's list");
    form->ComboBox1Change();
    bench::expectNoMessages();

    bench::PgSession pg(server, database);
    const QByteArray digestSql = monthDigest(month, year);
    const int journalRows = pg.value(QStringLiteral("select count(*) from accounts_dep.smena where data >= '%1' and "
                                                    "data < '%2'")
                                         .arg(QDate(year, month, 1).toString(Qt::ISODate),
                                              QDate(year, month, 1).addMonths(1).toString(Qt::ISODate))
                                         .toUtf8())
                                .toInt();
    if (journalRows == 0)
        bench::fail("the journal has no rows in the month (bench/make_large.sh)");

    // The reference result: the floor's.
    pg.run(floorRebuild(month, year));
    const QString expected = pg.value(digestSql);
    auto check = [&](const char* who) {
        const QString got = pg.value(digestSql);
        if (got != expected)
            bench::fail(std::string(who) + " left other rows: " + got.toStdString() + " instead of " +
                        expected.toStdString());
    };

    const double rssBefore = bench::peakRssMiB();
    auto programRebuild = [&] {
        form->Button1Click();
        bench::expectNoMessages();
    };
    programRebuild(); // warm-up
    check("the program's rebuild");

    std::vector<double> tProgram, tFloor, tLoop;
    for (int i = 0; i < repeat; ++i) {
        if (i % 2 == 0) {
            tProgram.push_back(bench::timeMs(programRebuild));
            check("the program's rebuild");
            tFloor.push_back(bench::timeMs([&] { pg.run(floorRebuild(month, year)); }));
            check("the floor");
        } else {
            tFloor.push_back(bench::timeMs([&] { pg.run(floorRebuild(month, year)); }));
            check("the floor");
            tProgram.push_back(bench::timeMs(programRebuild));
            check("the program's rebuild");
        }
    }
    for (int i = 0; i < loopRepeat; ++i) {
        tLoop.push_back(bench::timeMs([&] { loopRebuild(dm, form->dt, month, year); }));
        check("the statement-by-statement loop");
    }
    const double rssRebuild = bench::peakRssMiB();

    // Print: the query alone against the query, the layout and the PDF.
    reportengine::ReportRunner& report = form->monthReport();
    QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("tabel.pdf"));
    int pages = 0, printRows = 0;
    qint64 pdfBytes = 0;
    auto programPrint = [&] {
        report.query().setParam(QStringLiteral("mnth"), month);
        report.query().setParam(QStringLiteral("yea"), year);
        report.open();
        report.setTitle(widget<QComboBox>(form, "ComboBox1")->currentText() + u' ' +
                        widget<QComboBox>(form, "ComboBox2")->currentText() + QStringLiteral(" г."));
        const reportengine::Document doc = report.prepare();
        printRows = report.query().recordCount();
        report.close();
        reportengine::writePdf(doc, pdf);
        pages = int(doc.pages.size());
        pdfBytes = QFileInfo(pdf).size();
    };
    QHash<QString, QVariant> params{{QStringLiteral("mnth"), month}, {QStringLiteral("yea"), year}};
    const QByteArray printSql = db::bindParams(report.query().sql(), params).toUtf8();
    int queryRows = 0;
    auto queryAlone = [&] { queryRows = pg.run(printSql); };
    programPrint();
    queryAlone();
    std::vector<double> tPrint, tQuery;
    for (int i = 0; i < repeat; ++i) {
        if (i % 2 == 0) {
            tPrint.push_back(bench::timeMs(programPrint));
            tQuery.push_back(bench::timeMs(queryAlone));
        } else {
            tQuery.push_back(bench::timeMs(queryAlone));
            tPrint.push_back(bench::timeMs(programPrint));
        }
    }
    if (queryRows != printRows)
        bench::fail("the print query gave other rows than the program's");
    const double rssEnd = bench::peakRssMiB();

    std::printf("database %s at %s, month %02d.%d: %d journal rows, %s timesheet rows (count:md5)\n",
                qPrintable(database), qPrintable(server), month, year, journalRows, qPrintable(expected));
    std::printf("%d runs of the program and the floor, interleaved, after one warm-up; %d of the loop\n", repeat,
                loopRepeat);
    std::printf("%-52s %10s %10s %8s\n", "", "median ms", "min ms", "ratio");
    const double fMed = bench::median(tFloor);
    std::printf("%-52s %10.1f %10.1f %8.2f\n", "rebuild floor: one set-based statement (libpq)", fMed,
                bench::minimum(tFloor), 1.0);
    std::printf("%-52s %10.1f %10.1f %8.2f\n", "rebuild program: Button1Click", bench::median(tProgram),
                bench::minimum(tProgram), bench::median(tProgram) / fMed);
    if (!tLoop.empty())
        std::printf("%-52s %10.1f %10.1f %8.2f\n", "rebuild statement by statement (the old loop)",
                    bench::median(tLoop), bench::minimum(tLoop), bench::median(tLoop) / fMed);
    const double qMed = bench::median(tQuery);
    std::printf("%-52s %10.1f %10.1f %8.2f\n", "print floor: the query alone (libpq)", qMed, bench::minimum(tQuery),
                1.0);
    std::printf("%-52s %10.1f %10.1f %8.2f\n", "print program: query + layout + PDF", bench::median(tPrint),
                bench::minimum(tPrint), bench::median(tPrint) / qMed);
    std::printf("printed month: %d workers on %d pages, PDF %lld bytes\n", printRows, pages,
                static_cast<long long>(pdfBytes));
    std::printf("peak RSS: %.1f MiB before, %.1f MiB after the rebuilds, %.1f MiB at the end\n", rssBefore, rssRebuild,
                rssEnd);
    std::printf("rebuild ratio: %.2f\n", bench::median(tProgram) / fMed);

    destroyWindows(w);
    bench::keep(pg.checksum);
    return 0;
}
