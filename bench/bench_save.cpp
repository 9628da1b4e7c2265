// The save of one new journal row ("Запись" of the entry editor) on a large database, against the same statements
// sent straight through libpq in one transaction.
//
//   bench_save SOCKET_OR_HOST DATABASE [--repeat N] [--rtt MS [--upstream HOST:PORT]]
//
// Program: EntryEditor::saveRow() on an editor filled as the two choosers and the typing leave it, for a
// painting operation of today's shift 1 in the journal: the row-key lock, the duplicate check, the INSERT, the
// timesheet cell rewritten by the database's function (month and worker locks, the day's sum, the cell) and the
// commit, then the journal query of the shift re-read for the whole day, the timesheet queries closed and the boxes
// cleared. Lower bound: the same statement texts (the program's own builders, for the same values) through PQexec on a
// connection of our own, in one transaction, the journal's rows read cell by cell with PQgetvalue.
// Each save writes its own row (the colour number differs), so no save is refused as a duplicate; the rows are
// removed and the timesheet cell recomputed at the end. Runs are interleaved; only the ratio means anything.
// Over a link (--rtt) the lower bound's statements, sent one after another, wait a round trip each; the program sends
// those whose answers it does not need before the next together, so it should take well under the bound's time.
#include "bench_support.h"

#include "app/authorization_window.h"
#include "app/startup.h"
#include "app/window_registry.h"
#include "db/command.h"
#include "db/data_module.h"
#include "db/reference_locks_sql.h"
#include "db/timesheet_hours_sql.h"
#include "harness/widgets.h"
#include "journal/entry_editor.h"
#include "journal/journal_sql.h"
#include "journal/journal_window.h"
#include "ui/messages.h"

#include <QApplication>

#include <optional>
#include <QLineEdit>
#include <QLocale>

#include <cstdio>
#include <string>

namespace {

constexpr int kWarmUp = 3;
constexpr double kGoal = 1.5;
constexpr double kOfficeGoal = 0.6;
// Colour numbers of the rows this benchmark writes; far above any real colour.
constexpr int kProgramColours = 1'000'000;
constexpr int kLibpqColours = 2'000'000;

} // namespace

