// The hours timesheet: month colouring, cell painting, the rebuild against the journal (also with a second
// workstation), the printed month and the opening from the journal.
#include "db/connector.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "db/sql_text.h"
#include "db/timesheet_hours_sql.h"
#include "harness/widgets.h"
#include "journal/journal_window.h"
#include "reportengine/preview_dialog.h"
#include "reportengine/render.h"
#include "reportengine/report_runner.h"
#include "spreadsheet/cell_text.h"
#include "support/app_fixture.h"
#include "support/xlsx_reader.h"
#include "timesheet/timesheet_report.h"
#include "timesheet/timesheet_sql.h"
#include "timesheet/timesheet_window.h"
#include "ui/dataset_grid.h"
#include "ui/date_box.h"
#include "ui/messages.h"

#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <thread>

namespace {

const QColor kRed(255, 0, 0);
const QColor kSilver(192, 192, 192);

// A journal row of a worker, shift, date and hours.
void addRow(TestDatabase& db, int worker, int shift, const QDate& date, int hours)
{
    db.exec(QStringLiteral("insert into accounts_dep.smena (w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color,"
                           " time, ok, vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use)"
                           " values (%1, 1, 1, 12.5, 10, 0, '%2', %3, 0, %4, 'no', '%2', 0, 0, 0, 0, 0, 0)")
                .arg(worker)
                .arg(date.toString(Qt::ISODate))
                .arg(shift)
                .arg(hours));
}

void addTimesheet(TestDatabase& db, int worker, int shift, int month, int year, const QMap<int, int>& days)
{
    QString cols = "w_id, smena, month, year",
            vals = QString("%1, %2, %3, %4").arg(worker).arg(shift).arg(month).arg(year);
    for (auto it = days.begin(); it != days.end(); ++it) {
        cols += QString(", d%1").arg(it.key());
        vals += QString(", %1").arg(it.value());
    }
    db.exec("insert into accounts_dep.h_tabel (" + cols + ") values (" + vals + ")");
}

// The month's timesheet rows as "shift/worker: d1 d2 ... d31", sorted.
QStringList timesheetOf(TestDatabase& db, int month, int year)
{
    QString days;
    for (int d = 1; d <= 31; ++d)
        days += QString(d == 1 ? "d%1" : " || ' ' || d%1").arg(d);
    QStringList out;
    for (const QVariantList& r : db.rows(QString("select smena || '/' || w_id || ': ' || %1 from accounts_dep.h_tabel"
                                                 " where month=%2 and year=%3 order by 1")
                                             .arg(days)
                                             .arg(month)
                                             .arg(year)))
        out << r[0].toString();
    return out;
}

// The same rows computed straight from the journal: per worker and shift with rows in the month, each day's sum.
QStringList referenceOf(TestDatabase& db, int month, int year)
{
    QString days;
    for (int d = 1; d <= 31; ++d)
        days += QString(d == 1 ? "%2" : " || ' ' || %2")
                    .arg(QString("coalesce(sum(time) filter (where extract(day from data)=%1), 0)").arg(d));
    QStringList out;
    for (const QVariantList& r : db.rows(QString("select smena || '/' || w_id || ': ' || %1 from accounts_dep.smena"
                                                 " where extract(month from data)=%2 and extract(year from data)=%3"
                                                 " group by smena, w_id order by 1")
                                             .arg(days)
                                             .arg(month)
                                             .arg(year)))
        out << r[0].toString();
    return out;
}

void chooseMonth(TimesheetWindow* f, int month, int year)
{
    widget<QComboBox>(f, "ComboBox1")->setCurrentIndex(month - 1);
    widget<QComboBox>(f, "ComboBox2")->setCurrentText(QString::number(year));
    QCOMPARE(widget<QComboBox>(f, "ComboBox2")->currentText(), QString::number(year));
    f->showMonth();
}

// What another workstation's journal save does: the month's lock shared and the worker's, the row, the day's cell
// from the sum.
void saveOnOtherWorkstation(const QString& connectionString, const QString& server, const QString& database, int worker,
                            int shift, const QDate& date, int hours, int holdMs, std::atomic<bool>* locked)
{
    Q_UNUSED(connectionString);
    const QString name = QString("other_%1").arg(quintptr(QThread::currentThreadId()));
    {
        db::Connector& c = connectToCluster(name, server, database, "sys");
        db::Result q;
        auto run = [&](const QString& sql) {
            try {
                q = c.exec(sql);
            } catch (const db::DbError& e) {
                qFatal("%s: %s", qPrintable(sql), qPrintable(e.text()));
            }
        };
        run("begin");
        run(db::hours_sql::lockMonthShared(date.month(), date.year()));
        run(db::hours_sql::lockWorkerMonth(worker, shift, date.month(), date.year()));
        if (locked)
            *locked = true;
        run(QString("insert into accounts_dep.smena (w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time,"
                    " ok, vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values (%1, 1, 1,"
                    " 12.5, 10, 0, '%2', %3, 0, %4, 'no', '%2', 0, 0, 0, 0, 0, 0)")
                .arg(worker)
                .arg(date.toString(Qt::ISODate))
                .arg(shift)
                .arg(hours));
        const QString where = QString(" where w_id=%1 and smena=%2 and month=%3 and year=%4")
                                  .arg(worker)
                                  .arg(shift)
                                  .arg(date.month())
                                  .arg(date.year());
        const QString sum = QString("(select coalesce(sum(time),0) from accounts_dep.smena where w_id=%1 and smena=%2"
                                    " and data='%3')")
                                .arg(worker)
                                .arg(shift)
                                .arg(date.toString(Qt::ISODate));
        run(QString("update accounts_dep.h_tabel set d%1=%2").arg(date.day()).arg(sum) + where);
        if (q.numRowsAffected() == 0)
            run(QString("insert into accounts_dep.h_tabel (w_id, smena, month, year, d%1) values (%2, %3, %4, %5, %6)")
                    .arg(date.day())
                    .arg(worker)
                    .arg(shift)
                    .arg(date.month())
                    .arg(date.year())
                    .arg(sum));
        QThread::msleep(holdMs);
        run("commit");
    }
    db::removeConnector(name);
}

// Waits until some backend of the database waits for a lock.
bool someoneWaitsForALock(TestDatabase& db)
{
    for (int i = 0; i < 200; ++i) {
        if (db.scalar(
                  "select count(*) from pg_stat_activity where datname=current_database() and wait_event_type='Lock'")
                .toInt() > 0)
            return true;
        QThread::msleep(25);
    }
    return false;
}

} // namespace

