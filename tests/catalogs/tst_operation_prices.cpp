// The operation prices list and its editor: adding with both choosers, changing, duplicates, deleting, the double
// click, the spreadsheet export, and the statement texts.
#include "catalogs/norms_editor.h"
#include "catalogs/operation_kinds_list.h"
#include "catalogs/operation_price_editor.h"
#include "catalogs/operation_prices_list.h"
#include "catalogs/operation_prices_sql.h"
#include "catalogs/products_list.h"
#include "db/data_module.h"
#include "harness/widgets.h"
#include "spreadsheet/cell_text.h"
#include "spreadsheet/spreadsheet.h"
#include "support/app_fixture.h"
#include "support/xlsx_reader.h"
#include "ui/dataset_grid.h"
#include "ui/messages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace sql = operation_prices_sql;

class TestOperationPrices : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        ui::Messages::clearShown();
        ui::clearModalScripts();
    }

    void statementTexts_data()
    {
        QTest::addColumn<QString>("built");
        QTest::addColumn<QString>("expected");
        QTest::newRow("duplicate of a new operation")
            << sql::duplicateOfNew(3, 1, 27)
            << "select count(ID) as cnt from accounts_dep.OPER where vid=3 and naimen=1 and i_id=27";
        QTest::newRow("insert") << sql::insertOperation(3, 0, 27)
                                << "insert into accounts_dep.oper(vid, naimen, i_id, cena_new)values (3, 0, 27, 0)";
        QTest::newRow("duplicate of a changed operation")
            << sql::duplicateOfChanged(3, 1, 27, "12")
            << "select count(*) as cnt from accounts_dep.OPER where vid=3 and naimen=1 and i_id=27 and id<>12";
        QTest::newRow("update") << sql::updateOperation(3, 1, 27, "12")
                                << "update accounts_dep.oper set vid=3, naimen=1,  i_id=27 where id=12";
        QTest::newRow("export")
            << sql::kXlsRepLines.join(u'\n')
            << "select izdel.MARKA, vid_oper.VID, oper.NAIMEN,(SELECT (CASE naimen WHEN 0 THEN 'Готовая продукция' "
               "ELSE "
               "'Заготовки' END)) as nmn, oper.CENA_new as cena, oper.id, oper.i_id,\n oper.VID as oper_vid from "
               "accounts_dep.OPER,accounts_dep.IZDEL,accounts_dep.VID_OPER where OPER.i_id=IZDEL.id \nand "
               "oper.vid=vid_oper.id order by izdel.marka, vid_oper.vid, oper.naimen";
    }

    void statementTexts()
    {
        QFETCH(QString, built);
        QFETCH(QString, expected);
        QCOMPARE(built, expected);
    }

    // "Добавить": the product and the kind come from their lists as choosers; the new operation is stored with
    // cena_new 0, its first norm is entered right away, and the list then shows it with that norm's price.
    void addWithBothChoosers()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        OperationPricesList* list = app.w.operationPricesList;
        OperationPriceEditor* e = app.w.operationPriceEditor;
        NormsEditor* norms = app.w.normsEditor;
        Database* dm = app.w.database;
        dm->Oper->open();
        ui::scriptModal("OperationPriceEditor", [&](QDialog*) {
            QCOMPARE(e->windowTitle(), QStringLiteral("Заведение новой цены за операцию"));
            QCOMPARE(widget<QComboBox>(e, "ComboBox1")->currentText(), QStringLiteral("Готовая продукция"));
            widget<QPushButton>(e, "Button3")->click();
            QCOMPARE(widget<QLineEdit>(e, "Edit1")->text(), QStringLiteral("ОК-205"));
            widget<QPushButton>(e, "Button4")->click();
            QCOMPARE(widget<QLineEdit>(e, "Edit2")->text(), QStringLiteral("РЕЗКА"));
            widget<QPushButton>(e, "Button1")->click();
            QVERIFY(!e->isVisible());
        });
        ui::scriptModal("ProductsList", [&](QDialog* d) {
            QVERIFY(dm->Izdel->locate("id", 2));
            widget<QPushButton>(static_cast<ProductsList*>(d), "Button2")->click();
        });
        ui::scriptModal("OperationKindsList", [&](QDialog* d) {
            QVERIFY(dm->Vid_oper->locate("ID", 1));
            widget<QPushButton>(static_cast<OperationKindsList*>(d), "Button2")->click();
        });
        ui::scriptModal("NormsEditor", [&](QDialog*) {
            auto* m = widget<ui::DbGrid>(norms, "DBGrid1")->datasetModel();
            QCOMPARE(m->rowCount(), 0);
            QTest::keyClick(widget<ui::DbGrid>(norms, "DBGrid1"), Qt::Key_Down);
            QCOMPARE(m->rowCount(), 1);
            QVERIFY(m->setData(m->index(0, 0), "40"));
            QVERIFY(m->setData(m->index(0, 1), "8"));
            widget<QPushButton>(norms, "Button1")->click();
        });
        widget<QPushButton>(list, "Button1")->click();
        QVERIFY2(ui::Messages::shown().isEmpty(), qPrintable(ui::Messages::shown().value(0).text));
        QCOMPARE(ui::shownModals(), (QStringList{"OperationPriceEditor", "ProductsList", "OperationKindsList", "NormsEditor"}));
        const QList<QVariantList> added =
            db.rows("select id, vid, naimen, i_id, cena_new from accounts_dep.oper where id not in (1, 2)");
        QCOMPARE(added.size(), 1);
        const int id = added[0][0].toInt();
        QCOMPARE(added[0].mid(1), (QVariantList{1, 0, 2, 0}));
        QCOMPARE(db.rows(QString("select norma, price from accounts_dep.norm where o_id=%1").arg(id)),
                 (QList<QVariantList>{{40, 8.0}}));
        QCOMPARE(dm->Oper->recordCount(), 3);
        QCOMPARE(dm->Oper->asInt("id"), id);
        QCOMPARE(dm->Oper->asDouble("cena"), 8.0);
        QCOMPARE(dm->Oper->asInt("norma"), 1);
    }

    // A new operation and its norms editor: a norm typed into the empty grid after a click is kept; closed
    // without a norm the operation is not kept (it would be in no list, and adding it again would be refused).
    void newOperationAndItsFirstNorm_data()
    {
        QTest::addColumn<bool>("typed");
        QTest::newRow("norm typed after a click") << true;
        QTest::newRow("closed without a norm") << false;
    }

    void newOperationAndItsFirstNorm()
    {
        QFETCH(bool, typed);
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        OperationPricesList* list = app.w.operationPricesList;
        OperationPriceEditor* e = app.w.operationPriceEditor;
        NormsEditor* norms = app.w.normsEditor;
        Database* dm = app.w.database;
        dm->Oper->open();
        ui::scriptModal("OperationPriceEditor", [&](QDialog*) {
            e->takeProduct(2, "ОК-205");
            e->takeKind(1, "РЕЗКА");
            widget<QPushButton>(e, "Button1")->click();
        });
        ui::scriptModal("NormsEditor", [&](QDialog*) {
            auto* m = widget<ui::DbGrid>(norms, "DBGrid1")->datasetModel();
            QCOMPARE(m->rowCount(), 0);
            if (typed) {
                norms->activateWindow();
                QVERIFY(QTest::qWaitForWindowActive(norms));
                QTest::mouseClick(widget<ui::DbGrid>(norms, "DBGrid1")->viewport(), Qt::LeftButton, {}, QPoint(20, 20));
                // each key goes where the keyboard is: the grid first, then the cell's editor it opened
                // (a key that closes the cell's editor deletes it: nothing is released onto it then)
                for (const int key : {Qt::Key_4, Qt::Key_0, Qt::Key_Tab, Qt::Key_8, Qt::Key_Return}) {
                    QPointer<QWidget> w = QApplication::focusWidget();
                    QTest::keyPress(w, Qt::Key(key));
                    if (w)
                        QTest::keyRelease(w, Qt::Key(key));
                    QApplication::processEvents(); // the cell's editor hands its text over after the key
                }
                QCOMPARE(m->rowCount(), 1);
            }
            widget<QPushButton>(norms, "Button1")->click();
        });
        widget<QPushButton>(list, "Button1")->click();
        const QList<QVariantList> operations =
            db.rows("select id from accounts_dep.oper where vid = 1 and naimen = 0 and i_id = 2");
        if (!typed) {
            QCOMPARE(ui::Messages::shown().size(), 1);
            QVERIFY(ui::Messages::shown().first().text.startsWith("Операция не записана"));
            QVERIFY(operations.isEmpty());
            QCOMPARE(dm->Oper->recordCount(), 2);
            return;
        }
        QVERIFY2(ui::Messages::shown().isEmpty(), qPrintable(ui::Messages::shown().value(0).text));
        QCOMPARE(operations.size(), 1);
        const int id = operations[0][0].toInt();
        QCOMPARE(db.rows(QString("select norma, price from accounts_dep.norm where o_id=%1").arg(id)),
                 (QList<QVariantList>{{40, 8.0}}));
        QCOMPARE(dm->Oper->recordCount(), 3);
        QCOMPARE(dm->Oper->asInt("id"), id);
    }

    // Saving an operation: its own kind, flag and product pass; another operation's are refused and the editor stays
    // open; empty product or kind is refused.
    void saveChecks_data()
    {
        QTest::addColumn<int>("tag");
        QTest::addColumn<QString>("product");
        QTest::addColumn<int>("productId");
        QTest::addColumn<int>("kindId");
        QTest::addColumn<int>("flag");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QList<QVariantList>>("operations");
        const QVariantList op2{2, 2, 1, 2};
        QTest::newRow("change keeping its own values")
            << 2 << "ДМ-101" << 1 << 1 << 0 << "" << QList<QVariantList>{{1, 1, 0, 1}, op2};
        QTest::newRow("change to new values")
            << 2 << "ДМ-101" << 1 << 1 << 1 << "" << QList<QVariantList>{{1, 1, 1, 1}, op2};
        QTest::newRow("change to another operation's values")
            << 2 << "ОК-205" << 2 << 2 << 1 << "Операция с такими параметрами уже заведена!"
            << QList<QVariantList>{{1, 1, 0, 1}, op2};
        QTest::newRow("new with an existing operation's values")
            << 1 << "ДМ-101" << 1 << 1 << 0 << "Операция с такими параметрами уже заведена!"
            << QList<QVariantList>{{1, 1, 0, 1}, op2};
        QTest::newRow("empty product") << 1 << "  " << 1 << 2 << 0 << "Все поля должны быть заполнены!"
                                       << QList<QVariantList>{{1, 1, 0, 1}, op2};
    }

    void saveChecks()
    {
        QFETCH(int, tag);
        QFETCH(QString, product);
        QFETCH(int, productId);
        QFETCH(int, kindId);
        QFETCH(int, flag);
        QFETCH(QString, message);
        QFETCH(QList<QVariantList>, operations);
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        OperationPriceEditor* e = app.w.operationPriceEditor;
        app.w.database->Oper->open();
        QVERIFY(app.w.database->Oper->locate("id", 1));
        if (tag == 1)
            e->prepareAdd();
        else
            e->prepareChange({1});
        e->takeProduct(productId, product);
        e->takeKind(kindId, "РЕЗКА");
        widget<QComboBox>(e, "ComboBox1")->setCurrentIndex(flag);
        widget<QPushButton>(e, "Button1")->click();
        if (message.isEmpty()) {
            QVERIFY(ui::Messages::shown().isEmpty());
        } else {
            QCOMPARE(ui::Messages::shown().size(), 1);
            QCOMPARE(ui::Messages::shown().first().text, message);
            QCOMPARE(ui::Messages::shown().first().caption, QStringLiteral("Ошибка"));
        }
        QCOMPARE(db.rows("select id, vid, naimen, i_id from accounts_dep.oper order by id"), operations);
    }

    // "Удалить" asks; an operation the journal uses is refused; one that only norms use goes with its norms.
    void deleteOperation_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("usedByJournal");
        QTest::addColumn<int>("operationsLeft");
        QTest::addColumn<int>("normsLeft");
        QTest::newRow("answered No") << 2 << false << false << 2 << 3;
        QTest::newRow("used by the journal") << 1 << true << true << 2 << 3;
        QTest::newRow("only norms use it") << 2 << true << false << 1 << 2;
    }

    void deleteOperation()
    {
        QFETCH(int, operation);
        QFETCH(bool, answer);
        QFETCH(bool, usedByJournal);
        QFETCH(int, operationsLeft);
        QFETCH(int, normsLeft);
        TestDatabase db;
        loadSmallShop(db);
        if (usedByJournal)
            db.exec(
                "insert into accounts_dep.smena (w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok)"
                " values (1, 1, 1, 12.5, 10, 0, current_date, 1, 0, 8, 'no')");
        AppFixture app(db);
        app.w.database->Oper->open();
        QVERIFY(app.w.database->Oper->locate("id", operation));
        ui::Messages::queueAnswer(answer);
        widget<QPushButton>(app.w.operationPricesList, "Button3")->click();
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.first().kind, ui::ShownMessage::Kind::Question);
        QCOMPARE(shown.first().text, QStringLiteral("Удалить операцию?"));
        QCOMPARE(shown.first().caption, QStringLiteral("Удаление"));
        if (usedByJournal) {
            QCOMPARE(shown.size(), 2);
            QCOMPARE(shown[1].text, QStringLiteral("Операцию удалить нельзя: она есть в журнале (записей: 1)."));
        } else {
            QCOMPARE(shown.size(), 1);
        }
        QCOMPARE(db.scalar("select count(*) from accounts_dep.oper").toInt(), operationsLeft);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.norm").toInt(), normsLeft);
        QCOMPARE(app.w.database->Oper->recordCount(), operationsLeft);
    }

    // The double click and Enter in the list: the norms of the row with "Цены" checked, otherwise what the second
    // button does.
    void doubleClick_data()
    {
        QTest::addColumn<bool>("prices");
        QTest::addColumn<int>("tag");
        QTest::addColumn<bool>("byEnter");
        QTest::addColumn<QString>("opens");
        for (bool enter : {false, true}) {
            const char* how = enter ? "Enter" : "double click";
            QTest::addRow("%s, Цены unchecked: change", how) << false << 0 << enter << "OperationPriceEditor";
            QTest::addRow("%s, Цены checked: norms", how) << true << 0 << enter << "NormsEditor";
            QTest::addRow("%s, choice mode: hand-over", how) << true << 1 << enter << "";
        }
    }

    void doubleClick()
    {
        QFETCH(bool, prices);
        QFETCH(int, tag);
        QFETCH(bool, byEnter);
        QFETCH(QString, opens);
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        OperationPricesList* list = app.w.operationPricesList;
        widget<QCheckBox>(list, "CheckBox1")->setChecked(prices);
        QStringList normsShown;
        ui::scriptModal("NormsEditor", [&](QDialog*) {
            for (int r = 0; r < widget<ui::DbGrid>(app.w.normsEditor, "DBGrid1")->datasetModel()->rowCount(); ++r)
                normsShown
                    << widget<ui::DbGrid>(app.w.normsEditor, "DBGrid1")->datasetModel()->index(r, 0).data().toString();
        });
        ui::scriptModal("OperationPricesList", [&](QDialog* d) {
            QVERIFY(app.w.database->Oper->locate("id", 1));
            auto* grid = widget<ui::DbGrid>(list, "DBGrid1");
            if (byEnter) {
                grid->setFocus();
                QTest::keyClick(grid, Qt::Key_Return);
            } else {
                list->rowActivated();
            }
            if (d->isVisible())
                d->reject();
        });
        if (tag == 0)
            list->openCatalogue(nullptr);
        else
            list->choose(nullptr);
        QCOMPARE(ui::shownModals(), opens.isEmpty() ? QStringList{"OperationPricesList"} : (QStringList{"OperationPricesList", opens}));
        if (opens == "OperationPriceEditor") {
            QCOMPARE(app.w.operationPriceEditor->windowTitle(), QStringLiteral("Изменение данных о цене за операцию"));
            QCOMPARE(widget<QLineEdit>(app.w.operationPriceEditor, "Edit1")->text(), QStringLiteral("ДМ-101"));
            QCOMPARE(widget<QLineEdit>(app.w.operationPriceEditor, "Edit2")->text(), QStringLiteral("РЕЗКА"));
            QVERIFY(app.w.operationPriceEditor->changesRow());
        }
        if (opens == "NormsEditor")
            QCOMPARE(normsShown, (QStringList{"100", "200"}));
        if (tag == 1) {
            QVERIFY(list->choice().made);
            QCOMPARE(list->choice().id, 1);
        }
    }

    // "Excel" writes every operation, with or without norms, in order of mark, kind and flag, whatever the list's
    // search shows; the price column is the operation's own cena_new.
    void exportIgnoresTheFilter()
    {
        TestDatabase db;
        loadSmallShop(db);
        db.exec("insert into accounts_dep.oper (id, vid, naimen, i_id, cena_new) values (3, 2, 1, 1, 2.5)");
        AppFixture app(db);
        QTemporaryDir dir;
        spreadsheet::Application::setOutputFolder(dir.path());
        QStringList opened;
        spreadsheet::Application::setOpener([&](const QString& f) {
            opened << f;
            return true;
        });
        OperationPricesList* list = app.w.operationPricesList;
        app.w.database->Oper->open();
        widget<QLineEdit>(list, "Edit1")->setText("ОК");
        QCOMPARE(app.w.database->Oper->recordCount(), 1);
        widget<QPushButton>(list, "Button5")->click();
        spreadsheet::Application::setOpener({});
        spreadsheet::Application::setOutputFolder({});
        QVERIFY(ui::Messages::shown().isEmpty());
        QCOMPARE(opened.size(), 1);
        XlsxFile x(opened.first());
        QVERIFY2(x.isValid(), qPrintable(x.error()));
        QCOMPARE(x.lastRow(), 4);
        QCOMPARE(x.row(1), (QStringList{"Марка", "Операция", "Цена", "Вид"}));
        QCOMPARE(x.row(2), (QStringList{"ДМ-101", "КРАСКА", "2.5", "Заготовки"}));
        QCOMPARE(x.row(3), (QStringList{"ДМ-101", "РЕЗКА", "0", "Готовая продукция"}));
        QCOMPARE(x.row(4), (QStringList{"ОК-205", "КРАСКА", "0", "Заготовки"}));
        QVERIFY(x.cell(3, 2).isNumber);
        QCOMPARE(x.cell(3, 2).number, 2.5);
        QVERIFY(!x.cell(1, 2).isNumber);
        // The headings bold and kept in view; every column as wide as its widest text, heading or value.
        QCOMPARE(x.frozenRows(), 1);
        QCOMPARE(x.frozenColumns(), 0);
        for (int c = 1; c <= 4; ++c) {
            QVERIFY(x.cell(c, 1).bold);
            QVERIFY(!x.cell(c, 2).bold);
        }
        // (the file stores a width with the cell padding added, under a character more)
        const auto fits = [&](int column, const char* widest, bool bold) {
            const double w = spreadsheet::columnWidthFor(QString::fromUtf8(widest), bold);
            return x.columnWidth(column) >= w && x.columnWidth(column) < w + 1;
        };
        QVERIFY(fits(1, "ДМ-101", false));
        QVERIFY(fits(2, "Операция", true));
        QVERIFY(fits(3, "Цена", true));
        QVERIFY(fits(4, "Готовая продукция", false));
        QVERIFY(!app.w.operationPricesList->priceListQuery()->isOpen());
    }
};

QTEST_MAIN(TestOperationPrices)
#include "tst_operation_prices.moc"
