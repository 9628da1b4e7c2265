// The norms editor: norms typed into the grid, saved to the operation the window was opened for, kept in order,
// refused when they do not fit, and the price list re-read at the same row after "Сохранить".
#include "catalogs/norms_editor.h"
#include "db/data_module.h"
#include "harness/widgets.h"
#include "support/app_fixture.h"
#include "ui/dataset_grid.h"
#include "ui/messages.h"

#include <QLineEdit>
#include <QPushButton>
#include <QtTest>

namespace {

ui::DatasetModel* model(NormsEditor* f)
{
    return widget<ui::DbGrid>(f, "DBGrid1")->datasetModel();
}

// The grid's column texts of every row, as shown.
QStringList shown(NormsEditor* f, int column)
{
    QStringList out;
    for (int r = 0; r < model(f)->rowCount(); ++r)
        out << model(f)->index(r, column).data().toString();
    return out;
}

// Starts a new row the way a user does: the cursor on the last row, Down.
void startNewRow(NormsEditor* f)
{
    widget<ui::DbGrid>(f, "DBGrid1")->setFocus();
    if (model(f)->rowCount() > 0)
        widget<ui::DbGrid>(f, "DBGrid1")->setCurrentIndex(model(f)->index(model(f)->rowCount() - 1, 0));
    QTest::keyClick(widget<ui::DbGrid>(f, "DBGrid1"), Qt::Key_Down);
}

// A number as the workstation writes it (the program runs with the Russian decimal comma).
QString decimal(QString text)
{
    return text.replace(u'.', QLocale().decimalPoint());
}

bool type(NormsEditor* f, int row, int column, const QString& text)
{
    return model(f)->setData(model(f)->index(row, column), text);
}

} // namespace

class TestNormsEditor : public QObject {
    Q_OBJECT

private slots:
    void init()
    {
        ui::Messages::clearShown();
        ui::clearModalScripts();
    }

    // However a new row is saved, it belongs to the operation the window was opened for.
    void newRowGetsTheOperation_data()
    {
        QTest::addColumn<QString>("how");
        QTest::newRow("leaving the changed column") << "column";
        QTest::newRow("moving to another row") << "row";
        QTest::newRow("Сохранить") << "save";
        QTest::newRow("closing the window") << "close";
        QTest::newRow("Escape (the save button's key)") << "escape";
    }

    void newRowGetsTheOperation()
    {
        QFETCH(QString, how);
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        NormsEditor* f = app.w.normsEditor;
        app.w.database->Oper->open();
        ui::scriptModal("NormsEditor", [&](QDialog*) {
            QCOMPARE(shown(f, 0), (QStringList{"100", "200"}));
            startNewRow(f);
            QCOMPARE(model(f)->rowCount(), 3);
            QCOMPARE(f->norms()->recNo(), -1);
            QVERIFY(type(f, 2, 0, "150"));
            QVERIFY(type(f, 2, 1, "9,5"));
            if (how == "column") {
                widget<ui::DbGrid>(f, "DBGrid1")->setCurrentIndex(model(f)->index(2, 2));
            } else if (how == "row") {
                widget<ui::DbGrid>(f, "DBGrid1")->setCurrentIndex(model(f)->index(0, 0));
            } else if (how == "save") {
                widget<QPushButton>(f, "Button1")->click();
            } else if (how == "escape") {
                QTest::keyClick(f, Qt::Key_Escape);
            } // "close": the window is closed as by its close box
        });
        f->showForOperation(1);
        QVERIFY2(ui::Messages::shown().isEmpty(), qPrintable(ui::Messages::shown().value(0).text));
        QCOMPARE(db.rows("select o_id, price from accounts_dep.norm where norma=150"), (QList<QVariantList>{{1, 9.5}}));
        QCOMPARE(db.scalar("select count(*) from accounts_dep.norm where o_id is null").toInt(), 0);
        // Saved in order of the norm, whichever way.
        QCOMPARE(shown(f, 0), (QStringList{"100", "150", "200"}));
    }

