// A foreman's day by keys alone, as it goes on the screen: nothing is clicked and no box is filled by the test, every
// step is a key sent to whatever has the focus (or to the menu that is open). Where the focus lands after a window
// closes, the road reaches the next control with Tab as a user would.
#include "app/authorization_window.h"
#include "db/data_module.h"
#include "harness/widgets.h"
#include "journal/journal_window.h"
#include "reportengine/preview_dialog.h"
#include "support/app_fixture.h"
#include "support/modal.h"
#include "ui/dataset_grid.h"
#include "ui/messages.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// The widget a key goes to: the open menu, else the focused control.
QWidget* target()
{
    if (QWidget* popup = QApplication::activePopupWidget())
        return popup;
    return QApplication::focusWidget();
}

void key(int k, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
{
    QWidget* t = target();
    QVERIFY2(t, "nothing has the focus");
    if (k > 0xff && k < Qt::Key_Escape) // a Cyrillic letter: with its text, which the test library cannot make up
        QTest::sendKeyEvent(QTest::Click, t, Qt::Key(k), QString(QChar(k).toLower()), modifiers);
    else
        QTest::keyClick(t, Qt::Key(k), modifiers);
}

// Digits and Latin letters, as typed.
void type(const QString& text)
{
    for (QChar c : text)
        QTest::keyClick(target(), c.toLatin1());
}

// Tab until the control has the focus; false when Tab never reaches it.
bool tabTo(QWidget* control)
{
    for (int i = 0; i < 30 && QApplication::focusWidget() != control; ++i)
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    return QApplication::focusWidget() == control;
}

// The window the user is in. The offscreen platform may hand the activation back to an opener a moment after a
// window shows: the window is made active again until it stays so.
bool active(QWidget* window)
{
    for (int i = 0; i < 5; ++i) {
        window->activateWindow();
        if (QTest::qWaitForWindowActive(window)) {
            QTest::qWait(30);
            if (window->isActiveWindow())
                return true;
        }
    }
    return false;
}

// The menu bar's mnemonic: Alt and the Cyrillic letter of the menu's caption.
constexpr int kCyrillicS = 0x421; // С: "Справочники"
constexpr int kCyrillicO = 0x41E; // О: "Отчеты"
constexpr int kCyrillicV = 0x412; // В: "Выход"

} // namespace

