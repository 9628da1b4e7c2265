// The journal window: activation, day, day-off flag, shift views, acceptance marks and deletion.
#include "db/data_module.h"
#include "db/sql_text.h"
#include "harness/widgets.h"
#include "journal/journal_window.h"
#include "support/app_fixture.h"
#include "timesheet/timesheet_window.h"
#include "ui/dataset_grid.h"
#include "ui/date_box.h"
#include "ui/messages.h"

#include <QAction>
#include <QCalendarWidget>
#include <QCheckBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSettings>
#include <QtTest>

namespace {

QString isoDate(const QDate& d)
{
    return d.toString(Qt::ISODate);
}

// A journal row: worker, shift, date, hours and mark; product/operation 1 (РЕЗКА) unless painting is asked for.
void addRow(TestDatabase& db, int id, int worker, int shift, const QDate& date, int hours, const QString& ok,
            bool painting = false, int kol = 10, int brak = 0)
{
    db.exec(QStringLiteral("insert into accounts_dep.smena (id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena,"
                           " color, time, ok, vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use,"
                           " id_cons_use) values (%1, %2, %3, %3, 12.5, %4, %5, '%6', %7, %8, %9, %10, '%6', 0, 0, 0,"
                           " 0, 0, 0)")
                .arg(id)
                .arg(worker)
                .arg(painting ? 2 : 1)
                .arg(kol)
                .arg(brak)
                .arg(isoDate(date))
                .arg(shift)
                .arg(painting ? 3 : 0)
                .arg(hours)
                .arg(db::sql::quote(ok)));
}

// The timesheet row of a worker, shift and month, with the hours of some days.
void addTimesheet(TestDatabase& db, int worker, int shift, const QDate& month, const QMap<int, int>& days)
{
    QString cols = "w_id, smena, month, year",
            vals = QString("%1, %2, %3, %4").arg(worker).arg(shift).arg(month.month()).arg(month.year());
    for (auto it = days.begin(); it != days.end(); ++it) {
        cols += QString(", d%1").arg(it.key());
        vals += QString(", %1").arg(it.value());
    }
    db.exec("insert into accounts_dep.h_tabel (" + cols + ") values (" + vals + ")");
}

// What the authorization does before it shows the journal, then the journal's activation.
void openJournal(AppFixture& app, const QString& code = "63175042")
{
    app.w.journal->signIn(code.toUtf8(), app.w.journal->shift());
    for (int s = 1; s <= 4; ++s)
        app.w.database->smenaQuery(s)->setParam("ok", "ta");
    app.w.journal->FormActivate();
}

QStringList marks(db::Dataset* q)
{
    QStringList out;
    for (q->first(); !q->eof(); q->next())
        out << q->asString("ok");
    return out;
}

} // namespace

class TestJournal : public QObject {
    Q_OBJECT

private slots:
    void init() { ui::Messages::clearShown(); }

    // Activation shows today, keeps the chosen shift, and after a window opened from the journal closes it
    // shows today again with other workstations' new rows.
    void activationShowsToday()
    {
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addRow(db, 1, 1, 1, today, 8, "ok");
        addRow(db, 2, 2, 2, today, 4, "no");
        addRow(db, 3, 2, 2, today.addDays(-1), 4, "no");
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        openJournal(app);
        QCOMPARE(widget<ui::DateBox>(j, "DateT")->date(), today);
        QCOMPARE(widget<ui::DbGrid>(j, "DBGrid2")->dataset(), app.w.database->Smena1);
        QCOMPARE(widget<ui::DbGrid>(j, "DBGrid2")->model()->rowCount(), 1);
        widget<QRadioButton>(j, "RadioButton2")->setChecked(true);
        QCOMPARE(j->shift(), 2);
        QCOMPARE(widget<ui::DbGrid>(j, "DBGrid2")->dataset(), app.w.database->Smena2);
        QVERIFY(widget<QRadioButton>(j, "RadioButton2")->font().bold());
        QVERIFY(!widget<QRadioButton>(j, "RadioButton1")->font().bold());
        QCOMPARE(widget<QRadioButton>(j, "RadioButton2")->palette().color(QPalette::Window), QColor(0, 128, 0));
        // the user looks at yesterday, opens the timesheet and closes it
        widget<ui::DateBox>(j, "DateT")->setDate(today.addDays(-1));
        j->showChosenDay();
        QCOMPARE(app.w.database->Smena2->recordCount(), 1);
        QCOMPARE(app.w.database->Smena2->asInt("id"), 3);
        addRow(db, 4, 1, 2, today, 2, "no");
        ui::showModal(app.w.timesheet, j);
        QCOMPARE(widget<ui::DateBox>(j, "DateT")->date(), today);
        QCOMPARE(j->shift(), 2);
        QCOMPARE(widget<ui::DbGrid>(j, "DBGrid2")->dataset(), app.w.database->Smena2);
        QCOMPARE(widget<ui::DbGrid>(j, "DBGrid2")->model()->rowCount(), 2);
        QCOMPARE(widget<QCheckBox>(j, "CBox1")->isChecked(), today.dayOfWeek() >= 6);
    }

