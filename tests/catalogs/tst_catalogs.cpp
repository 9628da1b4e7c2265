// The catalogues: the shared list pattern (search, Up/Down, reload, catalogue and choice mode), and the workers,
// products and operation kinds lists with their editors, against a real database.
#include "catalogs/catalogs_sql.h"
#include "catalogs/operation_kind_editor.h"
#include "catalogs/operation_kinds_list.h"
#include "catalogs/operation_price_editor.h"
#include "catalogs/product_editor.h"
#include "catalogs/products_list.h"
#include "catalogs/worker_editor.h"
#include "catalogs/workers_list.h"
#include "db/data_module.h"
#include "db/sql_text.h"
#include "harness/widgets.h"
#include "journal/entry_editor.h"
#include "journal/journal_window.h"
#include "support/app_fixture.h"
#include "ui/dataset_grid.h"
#include "ui/lookup_box.h"
#include "ui/messages.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

// What the editors choose from: departments, positions, roles and product groups (level 2, and a root).
void loadLookups(TestDatabase& db)
{
    db.exec(QStringLiteral(
        "insert into cmn_department.department (id, s_code, s_caption) values (1, '01', 'Цех покраски'),"
        " (2, '02', 'Механический цех');"
        "insert into hrms_staffpos.staffpos (id, id_department, s_caption) values (1, 1, 'Маляр'), (2, 2, 'Токарь'),"
        " (3, 2, 'Сварщик');"
        "insert into adm_role.roles (id, s_name, s_caption) values (1, 'master', 'Мастер участка');"
        "insert into cmn_classifier.item (id, id_level, s_caption) values (1, 1, 'Продукция цеха'), (10, 2, 'Двери'),"
        " (11, 2, 'Окна');"));
}

// Workers in the list's order (the server sorts by code point): upper-case initials first.
void loadWorkers(TestDatabase& db)
{
    db.exec(QStringLiteral("insert into cmn_contractor.person (id, s_caption, s_code) values (3, 'иванова М.П.', '3'),"
                           " (4, 'О''Нил Д.', '4'), (5, 'Андреев А.А.', '5')"));
}

// A journal row of a worker, enough for the journal's joins.
void addJournalRow(TestDatabase& db, int worker)
{
    db.exec(QStringLiteral("insert into accounts_dep.smena (w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color,"
                           " time, ok, vvod) values (%1, 1, 1, 12.5, 10, 0, current_date, 1, 0, 8, 'no', now())")
                .arg(worker));
}

// A text of n emoji: n characters for the server, 2n UTF-16 units.
QString emoji(int n)
{
    QString out;
    for (int i = 0; i < n; ++i)
        out += QString::fromUcs4(U"\U0001F600", 1);
    return out;
}

QStringList column(db::Dataset* d, const QString& field)
{
    QStringList out;
    const int keep = d->recNo();
    for (int r = 0; r < d->recordCount(); ++r)
        out << d->valueAt(r, d->fieldIndex(field)).toString();
    d->setRecNo(keep);
    return out;
}

QStringList messages()
{
    QStringList out;
    for (const ui::ShownMessage& m : ui::Messages::shown())
        out << m.caption + u'|' + m.text;
    return out;
}

// Stands in for the entry editor and the operation price editor: opens a list in choice mode and keeps what it
// was handed, as those editors write it into their boxes.
struct StandInOpener : ui::Activatable {
    QString name = QStringLiteral("(as before)");
    qint32 id = -1;
    int activations = 0;
    void FormActivate() override { ++activations; }
    void pick(ui::CatalogueWindow* list)
    {
        const ui::CatalogueChoice c = list->choose(this);
        if (c.made) {
            name = c.name;
            id = c.id;
        }
    }
};

// Types text key by key, as a keyboard does (the test library's own typing knows only Latin letters).
void type(QWidget* box, const QString& text)
{
    for (const QChar c : text) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &press);
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(box, &release);
    }
}

void doubleClickRow(ui::DbGrid* grid, int row)
{
    QApplication::processEvents(); // the grid lays its rows out once shown
    const QRect cell = grid->visualRect(grid->model()->index(row, 0));
    QVERIFY(cell.isValid());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
}

} // namespace

class TestCatalogs : public QObject {
    Q_OBJECT

private slots:
    void init() { ui::Messages::clearShown(); }

    // "Все поля должны быть заполнены!" leaves the focus on the first box still empty (on the chooser of a box that
    // a chooser fills), so that the user can type on.
    void refusalFocusesTheFirstEmptyBox_data()
    {
        QTest::addColumn<QString>("editor");
        QTest::addColumn<QStringList>("filled"); // the boxes' texts; a product's third is its group key
        QTest::addColumn<QString>("focused");
        QTest::newRow("product: nothing") << "ProductEditor" << QStringList{"", "", ""} << "Edit1";
        QTest::newRow("product: code") << "ProductEditor" << QStringList{"К-1", "", ""} << "Edit2";
        QTest::newRow("product: code, rate") << "ProductEditor" << QStringList{"К-1", "5", ""} << "cb_item";
        QTest::newRow("product: rate, group") << "ProductEditor" << QStringList{"", "5", "group"} << "Edit1";
        QTest::newRow("kind: blanks") << "OperationKindEditor" << QStringList{"  "} << "Edit1";
        QTest::newRow("operation: nothing") << "OperationPriceEditor" << QStringList{"", ""} << "Button3";
        QTest::newRow("operation: product") << "OperationPriceEditor" << QStringList{"ДМ-101", ""} << "Button4";
    }