class TestTimesheet : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        ui::Messages::clearShown();
        reportengine::setPreviewHook({});
    }

    void statementTexts_data()
    {
        QTest::addColumn<QString>("actual");
        QTest::addColumn<QString>("expected");
        QTest::newRow("print query") << db::sql::lines(timesheet_sql::kHTabelLines).section("\r\n", 8, 9)
                                     << "h_tabel.w_id=person.s_code::t_integer and month=:mnth and\r\n"
                                        "year=:yea group by fio order by fio";
        QTest::newRow("day query") << timesheet_sql::kDt
                                   << " select smena, w_id, sum(time) as tim from accounts_dep.smena where data=:data"
                                      " group by smena,w_id;";
        QTest::newRow("rebuild month") << timesheet_sql::rebuildMonth(2, 2026)
                                       << "select accounts_dep.rebuild_timesheet_month(2, 2026)";
    }

    void statementTexts()
    {
        QFETCH(QString, actual);
        QFETCH(QString, expected);
        QCOMPARE(actual, expected);
    }

    void yearListRunsToNextYear()
    {
        const QStringList years = TimesheetWindow::yearItems(2026);
        QCOMPARE(years.first(), QStringLiteral("2007"));
        QCOMPARE(years.last(), QStringLiteral("2027"));
        QCOMPARE(years.size(), 21);
    }

    void monthColouring_data()
    {
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("days");
        QTest::addColumn<QList<int>>("weekend");
        // February 2026: 28 days and its first day a Sunday.
        QTest::newRow("February 2026") << 2 << 2026 << 28 << QList<int>{1, 7, 8, 14, 15, 21, 22, 28};
        QTest::newRow("March 2026 (starts on Sunday)")
            << 3 << 2026 << 31 << QList<int>{1, 7, 8, 14, 15, 21, 22, 28, 29};
        QTest::newRow("leap February 2024") << 2 << 2024 << 29 << QList<int>{3, 4, 10, 11, 17, 18, 24, 25};
        QTest::newRow("April 2026") << 4 << 2026 << 30 << QList<int>{4, 5, 11, 12, 18, 19, 25, 26};
    }

    void monthColouring()
    {
        QFETCH(int, month);
        QFETCH(int, year);
        QFETCH(int, days);
        QFETCH(QList<int>, weekend);
        TestDatabase db;
        AppFixture app(db);
        TimesheetWindow* f = app.w.timesheet;
        chooseMonth(f, month, year);
        const QColor text = QApplication::palette().color(QPalette::WindowText);
        const QColor base = QApplication::palette().color(QPalette::Base);
        for (int g = 0; g < 3; ++g) {
            QVERIFY(app.w.database->H_Tabel_1->isOpen());
            QCOMPARE(app.w.database->H_Tabel_2->param("mnth").toInt(), month);
            QCOMPARE(app.w.database->H_Tabel_3->param("yea").toInt(), year);
            ui::DatasetModel* model = f->grid(g + 1)->datasetModel();
            for (int d = 1; d <= 31; ++d) {
                const TimesheetWindow::ColumnLook& c = f->columnLook(g, d);
                const QColor title = model->headerData(d, Qt::Horizontal, Qt::ForegroundRole).value<QColor>();
                if (d > days) {
                    QVERIFY2(c.readOnly && c.font == base && c.title == kSilver, qPrintable(QString::number(d)));
                } else {
                    const QColor expected = weekend.contains(d) ? kRed : text;
                    QVERIFY2(!c.readOnly && c.font == expected && c.title == expected, qPrintable(QString::number(d)));
                }
                QCOMPARE(title, c.title);
            }
        }
    }

    void cellPainting_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<int>("columnKind"); // 0 weekday, 1 weekend, 2 past the month's end
        QTest::addColumn<bool>("selected");
        QTest::addColumn<QColor>("font");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<QColor>("background");
        const QColor text = QApplication::palette().color(QPalette::WindowText);
        const QColor base = QApplication::palette().color(QPalette::Base);
        const QColor green(192, 220, 192);
        QTest::newRow("weekday 0 silver") << 3 << QVariant(0) << 0 << false << kSilver << false << QColor();
        QTest::newRow("weekday empty silver") << 3 << QVariant() << 0 << false << kSilver << false << QColor();
        QTest::newRow("weekend 0 stays red") << 3 << QVariant(0) << 1 << false << kRed << false << QColor();
        QTest::newRow("past the end 0 invisible") << 30 << QVariant(0) << 2 << false << base << false << QColor();
        QTest::newRow("8 bold") << 3 << QVariant(8) << 0 << false << text << true << QColor();
        QTest::newRow("weekend 8 bold red") << 3 << QVariant(8) << 1 << false << kRed << true << QColor();
        QTest::newRow("9 bold on green") << 3 << QVariant(9) << 0 << false << text << true << green;
        QTest::newRow("12 on a weekend") << 3 << QVariant(12) << 1 << false << kRed << true << green;
        QTest::newRow("5 plain") << 3 << QVariant(5) << 0 << false << text << false << QColor();
        QTest::newRow("negative plain") << 3 << QVariant(-2) << 0 << false << text << false << QColor();
        QTest::newRow("selected untouched") << 3 << QVariant(0) << 0 << true << text << false << QColor();
        QTest::newRow("name column untouched") << 0 << QVariant(0) << 0 << false << text << false << QColor();
        QTest::newRow("total column untouched") << 32 << QVariant(9) << 0 << false << text << false << QColor();
    }

    void cellPainting()
    {
        QFETCH(int, column);
        QFETCH(QVariant, value);
        QFETCH(int, columnKind);
        QFETCH(bool, selected);
        QFETCH(QColor, font);
        QFETCH(bool, bold);
        QFETCH(QColor, background);
        const QColor text = QApplication::palette().color(QPalette::WindowText);
        const QColor base = QApplication::palette().color(QPalette::Base);
        TimesheetWindow::ColumnLook look{text, text, false};
        if (columnKind == 1)
            look = {kRed, kRed, false};
        else if (columnKind == 2)
            look = {base, kSilver, true};
        const TimesheetWindow::CellLook cell = TimesheetWindow::cellLook(column, value, look, selected);
        QCOMPARE(cell.font, font);
        QCOMPARE(cell.bold, bold);
        QCOMPARE(cell.background, background);
    }

    // The rebuild gives what the journal says: several shifts, one worker in two shifts on one day, overtime,
    // a day whose hours sum to 0; a stale row of another worker goes, other months stay.
    void rebuildMatchesTheJournal()
    {
        TestDatabase db;
        loadSmallShop(db);
        db.exec("insert into cmn_contractor.person (id, s_caption, s_code) values (3, 'Сидоров С.С.', '3')");
        addRow(db, 1, 1, QDate(2026, 2, 2), 8);
        addRow(db, 1, 1, QDate(2026, 2, 2), 3); // same day, same shift: 11
        addRow(db, 1, 2, QDate(2026, 2, 2), 4); // same day, second shift
        addRow(db, 1, 1, QDate(2026, 2, 28), 9);
        addRow(db, 2, 3, QDate(2026, 2, 1), 7);
        addRow(db, 2, 4, QDate(2026, 2, 14), 2); // overtime
        addRow(db, 2, 2, QDate(2026, 2, 10), 0);
        addRow(db, 1, 1, QDate(2026, 3, 1), 8);            // next month: not part of February
        addTimesheet(db, 3, 1, 2, 2026, {{5, 8}});         // stale: worker 3 has no journal rows
        addTimesheet(db, 1, 1, 2, 2026, {{2, 1}, {3, 8}}); // stale values of a supported row
        addTimesheet(db, 3, 1, 1, 2026, {{5, 8}});         // January stays
        AppFixture app(db);
        TimesheetWindow* f = app.w.timesheet;
        chooseMonth(f, 2, 2026);
        QList<int> progress;
        QObject::connect(widget<QProgressBar>(f, "PB"), &QProgressBar::valueChanged, f, [&](int v) {
            progress << v;
            QVERIFY(widget<QProgressBar>(f, "PB")->isVisibleTo(f));
            QCOMPARE(widget<QProgressBar>(f, "PB")->maximum(), 28);
        });
        QTest::mouseClick(widget<QPushButton>(f, "Button1"), Qt::LeftButton);
        QVERIFY2(ui::Messages::shown().isEmpty(), qPrintable(ui::Messages::shown().value(0).text));

        const QStringList expected = referenceOf(db, 2, 2026);
        QCOMPARE(expected.size(), 5);
        QCOMPARE(timesheetOf(db, 2, 2026), expected);
        QCOMPARE(db.scalar("select d2 from accounts_dep.h_tabel where w_id=1 and smena=1 and month=2").toInt(), 11);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.h_tabel where month=1 and year=2026").toInt(), 1);
        QCOMPARE(progress.last(), 28);
        QVERIFY(!widget<QProgressBar>(f, "PB")->isVisibleTo(f));
        QVERIFY(app.w.database->H_Tabel_1->isOpen());
        QCOMPARE(app.w.database->H_Tabel_1->recordCount(), 1);
        QCOMPARE(app.w.database->H_Tabel_2->recordCount(), 2);
    }

    // A refused statement leaves the month as it was and is reported.
    void failedRebuildLeavesTheMonth()
    {
        TestDatabase db;
        loadSmallShop(db);
        addRow(db, 1, 1, QDate(2026, 2, 2), 8);
        addTimesheet(db, 2, 1, 2, 2026, {{5, 8}});
        db.exec("create function accounts_dep.refuse() returns trigger language plpgsql as $$ begin raise exception"
                " 'запись табеля запрещена'; end $$;"
                "create trigger refuse before insert on accounts_dep.h_tabel for each row execute function"
                " accounts_dep.refuse()");
        const QStringList before = timesheetOf(db, 2, 2026);
        AppFixture app(db);
        chooseMonth(app.w.timesheet, 2, 2026);
        QTest::mouseClick(widget<QPushButton>(app.w.timesheet, "Button1"), Qt::LeftButton);
        QCOMPARE(ui::Messages::shown().size(), 1);
        QVERIFY(ui::Messages::shown().first().text.contains("запись табеля запрещена"));
        QCOMPARE(timesheetOf(db, 2, 2026), before);
        QVERIFY(!widget<QProgressBar>(app.w.timesheet, "PB")->isVisibleTo(app.w.timesheet));
        QVERIFY(app.w.database->H_Tabel_1->isOpen());
    }

    // A journal save of another workstation during a rebuild: whichever holds the month first, the other waits,
    // and the month ends with the saved row's hours and one row per worker and shift.
    void rebuildAndAnotherWorkstationTakeTurns_data()
    {
        QTest::addColumn<bool>("saveFirst");
        QTest::newRow("save holds the month, rebuild waits") << true;
        QTest::newRow("rebuild holds the month, save waits") << false;
    }

    void rebuildAndAnotherWorkstationTakeTurns()
    {
        QFETCH(bool, saveFirst);
        TestDatabase db;
        loadSmallShop(db);
        addRow(db, 1, 1, QDate(2026, 2, 2), 8);
        addTimesheet(db, 1, 1, 2, 2026, {{2, 8}});
        AppFixture app(db);
        TimesheetWindow* f = app.w.timesheet;
        chooseMonth(f, 2, 2026);
        const QString server = db.server(), name = db.name();
        std::thread other;
        if (saveFirst) {
            std::atomic<bool> locked = false;
            other =
                std::thread(saveOnOtherWorkstation, QString(), server, name, 2, 1, QDate(2026, 2, 3), 6, 600, &locked);
            while (!locked)
                QThread::msleep(5);
            f->rebuildMonth();
        } else {
            bool started = false;
            QObject::connect(widget<QProgressBar>(f, "PB"), &QProgressBar::valueChanged, f, [&](int day) {
                if (day < 2 || started) // the bar starts at 1: its first change comes with the rows written
                    return;
                started = true;
                other = std::thread(saveOnOtherWorkstation, QString(), server, name, 2, 1, QDate(2026, 2, 3), 6, 0,
                                    nullptr);
                QVERIFY(someoneWaitsForALock(db));
            });
            f->rebuildMonth();
        }
        other.join();
        QCOMPARE(timesheetOf(db, 2, 2026), referenceOf(db, 2, 2026));
        QCOMPARE(db.scalar("select d3 from accounts_dep.h_tabel where w_id=2 and smena=1 and month=2").toInt(), 6);
    }

    // Printing: one line per worker name, all shifts added; two workers of one name are one line.
    void printedMonth()
    {
        TestDatabase db;
        loadSmallShop(db);
        db.exec("insert into cmn_contractor.person (id, s_caption, s_code) values (3, 'Иванов И.И.', '3')");
        addTimesheet(db, 1, 1, 2, 2026, {{2, 8}, {3, 9}});
        addTimesheet(db, 1, 2, 2, 2026, {{2, 4}});
        addTimesheet(db, 1, 4, 2, 2026, {{30, 1}});
        addTimesheet(db, 3, 3, 2, 2026, {{5, 7}});
        addTimesheet(db, 2, 1, 2, 2026, {{28, 12}});
        addTimesheet(db, 2, 1, 3, 2026, {{1, 8}}); // another month
        AppFixture app(db);
        TimesheetWindow* f = app.w.timesheet;
        chooseMonth(f, 2, 2026);
        QString dump;
        bool maximised = false;
        reportengine::setPreviewHook([&](reportengine::PreviewDialog& dlg, const reportengine::Document& doc) {
            dump = doc.dump();
            maximised = dlg.windowState() & Qt::WindowMaximized;
            QVERIFY(app.w.timesheet->monthReport().query().isOpen());
            QCOMPARE(doc.orientation, QPageLayout::Landscape);
            QCOMPARE(doc.paperMm, QSizeF(297, 210));
            QCOMPARE(doc.marginsMm, QMarginsF(10, 10, 10, 10));
            QCOMPARE(doc.title, QStringLiteral("Табель по времени — Февраль 2026 г."));
        });
        QTest::mouseClick(widget<QPushButton>(f, "Button6"), Qt::LeftButton);
        QVERIFY2(ui::Messages::shown().isEmpty(), qPrintable(ui::Messages::shown().value(0).text));
        QVERIFY(maximised);
        QVERIFY(!app.w.timesheet->monthReport().query().isOpen());
        auto line = [](const QString& name, QMap<int, int> days, int total) {
            QStringList cells{name};
            for (int d = 1; d <= 31; ++d)
                cells << QString::number(days.value(d));
            cells << QString::number(total);
            return QStringLiteral("QRBand1: ") + cells.join(" | ");
        };
        QStringList header{"Февраль 2026 г."};
        for (int d = 1; d <= 31; ++d)
            header << QString::number(d);
        header << "Итого";
        const QString expected = "page 1\nQRGroup1: " + header.join(" | ") + "\n" +
                                 line("Иванов И.И.", {{2, 12}, {3, 9}, {5, 7}, {30, 1}}, 29) + "\n" +
                                 line("Петрова А.С.", {{28, 12}}, 12) + "\nQRBand2: 1\n";
        QCOMPARE(dump, expected);
    }

    // An empty month still prints a page: the header and the page number.
    void printedEmptyMonth()
    {
        TestDatabase db;
        AppFixture app(db);
        chooseMonth(app.w.timesheet, 7, 2026);
        QString dump;
        reportengine::setPreviewHook(
            [&](reportengine::PreviewDialog&, const reportengine::Document& doc) { dump = doc.dump(); });
        app.w.timesheet->printMonth();
        QVERIFY(dump.startsWith("page 1\nQRGroup1: Июль 2026 г. | 1 | 2 |"));
        QVERIFY(dump.endsWith("| 31 | Итого\nQRBand2: 1\n"));
    }

    // The export: a title and the day numbers, then one row per worker name with all shifts added and the total;
    // the button counts the rows.
    void exportedMonth()
    {
        TestDatabase db;
        loadSmallShop(db);
        db.exec("insert into cmn_contractor.person (id, s_caption, s_code) values (3, 'Иванов И.И.', '3')");
        addTimesheet(db, 1, 1, 2, 2026, {{2, 8}, {3, 9}});
        addTimesheet(db, 1, 2, 2, 2026, {{2, 4}});
        addTimesheet(db, 3, 3, 2, 2026, {{5, 7}});
        addTimesheet(db, 2, 1, 2, 2026, {{28, 12}});
        AppFixture app(db);
        TimesheetWindow* f = app.w.timesheet;
        chooseMonth(f, 2, 2026);
        QTemporaryDir dir;
        spreadsheet::Application::setOutputFolder(dir.path());
        QStringList opened;
        spreadsheet::Application::setOpener([&](const QString& file) {
            opened << file;
            return true;
        });
        QTest::mouseClick(widget<QPushButton>(f, "Button2"), Qt::LeftButton);
        spreadsheet::Application::setOpener({});
        spreadsheet::Application::setOutputFolder({});
        QVERIFY2(ui::Messages::shown().isEmpty(), qPrintable(ui::Messages::shown().value(0).text));
        QCOMPARE(widget<QPushButton>(f, "Button2")->text(), QStringLiteral("Excel (2 из 2)"));
        QVERIFY(!app.w.timesheet->monthReport().query().isOpen());
        QCOMPARE(opened.size(), 1);
        XlsxFile x(opened.first());
        QVERIFY2(x.isValid(), qPrintable(x.error()));
        QCOMPARE(x.lastRow(), 4);
        QCOMPARE(x.cell(1, 1).text, QStringLiteral("Февраль 2026"));
        QVERIFY(x.cell(1, 1).bold && x.cell(1, 1).textFormat);
        QStringList header{"Фамилия И.О."};
        for (int d = 1; d <= 31; ++d)
            header << QString::number(d);
        header << "Итого";
        QCOMPARE(x.row(2), header);
        QVERIFY(x.cell(2, 2).isNumber && x.cell(2, 2).bold);
        QStringList first{"Иванов И.И."};
        for (int d = 1; d <= 31; ++d)
            first << QString::number(d == 2 ? 12 : d == 3 ? 9 : d == 5 ? 7 : 0);
        first << "28";
        QCOMPARE(x.row(3), first);
        QVERIFY(x.cell(4, 3).isNumber && !x.cell(4, 3).bold);
        QCOMPARE(x.cell(3, 3).number, 12.0);
        QCOMPARE(x.cell(30, 4).text, QStringLiteral("0")); // day 29 of a 28-day month is written too
        QCOMPARE(x.cell(33, 4).number, 12.0);
        // The month and the headings stay in view, and so do the names; each column fitted as it was written.
        QCOMPARE(x.frozenRows(), 2);
        QCOMPARE(x.frozenColumns(), 1);
        QVERIFY(x.columnWidth(1) >= spreadsheet::columnWidthFor(QStringLiteral("Фамилия И.О."), true));
        QVERIFY(x.columnWidth(1) < spreadsheet::columnWidthFor(QStringLiteral("Фамилия И.О."), true) + 1);
        QVERIFY(x.columnWidth(33) >= spreadsheet::columnWidthFor(QStringLiteral("Итого"), true));
    }

    void exportedEmptyMonth()
    {
        TestDatabase db;
        AppFixture app(db);
        chooseMonth(app.w.timesheet, 7, 2026);
        QTemporaryDir dir;
        spreadsheet::Application::setOutputFolder(dir.path());
        QStringList opened;
        spreadsheet::Application::setOpener([&](const QString& file) {
            opened << file;
            return true;
        });
        app.w.timesheet->exportMonth();
        spreadsheet::Application::setOpener({});
        spreadsheet::Application::setOutputFolder({});
        QCOMPARE(widget<QPushButton>(app.w.timesheet, "Button2")->text(), QStringLiteral("Excel (0 из 0)"));
        QCOMPARE(opened.size(), 1);
        XlsxFile x(opened.first());
        QCOMPARE(x.lastRow(), 2);
        QCOMPARE(x.row(1), QStringList{QStringLiteral("Июль 2026")});
    }

    // Opening from the journal: the month and year of the journal's date, the grids read, closed afterwards.
    void openingFromTheJournal()
    {
        TestDatabase db;
        loadSmallShop(db);
        addTimesheet(db, 1, 1, 11, 2025, {{3, 8}});
        AppFixture app(db);
        widget<ui::DateBox>(app.w.journal, "DateT")->setDate(QDate(2025, 11, 20));
        bool inside = false;
        ui::scriptModal("TimesheetWindow", [&](QDialog*) {
            inside = true;
            QCOMPARE(widget<QComboBox>(app.w.timesheet, "ComboBox1")->currentText(), QStringLiteral("Ноябрь"));
            QCOMPARE(widget<QComboBox>(app.w.timesheet, "ComboBox2")->currentText(), QStringLiteral("2025"));
            QCOMPARE(app.w.database->H_Tabel_1->recordCount(), 1);
            QCOMPARE(widget<QPushButton>(app.w.timesheet, "Button2")->text(), QStringLiteral("Excel"));
            QCOMPARE(app.w.timesheet->columnLook(0, 1).font, kRed); // 1 November 2025 is a Saturday
        });
        app.w.journal->openTimesheet();
        QVERIFY(inside);
        QVERIFY(!app.w.database->H_Tabel_1->isOpen());
        QVERIFY(!app.w.database->H_Tabel_2->isOpen());
        QVERIFY(!app.w.database->H_Tabel_3->isOpen());
    }
};

QTEST_MAIN(TestTimesheet)
#include "tst_timesheet.moc"