    // The whole road through the authorization: the journal comes up on today's shift 1.
    void journalShownAfterLogin()
    {
        TestDatabase db;
        loadSmallShop(db);
        addRow(db, 1, 1, 1, QDate::currentDate(), 8, "no");
        AppFixture app(db);
        int rows = -1;
        QString title;
        bool stillShown = false;
        QWidget* focused = nullptr;
        app.login("9865", [&] {
            focused = app.w.journal->focusWidget();
            rows = widget<ui::DbGrid>(app.w.journal, "DBGrid2")->model()->rowCount();
            title = app.w.journal->windowTitle();
            // Escape does not end the program: only "Выход" and the window's close button do
            QTest::keyClick(widget<ui::DbGrid>(app.w.journal, "DBGrid2"), Qt::Key_Escape);
            QTest::keyClick(app.w.journal, Qt::Key_Escape);
            stillShown = app.w.journal->isVisible();
        });
        QCOMPARE(rows, 1);
        QCOMPARE(focused, static_cast<QWidget*>(widget<ui::DbGrid>(app.w.journal, "DBGrid2")));
        QCOMPARE(title, QStringLiteral("Табель"));
        QVERIFY(stillShown);
        QVERIFY(app.w.terminateRequested);
    }

    void dayChangeSetsDayOffFlag_data()
    {
        QTest::addColumn<QDate>("day");
        QTest::addColumn<bool>("checkedBefore");
        QTest::addColumn<bool>("dayOff");
        QTest::newRow("Saturday") << QDate(2026, 12, 5) << false << true;
        QTest::newRow("Sunday") << QDate(2026, 12, 6) << false << true;
        QTest::newRow("weekday unchecks a user's check") << QDate(2026, 12, 7) << true << false;
        QTest::newRow("weekday") << QDate(2026, 12, 9) << false << false;
    }

    void dayChangeSetsDayOffFlag()
    {
        QFETCH(QDate, day);
        QFETCH(bool, checkedBefore);
        QFETCH(bool, dayOff);
        TestDatabase db;
        loadSmallShop(db);
        addRow(db, 1, 1, 1, day, 8, "no");
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        openJournal(app);
        widget<QCheckBox>(j, "CBox1")->setChecked(checkedBefore);
        widget<ui::DateBox>(j, "DateT")->setDate(day);
        QTest::keyClick(widget<ui::DateBox>(j, "DateT"), Qt::Key_Return);
        QCOMPARE(widget<QCheckBox>(j, "CBox1")->isChecked(), dayOff);
        QCOMPARE(widget<QCheckBox>(j, "CBox1")->font().bold(), dayOff);
        if (dayOff)
            QCOMPARE(widget<QCheckBox>(j, "CBox1")->palette().color(QPalette::Window), QColor(255, 0, 0));
        QCOMPARE(app.w.database->Smena1->recordCount(), 1);
        QCOMPARE(app.w.database->Smena1->value("data").toDateTime().date(), day);
    }