int main(int argc, char* argv[])
{
    bench::setProgram("bench_save", "SOCKET_OR_HOST DATABASE [--repeat N] [--rtt MS [--upstream HOST:PORT]]");
    bench::prepareEnvironment();
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    const int repeat = bench::takeInt(args, QStringLiteral("--repeat"), 40);
    QString server, database;
    bench::takeServerAndDatabase(args, server, database);

    Windows w;
    bench::startProgram(w, server, database);
    Database* dm = w.database;
    w.authorization->hide();
    w.journal->show(); // activation: today, shift 1
    db::Dataset* journal = dm->Smena1;
    if (journal->isEmpty())
        bench::fail("today's shift 1 has no rows (is the journal up to today? bench/make_large.sh)");

    bench::PgSession pg(server, database);
    const QDate today = QDate::currentDate();
    // The worker of the journal's first row and a painting operation of the price list.
    const qint64 worker = journal->asLongLong(QStringLiteral("w_id"));
    const QString workerName = journal->asString(QStringLiteral("fio")).trimmed();
    dm->Oper->open();
    if (!dm->Oper->locate(QStringLiteral("VID"), QStringLiteral("КРАСКА")))
        bench::fail("the price list has no painting operation");
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

    EntryEditor* editor = w.entryEditor;
    int programColour = kProgramColours, libpqColour = kLibpqColours;
    auto fill = [&] {
        editor->prepareNew(today, 1, false);
        editor->takeWorker(static_cast<qint32>(worker), workerName);
        editor->takeOperation(static_cast<qint32>(oper), static_cast<qint32>(product), price, operText);
        widget<QLineEdit>(editor, "Edit3")->setText(QStringLiteral("12"));
        widget<QLineEdit>(editor, "Edit6")->setText(QStringLiteral("1"));
        widget<QLineEdit>(editor, "Edit5")->setEnabled(true);
        widget<QLineEdit>(editor, "Edit5")->setText(QString::number(++programColour));
    };
    auto programSave = [&] {
        editor->saveRow();
        if (!widget<QLineEdit>(editor, "Edit1")->text().isEmpty() || !ui::Messages::shown().isEmpty())
            bench::fail("the save did not go through: " +
                        (ui::Messages::shown().isEmpty() ? std::string("the editor kept its input")
                                                         : ui::Messages::shown().constFirst().text.toStdString()));
    };

    const int month = today.month(), year = today.year(), day = today.day();
    // The same statements on a connection whose triggers are off (session_replication_role = replica): what the
    // database's own rules (announcements, closed months, history) cost the save. The setting is a superuser's, who
    // logs in over the cluster's socket only: over a link it is not measured.
    std::optional<bench::PgSession> bare;
    if (!bench::overLink()) {
        bare.emplace(server, database, true);
        bare->run(QByteArrayLiteral("set session_replication_role = replica"));
    }
    auto libpqSaveOn = [&](bench::PgSession& pg) {
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
        const QString journalText = bench::boundText(journal);
        pg.run(QByteArrayLiteral("begin"));
        pg.run(journal_sql::lockRowKey(row));
        pg.run(journal_sql::duplicateOfNew(row));
        using db::refs_sql::Ref;
        for (const auto& [ref, id] :
             {std::pair{Ref::Worker, worker}, std::pair{Ref::Operation, oper}, std::pair{Ref::Product, product}}) {
            pg.run(db::refs_sql::lockShared(ref, id));
            pg.run(db::refs_sql::presence(ref, id));
        }
        pg.run(journal_sql::insertRow(row));
        // The timesheet's cell is the database's to write (the owner's function, as the program calls it).
        pg.run(db::hours_sql::rewriteDay(worker, 1, today, true));
        pg.run(QByteArrayLiteral("commit"));
        pg.run(journalText);
    };
    auto libpqSave = [&] { libpqSaveOn(pg); };
    auto bareSave = [&] {
        if (bare)
            libpqSaveOn(*bare);
    };

    for (int i = 0; i < kWarmUp; ++i) {
        fill();
        programSave();
        libpqSave();
        bareSave();
    }
    bench::Timings tProgram, tLibpq, tBare;
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
        tBare.time(bareSave);
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
    std::printf("  server %s\n", bench::linkDescription().c_str());
    if (written != (bare ? 3 : 2) * (repeat + kWarmUp))
        bench::fail("not every save wrote its row");
    const double pm = bench::median(tProgram.wall), lm = bench::median(tLibpq.wall);
    std::printf("%-36s %10s %10s %15s %12s\n", "", "median ms", "min ms", "client CPU ms", "round trips");
    auto line = [](const char* name, const bench::Timings& t) {
        const double trips = t.medianRoundTrips();
        std::printf("%-36s %10.2f %10.2f %15.2f %12s\n", name, bench::median(t.wall), bench::minimum(t.wall),
                    bench::median(t.cpu), trips < 0 ? "-" : QByteArray::number(trips, 'f', 0).constData());
    };
    line("libpq, one transaction", tLibpq);
    line("program EntryEditor::saveRow()", tProgram);
    std::printf("goal: within %.1f times the libpq bound\n", kGoal);
    if (bare)
        line("libpq, the database's triggers off", tBare);
    std::printf("save ratio: %.2f\n", pm / lm);
    std::printf("office save ratio: %.2f (goal <= %.1f%s)\n", pm / lm, kOfficeGoal,
                bench::overLink() ? "" : "; meant for a link: --rtt 2");
    if (bare)
        std::printf("trigger cost ratio: %.2f (goal <= 1.3)\n", lm / bench::median(tBare.wall));
    else
        std::printf("trigger cost ratio: measured without --rtt (its bound turns the triggers off as the cluster's "
                    "superuser, who connects over the socket only)\n");

    destroyWindows(w);
    bench::keep(pg.checksum);
    return 0;
}