    void refusalFocusesTheFirstEmptyBox()
    {
        QFETCH(QString, editor);
        QFETCH(QStringList, filled);
        QFETCH(QString, focused);
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        QString focus;
        ui::scriptModal(editor, [&](QDialog* d) {
            if (editor == "ProductEditor" && filled[2] == "group")
                widget<ui::LookupBox>(d, "cb_item")->setCurrentIndex(0);
            if (editor == "ProductEditor" && filled[2].isEmpty())
                widget<ui::LookupBox>(d, "cb_item")->setKeyValue(0);
            for (int i = 0; i < filled.size() && !(editor == "ProductEditor" && i == 2); ++i)
                widget<QLineEdit>(d, QStringLiteral("Edit%1").arg(i + 1).toLatin1().constData())->setText(filled[i]);
            widget<QPushButton>(d, "Button1")->setFocus();
            widget<QPushButton>(d, "Button1")->click();
            focus = d->focusWidget() ? d->focusWidget()->objectName() : QString();
            d->reject();
        });
        if (editor == "ProductEditor")
            app.w.productEditor->openForAdd(nullptr);
        else if (editor == "OperationKindEditor")
            app.w.operationKindEditor->openForAdd(nullptr);
        else
            app.w.operationPriceEditor->openForAdd(nullptr);
        QCOMPARE(messages(), QStringList{"Ошибка|Все поля должны быть заполнены!"});
        QCOMPARE(focus, focused);
    }

    // ---- the shared pattern, on the workers list ----

    // The search narrows the loaded rows by the start of the name in any letter case, an apostrophe included;
    // Up and Down move the list; the edit keys do nothing in the box, typing and Backspace still edit.
    void searchAndKeys()
    {
        TestDatabase db;
        loadSmallShop(db);
        loadWorkers(db);
        AppFixture app(db);
        WorkersList* list = app.w.workersList;
        db::Dataset* workers = app.w.database->Workers;
        bool ran = false;
        ui::scriptModal("WorkersList", [&](QDialog*) {
            ran = true;
            QCOMPARE(column(workers, "fio"),
                     QStringList({"Андреев А.А.", "Иванов И.И.", "О'Нил Д.", "Петрова А.С.", "иванова М.П."}));
            type(widget<QLineEdit>(list, "Edit1"), "ИВ");
            QCOMPARE(column(workers, "fio"), QStringList({"Иванов И.И.", "иванова М.П."}));
            db.exec("insert into cmn_contractor.person (id, s_caption, s_code) values (6, 'Ивушкин Б.Б.', '6')");
            QCOMPARE(workers->recordCount(), 2); // the rows already loaded, nothing read again
            widget<QLineEdit>(list, "Edit1")->clear();
            QVERIFY(!workers->filtered());
            type(widget<QLineEdit>(list, "Edit1"), "о'н");
            QCOMPARE(column(workers, "fio"), QStringList({"О'Нил Д."}));
            QVERIFY(ui::Messages::shown().isEmpty());
            widget<QLineEdit>(list, "Edit1")->clear();

            workers->setRecNo(1);
            QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Down);
            QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Down);
            QCOMPARE(workers->recNo(), 3);
            QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Up);
            QCOMPARE(workers->recNo(), 2);
            QCOMPARE(widget<ui::DbGrid>(list, "DBGrid1")->currentIndex().row(), 1);