    // The journal's own reset to today (each time it is active again) sets the day-off mark by today, as the calendar
    // does, when it moves to another day: a Saturday's mark does not carry over to the next weekday's rows. A reset
    // to the day already shown keeps the user's choice.
    void resetToTodaySetsDayOffFlag_data()
    {
        const QDate today = QDate::currentDate();
        QDate saturday = today.addDays(Qt::Saturday - today.dayOfWeek());
        if (saturday >= today)
            saturday = saturday.addDays(-7);
        QDate weekday = today.addDays(-1);
        while (weekday.dayOfWeek() >= Qt::Saturday)
            weekday = weekday.addDays(-1);
        QTest::addColumn<QDate>("shown");
        QTest::addColumn<bool>("checkedByHand");
        QTest::addColumn<bool>("afterReset");
        QTest::newRow("from a Saturday") << saturday << true << (today.dayOfWeek() >= Qt::Saturday);
        QTest::newRow("from a weekday checked by hand") << weekday << true << (today.dayOfWeek() >= Qt::Saturday);
        QTest::newRow("today, a holiday checked by hand") << today << true << true;
        QTest::newRow("today, unchecked by hand") << today << false << false;
    }

    void resetToTodaySetsDayOffFlag()
    {
        QFETCH(QDate, shown);
        QFETCH(bool, checkedByHand);
        QFETCH(bool, afterReset);
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        openJournal(app);
        widget<ui::DateBox>(j, "DateT")->setDate(shown);
        j->showChosenDay();
        widget<QCheckBox>(j, "CBox1")->setChecked(checkedByHand);
        ui::showModal(app.w.timesheet, j); // any window opened from the journal and closed again
        QCOMPARE(widget<ui::DateBox>(j, "DateT")->date(), QDate::currentDate());
        QCOMPARE(widget<QCheckBox>(j, "CBox1")->isChecked(), afterReset);
        QCOMPARE(widget<QCheckBox>(j, "CBox1")->font().bold(), afterReset);
    }

    // However the calendar closes, the day change runs: the rows of the box's day are read and the day-off flag
    // follows that day (a user's check on a weekday is reset).
    void calendarCloseRunsDayChange_data()
    {
        QTest::addColumn<QString>("how");
        QTest::addColumn<QDate>("shown");
        QTest::newRow("a day picked") << "pick" << QDate(2026, 12, 5);
        QTest::newRow("Enter") << "enter" << QDate(2026, 12, 5);
        QTest::newRow("Escape") << "escape" << QDate(2026, 12, 9);
        QTest::newRow("a click outside") << "outside" << QDate(2026, 12, 9);
    }

    void calendarCloseRunsDayChange()
    {
        QFETCH(QString, how);
        QFETCH(QDate, shown);
        TestDatabase db;
        loadSmallShop(db);
        addRow(db, 1, 1, 1, QDate(2026, 12, 5), 8, "no");
        addRow(db, 2, 1, 1, QDate(2026, 12, 9), 8, "no");
        addRow(db, 3, 2, 1, QDate(2026, 12, 9), 8, "no");
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        openJournal(app);
        j->show();
        widget<QCheckBox>(j, "CBox1")->setChecked(true);              // the user's check
        widget<ui::DateBox>(j, "DateT")->setDate(QDate(2026, 12, 9)); // typed, not yet read
        QCalendarWidget* calendar = widget<ui::DateBox>(j, "DateT")->calendarWidget();
        QWidget* popup = calendar->window();
        popup->show();
        QVERIFY(QTest::qWaitForWindowExposed(popup));
        if (how == "pick") {
            calendar->setSelectedDate(QDate(2026, 12, 5));
            emit calendar->clicked(QDate(2026, 12, 5));
        } else if (how == "enter") {
            calendar->setSelectedDate(QDate(2026, 12, 5));
            emit calendar->activated(QDate(2026, 12, 5));
        } else if (how == "escape") {
            QTest::keyClick(popup, Qt::Key_Escape);
        } else {
            popup->close(); // what a click outside a popup does
        }
        QTRY_VERIFY(!popup->isVisible());
        QTRY_COMPARE(app.w.database->Smena1->recordCount(), shown.day() == 5 ? 1 : 2);
        QCOMPARE(widget<ui::DateBox>(j, "DateT")->date(), shown);
        QCOMPARE(app.w.database->Smena1->value("data").toDateTime().date(), shown);
        QCOMPARE(widget<QCheckBox>(j, "CBox1")->isChecked(), shown.dayOfWeek() >= 6);
        j->hide();
    }

