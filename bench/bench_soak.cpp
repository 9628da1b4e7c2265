// Soak of several workstations on one month: each workstation (a process of its own, with the program's data module
// and procedures) saves, changes, accepts and deletes random journal rows and now and then rebuilds the month's
// timesheet, for a bounded time. Afterwards every timesheet cell of the month is compared with the journal's sum,
// and every row a workstation added is checked to be there exactly once unless a workstation deleted it.
//
//   bench_soak SOCKET_OR_HOST DATABASE [--workstations N] [--seconds S] [--seed K]
//
// The database must hold the program's objects; bench/run_soak.sh makes a fresh one with a small shop.
#include "bench_support.h"

#include "db/data_module.h"
#include "db/connection_string.h"
#include "db/db_error.h"
#include "db/session.h"
#include "journal/journal_changes.h"
#include "timesheet/timesheet_rebuild.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

constexpr int kWorkers = 60;
constexpr int kOperations = 6; // operation n is of product (n + 1) / 2
constexpr int kMonth = 11;
constexpr int kYear = 2026;

// One workstation: random actions until the deadline. Writes the markers (quantities) of the rows it added and of
// those it deleted into its log, and its counts to standard output as "count NAME N" lines.
int workstation(const QString& server, const QString& database, int index, int seconds, quint32 seed,
                const QString& logPath)
{
    Database dm;
    dm.ADO_DB.setConnectionString(db::connectionStringFor(database, server));
    dm.ADO_DB.open();
    const QString cn = dm.ADO_DB.name();
    QRandomGenerator rnd(seed + quint32(index) * 7919u);
    QFile log(logPath);
    if (!log.open(QIODevice::WriteOnly | QIODevice::Text))
        bench::fail("cannot write " + logPath.toStdString());
    QMap<QString, int> counts;
    qint64 marker = qint64(index + 1) * 10000000;
    const QDate first(kYear, kMonth, 1);

    // One of the month's newest rows, as a list would have shown it a moment ago: the workstations keep meeting on
    // the same rows, as they do on the day's journal.
    auto shownRow = [&](journal::ShownRow& r) {
        db::Result q = db::execStatement(
            cn, QStringLiteral("select id, w_id, i_id, o_id, data, smena, color, kol_vo::numeric, brak, time, cena, ok "
                               "from accounts_dep.smena where data between '%1' and '%2' order by id desc limit 1 "
                               "offset %3")
                    .arg(first.toString(Qt::ISODate), first.addMonths(1).addDays(-1).toString(Qt::ISODate))
                    .arg(rnd.bounded(40)));
        if (!q.next())
            return false;
        r.id = q.value(0).toLongLong();
        r.workerId = q.value(1).toLongLong();
        r.productId = q.value(2).toLongLong();
        r.operId = q.value(3).toLongLong();
        r.date = q.value(4).toDate();
        r.shift = q.value(5).toInt();
        r.color = q.value(6).toLongLong();
        r.quantity = q.value(7).toDouble();
        r.rejects = q.value(8).toLongLong();
        r.hours = q.value(9).toLongLong();
        r.price = q.value(10).toDouble();
        r.mark = q.value(11).toString();
        // the user looks at it for a moment, while the others go on
        QThread::usleep(rnd.bounded(20000));
        return true;
    };
    auto entry = [&](qint64 quantity) {
        journal_sql::EntryRow e;
        e.workerId = 1 + rnd.bounded(kWorkers);
        e.operId = 1 + rnd.bounded(kOperations);
        e.productId = (e.operId + 1) / 2;
        e.price = 10 + rnd.bounded(100) / 4.0;
        e.quantity = QString::number(quantity);
        e.rejects = QStringLiteral("0");
        e.hours = QString::number(1 + rnd.bounded(8));
        e.shift = 1 + rnd.bounded(4);
        e.color = rnd.bounded(3);
        e.date = first.addDays(rnd.bounded(first.daysInMonth()));
        e.today = QDate::currentDate();
        return e;
    };

    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < qint64(seconds) * 1000) {
        const int dice = rnd.bounded(1000);
        QString action;
        try {
            journal::Outcome outcome = journal::Outcome::Done;
            journal::ShownRow shown;
            if (dice < 400) {
                action = QStringLiteral("save");
                const qint64 m = ++marker;
                outcome = journal::saveRow(dm, entry(m));
                if (outcome == journal::Outcome::Done)
                    log.write("added " + QByteArray::number(m) + '\n');
            } else if (dice < 600) {
                action = QStringLiteral("change");
                if (!shownRow(shown))
                    continue;
                // moved to another worker, day, shift and hours; the quantity (the row's marker) stays
                journal_sql::EntryRow e = entry(qint64(shown.quantity));
                e.rowId = QString::number(shown.id);
                outcome = journal::saveRow(dm, e);
            } else if (dice < 780) {
                action = QStringLiteral("delete");
                if (!shownRow(shown))
                    continue;
                outcome = journal::deleteRow(dm, shown);
                if (outcome == journal::Outcome::Done)
                    log.write("deleted " + QByteArray::number(qint64(shown.quantity)) + '\n');
            } else if (dice < 998) {
                action = QStringLiteral("accept");
                if (!shownRow(shown))
                    continue;
                outcome = journal::acceptRow(dm, shown, shown.mark == u"ok" ? QStringLiteral("no") : QStringLiteral("ok"));
            } else {
                // rarely, as in a shop: a rebuild puts right whatever went wrong before it, and would hide it
                action = QStringLiteral("rebuild");
                timesheet::rebuildMonth(dm, kMonth, kYear, {});
            }
            ++counts[QStringLiteral("operations")];
            if (outcome != journal::Outcome::Done)
                ++counts[QStringLiteral("refused.%1.%2").arg(action).arg(int(outcome))];
        } catch (const db::DbError& e) {
            static const char* kinds[] = {"statement", "connection lost", "lock timeout", "statement timeout",
                                          "conflict"};
            const db::FailureKind kind = db::classify(e, cn);
            ++counts[QStringLiteral("operations")];
            ++counts[QStringLiteral("error.%1.%2").arg(action, QString::fromLatin1(kinds[int(kind)]))];
            if (kind == db::FailureKind::Statement)
                std::fprintf(stderr, "workstation %d, %s: %s\n", index, qPrintable(action), qPrintable(e.text()));
        } catch (const db::ConversionError& e) {
            ++counts[QStringLiteral("operations")];
            ++counts[QStringLiteral("error.%1.conversion").arg(action)];
            std::fprintf(stderr, "workstation %d, %s: %s\n", index, qPrintable(action), qPrintable(e.text()));
        }
    }
    log.close();
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        std::printf("count %s %d\n", qPrintable(it.key()), it.value());
    return 0;
}

