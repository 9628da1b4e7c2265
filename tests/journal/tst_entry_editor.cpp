// The journal entry editor and its save: openings, prices and their formats, key filters, refusals, the row
// and the timesheet written together, and two workstations saving the same row.
#include "catalogs/operation_prices_list.h"
#include "catalogs/workers_list.h"
#include "db/connector.h"
#include "db/data_module.h"
#include "db/sql_text.h"
#include "harness/widgets.h"
#include "journal/entry_editor.h"
#include "journal/journal_sql.h"
#include "journal/journal_window.h"
#include "support/app_fixture.h"
#include "ui/dataset_grid.h"
#include "ui/date_box.h"
#include "ui/messages.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <atomic>
#include <thread>

namespace {

// A journal row of operation 1 (product 1, РЕЗКА) or, for painting, operation 2 (product 2, КРАСКА).
void addRow(TestDatabase& db, int id, int worker, int shift, const QDate& date, int hours, bool painting = false,
            int color = 0)
{
    db.exec(QStringLiteral("insert into accounts_dep.smena (id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena,"
                           " color, time, ok, vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use,"
                           " id_cons_use) values (%1, %2, %3, %3, 12.3, 7, 1, '%4', %5, %6, %7, 'no', '%4', 0, 0, 0,"
                           " 0, 0, 0)")
                .arg(id)
                .arg(worker)
                .arg(painting ? 2 : 1)
                .arg(date.toString(Qt::ISODate))
                .arg(shift)
                .arg(color)
                .arg(hours));
    db.exec("select setval('accounts_dep.smena_id_seq', (select max(id) from accounts_dep.smena))");
}

void openJournal(AppFixture& app, int shift = 1)
{
    for (int s = 1; s <= 4; ++s)
        app.w.database->smenaQuery(s)->setParam("ok", "ta");
    app.w.journal->FormActivate();
    QRadioButton* buttons[] = {
        widget<QRadioButton>(app.w.journal, "RadioButton1"), widget<QRadioButton>(app.w.journal, "RadioButton2"),
        widget<QRadioButton>(app.w.journal, "RadioButton3"), widget<QRadioButton>(app.w.journal, "RadioButton4")};
    buttons[shift - 1]->setChecked(true);
}

// The editor as the two choosers leave it for a new row of operation 1 (base price 10.25) or 2 (painting, 30) in
// the journal's shift.
void fillNew(EntryEditor* e, int shift, const QDate& date, int worker, int oper, const QString& quantity,
             const QString& hours)
{
    e->prepareNew(date, shift, false);
    e->takeWorker(worker, worker == 1 ? "Иванов И.И." : "Петрова А.С.");
    e->takeOperation(oper, oper, oper == 1 ? 10.25 : 30,
                     oper == 1 ? "ДМ-101; РЕЗКА; Готовая продукция" : "ОК-205; КРАСКА; Заготовки");
    widget<QLineEdit>(e, "Edit3")->setText(quantity);
    widget<QLineEdit>(e, "Edit6")->setText(hours);
}

int cell(TestDatabase& db, int worker, int shift, const QDate& date)
{
    const QVariant v = db.scalar(QString("select d%1 from accounts_dep.h_tabel where w_id=%2 and smena=%3 and "
                                         "month=%4 and year=%5")
                                     .arg(date.day())
                                     .arg(worker)
                                     .arg(shift)
                                     .arg(date.month())
                                     .arg(date.year()));
    return v.isValid() ? v.toInt() : -1; // -1: no timesheet row
}

QStringList messages()
{
    QStringList out;
    for (const ui::ShownMessage& m : ui::Messages::shown())
        out << m.text;
    return out;
}

} // namespace

class TestEntryEditor : public QObject {
    Q_OBJECT

private slots:
    void init() { ui::Messages::clearShown(); }

    // The documented texts for ordinary values.
    void statements_data()
    {
        QTest::addColumn<QString>("built");
        QTest::addColumn<QString>("expected");
        journal_sql::EntryRow r;
        r.workerId = 17;
        r.operId = 205;
        r.productId = 31;
        r.price = 10.25 * 1.2;
        r.quantity = "40";
        r.rejects = "2";
        r.hours = "8";
        r.color = 3;
        r.shift = 3;
        r.date = QDate(2026, 3, 5);
        r.today = QDate(2026, 3, 6);
        r.rowId = "9001";
        QTest::newRow("duplicate, new row")
            << journal_sql::duplicateOfNew(r)
            << "select count(id) as cnt from accounts_dep.SMENA where w_id=17 and o_id=205 and i_id=31 and "
               "data=to_date('05.03.2026', 'DD.MM.YYYY') and smena=3 and color=3";
        QTest::newRow("duplicate, change")
            << journal_sql::duplicateOfChange(r)
            << "select count(id) as cnt from accounts_dep.SMENA where w_id=17 and o_id=205 and i_id=31 and "
               "data=to_date('05.03.2026', 'DD.MM.YYYY') and smena=3 and id<>9001 and color=3";
        QTest::newRow("insert")
            << journal_sql::insertRow(r)
            << "insert into accounts_dep.SMENA(w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, "
               "vvod,ok, "
               "prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use) values(17, 31, 205, 12.3,40, 2, "
               "to_date('05.03.2026', 'DD.MM.YYYY HH24:MI:SS'), 3, 3, 8, '06.03.2026', 'no', 0, 0, 0, 0, 0, 0)";
        QTest::newRow("update")
            << journal_sql::updateRow(r)
            << "update accounts_dep.SMENA set w_id=17, i_id=31, o_id=205, cena=12.3, kol_vo=40, brak=2, "
               "data=to_date('05.03.2026', 'DD.MM.YYYY'), smena=3, color=3, time=8, vvod='06.03.2026', prize=0, "
               "id_doc=0, id_doc_item=0, f_gds_qty_use=0, id_gds_use=0, id_cons_use=0 where id=9001";
        QTest::newRow("product mark") << journal_sql::productMark(31)
                                      << "select marka from accounts_dep.izdel where id=31";
    }

    void statements()
    {
        QFETCH(QString, built);
        QFETCH(QString, expected);
        QCOMPARE(built, expected);
    }

    // Texts that are not whole numbers never reach the statements.
    void statementsRefuseNonDigits()
    {
        journal_sql::EntryRow r;
        r.date = r.today = QDate(2026, 3, 5);
        r.quantity = "1; drop table accounts_dep.smena";
        r.rejects = r.hours = "0";
        r.rowId = "1";
        QVERIFY_THROWS_EXCEPTION(db::ConversionError, journal_sql::insertRow(r));
        r.quantity = "1";
        r.rowId = "1 or true";
        QVERIFY_THROWS_EXCEPTION(db::ConversionError, journal_sql::updateRow(r));
    }