    // Shift buttons only switch the view; "Обновить" reads the database again.
    void shiftButtonsDoNotReread()
    {
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        openJournal(app);
        addRow(db, 1, 1, 3, today, 8, "no");
        widget<QRadioButton>(j, "RadioButton3")->setChecked(true);
        QCOMPARE(widget<ui::DbGrid>(j, "DBGrid2")->model()->rowCount(), 0);
        widget<QPushButton>(j, "Button8")->click();
        QCOMPARE(widget<ui::DbGrid>(j, "DBGrid2")->model()->rowCount(), 1);
        QCOMPARE(widget<QLabel>(j, "LabelTotals")->text(),
                 QStringLiteral("Записей: 1    Кол-во: 10    Брак: 0    Часы: 8    Итого (р.): 125,00"));
    }

    // Nine- and ten-digit figures show whole in the grid (the cell draws "12345…" when its column is too narrow).
    void largeFiguresShowWhole()
    {
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addRow(db, 1, 1, 1, today, 8, "ok", false, 1234567890, 32000);
        db.exec("update accounts_dep.smena set cena = 0.5 where id = 1");
        addRow(db, 2, 2, 1, today, 32767, "ok", false, 123456789, 0); // the most hours the database keeps
        AppFixture app(db);
        openJournal(app);
        auto* grid = widget<ui::DbGrid>(app.w.journal, "DBGrid2");
        const int margin = 2 * (grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1);
        QStringList seen;
        for (int r = 0; r < 2; ++r)
            for (int c : {5, 6, 7, 8}) { // Часы, Кол-во, Брак, Итого (р.)
                const QString text = grid->model()->index(r, c).data().toString();
                seen << text;
                QVERIFY2(grid->fontMetrics().horizontalAdvance(text) + margin <= grid->columnWidth(c),
                         qPrintable(text));
            }
        QVERIFY2(seen.contains("1234567890") && seen.contains("1543209862,5") && seen.contains("32767"),
                 qPrintable(seen.join(u' ')));
    }

    // Where the focus is shows from the start, without a Tab pressed first: on a shift button (its green look
    // included) and in the list, whose current row is framed and whose selection is pale without the focus.
    void focusIsVisible()
    {
        TestDatabase db;
        loadSmallShop(db);
        addRow(db, 1, 1, 1, QDate::currentDate(), 8, "no");
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        openJournal(app);
        j->show();
        QVERIFY(QTest::qWaitForWindowActive(j));
        auto* grid = widget<ui::DbGrid>(j, "DBGrid2");
        auto* shift = widget<QRadioButton>(j, "RadioButton1");
        auto* other = widget<QPushButton>(j, "Button8");
        const auto look = [](QWidget* w) { return w->grab().toImage(); };
        for (QWidget* w : {static_cast<QWidget*>(shift), static_cast<QWidget*>(grid)}) {
            w->setFocus(Qt::OtherFocusReason);
            QVERIFY(w->hasFocus());
            const QImage focused = look(w);
            other->setFocus(Qt::OtherFocusReason);
            QVERIFY2(look(w) != focused, w->objectName().toLatin1());
        }
    }