    // "Удалить": with one norm nothing is deleted; with more the current one goes, without a question.
    void deleteButton_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("one norm stays") << 2 << QStringList{"50"};
        QTest::newRow("two norms: the current goes") << 1 << QStringList{"200"};
    }

    void deleteButton()
    {
        QFETCH(int, operation);
        QFETCH(QStringList, left);
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        NormsEditor* f = app.w.normsEditor;
        ui::scriptModal("NormsEditor", [&](QDialog*) { widget<QPushButton>(f, "Button2")->click(); });
        f->showForOperation(operation);
        QVERIFY(ui::Messages::shown().isEmpty());
        QCOMPARE(shown(f, 0), left);
        QCOMPARE(db.scalar(QString("select count(*) from accounts_dep.norm where o_id=%1").arg(operation)).toInt(),
                 left.size());
    }

    // After "Сохранить" the price list shows the new lowest price and the norm count, on the same row.
    void saveRereadsThePriceList()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        NormsEditor* f = app.w.normsEditor;
        db::Dataset* oper = app.w.database->Oper;
        oper->open();
        oper->setRecNo(2);
        QCOMPARE(oper->asInt("id"), 2);
        ui::scriptModal("NormsEditor", [&](QDialog*) {
            startNewRow(f);
            QVERIFY(type(f, 1, 0, "80"));
            QVERIFY(type(f, 1, 1, "7.125"));
            QCOMPARE(shown(f, 1), (QStringList{decimal("30.00"), decimal("7.125")}));
            widget<QPushButton>(f, "Button1")->click();
            QVERIFY(!f->isVisible());
        });
        f->showForOperation(2);
        QCOMPARE(oper->recNo(), 2);
        QCOMPARE(oper->asInt("id"), 2);
        QCOMPARE(oper->asDouble("cena"), 7.125);
        QCOMPARE(oper->asInt("norma"), 2);
    }

    // Text a field cannot hold is refused in the cell with a message; nothing is written.
    void badInputRefused_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("letters in the norm") << 0 << "abc"
                                             << "В поле «Норматив» нужно целое число, а «abc» не целое число.";
        QTest::newRow("fraction in the norm") << 0 << "1,5"
                                              << "В поле «Норматив» нужно целое число, а «1,5» не целое число.";
        QTest::newRow("norm too large")
            << 0 << "99999999999"
            << "Число 99999999999 не помещается в поле «Норматив»: допустимо от -2147483648 до 2147483647.";
        QTest::newRow("empty norm") << 0 << " "
                                    << "Поле «Норматив» должно быть заполнено.";
        QTest::newRow("letters in the price") << 1 << "12р"
                                              << "В поле «Цена» нужно число, а «12р» не число.";
        QTest::newRow("price too large") << 1 << "1e400"
                                         << "Число 1e400 слишком велико для поля «Цена».";
        QTest::newRow("bonus too large")
            << 2 << "3000000000"
            << "Число 3000000000 не помещается в поле «Премия, %»: допустимо от -2147483648 до 2147483647.";
    }

    void badInputRefused()
    {
        QFETCH(int, column);
        QFETCH(QString, text);
        QFETCH(QString, message);
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        NormsEditor* f = app.w.normsEditor;
        ui::scriptModal("NormsEditor", [&](QDialog*) {
            // Typed into the cell's editor and confirmed with Enter: the message, and the cell open again with the
            // text.
            const QModelIndex cell = model(f)->index(0, column);
            widget<ui::DbGrid>(f, "DBGrid1")->setFocus();
            widget<ui::DbGrid>(f, "DBGrid1")->setCurrentIndex(cell);
            widget<ui::DbGrid>(f, "DBGrid1")->edit(cell);
            auto* editor = widget<ui::DbGrid>(f, "DBGrid1")->findChild<QLineEdit*>();
            QVERIFY(editor);
            editor->setText(text);
            QTest::keyClick(editor, Qt::Key_Return);
            QTRY_COMPARE(ui::Messages::shown().size(), 1);
            QCOMPARE(ui::Messages::shown().first().text, message);
            QCOMPARE(ui::Messages::shown().first().caption, QStringLiteral("Ошибка"));
            QTRY_VERIFY(widget<ui::DbGrid>(f, "DBGrid1")->findChild<QLineEdit*>() &&
                        widget<ui::DbGrid>(f, "DBGrid1")->findChild<QLineEdit*>()->isVisible());
            QCOMPARE(widget<ui::DbGrid>(f, "DBGrid1")->findChild<QLineEdit*>()->text(), text);
            QCOMPARE(widget<ui::DbGrid>(f, "DBGrid1")->currentIndex(), cell);
            QVERIFY(!f->norms()->isModified());
            QTest::keyClick(widget<ui::DbGrid>(f, "DBGrid1")->findChild<QLineEdit*>(), Qt::Key_Escape); // dropped
            widget<QPushButton>(f, "Button1")->click();
        });
        f->showForOperation(1);
        QCOMPARE(ui::Messages::shown().size(), 1);
        QCOMPARE(db.rows("select norma, price, prize from accounts_dep.norm where o_id=1 order by norma"),
                 (QList<QVariantList>{{100, 12.5, 0}, {200, 10.25, 5}}));
    }

    // A new row without a norm cannot be saved: it stays in the grid with the message.
    void newRowWithoutNormRefused()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        NormsEditor* f = app.w.normsEditor;
        ui::scriptModal("NormsEditor", [&](QDialog*) {
            startNewRow(f);
            QVERIFY(type(f, 1, 1, "5"));
            widget<ui::DbGrid>(f, "DBGrid1")
                ->setCurrentIndex(model(f)->index(0, 0)); // moving away saves, which is refused
            QCOMPARE(ui::Messages::shown().last().text, QStringLiteral("Поле «Норматив» должно быть заполнено."));
            QCOMPARE(f->norms()->state(), db::Dataset::State::Insert);
            QCOMPARE(widget<ui::DbGrid>(f, "DBGrid1")->currentIndex().row(), 1);
            QTest::keyClick(widget<ui::DbGrid>(f, "DBGrid1"),
                            Qt::Key_Escape); // the grid drops the row; the window stays
            QVERIFY(f->isVisible());
            QCOMPARE(model(f)->rowCount(), 1);
        });
        f->showForOperation(2);
        QCOMPARE(db.scalar("select count(*) from accounts_dep.norm").toInt(), 3);
    }

    // Changing a norm re-sorts the rows; the grid's own deletion asks first and keeps the last norm.
    void editAndGridDeletion()
    {
        TestDatabase db;
        loadSmallShop(db);
        AppFixture app(db);
        NormsEditor* f = app.w.normsEditor;
        ui::scriptModal("NormsEditor", [&](QDialog*) {
            widget<ui::DbGrid>(f, "DBGrid1")->setFocus();
            widget<ui::DbGrid>(f, "DBGrid1")->setCurrentIndex(model(f)->index(0, 0));
            QVERIFY(type(f, 0, 0, "300"));
            widget<ui::DbGrid>(f, "DBGrid1")
                ->setCurrentIndex(model(f)->index(0, 1)); // leaving the changed column saves it
            QCOMPARE(shown(f, 0), (QStringList{"200", "300"}));
            QCOMPARE(f->norms()->asInt("norma"), 300); // still on the changed row

            ui::Messages::queueAnswer(false);
            QTest::keyClick(widget<ui::DbGrid>(f, "DBGrid1"), Qt::Key_Delete, Qt::ControlModifier);
            QCOMPARE(ui::Messages::shown().last().text, QStringLiteral("Удалить запись?"));
            QCOMPARE(model(f)->rowCount(), 2);
            ui::Messages::queueAnswer(true);
            QTest::keyClick(widget<ui::DbGrid>(f, "DBGrid1"), Qt::Key_Delete, Qt::ControlModifier);
            QCOMPARE(shown(f, 0), QStringList{"200"});
            ui::Messages::clearShown();
            QTest::keyClick(widget<ui::DbGrid>(f, "DBGrid1"), Qt::Key_Delete, Qt::ControlModifier);
            QCOMPARE(ui::Messages::shown().size(), 1);
            QCOMPARE(ui::Messages::shown().first().kind, ui::ShownMessage::Kind::Error);
            QCOMPARE(model(f)->rowCount(), 1);
        });
        f->showForOperation(1);
        QCOMPARE(db.rows("select norma, price from accounts_dep.norm where o_id=1"),
                 (QList<QVariantList>{{200, 10.25}}));
    }

    void priceText_data()
    {
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("text");
        QTest::newRow("one decimal") << QVariant(12.5) << "12.50";
        QTest::newRow("two decimals") << QVariant(10.25) << "10.25";
        QTest::newRow("three decimals") << QVariant(7.125) << "7.125";
        QTest::newRow("four decimals rounded") << QVariant(1.2346) << "1.235";
        QTest::newRow("whole") << QVariant(3.0) << "3.00";
        QTest::newRow("empty") << QVariant() << "";
    }

    void priceText()
    {
        QFETCH(QVariant, value);
        QFETCH(QString, text);
        QCOMPARE(NormsEditor::priceText(value), decimal(text));
    }
};

QTEST_MAIN(TestNormsEditor)
#include "tst_norms_editor.moc"