    // Times 10 000, to the nearest integer with exact halves to even, taken in extended precision; shown in the
    // general notation with the workstation's decimal comma, written into statements with a full stop.
    void rounding_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shownText");
        QTest::addColumn<QString>("statementText");
        QTest::newRow("half to even, down") << 1.03125 << "1,0312"
                                            << "1.0312";
        QTest::newRow("half to even, up") << 0.09375 << "0,0938"
                                          << "0.0938";
        QTest::newRow("half to even, 2") << 0.15625 << "0,1562"
                                         << "0.1562";
        // stored a little above the half: the extended product keeps it above
        QTest::newRow("0.00125 above its half") << 0.00125 << "0,0013"
                                                << "0.0013";
        QTest::newRow("0.12345 above its half") << 0.12345 << "0,1235"
                                                << "0.1235";
        QTest::newRow("0.00005 above its half") << 0.00005 << "0,0001"
                                                << "0.0001";
        // stored a little below the half
        QTest::newRow("2.00005 below its half") << 2.00005 << "2"
                                                << "2";
        QTest::newRow("10.25 x 1.2") << 10.25 * 1.2 << "12,3"
                                     << "12.3";
        QTest::newRow("0.1 + 0.2") << 0.1 + 0.2 << "0,3"
                                   << "0.3";
        QTest::newRow("below the last decimal") << 0.00004 << "0"
                                                << "0";
        QTest::newRow("whole") << 30.0 << "30"
                               << "30";
        QTest::newRow("15 significant digits") << 123456789012.34567 << "123456789012,346"
                                               << "123456789012.346";
    }

    void rounding()
    {
        QFETCH(double, value);
        QFETCH(QString, shownText);
        QFETCH(QString, statementText);
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(EntryEditor::shown(value), shownText);
        QCOMPARE(db::sql::price(value), statementText);
    }

    void finalPrice_data()
    {
        QTest::addColumn<int>("shift");
        QTest::addColumn<bool>("dayOff");
        QTest::addColumn<QString>("price");
        // base 1.0625: overtime gives 1.59375, an exact half that goes to the even 1.5938
        QTest::newRow("1") << 1 << false << "1,0625";
        QTest::newRow("1, day off") << 1 << true << "2,125";
        QTest::newRow("2") << 2 << false << "1,0625";
        QTest::newRow("2, day off") << 2 << true << "2,125";
        QTest::newRow("3") << 3 << false << "1,275";
        QTest::newRow("3, day off") << 3 << true << "2,55";
        QTest::newRow("overtime") << 4 << false << "1,5938";
        QTest::newRow("overtime, day off") << 4 << true << "3,1875";
    }

    void finalPrice()
    {
        QFETCH(int, shift);
        QFETCH(bool, dayOff);
        QFETCH(QString, price);
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(EntryEditor::shown(EntryEditor::finalPrice(1.0625, dayOff, shift)), price);
    }

    // Only digits (and Backspace) can be typed into the four number boxes; pasted text must be digits too.
    void numberBoxesTakeDigitsOnly()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        EntryEditor* e = app.w.entryEditor;
        widget<QLineEdit>(e, "Edit5")->setEnabled(true);
        for (QLineEdit* box : {widget<QLineEdit>(e, "Edit3"), widget<QLineEdit>(e, "Edit4"),
                               widget<QLineEdit>(e, "Edit5"), widget<QLineEdit>(e, "Edit6")}) {
            box->clear();
            QTest::keyClicks(box, "1a2,3.-4 5");
            QCOMPARE(box->text(), QStringLiteral("12345"));
            QTest::keyClick(box, Qt::Key_Backspace);
            QCOMPARE(box->text(), QStringLiteral("1234"));
            box->clear();
            box->insert("12x");
            QCOMPARE(box->text(), QString());
        }
    }

    void tabOrder()
    {
        TestDatabase db;
        AppFixture app(db);
        EntryEditor* e = app.w.entryEditor;
        widget<QLineEdit>(e, "Edit5")->setEnabled(true);
        // The chain from "..." of the worker, narrowed to the controls that take Tab.
        const QList<QWidget*> expected{
            widget<QPushButton>(e, "Button3"), widget<QPushButton>(e, "Button4"), widget<QLineEdit>(e, "Edit3"),
            widget<QLineEdit>(e, "Edit6"),     widget<QLineEdit>(e, "Edit5"),     widget<ui::DateBox>(e, "DTimeP"),
            widget<QLineEdit>(e, "Edit4"),     widget<QPushButton>(e, "Button1"), widget<QPushButton>(e, "Button2")};
        QList<QWidget*> order;
        QWidget* w = widget<QPushButton>(e, "Button3");
        do {
            if (expected.contains(w) && !order.contains(w))
                order << w;
            w = w->nextInFocusChain();
        } while (w != widget<QPushButton>(e, "Button3"));
        QCOMPARE(order, expected);
        for (QLineEdit* box :
             {widget<QLineEdit>(e, "Edit1"), widget<QLineEdit>(e, "Edit2"), widget<QLineEdit>(e, "Edit7"),
              widget<QLineEdit>(e, "Edit8"), widget<QLineEdit>(e, "Edit9")}) {
            QVERIFY(box->isReadOnly());
            QVERIFY(!(box->focusPolicy() & Qt::TabFocus));
        }
        QVERIFY(widget<QPushButton>(e, "Button1")->isDefault());
        QCOMPARE(widget<QGroupBox>(e, "GroupBox1")->title(), QStringLiteral("Закрыто мастером"));
        QVERIFY(widget<QGroupBox>(e, "GroupBox1")->font().bold());
    }

    // A change typed with the keyboard only: the date box is one Tab stop, so a number typed after one Tab too
    // many or too few never lands in the date's day or month; Enter saves.
    void keysThroughTheBoxes()
    {
        TestDatabase db;
        loadSmallShop(db);
        const QDate day(2026, 3, 10);
        addRow(db, 1, 1, 1, day, 5);
        AppFixture app(db);
        openJournal(app);
        widget<ui::DateBox>(app.w.journal, "DateT")->setDate(day);
        app.w.journal->showChosenDay();
        EntryEditor* e = app.w.entryEditor;
        bool shown = false;
        ui::scriptModal("EntryEditor", [&](QDialog*) {
            shown = true;
            e->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(e));
            widget<QLineEdit>(e, "Edit3")->setFocus(Qt::TabFocusReason);
            widget<QLineEdit>(e, "Edit3")->selectAll();
            const auto typed = [e](const QString& text) { QTest::keyClicks(e->focusWidget(), text); };
            const auto tab = [e](Qt::KeyboardModifiers m = Qt::NoModifier) {
                QTest::keyClick(e->focusWidget(), Qt::Key_Tab, m);
            };
            typed("251");
            tab();
            QCOMPARE(e->focusWidget(), static_cast<QWidget*>(widget<QLineEdit>(e, "Edit6")));
            typed("6");
            tab(); // the colour box is off for this operation
            QCOMPARE(e->focusWidget(), static_cast<QWidget*>(widget<ui::DateBox>(e, "DTimeP")));
            tab();
            QCOMPARE(e->focusWidget(), static_cast<QWidget*>(widget<QLineEdit>(e, "Edit4")));
            typed("2");
            tab(Qt::ShiftModifier);
            QCOMPARE(e->focusWidget(), static_cast<QWidget*>(widget<ui::DateBox>(e, "DTimeP")));
            // in the box, the arrows move between day, month and year and change the part they stand on
            QTest::keyClick(widget<ui::DateBox>(e, "DTimeP"), Qt::Key_Up);
            QCOMPARE(widget<ui::DateBox>(e, "DTimeP")->date(), day.addDays(1));
            QTest::keyClick(widget<ui::DateBox>(e, "DTimeP"), Qt::Key_Down);
            tab();
            QCOMPARE(e->focusWidget(), static_cast<QWidget*>(widget<QLineEdit>(e, "Edit4")));
            QTest::keyClick(e->focusWidget(), Qt::Key_Return);
        });
        widget<QPushButton>(app.w.journal, "Button2")->click();
        QVERIFY(shown);
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('\n')));
        QCOMPARE(db.rows("select data, kol_vo::int, time, brak from accounts_dep.smena where id = 1"),
                 (QList<QVariantList>{{day, 251, 6, 2}}));
    }

    // "Изменить" fills the editor from the current row; the paint rule looks only at the operation kind here;
    // the price list is closed, so leaving a box shows base price 0 while price and sum keep the row's price.
    void openingForChange_data()
    {
        QTest::addColumn<bool>("painting");
        QTest::newRow("painting row") << true;
        QTest::newRow("other row") << false;
    }

    void openingForChange()
    {
        QFETCH(bool, painting);
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addRow(db, 5, 2, 2, today, 6, painting, painting ? 14 : 0);
        AppFixture app(db);
        openJournal(app, 2);
        EntryEditor* e = app.w.entryEditor;
        ui::scriptModal("EntryEditor", [&](QDialog*) {
            QCOMPARE(e->windowTitle(), QStringLiteral("Изменение данных о позиции"));
            QVERIFY(e->changesRow());
            QCOMPARE(widget<QLineEdit>(e, "Edit1")->text(), QStringLiteral("Петрова А.С."));
            QCOMPARE(widget<QLineEdit>(e, "Edit2")->text(), painting
                                                                ? QStringLiteral("ОК-205; КРАСКА; Заготовки")
                                                                : QStringLiteral("ДМ-101; РЕЗКА; Готовая продукция"));
            QCOMPARE(widget<QLineEdit>(e, "Edit3")->text(), QStringLiteral("7"));
            QCOMPARE(widget<QLineEdit>(e, "Edit4")->text(), QStringLiteral("1"));
            QCOMPARE(widget<QLineEdit>(e, "Edit6")->text(), QStringLiteral("6"));
            QCOMPARE(widget<QLineEdit>(e, "Edit5")->text(), painting ? QStringLiteral("14") : QString());
            QCOMPARE(widget<QLineEdit>(e, "Edit5")->isEnabled(), painting);
            QCOMPARE(widget<QLabel>(e, "Label6")->isEnabled(), painting);
            QCOMPARE(widget<QLineEdit>(e, "Edit7")->text(), QStringLiteral("12,3"));
            QCOMPARE(widget<QLineEdit>(e, "Edit9")->text(), QStringLiteral("86,1"));
            QCOMPARE(widget<ui::DateBox>(e, "DTimeP")->date(), today);
            QCOMPARE(e->workerId(), 2);
            QCOMPARE(e->operationId(), painting ? 2 : 1);
            QCOMPARE(e->productId(), painting ? 2 : 1);
            QVERIFY(!app.w.database->Oper->isOpen());
            QVERIFY(!app.w.database->Oper->filtered());
            // the base price of the row's own operation (not 0 with the list closed)
            const QString base = painting ? QStringLiteral("30") : QStringLiteral("10,25");
            QCOMPARE(widget<QLineEdit>(e, "Edit8")->text(), base);
            widget<QLineEdit>(e, "Edit3")->setText("10");
            e->recalculatePrices();
            QCOMPARE(widget<QLineEdit>(e, "Edit8")->text(), base);
            QCOMPARE(widget<QLineEdit>(e, "Edit7")->text(), QStringLiteral("12,3"));
            QCOMPARE(widget<QLineEdit>(e, "Edit9")->text(), QStringLiteral("123"));
        });
        widget<QPushButton>(app.w.journal, "Button2")->click();
        QCOMPARE(ui::shownModals(), QStringList{"EntryEditor"});
        QVERIFY(messages().isEmpty());
    }

    // "Добавить" takes the journal's date, clears worker, operation, quantity and colour, sets rejects and hours
    // to 0, and leaves the price boxes as they were.
    void openingForNew()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        openJournal(app, 3);
        EntryEditor* e = app.w.entryEditor;
        fillNew(e, 3, QDate(2026, 1, 1), 1, 2, "5", "7");
        widget<QLineEdit>(e, "Edit5")->setText("3");
        widget<QLineEdit>(e, "Edit4")->setText("2");
        widget<QLineEdit>(e, "Edit7")->setText("36");
        const QDate day(2026, 2, 14);
        widget<ui::DateBox>(app.w.journal, "DateT")->setDate(day);
        ui::scriptModal("EntryEditor", [&](QDialog*) {
            QCOMPARE(e->windowTitle(), QStringLiteral("Заведение новой позиции"));
            QVERIFY(!e->changesRow());
            QCOMPARE(widget<ui::DateBox>(e, "DTimeP")->date(), day);
            for (QLineEdit* box : {widget<QLineEdit>(e, "Edit1"), widget<QLineEdit>(e, "Edit2"),
                                   widget<QLineEdit>(e, "Edit3"), widget<QLineEdit>(e, "Edit5")})
                QVERIFY(box->text().isEmpty());
            QCOMPARE(widget<QLineEdit>(e, "Edit4")->text(), QStringLiteral("0"));
            QCOMPARE(widget<QLineEdit>(e, "Edit6")->text(), QStringLiteral("0"));
            QCOMPARE(widget<QLineEdit>(e, "Edit7")->text(), QStringLiteral("36"));
            QCOMPARE(e->operationId(), 2);
            QCOMPARE(e->focusWidget(), static_cast<QWidget*>(widget<QPushButton>(e, "Button3")));
        });
        widget<QPushButton>(app.w.journal, "Button1")->click();
        QCOMPARE(ui::shownModals(), QStringList{"EntryEditor"});
    }

    // The worker chooser: the workers list in choice mode hands the chosen worker over; "Выход" changes nothing.
    void workerChooser()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        openJournal(app);
        EntryEditor* e = app.w.entryEditor;
        Database* dm = app.w.database;
        e->prepareNew(QDate::currentDate(), 1, false);
        ui::scriptModal("WorkersList", [&](QDialog* d) {
            auto* list = static_cast<WorkersList*>(d);
            QCOMPARE(widget<QPushButton>(list, "Button2")->text(), QStringLiteral("Выбрать"));
            QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Down);
            QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Return);
        });
        QTest::mouseClick(widget<QLineEdit>(e, "Edit1"), Qt::LeftButton);
        QCOMPARE(widget<QLineEdit>(e, "Edit1")->text(), QStringLiteral("Петрова А.С."));
        QCOMPARE(e->workerId(), 2);
        QVERIFY(!dm->Workers->isOpen());
        ui::scriptModal("WorkersList",
                        [&](QDialog* d) { widget<QPushButton>(static_cast<WorkersList*>(d), "Button4")->click(); });
        widget<QPushButton>(e, "Button3")->click();
        QCOMPARE(widget<QLineEdit>(e, "Edit1")->text(), QStringLiteral("Петрова А.С."));
        QCOMPARE(e->workerId(), 2);
        QCOMPARE(ui::shownModals(), (QStringList{"WorkersList", "WorkersList"}));
    }

    // The operation chooser. For a change the list stands on the row's operation; a confirmed choice on a list
    // that its search box has emptied hands nothing over, yet the paint rule and the recalculation still run.
    // For a new row it starts on the first operation; "Выбрать" hands the operation over with the day-off factor
    // of the moment, and a choice without paint clears and disables the colour.
    void operationChooser()
    {
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addRow(db, 5, 2, 2, today, 6, true, 14);
        AppFixture app(db);
        openJournal(app, 2);
        EntryEditor* e = app.w.entryEditor;
        Database* dm = app.w.database;
        ui::scriptModal("EntryEditor", [&](QDialog*) {
            ui::scriptModal("OperationPricesList", [&](QDialog* d) {
                auto* list = static_cast<OperationPricesList*>(d);
                QCOMPARE(widget<QPushButton>(list, "Button2")->text(), QStringLiteral("Выбрать"));
                QVERIFY(widget<QPushButton>(list, "Button2")->isDefault());
                QVERIFY(!widget<QPushButton>(list, "Button1")->isVisible() &&
                        !widget<QPushButton>(list, "Button3")->isVisible());
                QCOMPARE(dm->Oper->asInt("id"), 2);
                QTest::keyClicks(widget<QLineEdit>(list, "Edit1"), "zzz");
                QVERIFY(dm->Oper->isEmpty());
                QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Return);
                // an empty choice is said in the list, which stays open
                QVERIFY(list->isVisible());
                QCOMPARE(messages(), QStringList{"В списке нет ни одной строки: выбрать нечего. Измените текст поиска "
                                                 "или нажмите «Выход»."});
                ui::Messages::clearShown();
                QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Escape);
            });
            QTest::mouseClick(widget<QLineEdit>(e, "Edit2"), Qt::LeftButton);
            QCOMPARE(widget<QLineEdit>(e, "Edit2")->text(), QStringLiteral("ОК-205; КРАСКА; Заготовки"));
            QCOMPARE(e->operationId(), 2);
            QCOMPARE(e->price(), 12.3);
            QVERIFY(widget<QLineEdit>(e, "Edit5")->isEnabled());
            QCOMPARE(widget<QLineEdit>(e, "Edit5")->text(), QStringLiteral("14"));
            QCOMPARE(widget<QLineEdit>(e, "Edit9")->text(), QStringLiteral("86,1"));
            QCOMPARE(widget<QLineEdit>(e, "Edit8")->text(), QStringLiteral("30")); // still the row's operation
            QVERIFY(dm->Oper->isOpen());
            QVERIFY(!dm->Oper->filtered());
            widget<QPushButton>(e, "Button2")->click();
        });
        widget<QPushButton>(app.w.journal, "Button2")->click();

        widget<QCheckBox>(app.w.journal, "CBox1")->setChecked(true);
        ui::scriptModal("EntryEditor", [&](QDialog*) {
            widget<QLineEdit>(e, "Edit5")->setText("9");
            ui::scriptModal("OperationPricesList", [&](QDialog* d) {
                auto* list = static_cast<OperationPricesList*>(d);
                QCOMPARE(dm->Oper->asInt("id"), 1);
                widget<QPushButton>(list, "Button2")->click();
            });
            widget<QPushButton>(e, "Button4")->click();
            QCOMPARE(widget<QLineEdit>(e, "Edit2")->text(), QStringLiteral("ДМ-101; РЕЗКА; Готовая продукция"));
            QCOMPARE(e->operationId(), 1);
            QCOMPARE(e->productId(), 1);
            QCOMPARE(widget<QLineEdit>(e, "Edit8")->text(), QStringLiteral("10,25"));
            QCOMPARE(widget<QLineEdit>(e, "Edit7")->text(), QStringLiteral("20,5"));
            QVERIFY(!widget<QLineEdit>(e, "Edit5")->isEnabled() && !widget<QLabel>(e, "Label6")->isEnabled());
            QVERIFY(widget<QLineEdit>(e, "Edit5")->text().isEmpty());
            widget<QPushButton>(e, "Button2")->click();
        });
        widget<QPushButton>(app.w.journal, "Button1")->click();
        QCOMPARE(ui::shownModals(), (QStringList{"EntryEditor", "OperationPricesList", "EntryEditor", "OperationPricesList"}));
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('\n')));
    }

    // The road of a new row by keyboard: after a chooser the focus goes on to the next control that still needs a
    // value (not back to the first "..."), back to its own "..." when nothing was chosen, to the colour after a
    // painting operation; Enter on a "..." opens its chooser, and Enter in "Кол-во" saves.
    void focusAfterChoosers()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        openJournal(app);
        EntryEditor* e = app.w.entryEditor;
        QStringList focus;
        const auto chooseInList = [](const char* list, int downs) {
            ui::scriptModal(list, [downs](QDialog* d) {
                auto* search = widget<QLineEdit>(d, "Edit1");
                for (int i = 0; i < downs; ++i)
                    QTest::keyClick(search, Qt::Key_Down);
                QTest::keyClick(search, Qt::Key_Return);
            });
        };
        const auto enterOnFocus = [e, &focus] {
            e->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(e));
            QTest::keyClick(e->focusWidget(), Qt::Key_Return);
            focus << e->focusWidget()->objectName();
        };
        ui::scriptModal("EntryEditor", [&](QDialog*) {
            focus << e->focusWidget()->objectName();
            chooseInList("WorkersList", 1); // Петрова
            enterOnFocus();
            ui::scriptModal("OperationPricesList", [](QDialog* d) { QTest::keyClick(widget<QLineEdit>(d, "Edit1"), Qt::Key_Escape); });
            enterOnFocus();
            chooseInList("OperationPricesList", 0); // РЕЗКА
            enterOnFocus();
            QTest::keyClicks(e->focusWidget(), "5");
            chooseInList("OperationPricesList", 1); // the painting operation instead: the colour is what is missing now
            QTest::keyClick(widget<QPushButton>(e, "Button4"), Qt::Key_Space);
            focus << e->focusWidget()->objectName();
            chooseInList("OperationPricesList", 0); // back to РЕЗКА: nothing is missing, the road goes on to "Кол-во"
            QTest::keyClick(widget<QPushButton>(e, "Button4"), Qt::Key_Space);
            focus << e->focusWidget()->objectName();
            e->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(e));
            QTest::keyClick(e->focusWidget(), Qt::Key_7); // the selected quantity typed over
            QTest::keyClick(e->focusWidget(), Qt::Key_Return);
        });
        widget<QPushButton>(app.w.journal, "Button1")->click();
        QCOMPARE(focus, (QStringList{"Button3", "Button4", "Button4", "Edit3", "Edit5", "Edit3"}));
        QCOMPARE(ui::shownModals(), (QStringList{"EntryEditor", "WorkersList", "OperationPricesList", "OperationPricesList", "OperationPricesList", "OperationPricesList"}));
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('\n')));
        QCOMPARE(db.rows("select w_id, o_id, kol_vo::int, time from accounts_dep.smena"),
                 (QList<QVariantList>{{2, 1, 7, 0}}));
    }

    // A choice made in a list narrowed by its search box: switching the filter off afterwards leaves the list on
    // the chosen operation, whose base price the editor shows.
    void operationChosenAfterSearch()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        openJournal(app);
        EntryEditor* e = app.w.entryEditor;
        Database* dm = app.w.database;
        ui::scriptModal("EntryEditor", [&](QDialog*) {
            ui::scriptModal("OperationPricesList", [&](QDialog* d) {
                auto* list = static_cast<OperationPricesList*>(d);
                QCOMPARE(dm->Oper->asInt("id"), 1);
                widget<QLineEdit>(list, "Edit1")
                    ->setText("ОК"); // as typed: the search runs on every change of the text
                QCOMPARE(dm->Oper->recordCount(), 1);
                QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Return);
            });
            widget<QPushButton>(e, "Button4")->click();
            QCOMPARE(e->operationId(), 2);
            QVERIFY(!dm->Oper->filtered());
            QCOMPARE(dm->Oper->recordCount(), 2);
            QCOMPARE(dm->Oper->asInt("id"), 2);
            QCOMPARE(widget<QLineEdit>(e, "Edit8")->text(), QStringLiteral("30"));
            QCOMPARE(widget<QLineEdit>(e, "Edit7")->text(), QStringLiteral("30"));
            widget<QPushButton>(e, "Button2")->click();
        });
        widget<QPushButton>(app.w.journal, "Button1")->click();
        QCOMPARE(ui::shownModals(), (QStringList{"EntryEditor", "OperationPricesList"}));
        // the price list opened from the menu afterwards: an empty search box over every operation
        ui::scriptModal("OperationPricesList", [&](QDialog* d) {
            QCOMPARE(widget<QLineEdit>(static_cast<OperationPricesList*>(d), "Edit1")->text(), QString());
            QVERIFY(!dm->Oper->filtered());
            QCOMPARE(dm->Oper->recordCount(), 2);
        });
        app.w.journal->openPrices();
    }

    // The road of one row through the windows: "Добавить", the worker and the operation chosen in their lists,
    // quantity, hours, rejects and colour typed, "Запись" by Enter; the journal shows the row in bold red, a
    // double click turns it green, and the timesheet holds the worker's hours. "Изменить" then keeps the row at
    // its place in the grid.
    void wholeRoad()
    {
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        addRow(db, 1, 1, 4, today, 2);
        AppFixture app(db);
        Database* dm = app.w.database;
        JournalWindow* j = app.w.journal;
        openJournal(app, 4); // overtime
        widget<QCheckBox>(j, "CBox1")->setChecked(true);
        EntryEditor* e = app.w.entryEditor;
        ui::scriptModal("EntryEditor", [&](QDialog*) {
            QCOMPARE(e->windowTitle(), QStringLiteral("Заведение новой позиции"));
            ui::scriptModal("WorkersList", [&](QDialog* d) {
                auto* list = static_cast<WorkersList*>(d);
                QCOMPARE(widget<QPushButton>(list, "Button2")->text(), QStringLiteral("Выбрать"));
                QCOMPARE(dm->Workers->asString("fio"), QStringLiteral("Иванов И.И."));
                QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Down);
                QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Return);
            });
            QTest::mouseClick(widget<QLineEdit>(e, "Edit1"), Qt::LeftButton);
            QCOMPARE(widget<QLineEdit>(e, "Edit1")->text(), QStringLiteral("Петрова А.С."));
            QVERIFY(!dm->Workers->isOpen());
            ui::scriptModal("OperationPricesList", [&](QDialog* d) {
                auto* list = static_cast<OperationPricesList*>(d);
                QCOMPARE(widget<QPushButton>(list, "Button2")->text(), QStringLiteral("Выбрать"));
                QVERIFY(dm->Oper->locate("id", 2));
                widget<QPushButton>(list, "Button2")->click();
            });
            widget<QPushButton>(e, "Button4")->click();
            QCOMPARE(widget<QLineEdit>(e, "Edit2")->text(), QStringLiteral("ОК-205; КРАСКА; Заготовки"));
            QVERIFY(widget<QLineEdit>(e, "Edit5")->isEnabled());
            QVERIFY(widget<QLabel>(e, "Label6")->isEnabled());
            // base 30, doubled for the day off, times 1.5 in overtime
            QCOMPARE(widget<QLineEdit>(e, "Edit8")->text(), QStringLiteral("30"));
            QCOMPARE(widget<QLineEdit>(e, "Edit7")->text(), QStringLiteral("90"));
            e->activateWindow(); // the offscreen platform does not give the activation back by itself
            QVERIFY(QTest::qWaitForWindowActive(e));
            widget<QLineEdit>(e, "Edit3")->setFocus();
            QTest::keyClicks(widget<QLineEdit>(e, "Edit3"), "12");
            widget<QLineEdit>(e, "Edit6")->setFocus(); // leaving the quantity recomputes the sum
            QCOMPARE(widget<QLineEdit>(e, "Edit9")->text(), QStringLiteral("1080"));
            widget<QLineEdit>(e, "Edit6")->selectAll();
            QTest::keyClicks(widget<QLineEdit>(e, "Edit6"), "8");
            widget<QLineEdit>(e, "Edit5")->setFocus();
            QTest::keyClicks(widget<QLineEdit>(e, "Edit5"), "7");
            widget<QLineEdit>(e, "Edit4")->setFocus();
            widget<QLineEdit>(e, "Edit4")->selectAll();
            QTest::keyClicks(widget<QLineEdit>(e, "Edit4"), "1");
            widget<QLineEdit>(e, "Edit6")->setFocus();
            QTest::keyClick(widget<QLineEdit>(e, "Edit6"), Qt::Key_Return);
            QVERIFY2(messages().isEmpty(), qPrintable(messages().join('\n')));
        });
        widget<QPushButton>(j, "Button1")->click();
        QCOMPARE(ui::shownModals(), (QStringList{"EntryEditor", "WorkersList", "OperationPricesList"}));
        QCOMPARE(db.rows("select w_id, o_id, i_id, cena, kol_vo::int, brak, time, color, smena, ok from "
                         "accounts_dep.smena where id <> 1"),
                 (QList<QVariantList>{{2, 2, 2, 90.0, 12, 1, 8, 7, 4, "no"}}));
        for (QLineEdit* box :
             {widget<QLineEdit>(e, "Edit1"), widget<QLineEdit>(e, "Edit2"), widget<QLineEdit>(e, "Edit3"),
              widget<QLineEdit>(e, "Edit4"), widget<QLineEdit>(e, "Edit5"), widget<QLineEdit>(e, "Edit6"),
              widget<QLineEdit>(e, "Edit7"), widget<QLineEdit>(e, "Edit8"), widget<QLineEdit>(e, "Edit9")})
            QVERIFY(box->text().isEmpty());

        // the journal, active again, shows today's overtime with the new row's mark in bold red
        QCOMPARE(widget<ui::DbGrid>(j, "DBGrid2")->dataset(), dm->Smena4);
        QVERIFY(dm->Smena4->locate("w_id", 2));
        const int row = dm->Smena4->recNo() - 1;
        QCOMPARE(widget<ui::DbGrid>(j, "DBGrid2")->model()->index(row, 10).data().toString(), QStringLiteral("no"));
        QCOMPARE(widget<ui::DbGrid>(j, "DBGrid2")->cellStyle(row, "ok").foreground, QColor(255, 0, 0));
        QVERIFY(widget<ui::DbGrid>(j, "DBGrid2")->cellStyle(row, "ok").bold);
        QCOMPARE(widget<ui::DbGrid>(j, "DBGrid2")->model()->index(row, 8).data().toString(), QStringLiteral("990"));
        j->acceptRow();
        QCOMPARE(widget<ui::DbGrid>(j, "DBGrid2")->cellStyle(row, "ok").foreground, QColor(0, 128, 0));
        QCOMPARE(cell(db, 2, 4, today), 8);

        // "Изменить" on the second of the two rows: saved, it stays at its place
        QCOMPARE(dm->Smena4->recNo(), 2);
        ui::scriptModal("EntryEditor", [&](QDialog*) {
            QCOMPARE(e->windowTitle(), QStringLiteral("Изменение данных о позиции"));
            widget<QLineEdit>(e, "Edit6")->setText("9");
            widget<QPushButton>(e, "Button1")->click();
        });
        widget<QPushButton>(j, "Button2")->click();
        QCOMPARE(dm->Smena4->recNo(), 2);
        QCOMPARE(widget<ui::DbGrid>(j, "DBGrid2")->currentIndex().row(), 1);
        QCOMPARE(cell(db, 2, 4, today), 9);
    }

    // Leaving quantity or hours recomputes the three price boxes; an hours text beyond 32 bits is a conversion
    // error and the boxes stay as they were.
    void recalculation()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        openJournal(app);
        EntryEditor* e = app.w.entryEditor;
        fillNew(e, 1, QDate::currentDate(), 1, 1, "", "");
        Database* dm = app.w.database;
        dm->Oper->open();
        QVERIFY(dm->Oper->locate("id", 1));
        e->takeOperation(e->operationId(), e->productId(), 10.25 * 1.5, widget<QLineEdit>(e, "Edit2")->text());
        e->recalculatePrices();
        QCOMPARE(widget<QLineEdit>(e, "Edit6")->text(), QStringLiteral("0"));
        QCOMPARE(widget<QLineEdit>(e, "Edit3")->text(), QStringLiteral("0"));
        QCOMPARE(widget<QLineEdit>(e, "Edit7")->text(), QStringLiteral("15,375"));
        QCOMPARE(widget<QLineEdit>(e, "Edit8")->text(), QStringLiteral("10,25"));
        QCOMPARE(widget<QLineEdit>(e, "Edit9")->text(), QStringLiteral("0"));
        widget<QLineEdit>(e, "Edit3")->setText("3");
        widget<QLineEdit>(e, "Edit6")->setText("4294967296");
        ui::guarded([&] { e->recalculatePrices(); });
        QCOMPARE(ui::Messages::shown().last().kind, ui::ShownMessage::Kind::StandardError);
        QCOMPARE(widget<QLineEdit>(e, "Edit9")->text(), QStringLiteral("0"));
        widget<QLineEdit>(e, "Edit6")->setText("8");
        e->recalculatePrices();
        QCOMPARE(widget<QLineEdit>(e, "Edit9")->text(), QStringLiteral("46,125"));
    }

    // Refusals of "Запись", each leaving the database and the editor's input as they were; and what passes.
    void refusals_data()
    {
        QTest::addColumn<QString>("box"); // the box given a text, or emptied
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message"); // empty: the row is written
        const QString all = "Все поля должны быть заполнены!";
        QTest::newRow("worker empty") << "Edit1"
                                      << "" << all;
        QTest::newRow("worker blanks") << "Edit1"
                                       << "   " << all;
        QTest::newRow("operation empty") << "Edit2"
                                         << "" << all;
        QTest::newRow("quantity empty") << "Edit3"
                                        << "" << all;
        QTest::newRow("rejects empty") << "Edit4"
                                       << "" << all;
        QTest::newRow("paint without colour") << "Edit2"
                                              << "ОК-205; краска; Заготовки" << all;
        QTest::newRow("hours empty") << "Edit6"
                                     << "" << all;
        QTest::newRow("duplicate") << "Edit5"
                                   << "4"
                                   << "Позиция с такими параметрами уже заведена!";
        QTest::newRow("quantity too large") << "Edit3"
                                            << "1000000000000000"
                                            << "Число в поле \"Кол-во\" слишком велико: наибольшее допустимое "
                                               "значение 999999999999999.";
        QTest::newRow("rejects too large") << "Edit4"
                                           << "32768"
                                           << "Число в поле \"Брак\" слишком велико: наибольшее допустимое значение "
                                              "32767.";
        // The hours go into the timesheet's day cell, a smallint: 40000 was the server's raw range error.
        QTest::newRow("hours too large") << "Edit6"
                                         << "40000"
                                         << "Число в поле \"Время\" слишком велико: наибольшее допустимое значение "
                                            "32767.";
        // One more hour on a day that already has 8 (the fixture's row) no longer fits the cell either.
        QTest::newRow("day's hours too many") << "Edit6"
                                              << "32760"
                                              << "Часов работника за этот день стало бы больше 32767, а столько табель "
                                                 "не вмещает. Запись не сохранена.";
        QTest::newRow("more rejects than pieces") << "Edit4"
                                                  << "11"
                                                  << "Брак (11) не может быть больше количества (10)!";
        QTest::newRow("as many rejects as pieces pass") << "Edit4"
                                                        << "10"
                                                        << "";
        QTest::newRow("colour too large") << "Edit5"
                                          << "99999999999"
                                          << "Число в поле \"Цвет\" слишком велико: наибольшее допустимое значение "
                                             "2147483647.";
        QTest::newRow("quantity and hours 0 pass") << "Edit3"
                                                   << "0"
                                                   << "";
        QTest::newRow("leading zeros within the limit pass") << "Edit6"
                                                             << "000032759"
                                                             << "";
        QTest::newRow("colour 04 is colour 4") << "Edit5"
                                               << "04"
                                               << "Позиция с такими параметрами уже заведена!";
    }

    void refusals()
    {
        QFETCH(QString, box);
        QFETCH(QString, text);
        QFETCH(QString, message);
        TestDatabase db;
        loadSmallShop(db);
        const QDate day(2026, 3, 5);
        addRow(db, 1, 1, 2, day, 8, true, 4); // worker 1, painting operation 2, colour 4
        AppFixture app(db);
        openJournal(app, 2);
        EntryEditor* e = app.w.entryEditor;
        fillNew(e, 2, day, 1, 2, "10", "0");
        widget<QLineEdit>(e, "Edit5")->setEnabled(true);
        widget<QLineEdit>(e, "Edit5")->setText("5");
        e->findChild<QLineEdit*>(box)->setText(text);
        if (box == "Edit2")
            widget<QLineEdit>(e, "Edit5")->clear();
        e->saveRow();
        if (message.isEmpty()) {
            QVERIFY2(messages().isEmpty(), qPrintable(messages().join('\n')));
            QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 2);
            QVERIFY(widget<QLineEdit>(e, "Edit1")->text().isEmpty());
            return;
        }
        QCOMPARE(messages(), QStringList{message});
        QCOMPARE(ui::Messages::shown()[0].caption, QStringLiteral("Ошибка"));
        QCOMPARE(ui::Messages::shown()[0].kind, ui::ShownMessage::Kind::Error);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 1);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.h_tabel").toInt(), 0);
        QCOMPARE(e->findChild<QLineEdit*>(box)->text(), text);
        // an empty field: the focus on it (the worker and the operation through their "...")
        if (message == "Все поля должны быть заполнены!") {
            const QString empty = box == "Edit1" ? "Button3" : box != "Edit2" ? box : text.isEmpty() ? "Button4" : "Edit5";
            QVERIFY(e->focusWidget());
            QCOMPARE(e->focusWidget()->objectName(), empty);
        }
    }

    // A new row: written as the user typed it, with the price of the choice and the mark "no"; the journal query
    // re-read at the same record number; the worker's timesheet cell rewritten from the journal's sum (a new
    // timesheet row when there is none, only that day's cell in an existing one); overtime has its own rows.
    void saveNewRow_data()
    {
        QTest::addColumn<int>("shift");
        QTest::addColumn<bool>("timesheetRow");
        QTest::newRow("shift 1, timesheet row exists") << 1 << true;
        QTest::newRow("overtime, no timesheet row yet") << 4 << false;
    }

    void saveNewRow()
    {
        QFETCH(int, shift);
        QFETCH(bool, timesheetRow);
        TestDatabase db;
        loadSmallShop(db);
        const QDate today = QDate::currentDate();
        const int day = today.day(), other = day == 1 ? 2 : 1;
        addRow(db, 1, 1, shift, today, 5, true, 2);
        addRow(db, 2, 2, shift, today, 3);
        if (timesheetRow)
            db.exec(QString("insert into accounts_dep.h_tabel (w_id, smena, month, year, d%1, d%2) values (1, %3, %4, "
                            "%5, 99, 6)")
                        .arg(day)
                        .arg(other)
                        .arg(shift)
                        .arg(today.month())
                        .arg(today.year()));
        AppFixture app(db);
        openJournal(app, shift);
        db::Dataset* journal = app.w.database->smenaQuery(shift);
        journal->setRecNo(2);
        app.w.database->H_Tabel_1->setParam("mnth", today.month());
        app.w.database->H_Tabel_1->setParam("yea", today.year());
        app.w.database->H_Tabel_1->open();
        EntryEditor* e = app.w.entryEditor;
        fillNew(e, shift, today, 1, 1, "40", "4");
        e->takeOperation(1, 1, 10.25 * 1.5, "ДМ-101; РЕЗКА; Готовая продукция");
        widget<QLineEdit>(e, "Edit4")->setText("2");
        e->saveRow();
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('\n')));
        const auto rows = db.rows("select w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, vvod, ok, "
                                  "prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use from "
                                  "accounts_dep.smena where id > 2");
        QCOMPARE(rows.size(), 1);
        const QVariantList expected{1,    1, 1, 15.375, 40, 2, today, shift, 0, 4, QDateTime(today, QTime(0, 0)),
                                    "no", 0, 0, 0,      0,  0, 0};
        for (int c = 0; c < expected.size(); ++c)
            QCOMPARE(rows[0][c].toString(), expected[c].toString());
        QCOMPARE(journal->recordCount(), 3);
        QCOMPARE(journal->recNo(), 2);
        QVERIFY(!app.w.database->H_Tabel_1->isOpen());
        QCOMPARE(cell(db, 1, shift, today), 9);
        if (timesheetRow)
            QCOMPARE(cell(db, 1, shift, today.addDays(other - day)), 6);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.h_tabel").toInt(), 1);
        for (QLineEdit* box :
             {widget<QLineEdit>(e, "Edit1"), widget<QLineEdit>(e, "Edit2"), widget<QLineEdit>(e, "Edit3"),
              widget<QLineEdit>(e, "Edit4"), widget<QLineEdit>(e, "Edit5"), widget<QLineEdit>(e, "Edit6"),
              widget<QLineEdit>(e, "Edit7"), widget<QLineEdit>(e, "Edit8"), widget<QLineEdit>(e, "Edit9")})
            QVERIFY(box->text().isEmpty());
        QCOMPARE(e->result(), int(QDialog::Accepted));
    }

    // One digit typed into the date and Enter: a row saved on another day than the list shows (a new row) or than
    // it had (a change) would vanish from the user's view, so the save asks first, naming both days; "Нет" (also
    // the default) writes nothing and leaves the editor open on the date.
    void saveOnAnotherDayAsks_data()
    {
        QTest::addColumn<bool>("change");
        QTest::addColumn<bool>("yes");
        QTest::newRow("new row, no") << false << false;
        QTest::newRow("new row, yes") << false << true;
        QTest::newRow("change, no") << true << false;
        QTest::newRow("change, yes") << true << true;
    }

    void saveOnAnotherDayAsks()
    {
        QFETCH(bool, change);
        QFETCH(bool, yes);
        TestDatabase db;
        loadSmallShop(db);
        const QDate day(2026, 3, 11), typed(2026, 3, 2);
        addRow(db, 1, 1, 1, day, 5);
        AppFixture app(db);
        openJournal(app);
        widget<ui::DateBox>(app.w.journal, "DateT")->setDate(day);
        app.w.journal->showChosenDay();
        EntryEditor* e = app.w.entryEditor;
        const QString rows = "select id, data, kol_vo::int from accounts_dep.smena order by id";
        const QList<QVariantList> before = db.rows(rows);
        bool stayed = false;
        QWidget* focus = nullptr;
        ui::scriptModal("EntryEditor", [&](QDialog*) {
            if (!change) {
                e->takeWorker(2, "Петрова А.С.");
                e->takeOperation(1, 1, 10.25, "ДМ-101; РЕЗКА; Готовая продукция");
            }
            widget<QLineEdit>(e, "Edit3")->setText("9");
            e->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(e));
            auto* date = widget<ui::DateBox>(e, "DTimeP");
            date->setFocus(Qt::TabFocusReason);
            date->setSelectedSection(QDateTimeEdit::DaySection);
            QTest::keyClick(date, Qt::Key_2);
            ui::Messages::queueAnswer(yes);
            QTest::keyClick(date, Qt::Key_Return);
            stayed = e->isVisible();
            focus = e->focusWidget();
            if (stayed)
                widget<QPushButton>(e, "Button2")->click();
        });
        widget<QPushButton>(app.w.journal, change ? "Button2" : "Button1")->click();
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, ui::ShownMessage::Kind::Question);
        QCOMPARE(shown[0].caption, QStringLiteral("Другой день"));
        QCOMPARE(shown[0].text,
                 change ? QStringLiteral("Дата записи меняется с 11.03.2026 на 02.03.2026: в списке за 11.03.2026 её "
                                         "больше не будет.\nСохранить запись на 02.03.2026?")
                        : QStringLiteral("Журнал показывает 11.03.2026, а запись будет сохранена на 02.03.2026.\n"
                                         "Сохранить запись на 02.03.2026?"));
        QCOMPARE(stayed, !yes);
        if (!yes) {
            QCOMPARE(db.rows(rows), before);
            QCOMPARE(focus, static_cast<QWidget*>(widget<ui::DateBox>(e, "DTimeP")));
        } else if (change) {
            QCOMPARE(db.rows(rows), (QList<QVariantList>{{1, typed, 9}}));
        } else {
            QCOMPARE(db.rows(rows), (QList<QVariantList>{{1, day, 7}, {2, typed, 9}}));
        }
    }

    // A change keeps its own row out of the duplicate check; moving a row to another worker or date rewrites
    // the cell it arrives at and the cell it left (0 when nothing is left there, the other rows' sum otherwise).
    void changeRewritesBothCells_data()
    {
        QTest::addColumn<int>("newWorker");
        QTest::addColumn<int>("dayShift"); // days from the row's date
        QTest::newRow("same key") << 1 << 0;
        QTest::newRow("other worker") << 2 << 0;
        QTest::newRow("other date") << 1 << 1;
    }

    void changeRewritesBothCells()
    {
        QFETCH(int, newWorker);
        QFETCH(int, dayShift);
        TestDatabase db;
        loadSmallShop(db);
        const QDate day(2026, 3, 5), moved = day.addDays(dayShift);
        addRow(db, 1, 1, 1, day, 5);          // the row to change
        addRow(db, 2, 1, 1, day, 2, true, 1); // stays with worker 1 on the day
        db.exec("insert into accounts_dep.h_tabel (w_id, smena, month, year, d5, d6) values (1, 1, 3, 2026, 7, 0), "
                "(2, 1, 3, 2026, 0, 0)");
        AppFixture app(db);
        openJournal(app);
        widget<ui::DateBox>(app.w.journal, "DateT")->setDate(day);
        app.w.journal->showChosenDay();
        db::Dataset* journal = app.w.database->Smena1;
        QVERIFY(journal->locate("id", 1));
        EntryEditor* e = app.w.entryEditor;
        e->prepareChange(journal, 1, false);
        e->takeWorker(newWorker, "other");
        widget<ui::DateBox>(e, "DTimeP")->setDate(moved);
        widget<QLineEdit>(e, "Edit6")->setText("6");
        if (dayShift != 0)
            ui::Messages::queueAnswer(true); // the move to another day is asked first
        e->saveRow();
        QCOMPARE(messages().size(), dayShift != 0 ? 1 : 0);
        QCOMPARE(db.rows("select w_id, data, time, cena from accounts_dep.smena where id = 1"),
                 (QList<QVariantList>{{newWorker, moved, 6, 12.3}}));
        QCOMPARE(cell(db, newWorker, 1, moved), newWorker == 1 && dayShift == 0 ? 8 : 6);
        if (newWorker != 1 || dayShift != 0)
            QCOMPARE(cell(db, 1, 1, day), 2);
    }

    // A row moved away from a worker's last row of the day leaves 0 in that cell.
    void changeLeavesZero()
    {
        TestDatabase db;
        loadSmallShop(db);
        const QDate day(2026, 3, 5);
        addRow(db, 1, 1, 1, day, 5);
        db.exec("insert into accounts_dep.h_tabel (w_id, smena, month, year, d5, d6) values (1, 1, 3, 2026, 5, 3)");
        AppFixture app(db);
        openJournal(app);
        widget<ui::DateBox>(app.w.journal, "DateT")->setDate(day);
        app.w.journal->showChosenDay();
        EntryEditor* e = app.w.entryEditor;
        e->prepareChange(app.w.database->Smena1, 1, false);
        e->takeWorker(2, widget<QLineEdit>(e, "Edit1")->text());
        e->saveRow();
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('\n')));
        QCOMPARE(cell(db, 1, 1, day), 0);
        QCOMPARE(cell(db, 1, 1, day.addDays(1)), 3);
        QCOMPARE(cell(db, 2, 1, day), 5);
    }

    // A changed row that another workstation deleted meanwhile is not written again, and nothing else is.
    void changeOfDeletedRow()
    {
        TestDatabase db;
        loadSmallShop(db);
        const QDate day(2026, 3, 5);
        addRow(db, 1, 1, 1, day, 5);
        AppFixture app(db);
        openJournal(app);
        widget<ui::DateBox>(app.w.journal, "DateT")->setDate(day);
        app.w.journal->showChosenDay();
        EntryEditor* e = app.w.entryEditor;
        e->prepareChange(app.w.database->Smena1, 1, false);
        db.exec("delete from accounts_dep.smena");
        e->saveRow();
        QCOMPARE(messages(), QStringList{"Запись не найдена: её изменили или удалили на другом рабочем месте."});
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 0);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.h_tabel").toInt(), 0);
        QCOMPARE(widget<QLineEdit>(e, "Edit1")->text(), QStringLiteral("Иванов И.И."));
    }

    // A failing timesheet statement leaves no journal row; the error is shown and the input stays.
    void failingTimesheetLeavesNoRow()
    {
        TestDatabase db;
        loadSmallShop(db);
        db.exec("create function accounts_dep.h_tabel_closed() returns trigger language plpgsql as $$"
                " begin raise exception 'табель закрыт'; end $$;"
                "create trigger h_tabel_closed before insert or update on accounts_dep.h_tabel"
                " for each row execute function accounts_dep.h_tabel_closed()");
        AppFixture app(db);
        openJournal(app);
        EntryEditor* e = app.w.entryEditor;
        fillNew(e, 1, QDate::currentDate(), 1, 1, "40", "4");
        ui::guarded([&] { e->saveRow(); });
        QCOMPARE(ui::Messages::shown().size(), 1);
        QCOMPARE(ui::Messages::shown()[0].kind, ui::ShownMessage::Kind::StandardError);
        QVERIFY(messages()[0].contains("табель закрыт"));
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 0);
        QCOMPARE(widget<QLineEdit>(e, "Edit3")->text(), QStringLiteral("40"));
        QCOMPARE(widget<QLineEdit>(e, "Edit1")->text(), QStringLiteral("Иванов И.И."));
        // the same connection goes on working
        db.exec("drop trigger h_tabel_closed on accounts_dep.h_tabel");
        e->saveRow();
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 1);
        QCOMPARE(cell(db, 1, 1, QDate::currentDate()), 4);
    }

    // Two workstations saving the same row at the same moment: the second waits for the first and then finds
    // its row, instead of both passing the check.
    void concurrentDuplicate()
    {
        TestDatabase db;
        loadSmallShop(db);
        const QDate day(2026, 3, 5);
        AppFixture app(db);
        openJournal(app);
        EntryEditor* e = app.w.entryEditor;
        fillNew(e, 1, day, 1, 1, "40", "4");

        journal_sql::EntryRow row;
        row.workerId = 1;
        row.operId = 1;
        row.productId = 1;
        row.price = 10.25;
        row.quantity = "40";
        row.rejects = "0";
        row.hours = "4";
        row.shift = 1;
        row.date = day;
        row.today = day;
        // The other workstation: the same steps in its own transaction, committed only once this one waits.
        std::atomic<int> stage{0}; // 1: row written, not committed; 2: the program waits for it; -1: failed
        QString failure;           // read only after the thread has ended
        const QString socket = db.server(), name = db.name();
        std::thread other([&] {
            const QString cn = "other_workstation";
            {
                db::Connector* c = nullptr;
                try {
                    c = &connectToCluster(cn, socket, name, "sys");
                } catch (const std::exception& e) {
                    failure = QString::fromUtf8(e.what());
                }
                db::Result q;
                auto run = [&](const QString& sql) {
                    if (!failure.isEmpty())
                        return false;
                    try {
                        q = c->exec(sql);
                    } catch (const db::DbError& e) {
                        failure = sql + ": " + e.text();
                    }
                    return failure.isEmpty();
                };
                if (run("begin") && run(journal_sql::lockRowKey(row)) && run(journal_sql::duplicateOfNew(row)) &&
                    run(journal_sql::insertRow(row)))
                    stage = 1;
                for (int i = 0; i < 200 && stage == 1; ++i) {
                    if (run("select count(*) from pg_locks where locktype = 'advisory' and not granted") && q.next() &&
                        q.value(0).toInt() > 0)
                        stage = 2;
                    else
                        QThread::msleep(50);
                }
                run("commit");
                if (!failure.isEmpty())
                    stage = -1;
            }
            db::removeConnector(cn);
        });
        while (stage == 0)
            QThread::msleep(10);
        if (stage == 1)
            e->saveRow();
        other.join();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(stage.load(), 2);
        QCOMPARE(messages(), QStringList{"Позиция с такими параметрами уже заведена!"});
        QCOMPARE(db.scalar("select count(*) from accounts_dep.smena").toInt(), 1);
    }
};

QTEST_MAIN(TestEntryEditor)
#include "tst_entry_editor.moc"