    // Grid columns, hidden bonus column, the coloured acceptance mark and the totals line.
    void gridShowsRowsAndMarks()
    {
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addRow(db, 1, 1, 1, today, 8, "ok", false, 10, 2);
        addRow(db, 2, 2, 1, today, 4, "да");
        addRow(db, 3, 2, 1, today, 3, "OK", true);
        addRow(db, 4, 1, 1, today, 1, "нет", true, 7, 7);
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        openJournal(app);
        auto* model = widget<ui::DbGrid>(j, "DBGrid2")->model();
        QStringList titles;
        for (int c = 0; c < model->columnCount(); ++c)
            titles << model->headerData(c, Qt::Horizontal).toString();
        QCOMPARE(titles, QStringList({"Фамилия И.О.", "Марка изделия", "Операция", "Вид", "Цвет", "Часы", "Кол-во",
                                      "Брак", "Итого (р.)", "Премия (%)", "OK", "Заведен"}));
        QVERIFY(widget<ui::DbGrid>(j, "DBGrid2")->isColumnHidden(9));
        QCOMPARE(model->rowCount(), 4);
        // shift 1 is ordered by worker, product, kind, flag, colour
        QCOMPARE(model->index(0, 0).data().toString(), QStringLiteral("Иванов И.И."));
        QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("ДМ-101"));
        QCOMPARE(model->index(0, 8).data().toString(), QStringLiteral("100"));
        QCOMPARE(model->index(1, 4).data().toString(), QStringLiteral("3"));
        QCOMPARE(model->index(1, 8).data().toString(), QStringLiteral("0"));
        QCOMPARE(model->index(0, 11).data().toString(), today.toString("dd.MM.yyyy"));
        const QHash<QString, QColor> expected = {{"ok", QColor(0, 128, 0)},
                                                 {"да", QColor(0, 128, 0)},
                                                 {"OK", QColor(255, 0, 0)},
                                                 {"нет", QColor(255, 0, 0)}};
        for (int r = 0; r < 4; ++r) {
            const QString mark = model->index(r, 10).data().toString();
            const ui::CellStyle s = widget<ui::DbGrid>(j, "DBGrid2")->cellStyle(r, "ok");
            QVERIFY(s.bold);
            QCOMPARE(s.foreground, expected.value(mark));
            QVERIFY(!widget<ui::DbGrid>(j, "DBGrid2")->cellStyle(r, "fio").bold);
        }
        QCOMPARE(widget<QLabel>(j, "LabelTotals")->text(),
                 QStringLiteral("Записей: 4    Кол-во: 37    Брак: 9    Часы: 16    Итого (р.): 350,00"));
    }

    void acceptance_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::newRow("no becomes ok") << "63175042"
                                       << "no"
                                       << "ok";
        QTest::newRow("ok becomes no") << "63175042"
                                       << "ok"
                                       << "no";
        QTest::newRow("да becomes no") << "fromu"
                                       << "да"
                                       << "no";
        QTest::newRow("OK is not accepted") << "fromu"
                                            << "OK"
                                            << "ok";
        QTest::newRow("foreman changes nothing") << "plinoth"
                                                 << "no"
                                                 << "no";
    }

    // A double click toggles the mark of the current row and keeps the cursor on that row.
    void acceptance()
    {
        QFETCH(QString, code);
        QFETCH(QString, before);
        QFETCH(QString, after);
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addRow(db, 1, 1, 1, today, 8, "no");
        addRow(db, 2, 2, 1, today, 4, before);
        addRow(db, 3, 2, 1, today, 3, "no", true);
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        openJournal(app, code);
        widget<ui::DbGrid>(j, "DBGrid2")->selectRow(1);
        QCOMPARE(app.w.database->Smena1->asInt("id"), 2);
        j->acceptRow();
        QCOMPARE(db.scalar("select ok from accounts_dep.smena where id = 2").toString(), after);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena where ok = 'no' and id <> 2").toInt(), 2);
        QCOMPARE(app.w.database->Smena1->recNo(), 2);
        QCOMPARE(widget<ui::DbGrid>(j, "DBGrid2")->currentIndex().row(), 1);
        QCOMPARE(app.w.database->Smena1->asString("ok"), after);
    }

    void acceptanceTwiceRestores()
    {
        TestDatabase db;
        loadSmallShop(db);
        addRow(db, 1, 1, 4, QDate::currentDate(), 2, "no");
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        openJournal(app);
        widget<QRadioButton>(j, "RadioButton4")->setChecked(true);
        j->acceptRow();
        QCOMPARE(marks(app.w.database->Smena4), QStringList{"ok"});
        j->acceptRow();
        QCOMPARE(marks(app.w.database->Smena4), QStringList{"no"});
        // a row deleted meanwhile on another workstation: nothing is written, it says so, and the row disappears
        db.exec("delete from accounts_dep.smena");
        j->acceptRow();
        QCOMPARE(app.w.database->Smena4->recordCount(), 0);
        QCOMPARE(ui::Messages::shown().size(), 1);
        QCOMPARE(ui::Messages::shown()[0].text,
                 QStringLiteral("Запись не найдена: её изменили или удалили на другом рабочем месте."));
        ui::Messages::clearShown();
        j->acceptRow(); // an empty shift: nothing happens
        QVERIFY(ui::Messages::shown().isEmpty());
    }

    // Deleting asks first; the day's cell of the timesheet follows the remaining rows of that worker and shift.
    void deletion_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("deleteId");
        QTest::addColumn<QList<int>>("rowsLeft");
        QTest::addColumn<int>("cell");
        QTest::newRow("No deletes nothing") << false << 1 << QList<int>{1, 2, 3} << 12;
        QTest::newRow("one of two rows leaves the other's hours") << true << 1 << QList<int>{2, 3} << 4;
        QTest::newRow("the last row leaves 0") << true << 3 << QList<int>{1, 2} << 12;
    }

    void deletion()
    {
        QFETCH(bool, answer);
        QFETCH(int, deleteId);
        QFETCH(QList<int>, rowsLeft);
        QFETCH(int, cell);
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        const int day = today.day();
        const int otherDay = day == 1 ? 2 : 1;
        addRow(db, 1, 1, 2, today, 8, "no");
        addRow(db, 2, 1, 2, today, 4, "no", true);
        addRow(db, 3, 2, 2, today, 6, "no");
        addTimesheet(db, 1, 2, today, {{day, 12}, {otherDay, 7}});
        addTimesheet(db, 2, 2, today, {{day, 6}, {otherDay, 5}});
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        openJournal(app);
        widget<QRadioButton>(j, "RadioButton2")->setChecked(true);
        QVERIFY(app.w.database->Smena2->locate("id", deleteId));
        ui::Messages::queueAnswer(answer);
        widget<QPushButton>(j, "Button3")->click();
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, ui::ShownMessage::Kind::Question);
        QCOMPARE(shown[0].text, QStringLiteral("Удалить позицию из списка?"));
        QCOMPARE(shown[0].caption, QStringLiteral("Удаление"));
        QList<int> left;
        for (const auto& r : db.rows("select id from accounts_dep.smena order by id"))
            left << r[0].toInt();
        QCOMPARE(left, rowsLeft);
        const int worker = deleteId == 3 ? 2 : 1;
        const int expectedCell = !answer ? (worker == 1 ? 12 : 6) : (deleteId == 3 ? 0 : cell);
        QCOMPARE(db.scalar(QString("select d%1 from accounts_dep.h_tabel where w_id=%2").arg(day).arg(worker)).toInt(),
                 expectedCell);
        // the other days of the month stay as they were
        QCOMPARE(
            db.scalar(QString("select d%1 from accounts_dep.h_tabel where w_id=%2").arg(otherDay).arg(worker)).toInt(),
            worker == 1 ? 7 : 5);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.h_tabel").toInt(), 2);
        QCOMPARE(app.w.database->Smena2->recordCount(), rowsLeft.size());
    }

    // The journal by keys only: Tab leaves the list and reaches "Добавить", Insert opens the editor for a new row,
    // Enter and F2 for the current one, Space accepts it, Delete asks, F5 reads the day again.
    void keyboardWalk()
    {
        TestDatabase db;
        loadSmallShop(db);
        addRow(db, 1, 1, 1, QDate::currentDate(), 8, "no");
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        openJournal(app);
        j->show();
        j->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(j));
        const auto press = [](int key) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(key)); };
        widget<ui::DbGrid>(j, "DBGrid2")->setFocus();
        widget<ui::DbGrid>(j, "DBGrid2")->selectRow(0);
        press(Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != widget<ui::DbGrid>(j, "DBGrid2"));
        for (int i = 0; i < 12 && QApplication::focusWidget() != widget<QPushButton>(j, "Button1"); ++i)
            press(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(widget<QPushButton>(j, "Button1")));

        QStringList titles;
        for (int i = 0; i < 3; ++i)
            ui::scriptModal("EntryEditor", [&](QDialog* d) { titles << d->windowTitle(); });
        // back in the journal after each window, the list focused by the journal itself (Insert was pressed on
        // "Добавить")
        const auto back = [j] {
            j->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(j));
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(widget<ui::DbGrid>(j, "DBGrid2")));
        };
        press(Qt::Key_Insert);
        back();
        press(Qt::Key_Return);
        back();
        press(Qt::Key_F2);
        back();
        QCOMPARE(titles,
                 (QStringList{"Заведение новой позиции", "Изменение данных о позиции", "Изменение данных о позиции"}));

        press(Qt::Key_Space);
        QCOMPARE(db.scalar("select ok from accounts_dep.smena where id = 1").toString(), QStringLiteral("ok"));
        ui::Messages::queueAnswer(false);
        press(Qt::Key_Delete);
        QCOMPARE(ui::Messages::shown().size(), 1);
        QCOMPARE(ui::Messages::shown()[0].text, QStringLiteral("Удалить позицию из списка?"));
        db.exec("update accounts_dep.smena set kol_vo = 77 where id = 1");
        press(Qt::Key_F5);
        QCOMPARE(app.w.database->Smena1->asInt("kol_vo"), 77);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 1);
    }

    // The journal opens where it was left, as large, with the same column widths, after the program was started
    // again; never larger than the screen, never off it.
    void placeIsKeptAcrossRestarts()
    {
        TestDatabase db;
        loadSmallShop(db);
        const auto show = [](AppFixture& app) {
            openJournal(app);
            app.w.journal->show();
            QVERIFY(QTest::qWaitForWindowExposed(app.w.journal));
        };
        const QRect free = QGuiApplication::primaryScreen()->availableGeometry();
        const QRect left(free.left() + 30, free.top() + 40, free.width() - 100, free.height() - 120);
        {
            AppFixture app(db);
            show(app);
            const QRect frame = app.w.journal->frameGeometry();
            QVERIFY2(free.contains(frame), qPrintable(QString("%1x%2").arg(frame.width()).arg(frame.height())));
            app.w.journal->setGeometry(left);
            widget<ui::DbGrid>(app.w.journal, "DBGrid2")->horizontalHeader()->resizeSection(0, 260);
            app.w.journal->hide();
        }
        {
            AppFixture app(db);
            show(app);
            QCOMPARE(app.w.journal->geometry(), left);
            QCOMPARE(widget<ui::DbGrid>(app.w.journal, "DBGrid2")->horizontalHeader()->sectionSize(0), 260);
            app.w.journal->move(free.right() + 500, free.bottom() + 500); // a screen that is gone since
            app.w.journal->hide();
        }
        AppFixture app(db);
        show(app);
        QVERIFY(free.intersects(app.w.journal->frameGeometry()));
        QVERIFY(free.contains(app.w.journal->geometry().topLeft()));
    }

    // A kept size that fits stands even where the toolkit refuses the kept geometry (it does for a geometry kept on a
    // screen much wider or narrower than the one the window opens on).
    void keptSizeStandsWhereTheGeometryIsRefused()
    {
        TestDatabase db;
        loadSmallShop(db);
        QSize kept;
        {
            AppFixture app(db);
            openJournal(app);
            app.w.journal->show();
            QVERIFY(QTest::qWaitForWindowExposed(app.w.journal));
            kept = app.w.journal->minimumSizeHint() + QSize(30, 20);
            app.w.journal->resize(kept);
            app.w.journal->hide();
        }
        {
            QSettings s(QSettings::IniFormat, QSettings::UserScope, "kesta", "kesta_tabel");
            s.setValue("windows/TForm1/geometry", QByteArray("saved on another screen"));
        }
        AppFixture app(db);
        openJournal(app);
        app.w.journal->show();
        QVERIFY(QTest::qWaitForWindowExposed(app.w.journal));
        QCOMPARE(app.w.journal->size(), kept);
        QVERIFY(QGuiApplication::primaryScreen()->availableGeometry().contains(app.w.journal->geometry()));
    }

    // The deletion question as the user meets it: "Нет" is its default button, so Enter keeps the row.
    void enterAnswersNoToTheDeletion()
    {
        TestDatabase db;
        loadSmallShop(db);
        addRow(db, 1, 1, 1, QDate::currentDate(), 8, "no");
        AppFixture app(db);
        openJournal(app);
        bool defaultIsNo = false;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            QVERIFY(box);
            defaultIsNo = box->defaultButton() == box->button(QMessageBox::No);
            QTest::keyClick(box, Qt::Key_Return);
        });
        ui::Messages::setScripted(false);
        widget<QPushButton>(app.w.journal, "Button3")->click();
        ui::Messages::setScripted(true);
        QVERIFY(defaultIsNo);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 1);
    }

    // When the timesheet cannot be corrected, the journal row stays and the error is shown.
    void failedTimesheetCorrectionKeepsRow()
    {
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addRow(db, 1, 1, 1, today, 8, "no");
        addTimesheet(db, 1, 1, today, {{today.day(), 8}});
        db.exec("create function accounts_dep.h_tabel_locked() returns trigger language plpgsql as $$"
                " begin raise exception 'табель закрыт'; end $$;"
                "create trigger h_tabel_locked before update on accounts_dep.h_tabel"
                " for each row execute function accounts_dep.h_tabel_locked()");
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        openJournal(app);
        ui::Messages::queueAnswer(true);
        widget<QPushButton>(j, "Button3")->click();
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[1].kind, ui::ShownMessage::Kind::StandardError);
        QVERIFY(shown[1].text.contains("табель закрыт"));
        QVERIFY2(!shown[1].text.contains("Связь"), qPrintable(shown[1].text)); // not a lost connection
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 1);
        QCOMPARE(db.scalar(QString("select d%1 from accounts_dep.h_tabel").arg(today.day())).toInt(), 8);
        // the window keeps working on the same connection
        widget<QPushButton>(j, "Button8")->click();
        QCOMPARE(app.w.database->Smena1->recordCount(), 1);
    }

    // A date typed into the box without Enter is not what the grid shows: the hours of the deleted row's own
    // day are corrected.
    void deletionCorrectsTheRowsOwnDay()
    {
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        const QDate other = today.day() == 1 ? today.addDays(1) : today.addDays(-1);
        addRow(db, 1, 1, 1, today, 8, "no");
        addRow(db, 2, 1, 1, other, 5, "no");
        addTimesheet(db, 1, 1, today, {{today.day(), 8}, {other.day(), 5}});
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        openJournal(app);
        widget<ui::DateBox>(j, "DateT")->setDate(other); // typed, no Enter
        ui::Messages::queueAnswer(true);
        widget<QPushButton>(j, "Button3")->click();
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena where id = 1").toInt(), 0);
        QCOMPARE(db.scalar(QString("select d%1 from accounts_dep.h_tabel").arg(today.day())).toInt(), 0);
        QCOMPARE(db.scalar(QString("select d%1 from accounts_dep.h_tabel").arg(other.day())).toInt(), 5);
    }

    void deletionOnEmptyShiftDoesNothing()
    {
        TestDatabase db;
        AppFixture app(db);
        openJournal(app);
        widget<QPushButton>(app.w.journal, "Button3")->click();
        QVERIFY(ui::Messages::shown().isEmpty());
    }

    void reportPeriod_data()
    {
        QTest::addColumn<QDate>("today");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::newRow("January") << QDate(2027, 1, 15) << QDate(2026, 12, 1) << QDate(2027, 1, 1);
        QTest::newRow("March") << QDate(2026, 3, 31) << QDate(2026, 2, 1) << QDate(2026, 3, 1);
        QTest::newRow("December") << QDate(2026, 12, 1) << QDate(2026, 11, 1) << QDate(2026, 12, 1);
    }

    void reportPeriod()
    {
        QFETCH(QDate, today);
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        const auto period = JournalWindow::reportPeriod(today);
        QCOMPARE(period.first, from);
        QCOMPARE(period.second, to);
    }

    // The menu opens its windows modally; "Внеурочное" does nothing; "Выход" closes the journal.
    void menu()
    {
        TestDatabase db;
        AppFixture app(db);
        JournalWindow* j = app.w.journal;
        openJournal(app);
        widget<QAction>(j, "N8")->trigger();
        QVERIFY(ui::shownModals().isEmpty());
        widget<QAction>(j, "N10")->trigger();
        widget<QAction>(j, "N11")->trigger();
        widget<QAction>(j, "N1")->trigger();
        QCOMPARE(ui::shownModals(), QStringList({"ReportsWindow", "TimesheetWindow", "WorkersList"}));
        QVERIFY(!app.w.database->Workers->isOpen());
        QVERIFY(ui::Messages::shown().isEmpty());
    }
};

QTEST_MAIN(TestJournal)
#include "tst_journal.moc"