const char* outcomeName(int outcome)
{
    static const char* names[] = {"done", "row gone", "row changed", "duplicate", "worker gone", "operation gone",
                                  "product gone", "too many hours"};
    return outcome >= 0 && outcome < int(std::size(names)) ? names[outcome] : "?";
}

} // namespace

int main(int argc, char* argv[])
{
    bench::setProgram("bench_soak", "SOCKET_OR_HOST DATABASE [--workstations N] [--seconds S] [--seed K]");
    bench::prepareEnvironment();
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments().mid(1);
    const int workstations = bench::takeInt(args, QStringLiteral("--workstations"), 8);
    const int seconds = bench::takeInt(args, QStringLiteral("--seconds"), 120);
    const int seed = bench::takeInt(args, QStringLiteral("--seed"), int(QRandomGenerator::global()->bounded(1 << 30)), 0);
    const int child = bench::takeInt(args, QStringLiteral("--child"), -1, -1);
    QString log;
    if (const qsizetype i = args.indexOf(QStringLiteral("--log")); i >= 0 && i + 1 < args.size()) {
        log = args[i + 1];
        args.remove(i, 2);
    }
    QString server, database;
    bench::takeServerAndDatabase(args, server, database);
    if (child >= 0)
        return workstation(server, database, child, seconds, quint32(seed), log);

    bench::PgSession pg(server, database);
    // A small shop of our own: the month starts empty.
    pg.run(QByteArrayLiteral("truncate accounts_dep.smena, accounts_dep.h_tabel, accounts_dep.norm, accounts_dep.oper, "
                             "accounts_dep.vid_oper, cmn_gds_and_srv.gds_and_srv, cmn_contractor.person"));
    QString setup = QStringLiteral("insert into cmn_contractor.person (id, s_caption, s_code) select n, 'Работник ' || n, "
                                   "n::text from generate_series(1, %1) n;"
                                   "insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, massa) select n, 'ИЗД-' || n, "
                                   "1 from generate_series(1, %2) n;"
                                   "insert into accounts_dep.vid_oper (id, vid) values (1, 'РЕЗКА'), (2, 'КРАСКА');"
                                   "insert into accounts_dep.oper (id, vid, naimen, i_id, cena_new) select n, 1 + n % 2, "
                                   "n % 2, (n + 1) / 2, 0 from generate_series(1, %3) n;"
                                   "insert into accounts_dep.norm (o_id, norma, price, prize) select n, 100, 10 + n, 0 "
                                   "from generate_series(1, %3) n")
                        .arg(kWorkers)
                        .arg((kOperations + 1) / 2)
                        .arg(kOperations);
    for (const QString& statement : setup.split(u';'))
        pg.run(statement);

    std::printf("soak: %d workstations, %d s, seed %d, month %02d.%d\n", workstations, seconds, seed, kMonth, kYear);
    std::fflush(stdout);
    QTemporaryDir dir;
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int i = 0; i < workstations; ++i) {
        auto p = std::make_unique<QProcess>();
        p->setProcessChannelMode(QProcess::SeparateChannels);
        p->setProcessEnvironment(QProcessEnvironment::systemEnvironment());
        p->start(QCoreApplication::applicationFilePath(),
                 {server, database, QStringLiteral("--child"), QString::number(i), QStringLiteral("--seconds"),
                  QString::number(seconds), QStringLiteral("--seed"), QString::number(seed), QStringLiteral("--log"),
                  dir.filePath(QStringLiteral("ws%1.log").arg(i))});
        processes.push_back(std::move(p));
    }
    QMap<QString, int> counts;
    for (auto& p : processes) {
        if (!p->waitForFinished(qMax(60, seconds * 3) * 1000) || p->exitCode() != 0)
            bench::fail("a workstation failed: " + p->readAllStandardError().toStdString());
        const QByteArray err = p->readAllStandardError();
        if (!err.isEmpty())
            std::fputs(err.constData(), stderr);
        for (const QByteArray& line : p->readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() == 3 && parts[0] == "count")
                counts[QString::fromUtf8(parts[1])] += parts[2].toInt();
        }
    }

    // Rows: every added marker there exactly once unless deleted; nothing else there.
    QMap<qint64, int> expected;
    for (int i = 0; i < workstations; ++i) {
        QFile f(dir.filePath(QStringLiteral("ws%1.log").arg(i)));
        if (!f.open(QIODevice::ReadOnly))
            bench::fail("no log of workstation " + std::to_string(i));
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.startsWith("added "))
                ++expected[line.mid(6).toLongLong()];
            else if (line.startsWith("deleted "))
                --expected[line.mid(8).toLongLong()];
        }
    }
    int lost = 0, doubled = 0, unknown = 0;
    QMap<qint64, int> present;
    {
        const QString list = pg.value(QByteArrayLiteral("select coalesce(string_agg(kol_vo::bigint::text, ' '), '') "
                                                        "from accounts_dep.smena"));
        for (const QString& m : list.split(u' ', Qt::SkipEmptyParts))
            ++present[m.toLongLong()];
    }
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        const int there = present.value(it.key());
        if (there < it.value())
            lost += it.value() - there;
        else if (there > it.value())
            doubled += there - it.value();
    }
    for (auto it = present.cbegin(); it != present.cend(); ++it)
        if (!expected.contains(it.key()))
            unknown += it.value();

    // Cells: each day's cell of each worker and shift equals the journal's sum (0 or no row where there is none),
    // and a worker has one timesheet row per shift and month.
    const QString days = [] {
        QStringList d;
        for (int i = 1; i <= 31; ++i)
            d << QStringLiteral("d%1").arg(i);
        return d.join(u',');
    }();
    const QString wrongCells = pg.value(QStringLiteral(
        "with j as (select w_id, smena, extract(day from data)::int as d, sum(time) as h from accounts_dep.smena "
        "           where data >= make_date(%1, %2, 1) and data < make_date(%1, %2, 1) + interval '1 month' "
        "           group by 1, 2, 3), "
        "t as (select w_id, smena, d, (array[%3])[d] as h from accounts_dep.h_tabel, generate_series(1, 31) d "
        "      where year = %1 and month = %2) "
        "select count(*) from j full join t using (w_id, smena, d) where coalesce(j.h, 0) <> coalesce(t.h, 0)")
                                           .arg(kYear)
                                           .arg(kMonth)
                                           .arg(days)
                                           .toUtf8());
    const QString doubledRows = pg.value(QStringLiteral("select count(*) from (select 1 from accounts_dep.h_tabel where "
                                                        "year = %1 and month = %2 group by w_id, smena having count(*) > 1) x")
                                             .arg(kYear)
                                             .arg(kMonth)
                                             .toUtf8());

    int errors = 0;
    for (auto it = counts.cbegin(); it != counts.cend(); ++it) {
        if (it.key().startsWith(u"refused.")) {
            const QStringList p = it.key().split(u'.');
            std::printf("refused %s (%s): %d\n", qPrintable(p.value(1)), outcomeName(p.value(2).toInt()), it.value());
        }
    }
    for (auto it = counts.cbegin(); it != counts.cend(); ++it)
        if (it.key().startsWith(u"error.")) {
            errors += it.value();
            std::printf("error %s: %d\n", qPrintable(it.key().mid(6)), it.value());
        }
    std::printf("rows: %d in the journal, %d lost, %d doubled, %d unknown; timesheet rows doubled: %s\n",
                int(present.size()), lost, doubled, unknown, qPrintable(doubledRows));
    const int wrong = wrongCells.toInt() + doubledRows.toInt();
    std::printf("soak: %d operations, %d errors, %d wrong cells\n", counts.value(QStringLiteral("operations")), errors,
                wrong);
    return wrong == 0 && lost == 0 && doubled == 0 && unknown == 0 ? 0 : 1;
}