class TestKeyboardRoad : public QObject {
    Q_OBJECT

private slots:
    // Log in, add a row through both choosers and save it, accept it, open the norms of an existing operation, save a
    // report's PDF from its preview, and leave.
    void aDayByKeys()
    {
        TestDatabase db;
        loadSmallShop(db);
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        AppFixture app(db);
        Windows& w = app.w;
        QStringList road; // the steps passed, for the failure message
        QStringList normsShown;

        ui::scriptModal("JournalWindow", [&](QDialog* journal) {
            QVERIFY(active(journal));
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(widget<ui::DbGrid>(journal, "DBGrid2")));
            road << "logged in, the list focused";

            // a row: Insert, the worker chooser (Down to the second worker, Enter), the operation chooser (Enter on
            // the first), the quantity and hours typed, "Запись"
            ui::scriptModal("EntryEditor", [&](QDialog* editor) {
                QVERIFY(active(editor));
                ui::scriptModal("WorkersList", [&](QDialog* list) {
                    QVERIFY(active(list));
                    key(Qt::Key_Down);
                    key(Qt::Key_Return);
                });
                QVERIFY(tabTo(widget<QPushButton>(editor, "Button3")));
                key(Qt::Key_Space);
                QCOMPARE(widget<QLineEdit>(editor, "Edit1")->text(), QStringLiteral("Петрова А.С."));
                road << "worker chosen";
                ui::scriptModal("OperationPricesList", [&](QDialog* list) {
                    QVERIFY(active(list));
                    key(Qt::Key_Return);
                });
                QVERIFY(active(editor));
                QVERIFY(tabTo(widget<QPushButton>(editor, "Button4")));
                key(Qt::Key_Space);
                QVERIFY(widget<QLineEdit>(editor, "Edit2")->text().startsWith(QStringLiteral("ДМ-101; РЕЗКА")));
                road << "operation chosen";
                QVERIFY(active(editor));
                QVERIFY(tabTo(widget<QLineEdit>(editor, "Edit3")));
                type("5");
                QVERIFY(tabTo(widget<QLineEdit>(editor, "Edit6")));
                type("8");
                QVERIFY(tabTo(widget<QPushButton>(editor, "Button1")));
                key(Qt::Key_Space);
                QVERIFY2(!editor->isVisible(), qPrintable(ui::Messages::shown().value(0).text));
                road << "row saved";
            });
            key(Qt::Key_Insert);
            if (QTest::currentTestFailed())
                return;

            // accepted from the list, which has the focus again
            QVERIFY(active(journal));
            QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(widget<ui::DbGrid>(journal, "DBGrid2")));
            key(Qt::Key_Space);
            road << "row accepted";

            // the norms of an existing operation: Справочники → Цены, "Цены" ticked, Enter in the list
            ui::scriptModal("OperationPricesList", [&](QDialog* list) {
                QVERIFY(active(list));
                QVERIFY(tabTo(widget<QCheckBox>(list, "CheckBox1")));
                key(Qt::Key_Space);
                QVERIFY(tabTo(widget<ui::DbGrid>(list, "DBGrid1")));
                ui::scriptModal("NormsEditor", [&](QDialog* norms) {
                    QVERIFY(active(norms));
                    auto* m = widget<ui::DbGrid>(norms, "DBGrid1")->model();
                    for (int r = 0; r < m->rowCount(); ++r)
                        normsShown << m->index(r, 0).data().toString();
                    key(Qt::Key_Escape);
                });
                key(Qt::Key_Return);
                road << "norms opened";
                QVERIFY(active(list));
                key(Qt::Key_Escape);
            });
            key(kCyrillicS, Qt::AltModifier);
            QVERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
            key(Qt::Key_Down); // "Изделия"
            key(Qt::Key_Down); // "Цены"
            key(Qt::Key_Return);
            if (QTest::currentTestFailed())
                return;

            // a report's PDF: Отчеты → Сводные отчеты, Enter on "Детальный отчет по продукции", Ctrl+S in the preview,
            // the file's name typed, Escape
            ui::scriptModal("ReportsWindow", [&](QDialog* reports) {
                QVERIFY(active(reports));
                whenModalShows<reportengine::PreviewDialog>([&](reportengine::PreviewDialog* preview) {
                    whenModalShows<QFileDialog>([&](QFileDialog* save) {
                        const auto closing = qScopeGuard([save] {
                            if (save->isVisible())
                                save->reject();
                        });
                        QVERIFY(active(save));
                        waitForFolderListing(save);
                        key(Qt::Key_A, Qt::ControlModifier);
                        type(pdf);
                        key(Qt::Key_Return);
                        QVERIFY(!save->isVisible());
                    });
                    // a failed step leaves no window waiting
                    const auto closing = qScopeGuard([preview] {
                        if (preview->isVisible())
                            preview->reject();
                    });
                    QVERIFY(active(preview));
                    key(Qt::Key_S, Qt::ControlModifier);
                    QVERIFY(QFile::exists(pdf));
                    road << "PDF saved";
                    QVERIFY(active(preview));
                    key(Qt::Key_Escape);
                    QVERIFY(!preview->isVisible());
                });
                QVERIFY(tabTo(widget<QPushButton>(reports, "Button3")));
                key(Qt::Key_Return);
                QVERIFY(active(reports));
                key(Qt::Key_Escape);
            });
            QVERIFY(active(journal));
            key(kCyrillicO, Qt::AltModifier);
            QVERIFY(qobject_cast<QMenu*>(QApplication::activePopupWidget()));
            key(Qt::Key_Return);
            if (QTest::currentTestFailed())
                return;

            QVERIFY(active(journal));
            key(kCyrillicV, Qt::AltModifier);
            road << "left";
        });

        QVERIFY(active(w.authorization));
        QVERIFY(tabTo(widget<QLineEdit>(w.authorization, "Edit1")));
        type("63175042");
        key(Qt::Key_Return);
        QVERIFY2(!QTest::currentTestFailed(), qPrintable(road.join(u'\n')));

        QCOMPARE(road, (QStringList{"logged in, the list focused", "worker chosen", "operation chosen", "row saved",
                                    "row accepted", "norms opened", "PDF saved", "left"}));
        QCOMPARE(db.rows("select w_id, o_id, kol_vo, time, ok from accounts_dep.smena"),
                 (QList<QVariantList>{{2, 1, 5, 8, QStringLiteral("ok")}}));
        QCOMPARE(normsShown, (QStringList{"100", "200"}));
        QFile written(pdf);
        QVERIFY(written.open(QIODevice::ReadOnly));
        QVERIFY(written.read(5) == "%PDF-");
        QVERIFY(!w.journal->isVisible());
        QVERIFY2(ui::Messages::shown().isEmpty(), qPrintable(ui::Messages::shown().value(0).text));
    }
};

QTEST_MAIN(TestKeyboardRoad)
#include "tst_keyboard_road.moc"