            type(widget<QLineEdit>(list, "Edit1"), "Пет");
            widget<QLineEdit>(list, "Edit1")->setCursorPosition(1);
            for (Qt::Key k : {Qt::Key_Home, Qt::Key_End, Qt::Key_Left, Qt::Key_Right, Qt::Key_Delete})
                QTest::keyClick(widget<QLineEdit>(list, "Edit1"), k);
            QCOMPARE(widget<QLineEdit>(list, "Edit1")->text(), QStringLiteral("Пет"));
            QCOMPARE(widget<QLineEdit>(list, "Edit1")->cursorPosition(), 1);
            QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Backspace);
            QCOMPARE(widget<QLineEdit>(list, "Edit1")->text(), QStringLiteral("ет"));
            QCOMPARE(workers->recordCount(), 0);
        });
        list->openCatalogue(nullptr);
        QVERIFY(ran);
        QVERIFY(!workers->isOpen());
        // the filter and the text stay for the next opening of the catalogue
        QCOMPARE(widget<QLineEdit>(list, "Edit1")->text(), QStringLiteral("ет"));
        QVERIFY(workers->filtered());
    }

    // The products list consumes only Up and Down: the caret keys act as usual.
    void productsSearchKeepsEditKeys()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        ProductsList* list = app.w.productsList;
        ui::scriptModal("ProductsList", [&](QDialog*) {
            type(widget<QLineEdit>(list, "Edit1"), "дм");
            QCOMPARE(column(app.w.database->Izdel, "marka"), QStringList({"ДМ-101"}));
            QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Home);
            QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Delete);
            QCOMPARE(widget<QLineEdit>(list, "Edit1")->text(), QStringLiteral("м"));
        });
        list->openCatalogue(nullptr);
    }

    // Choice mode: the opener's set-up, the hand-over of the current row (button, Enter, double click), no
    // hand-over on "Выход" or on an empty list, and the catalogue looks as always afterwards.
    void choiceMode()
    {
        TestDatabase db;
        loadSmallShop(db);
        loadWorkers(db);
        AppFixture app(db);
        WorkersList* list = app.w.workersList;
        db::Dataset* workers = app.w.database->Workers;
        // a filter left by the catalogue is switched off by the choice opening
        widget<QLineEdit>(list, "Edit1")->setText("Пет");
        StandInOpener opener;
        ui::scriptModal("WorkersList", [&](QDialog*) {
            QVERIFY(list->choiceMode());
            QCOMPARE(widget<QPushButton>(list, "Button2")->text(), QStringLiteral("Выбрать"));
            QVERIFY(widget<QPushButton>(list, "Button2")->isDefault());
            QVERIFY(widget<QPushButton>(list, "Button1")->isHidden());
            QVERIFY(widget<QPushButton>(list, "Button3")->isHidden());
            QVERIFY(widget<QLineEdit>(list, "Edit1")->isVisible());
            QCOMPARE(widget<QLineEdit>(list, "Edit1")->text(), QString());
            QCOMPARE(workers->recordCount(), 5);
            workers->setRecNo(3);
            widget<QPushButton>(list, "Button2")->click();
        });
        opener.pick(list);
        QCOMPARE(opener.name, QStringLiteral("О'Нил Д."));
        QCOMPARE(opener.id, 4);
        QCOMPARE(opener.activations, 1);
        QVERIFY(!workers->isOpen());

        // Enter in the search box is "Выбрать"
        ui::scriptModal("WorkersList", [&](QDialog*) {
            type(widget<QLineEdit>(list, "Edit1"), "Анд");
            QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Return);
        });
        opener.pick(list);
        QCOMPARE(opener.name, QStringLiteral("Андреев А.А."));
        QCOMPARE(opener.id, 5);

        ui::scriptModal("WorkersList", [&](QDialog*) { doubleClickRow(widget<ui::DbGrid>(list, "DBGrid1"), 1); });
        opener.pick(list);
        QCOMPARE(opener.id, 1);

        ui::scriptModal("WorkersList", [&](QDialog*) {
            workers->setRecNo(2);
            widget<QPushButton>(list, "Button4")->click();
        });
        opener.pick(list);
        QCOMPARE(opener.id, 1);

        ui::scriptModal("WorkersList", [&](QDialog* d) {
            type(widget<QLineEdit>(list, "Edit1"), "Я");
            QCOMPARE(workers->recordCount(), 0);
            widget<QPushButton>(list, "Button2")->click();
            // said in the list, which stays open for another search
            QVERIFY(d->isVisible());
            QCOMPARE(ui::Messages::shown().last().text,
                     QStringLiteral("В списке нет ни одной строки: выбрать нечего. Измените текст поиска или нажмите "
                                    "«Выход»."));
        });
        opener.pick(list);
        QCOMPARE(opener.id, 1);
        QCOMPARE(opener.name, QStringLiteral("Иванов И.И."));

        // the catalogue opened from the menu afterwards
        ui::scriptModal("WorkersList", [&](QDialog*) {
            QVERIFY(!list->choiceMode());
            QCOMPARE(widget<QPushButton>(list, "Button2")->text(), QStringLiteral("Изменить"));
            QVERIFY(!widget<QPushButton>(list, "Button2")->isDefault());
            QVERIFY(widget<QPushButton>(list, "Button1")->isDefault());
            QVERIFY(widget<QPushButton>(list, "Button1")->isVisible());
            QVERIFY(widget<QPushButton>(list, "Button3")->isVisible());
            QVERIFY(widget<QLineEdit>(list, "Edit1")->isVisible());
        });
        app.w.journal->openWorkers();
        QCOMPARE(ui::shownModals().count("WorkersList"), 6);
    }

    // After a change the list is read again and stands at the same record number; after a deletion of the last
    // row it stands on the new last row. A double click is "Изменить".
    void reloadKeepsRecordNumber()
    {
        TestDatabase db;
        loadSmallShop(db);
        loadWorkers(db);
        AppFixture app(db);
        WorkersList* list = app.w.workersList;
        WorkerEditor* editor = app.w.workerEditor;
        db::Dataset* workers = app.w.database->Workers;
        ui::scriptModal("WorkersList", [&](QDialog*) {
            ui::scriptModal("WorkerEditor", [&](QDialog*) {
                QCOMPARE(editor->windowTitle(), QStringLiteral("Изменение данных работника"));
                QVERIFY(editor->changesRow());
                QCOMPARE(widget<QLineEdit>(editor, "Edit1")->text(), QStringLiteral("О'Нил Д."));
                QCOMPARE(editor->personId(), 4);
                widget<QLineEdit>(editor, "Edit1")->setText("Аарон А.А.");
                widget<QPushButton>(editor, "Button1")->click();
            });
            doubleClickRow(widget<ui::DbGrid>(list, "DBGrid1"), 2);
            QCOMPARE(column(workers, "fio"),
                     QStringList({"Аарон А.А.", "Андреев А.А.", "Иванов И.И.", "Петрова А.С.", "иванова М.П."}));
            QCOMPARE(workers->recNo(), 3);

            workers->setRecNo(5);
            ui::Messages::queueAnswer(true);
            widget<QPushButton>(list, "Button3")->click();
            QCOMPARE(workers->recordCount(), 4);
            QCOMPARE(workers->recNo(), 4);
        });
        list->openCatalogue(nullptr);
        QCOMPARE(db.scalar("select s_caption from cmn_contractor.person where id=4").toString(),
                 QStringLiteral("Аарон А.А."));
        QCOMPARE(db.scalar("select count(*) from cmn_contractor.person where id=3").toInt(), 0);
    }

    // The lists by keys: Insert adds, Enter in the list and F2 change, Delete in the list asks, Escape closes; in
    // choice mode Enter in the list chooses. Enter in the search box stays the default button's.
    void keysInTheLists()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        WorkersList* list = app.w.workersList;
        const auto press = [](int key) { QTest::keyClick(QApplication::focusWidget(), Qt::Key(key)); };
        const auto focusList = [list] {
            list->activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(list));
            widget<ui::DbGrid>(list, "DBGrid1")->setFocus();
        };
        QStringList editors;
        bool closedByEscape = false;
        ui::scriptModal("WorkersList", [&](QDialog* d) {
            for (int i = 0; i < 3; ++i)
                ui::scriptModal("WorkerEditor", [&](QDialog* e) { editors << e->windowTitle(); });
            focusList();
            press(Qt::Key_Insert);
            focusList();
            press(Qt::Key_Return);
            focusList();
            press(Qt::Key_F2);
            focusList();
            ui::Messages::queueAnswer(false);
            press(Qt::Key_Delete);
            focusList();
            press(Qt::Key_Escape);
            closedByEscape = !d->isVisible();
        });
        list->openCatalogue(nullptr);
        QCOMPARE(editors, (QStringList{"Заведение данных нового работника", "Изменение данных работника",
                                       "Изменение данных работника"}));
        QCOMPARE(messages(), QStringList{"Удаление|Удалить работника?"});
        QVERIFY(closedByEscape);

        StandInOpener opener;
        ui::scriptModal("WorkersList", [&](QDialog*) {
            focusList();
            press(Qt::Key_Down);
            press(Qt::Key_Return);
        });
        opener.pick(list);
        QCOMPARE(opener.name, QStringLiteral("Петрова А.С."));
    }

    // ---- workers ----

    void addWorker()
    {
        TestDatabase db;
        loadSmallShop(db);
        loadLookups(db);
        AppFixture app(db);
        WorkersList* list = app.w.workersList;
        WorkerEditor* editor = app.w.workerEditor;
        db::Dataset* workers = app.w.database->Workers;
        ui::scriptModal("WorkersList", [&](QDialog*) {
            workers->setRecNo(2);
            ui::scriptModal("WorkerEditor", [&](QDialog* d) {
                QCOMPARE(editor->windowTitle(), QStringLiteral("Заведение данных нового работника"));
                QVERIFY(!editor->changesRow());
                QCOMPARE(widget<QLineEdit>(editor, "Edit1")->text(), QString());
                QCOMPARE(widget<ui::LookupBox>(editor, "LCB_department")->count(), 2);
                QCOMPARE(widget<ui::LookupBox>(editor, "LCB_staffpos")->count(), 3);
                QCOMPARE(widget<ui::LookupBox>(editor, "LCB_roles")->count(), 1);
                QCOMPARE(widget<ui::LookupBox>(editor, "LCB_department")->maxVisibleItems(), 10);
                widget<QLineEdit>(editor, "Edit1")->setText("  Сидоров С.С. ");
                widget<ui::LookupBox>(editor, "LCB_department")->setKeyValue(2);
                widget<QPushButton>(editor, "Button1")->click();
                QVERIFY(!d->isVisible());
            });
            widget<QPushButton>(list, "Button1")->click();
            QCOMPARE(workers->recNo(), 1);
            QCOMPARE(workers->recordCount(), 3);
            // without a department the position is written empty; the box keeps its last choice otherwise
            ui::scriptModal("WorkerEditor", [&](QDialog*) {
                QCOMPARE(widget<ui::LookupBox>(editor, "LCB_department")->displayText(),
                         QStringLiteral("Механический цех"));
                widget<ui::LookupBox>(editor, "LCB_department")->setKeyValue(QVariant());
                widget<QLineEdit>(editor, "Edit1")->setText("Быков Б.Б.");
                widget<QPushButton>(editor, "Button1")->click();
            });
            widget<QPushButton>(list, "Button1")->click();
        });
        list->openCatalogue(nullptr);
        QCOMPARE(db.rows("select s_caption, s_staffpos_hl from cmn_contractor.person where id > 2 order by id"),
                 (QList<QVariantList>{{"Сидоров С.С.", "Механический цех"}, {"Быков Б.Б.", ""}}));
    }

    // "Изменить" shows the worker's stored position whatever an earlier opening left in the boxes, and a save
    // without touching them keeps it (a department's name or a text of its own); a department chosen replaces it.
    void workerChangeKeepsThePosition_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QVariant>("chosen"); // a department chosen before "Записать"; invalid: none
        QTest::addColumn<QString>("written");
        QTest::newRow("a department, untouched") << "Цех покраски"
                                                 << "Цех покраски" << QVariant() << "Цех покраски";
        QTest::newRow("a text of its own, untouched") << "Склад №2 'Север'"
                                                      << "" << QVariant() << "Склад №2 'Север'";
        QTest::newRow("none, untouched") << ""
                                         << "" << QVariant() << "";
        QTest::newRow("another department chosen") << "Цех покраски"
                                                   << "Цех покраски" << QVariant(2) << "Механический цех";
    }

    void workerChangeKeepsThePosition()
    {
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        QFETCH(QVariant, chosen);
        QFETCH(QString, written);
        TestDatabase db;
        loadSmallShop(db);
        loadLookups(db);
        db.exec(
            QString("update cmn_contractor.person set s_staffpos_hl = %1 where id = 2").arg(db::sql::quote(stored)));
        AppFixture app(db);
        WorkersList* list = app.w.workersList;
        WorkerEditor* editor = app.w.workerEditor;
        db::Dataset* workers = app.w.database->Workers;
        ui::scriptModal("WorkersList", [&](QDialog*) {
            // an earlier opening chose "Механический цех", a position and a role
            ui::scriptModal("WorkerEditor", [&](QDialog*) {
                widget<ui::LookupBox>(editor, "LCB_department")->setKeyValue(2);
                widget<ui::LookupBox>(editor, "LCB_staffpos")->setKeyValue(3);
                widget<ui::LookupBox>(editor, "LCB_roles")->setKeyValue(1);
            });
            QVERIFY(workers->locate("id", 1));
            widget<QPushButton>(list, "Button2")->click();
            ui::scriptModal("WorkerEditor", [&](QDialog*) {
                QCOMPARE(widget<ui::LookupBox>(editor, "LCB_department")->displayText(), shown);
                QCOMPARE(widget<ui::LookupBox>(editor, "LCB_staffpos")->displayText(), QString());
                QCOMPARE(widget<ui::LookupBox>(editor, "LCB_roles")->displayText(), QString());
                if (chosen.isValid())
                    widget<ui::LookupBox>(editor, "LCB_department")->setKeyValue(chosen);
                widget<QPushButton>(editor, "Button1")->click();
            });
            QVERIFY(workers->locate("id", 2));
            widget<QPushButton>(list, "Button2")->click();
        });
        list->openCatalogue(nullptr);
        QVERIFY2(messages().isEmpty(), qPrintable(messages().join('\n')));
        QCOMPARE(db.rows("select s_caption, coalesce(s_staffpos_hl, '') from cmn_contractor.person where id = 2"),
                 (QList<QVariantList>{{"Петрова А.С.", written}}));
    }

    // Inside the editors' group boxes only the caption is bold: labels, boxes and drop-down lists are not.
    void onlyTheGroupCaptionIsBold()
    {
        TestDatabase db;
        AppFixture app(db);
        for (QGroupBox* box :
             {widget<QGroupBox>(app.w.workerEditor, "GroupBox1"), widget<QGroupBox>(app.w.productEditor, "GroupBox1"),
              widget<QGroupBox>(app.w.operationKindEditor, "GroupBox1"), widget<QGroupBox>(app.w.entryEditor, "GroupBox1")}) {
            QVERIFY(box);
            QVERIFY(box->font().bold());
            const QList<QWidget*> children = box->findChildren<QWidget*>();
            QVERIFY(!children.isEmpty());
            for (QWidget* child : children)
                QVERIFY2(!child->font().bold(), qPrintable(child->objectName()));
            for (QComboBox* combo : box->findChildren<QComboBox*>())
                QVERIFY(!combo->view()->font().bold());
        }
    }

    void workerRefusals_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        QTest::newRow("empty") << ""
                               << "ФИО нужно заполнить!";
        QTest::newRow("blanks only") << "   "
                                     << "ФИО нужно заполнить!";
        QTest::newRow("longer than the column") << QString(255, u'Ж') << "ФИО не может быть длиннее 254 символов!";
        // The server counts characters: an emoji is one, not the two halves of its UTF-16 form.
        QTest::newRow("255 emoji") << emoji(255) << "ФИО не может быть длиннее 254 символов!";
    }

    void workerRefusals()
    {
        QFETCH(QString, name);
        QFETCH(QString, message);
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        WorkerEditor* editor = app.w.workerEditor;
        bool stayedOpen = false;
        ui::scriptModal("WorkerEditor", [&](QDialog* d) {
            widget<QLineEdit>(editor, "Edit1")->setText(name);
            widget<QPushButton>(editor, "Button1")->click();
            stayedOpen = d->isVisible();
        });
        ui::scriptModal("WorkersList", [&](QDialog*) { widget<QPushButton>(app.w.workersList, "Button1")->click(); });
        app.w.workersList->openCatalogue(nullptr);
        QVERIFY(stayedOpen);
        QCOMPARE(messages(), QStringList{"Ошибка|" + message});
        QCOMPARE(db.scalar("select count(*) from cmn_contractor.person").toInt(), 2);
    }

    // Values at the columns' limits go in whole: 254 emoji as a name, rates at the last decimal and at 22 digits.
    void valuesAtTheLimitsAreStored()
    {
        TestDatabase db;
        loadSmallShop(db);
        loadLookups(db);
        AppFixture app(db);
        WorkerEditor* worker = app.w.workerEditor;
        ui::scriptModal("WorkerEditor", [&](QDialog*) {
            widget<QLineEdit>(worker, "Edit1")->setText(emoji(254));
            widget<QPushButton>(worker, "Button1")->click();
        });
        ui::scriptModal("WorkersList", [&](QDialog*) { widget<QPushButton>(app.w.workersList, "Button1")->click(); });
        app.w.workersList->openCatalogue(nullptr);
        ProductEditor* product = app.w.productEditor;
        for (const QString& rate : {QStringLiteral("0.0000005"), QStringLiteral("9999999999999999999999.5")}) {
            ui::scriptModal("ProductEditor", [&](QDialog*) {
                widget<QLineEdit>(product, "Edit1")->setText("НВ-" + rate.right(3));
                widget<QLineEdit>(product, "Edit2")->setText(rate);
                widget<ui::LookupBox>(product, "cb_item")->setKeyValue(10);
                widget<QPushButton>(product, "Button1")->click();
            });
            ui::scriptModal("ProductsList", [&](QDialog*) { widget<QPushButton>(app.w.productsList, "Button1")->click(); });
            app.w.productsList->openCatalogue(nullptr);
        }
        QCOMPARE(messages(), QStringList{});
        QCOMPARE(db.scalar("select char_length(s_caption) from cmn_contractor.person where id > 2").toInt(), 254);
        QCOMPARE(db.rows("select massa::text from cmn_gds_and_srv.gds_and_srv where id > 2 order by id"),
                 (QList<QVariantList>{{"0.000001"}, {"9999999999999999999999.500000"}}));
    }

    // A worker with journal rows (by key or by number) is not deleted; the user is told why.
    void workerDeletion_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<int>("journalWorker");
        QTest::addColumn<int>("left");
        QTest::addColumn<QStringList>("shown");
        const QString question = "Удаление|Удалить работника?";
        QTest::newRow("no") << false << 0 << 3 << QStringList{question};
        QTest::newRow("yes") << true << 0 << 2 << QStringList{question};
        QTest::newRow("in the journal by key")
            << true << 7 << 3
            << QStringList{question, "Ошибка|Работника нельзя удалить: на него есть записи в журнале. "
                                     "Сначала удалите или перенесите эти записи."};
        QTest::newRow("in the journal by number")
            << true << 70 << 3
            << QStringList{question, "Ошибка|Работника нельзя удалить: на него есть записи в журнале. "
                                     "Сначала удалите или перенесите эти записи."};
    }

    void workerDeletion()
    {
        QFETCH(bool, answer);
        QFETCH(int, journalWorker);
        QFETCH(int, left);
        QFETCH(QStringList, shown);
        TestDatabase db;
        loadSmallShop(db);
        db.exec("insert into cmn_contractor.person (id, s_caption, s_code) values (7, 'Яковлев Я.Я.', '70')");
        if (journalWorker)
            addJournalRow(db, journalWorker);
        AppFixture app(db);
        db::Dataset* workers = app.w.database->Workers;
        ui::scriptModal("WorkersList", [&](QDialog*) {
            workers->setRecNo(3);
            QCOMPARE(workers->asInt("id"), 7);
            ui::Messages::queueAnswer(answer);
            widget<QPushButton>(app.w.workersList, "Button3")->click();
            QCOMPARE(workers->recordCount(), left);
        });
        app.w.workersList->openCatalogue(nullptr);
        QCOMPARE(messages(), shown);
        QCOMPARE(db.scalar("select count(*) from cmn_contractor.person").toInt(), left);
    }

    // The wheel over the editor moves the focused lookup box by one entry, and only by one.
    void wheelMovesFocusedLookup()
    {
        TestDatabase db;
        loadSmallShop(db);
        loadLookups(db);
        AppFixture app(db);
        WorkerEditor* editor = app.w.workerEditor;
        QVariant after;
        ui::scriptModal("WorkerEditor", [&](QDialog* d) {
            QApplication::setActiveWindow(d);
            widget<ui::LookupBox>(editor, "LCB_staffpos")->setKeyValue(1);
            widget<ui::LookupBox>(editor, "LCB_staffpos")->setFocus();
            QVERIFY(widget<ui::LookupBox>(editor, "LCB_staffpos")->hasFocus());
            const QPoint at = widget<ui::LookupBox>(editor, "LCB_staffpos")->rect().center();
            QWheelEvent down(at, widget<ui::LookupBox>(editor, "LCB_staffpos")->mapToGlobal(at), {}, {0, -120},
                             Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(widget<ui::LookupBox>(editor, "LCB_staffpos"), &down);
            after = widget<ui::LookupBox>(editor, "LCB_staffpos")->keyValue();
        });
        ui::scriptModal("WorkersList", [&](QDialog*) { widget<QPushButton>(app.w.workersList, "Button1")->click(); });
        app.w.workersList->openCatalogue(nullptr);
        QCOMPARE(after.toInt(), 2);
    }

    // ---- products ----

    // An addition and a change through the editor: the rows in the database, the list back at its record number.
    void addAndChangeProduct()
    {
        TestDatabase db;
        loadSmallShop(db);
        loadLookups(db);
        AppFixture app(db);
        ProductsList* list = app.w.productsList;
        ProductEditor* editor = app.w.productEditor;
        db::Dataset* izdel = app.w.database->Izdel;
        ui::scriptModal("ProductsList", [&](QDialog*) {
            izdel->setRecNo(2);
            ui::scriptModal("ProductEditor", [&](QDialog* d) {
                QCOMPARE(editor->windowTitle(), QStringLiteral("Заведение нового изделия"));
                QVERIFY(!editor->changesRow());
                QCOMPARE(widget<QLineEdit>(editor, "Edit1")->text(), QString());
                QCOMPARE(widget<QLineEdit>(editor, "Edit2")->text(), QString());
                QCOMPARE(widget<ui::LookupBox>(editor, "cb_item")->count(), 2); // groups of level 2 only
                QCOMPARE(widget<ui::LookupBox>(editor, "cb_item")->itemText(0), QStringLiteral("Двери"));
                widget<QLineEdit>(editor, "Edit1")->setText(" АА-1 ");
                type(widget<QLineEdit>(editor, "Edit2"), "1x2,5"); // a comma is a full stop, letters are dropped
                QCOMPARE(widget<QLineEdit>(editor, "Edit2")->text(), QStringLiteral("12.5"));
                widget<ui::LookupBox>(editor, "cb_item")->setKeyValue(11);
                widget<QPushButton>(editor, "Button1")->click();
                QVERIFY(!d->isVisible());
            });
            widget<QPushButton>(list, "Button1")->click();
            QCOMPARE(column(izdel, "marka"), QStringList({"АА-1", "ДМ-101", "ОК-205"}));
            QCOMPARE(izdel->recNo(), 2);

            izdel->setRecNo(3);
            ui::scriptModal("ProductEditor", [&](QDialog* d) {
                QCOMPARE(editor->windowTitle(), QStringLiteral("Изменение данных изделия"));
                QVERIFY(editor->changesRow());
                QCOMPARE(widget<QLineEdit>(editor, "Edit1")->text(), QStringLiteral("ОК-205"));
                QCOMPARE(widget<QLineEdit>(editor, "Edit2")->text(), QStringLiteral("0.5"));
                // a product without a group opens with none and is not saved until one is chosen
                QVERIFY(!widget<ui::LookupBox>(editor, "cb_item")->keyValue().isValid());
                widget<QPushButton>(editor, "Button1")->click();
                QVERIFY(d->isVisible());
                widget<ui::LookupBox>(editor, "cb_item")->setKeyValue(10);
                widget<QLineEdit>(editor, "Edit1")->setText("ок-205"); // its own code in another case
                widget<QPushButton>(editor, "Button1")->click();
                QVERIFY(!d->isVisible());
            });
            widget<QPushButton>(list, "Button2")->click();
            QCOMPARE(izdel->recNo(), 3);
        });
        list->openCatalogue(nullptr);
        QCOMPARE(messages(), QStringList{"Ошибка|Все поля должны быть заполнены!"});
        QCOMPARE(db.rows("select s_caption, s_description, id_msm_bs::int, massa::float8, id_class_item::int"
                         " from cmn_gds_and_srv.gds_and_srv where id <> 1 order by id"),
                 (QList<QVariantList>{{"ок-205", "", 6, 0.5, 10}, {"АА-1", "", 6, 12.5, 11}}));
    }

    void productRefusals_data()
    {
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("rate");
        QTest::addColumn<int>("group");
        QTest::addColumn<QString>("message");
        const QString empty = "Все поля должны быть заполнены!";
        const QString duplicate = "Такая марка изделия уже заведена!";
        const QString notNumber = "Расценка должна быть числом, например 12 или 12.5!";
        QTest::newRow("empty code") << ""
                                    << "1" << 10 << empty;
        QTest::newRow("code of blanks") << "   "
                                        << "1" << 10 << empty;
        QTest::newRow("empty rate") << "НВ-1"
                                    << " " << 10 << empty;
        QTest::newRow("no group") << "НВ-1"
                                  << "1" << 0 << empty;
        QTest::newRow("duplicate in lower case") << "дм-101"
                                                 << "1" << 10 << duplicate;
        QTest::newRow("duplicate with blanks") << "  ОК-205 "
                                               << "1" << 10 << duplicate;
        QTest::newRow("two full stops") << "НВ-1"
                                        << "1.2.3" << 10 << notNumber;
        QTest::newRow("full stop alone") << "НВ-1"
                                         << "." << 10 << notNumber;
        QTest::newRow("pasted text") << "НВ-1"
                                     << "1); drop table x; --" << 10 << notNumber;
        // The column holds 22 digits before the point and 6 after: the server would refuse the one in its own words
        // and store the other as 0 without a word.
        QTest::newRow("rate of 23 digits")
            << "НВ-1"
            << "12345678901234567890123" << 10 << "Расценка слишком велика: не больше 22 цифр до точки.";
        QTest::newRow("rate that would be stored as 0") << "НВ-1"
                                                        << "0.0000001" << 10
                                                        << "Расценка слишком мала: наименьшее значение больше нуля "
                                                           "0.000001.";
        QTest::newRow("255 emoji") << emoji(255) << "1" << 10 << "Марка изделия не может быть длиннее 254 символов!";
    }

    void productRefusals()
    {
        QFETCH(QString, code);
        QFETCH(QString, rate);
        QFETCH(int, group);
        QFETCH(QString, message);
        TestDatabase db;
        loadSmallShop(db);
        loadLookups(db);
        AppFixture app(db);
        ProductEditor* editor = app.w.productEditor;
        bool stayedOpen = false;
        ui::scriptModal("ProductEditor", [&](QDialog* d) {
            widget<QLineEdit>(editor, "Edit1")->setText(code);
            widget<QLineEdit>(editor, "Edit2")->setText(rate);
            widget<ui::LookupBox>(editor, "cb_item")->setKeyValue(group ? QVariant(group) : QVariant());
            widget<QPushButton>(editor, "Button1")->click();
            stayedOpen = d->isVisible();
        });
        ui::scriptModal("ProductsList", [&](QDialog*) { widget<QPushButton>(app.w.productsList, "Button1")->click(); });
        app.w.productsList->openCatalogue(nullptr);
        QVERIFY(stayedOpen);
        QCOMPARE(messages(), QStringList{"Ошибка|" + message});
        QCOMPARE(db.scalar("select count(*) from cmn_gds_and_srv.gds_and_srv").toInt(), 2);
    }

    // In choice mode the products list hands over the current product, and on an empty list an empty code and 0.
    void productChoice()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        ProductsList* list = app.w.productsList;
        QVERIFY(list->findChild<QPushButton*>("Button3") == nullptr); // products are never deleted
        StandInOpener opener;
        ui::scriptModal("ProductsList", [&](QDialog*) {
            QVERIFY(widget<QPushButton>(list, "Button1")->isHidden());
            type(widget<QLineEdit>(list, "Edit1"), "ок");
            widget<QPushButton>(list, "Button2")->click();
        });
        opener.pick(list);
        QCOMPARE(opener.name, QStringLiteral("ОК-205"));
        QCOMPARE(opener.id, 2);
        ui::scriptModal("ProductsList", [&](QDialog*) {
            type(widget<QLineEdit>(list, "Edit1"), "Я");
            widget<QPushButton>(list, "Button2")->click();
        });
        opener.pick(list);
        QCOMPARE(opener.name, QString());
        QCOMPARE(opener.id, 0);
        ui::scriptModal("ProductsList", [&](QDialog*) {
            QVERIFY(widget<QPushButton>(list, "Button1")->isVisible());
            QVERIFY(widget<QLineEdit>(list, "Edit1")->isVisible());
        });
        list->openCatalogue(nullptr);
    }

    // ---- operation kinds ----

    // Add, rename (its own name in another case passes) and delete through the shared query; the search box is
    // hidden in catalogue mode; a kind that operations use is not deleted.
    void kindsCatalogue()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        OperationKindsList* list = app.w.operationKindsList;
        OperationKindEditor* editor = app.w.operationKindEditor;
        db::Dataset* kinds = app.w.database->Vid_oper;
        ui::scriptModal("OperationKindsList", [&](QDialog*) {
            QVERIFY(widget<QLineEdit>(list, "Edit1")->isHidden());
            QCOMPARE(column(kinds, "vid"), QStringList({"КРАСКА", "РЕЗКА"}));
            ui::scriptModal("OperationKindEditor", [&](QDialog*) {
                QCOMPARE(editor->windowTitle(), QStringLiteral("Заведение нового вида операций"));
                QVERIFY(!editor->changesRow());
                widget<QLineEdit>(editor, "Edit1")->setText(" Гибка ");
                widget<QPushButton>(editor, "Button1")->click();
            });
            widget<QPushButton>(list, "Button1")->click();
            QCOMPARE(column(kinds, "vid"), QStringList({"Гибка", "КРАСКА", "РЕЗКА"}));
            QCOMPARE(kinds->recNo(), 1);

            kinds->setRecNo(3);
            ui::scriptModal("OperationKindEditor", [&](QDialog* d) {
                QCOMPARE(editor->windowTitle(), QStringLiteral("Изменение данных вида операции"));
                QVERIFY(editor->changesRow());
                QCOMPARE(widget<QLineEdit>(editor, "Edit1")->text(), QStringLiteral("РЕЗКА"));
                widget<QLineEdit>(editor, "Edit1")->setText("Резка");
                widget<QPushButton>(editor, "Button1")->click();
                QVERIFY(!d->isVisible());
            });
            doubleClickRow(widget<ui::DbGrid>(list, "DBGrid1"), 2);
            QCOMPARE(column(kinds, "vid"), QStringList({"Гибка", "КРАСКА", "Резка"}));

            ui::Messages::queueAnswer(true);
            kinds->setRecNo(2); // КРАСКА, used by operation 2
            widget<QPushButton>(list, "Button3")->click();
            QCOMPARE(kinds->recordCount(), 3);
            ui::Messages::queueAnswer(false);
            kinds->setRecNo(1);
            widget<QPushButton>(list, "Button3")->click();
            QCOMPARE(kinds->recordCount(), 3);
            ui::Messages::queueAnswer(true);
            widget<QPushButton>(list, "Button3")->click();
            QCOMPARE(column(kinds, "vid"), QStringList({"КРАСКА", "Резка"}));
        });
        list->openCatalogue(nullptr);
        QCOMPARE(messages(), QStringList({"Удаление|Удалить вид операции?",
                                          "Ошибка|Вид операции нельзя удалить: он используется в операциях. "
                                          "Сначала удалите эти операции или выберите в них другой вид.",
                                          "Удаление|Удалить вид операции?", "Удаление|Удалить вид операции?"}));
        QCOMPARE(db.rows("select id, vid from accounts_dep.vid_oper order by id"),
                 (QList<QVariantList>{{1, "Резка"}, {2, "КРАСКА"}}));
    }

    void kindRefusals_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("message");
        const QString duplicate = "Такая операция уже заведена!";
        QTest::newRow("empty") << 1 << ""
                               << "Все поля должны быть заполнены!";
        QTest::newRow("blanks only") << 1 << "  "
                                     << "Все поля должны быть заполнены!";
        QTest::newRow("duplicate in lower case") << 1 << "краска" << duplicate;
        QTest::newRow("duplicate with blanks") << 1 << " РЕЗКА  " << duplicate;
        QTest::newRow("renamed to another kind") << 2 << "Краска" << duplicate;
        QTest::newRow("longer than the column")
            << 1 << QString(51, u'Ш') << "Название операции не может быть длиннее 50 символов (сейчас 51)!";
        QTest::newRow("51 emoji") << 1 << emoji(51)
                                  << "Название операции не может быть длиннее 50 символов (сейчас 51)!";
    }

    void kindRefusals()
    {
        QFETCH(int, tag);
        QFETCH(QString, name);
        QFETCH(QString, message);
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        OperationKindsList* list = app.w.operationKindsList;
        OperationKindEditor* editor = app.w.operationKindEditor;
        bool stayedOpen = false;
        ui::scriptModal("OperationKindEditor", [&](QDialog* d) {
            widget<QLineEdit>(editor, "Edit1")->setText(name);
            widget<QPushButton>(editor, "Button1")->click();
            stayedOpen = d->isVisible();
        });
        ui::scriptModal("OperationKindsList", [&](QDialog*) {
            app.w.database->Vid_oper->setRecNo(2); // РЕЗКА
            (tag == 1 ? widget<QPushButton>(list, "Button1") : widget<QPushButton>(list, "Button2"))->click();
        });
        list->openCatalogue(nullptr);
        QVERIFY(stayedOpen);
        QCOMPARE(messages(), QStringList{"Ошибка|" + message});
        QCOMPARE(db.rows("select id, vid from accounts_dep.vid_oper order by id"),
                 (QList<QVariantList>{{1, "РЕЗКА"}, {2, "КРАСКА"}}));
    }

    // The search box shows only while choosing; an empty list hands over an empty name and 0.
    void kindChoice()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        OperationKindsList* list = app.w.operationKindsList;
        StandInOpener opener;
        ui::scriptModal("OperationKindsList", [&](QDialog*) {
            QVERIFY(widget<QLineEdit>(list, "Edit1")->isVisible());
            QVERIFY(widget<QPushButton>(list, "Button3")->isHidden());
            type(widget<QLineEdit>(list, "Edit1"), "ре");
            QTest::keyClick(widget<QLineEdit>(list, "Edit1"), Qt::Key_Return);
        });
        opener.pick(list);
        QCOMPARE(opener.name, QStringLiteral("РЕЗКА"));
        QCOMPARE(opener.id, 1);
        ui::scriptModal("OperationKindsList", [&](QDialog*) {
            type(widget<QLineEdit>(list, "Edit1"), "Я");
            widget<QPushButton>(list, "Button2")->click();
        });
        opener.pick(list);
        QCOMPARE(opener.name, QString());
        QCOMPARE(opener.id, 0);
        // opened from the menu after a narrowed choice, the catalogue lists every kind
        ui::scriptModal("OperationKindsList", [&](QDialog*) {
            type(widget<QLineEdit>(list, "Edit1"), "КРА");
            widget<QPushButton>(list, "Button2")->click();
        });
        opener.pick(list);
        QCOMPARE(opener.name, QStringLiteral("КРАСКА"));
        ui::scriptModal("OperationKindsList", [&](QDialog*) {
            QVERIFY(widget<QLineEdit>(list, "Edit1")->isHidden());
            QVERIFY(widget<QPushButton>(list, "Button1")->isVisible());
            QVERIFY(widget<QPushButton>(list, "Button3")->isVisible());
            QCOMPARE(column(app.w.database->Vid_oper, "vid"), QStringList({"КРАСКА", "РЕЗКА"}));
        });
        app.w.journal->openOperationKinds();
    }

    // ---- statements ----

    void statements_data()
    {
        using namespace catalogs_sql;
        QTest::addColumn<QString>("built");
        QTest::addColumn<QString>("expected");
        QTest::newRow("insert worker")
            << insertWorker("Сидоров С.С.", "Цех покраски")
            << "INSERT INTO accounts_dep.person (fio, s_staffpos_hl)VALUES('Сидоров С.С.', 'Цех покраски')";
        QTest::newRow("update worker") << updateWorker("Сидоров С.С.", "", 12)
                                       << "UPDATE accounts_dep.person SET fio='Сидоров С.С.', s_staffpos_hl='' where "
                                          "accounts_dep.person.id=12";
        QTest::newRow("delete worker") << deleteWorker(12) << "delete from accounts_dep.person where id =12";
        QTest::newRow("product duplicate, new")
            << productDuplicate("ДМ-101")
            << "select count(*) as cnt from accounts_dep.izdel where upper(marka)='ДМ-101'";
        QTest::newRow("product duplicate, change")
            << productDuplicate("ДМ-101", "7")
            << "select count(*) as cnt from accounts_dep.izdel where upper(marka)='ДМ-101'and id<>7";
        QTest::newRow("insert product") << insertProduct("ДМ-101", "12.5", "10")
                                        << "INSERT INTO cmn_gds_and_srv.gds_and_srv(s_caption, s_description, "
                                           "id_msm_bs, massa, id_class_item)VALUES('ДМ-101', '', 6, 12.5,10)";
        QTest::newRow("update product") << updateProduct("ДМ-101", "3", "11", "7")
                                        << "UPDATE cmn_gds_and_srv.gds_and_srv SET s_caption='ДМ-101', "
                                           "s_description='', id_msm_bs=6, massa=3, id_class_item=11 where id=7";
        QTest::newRow("kind duplicate, new")
            << kindDuplicate("РЕЗКА") << "select count(*) as cnt from accounts_dep.vid_oper where upper(vid)='РЕЗКА'";
        QTest::newRow("kind duplicate, change")
            << kindDuplicate("РЕЗКА", "3")
            << "select count(*) as cnt from accounts_dep.vid_oper where upper(vid)='РЕЗКА' and id<>3";
        QTest::newRow("quote in a name")
            << insertWorker("О'Нил Д.", "")
            << "INSERT INTO accounts_dep.person (fio, s_staffpos_hl)VALUES('О''Нил Д.', '')";
        QTest::newRow("search filter") << ui::CatalogueWindow::searchFilter("fio", "О'Н") << "fio like 'О''Н%'";
    }

    void statements()
    {
        QFETCH(QString, built);
        QFETCH(QString, expected);
        QCOMPARE(built, expected);
    }
};

QTEST_MAIN(TestCatalogs)
#include "tst_catalogs.moc"
