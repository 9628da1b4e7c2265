// Every window of the program, opened the way a user opens it, on a small screen: each control that can take the
// focus has a name a screen reader can say (its label, caption or tooltip), the grids give their cells and headings
// to the accessibility layer, and the window fits the screen with nothing cut at its edges.
//
// The screen: KESTA_TEST_SCREEN (e.g. "1024x768", or "720x450" for 1440x900 at scale 2) makes the offscreen platform
// a screen of that size; on a real display (Xvfb with a window manager) the display's own screen is used, and with
// KESTA_SHOTS=<folder> each window is saved there as it stands on the screen.
#include "app/authorization_window.h"
#include "catalogs/operation_prices_list.h"
#include "db/data_module.h"
#include "harness/widgets.h"
#include "journal/journal_window.h"
#include "reportengine/preview_dialog.h"
#include "reportengine/render.h"
#include "reports/reports_window.h"
#include "support/app_fixture.h"
#include "ui/dataset_grid.h"
#include "ui/messages.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// What a user would miss in one window.
class Inspector {
public:
    QStringList problems;
    QStringList seen;

    void inspect(QWidget* window, const QString& label)
    {
        seen << label;
        window->activateWindow();
        if (!QTest::qWaitForWindowExposed(window)) {
            problems << label + QStringLiteral(": not shown");
            return;
        }
        QTest::qWait(qEnvironmentVariableIsSet("KESTA_SHOTS") ? 400 : 300); // the window manager's frame, the refit
        names(window, label);
        grids(window, label);
        fit(window, label);
        if (const QString folder = qEnvironmentVariable("KESTA_SHOTS"); !folder.isEmpty()) {
            QDir().mkpath(folder);
            QString file = label;
            file.replace(u' ', u'_');
            window->screen()->grabWindow(0).save(folder + u'/' + file + QStringLiteral(".png"));
        }
    }

private:
    // The widgets of the window itself (not of its pop-ups), less the parts of a compound box (the text part of a
    // drop-down list or a spin box) and the inside of a list, which the box or the list speaks for.
    static QList<QWidget*> ownWidgets(QWidget* window)
    {
        QList<QWidget*> out;
        for (QWidget* c : window->findChildren<QWidget*>()) {
            if (c->window() != window || !c->isVisibleTo(window))
                continue;
            QWidget* p = c->parentWidget();
            if (qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractSpinBox*>(p))
                continue;
            if (auto* area = qobject_cast<QAbstractScrollArea*>(p); area && area->viewport() == c)
                continue;
            if (auto* area = qobject_cast<QAbstractScrollArea*>(p ? p->parentWidget() : nullptr);
                area && area->viewport() == p)
                continue; // an editor open in a list's cell
            out << c;
        }
        return out;
    }

    void names(QWidget* window, const QString& label)
    {
        for (QWidget* c : ownWidgets(window)) {
            if (c->focusPolicy() == Qt::NoFocus)
                continue;
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(c);
            const QString name = a ? a->text(QAccessible::Name).trimmed() : QString();
            const QString what = label + QStringLiteral(": ") + QString::fromLatin1(c->metaObject()->className()) +
                                 u' ' + c->objectName();
            if (name.isEmpty()) {
                problems << what + QStringLiteral(" has no name");
                continue;
            }
            // A box the toolkit names after the group it sits in has no label of its own.
            const bool box =
                qobject_cast<QLineEdit*>(c) || qobject_cast<QComboBox*>(c) || qobject_cast<QAbstractSpinBox*>(c);
            if (auto* group = qobject_cast<QGroupBox*>(c->parentWidget());
                box && group && c->accessibleName().isEmpty() && name == group->title())
                problems << what + QStringLiteral(" is named only by its group \"") + name + u'"';
        }
    }

    void grids(QWidget* window, const QString& label)
    {
        for (auto* grid : window->findChildren<QTableView*>()) {
            if (!grid->isVisibleTo(window) || !grid->model() || grid->model()->rowCount() == 0)
                continue;
            // The lists tell the accessibility layer of new rows only while a screen reader listens, and the offscreen
            // platform has none: a fresh interface reads the rows as they are.
            if (QAccessibleInterface* old = QAccessible::queryAccessibleInterface(grid))
                QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(old));
            QAccessibleInterface* a = QAccessible::queryAccessibleInterface(grid);
            QAccessibleTableInterface* table = a ? a->tableInterface() : nullptr;
            const QString what = label + QStringLiteral(": grid ") + grid->objectName();
            if (!table) {
                problems << what + QStringLiteral(" is no table to the accessibility layer");
                continue;
            }
            if (table->rowCount() != grid->model()->rowCount())
                problems
                    << what +
                           QStringLiteral(" gives %1 rows of %2").arg(table->rowCount()).arg(grid->model()->rowCount());
            for (int c = 0; c < grid->model()->columnCount(); ++c) {
                if (grid->isColumnHidden(c))
                    continue;
                const QString heading = grid->model()->headerData(c, Qt::Horizontal).toString();
                if (table->columnDescription(c) != heading)
                    problems << what +
                                    QStringLiteral(" column %1 heading \"%2\"").arg(c).arg(table->columnDescription(c));
                QAccessibleInterface* cell = table->cellAt(0, c);
                const QString text = grid->model()->index(0, c).data().toString();
                if (!cell || cell->text(QAccessible::Name) != text)
                    problems << what + QStringLiteral(" cell 0,%1 is \"%2\", not \"%3\"")
                                           .arg(c)
                                           .arg(cell ? cell->text(QAccessible::Name) : QStringLiteral("none"), text);
            }
        }
    }

    void fit(QWidget* window, const QString& label)
    {
        const QRect free = window->screen()->availableGeometry();
        const QRect frame = window->frameGeometry();
        // A frame of an odd number of the screen's pixels is a half pixel more at scale 2: one pixel is rounding.
        if (!free.adjusted(-1, -1, 1, 1).contains(frame))
            problems << label + QStringLiteral(": %1x%2 at %3,%4 not within the screen's %5x%6")
                                    .arg(frame.width())
                                    .arg(frame.height())
                                    .arg(frame.x())
                                    .arg(frame.y())
                                    .arg(free.width())
                                    .arg(free.height());
        const QSize least = window->minimumSizeHint();
        if (window->layout() && (window->width() < least.width() || window->height() < least.height()))
            problems << label + QStringLiteral(": squeezed to %1x%2, needs %3x%4")
                                    .arg(window->width())
                                    .arg(window->height())
                                    .arg(least.width())
                                    .arg(least.height());
        for (QWidget* c : ownWidgets(window)) {
            QWidget* p = c->parentWidget();
            if (c->isWindow() || !p || qobject_cast<QAbstractScrollArea*>(p) || qobject_cast<QMenu*>(c))
                continue;
            if (!p->rect().contains(c->geometry()))
                problems << label + QStringLiteral(": ") + QString::fromLatin1(c->metaObject()->className()) + u' ' +
                                c->objectName() + QStringLiteral(" cut by the edge of ") + p->objectName();
        }
    }
};

} // namespace

class TestEveryWindow : public QObject {
    Q_OBJECT

private slots:
    void everyWindowNamedAndWhole()
    {
        TestDatabase db;
        loadSmallShop(db);
        addJournalRow(db, 1, 1, 1, QDate::currentDate(), 8);
        addJournalRow(db, 2, 2, 1, QDate::currentDate(), 4);
        addJournalRow(db, 3, 1, 1, QDate::currentDate().addMonths(-1), 8);
        AppFixture app(db);
        Windows& w = app.w;
        qInfo() << "screen" << QGuiApplication::primaryScreen()->availableGeometry();
        Inspector in;
        const auto closing = [&in](const QString& label, const std::function<void(QDialog*)>& inside = {}) {
            return [&in, label, inside](QDialog* d) {
                in.inspect(d, label);
                if (inside)
                    inside(d);
                if (d->isVisible())
                    d->reject();
            };
        };
        const auto press = [](QDialog* d, const char* button) { widget<QPushButton>(d, button)->click(); };

        in.inspect(w.authorization, QStringLiteral("authorization"));
        app.login(QStringLiteral("63175042"), [&] {
            JournalWindow* j = w.journal;
            in.inspect(j, QStringLiteral("journal"));
            // the focus on a shift button, as it shows
            j->findChild<QWidget*>("RadioButton1")->setFocus(Qt::OtherFocusReason);
            in.inspect(j, QStringLiteral("journal shift focused"));

            ui::scriptModal("EntryEditor", closing("entry editor", [&](QDialog* e) {
                                ui::scriptModal("WorkersList", closing("workers chooser"));
                                press(e, "Button3");
                                ui::scriptModal("OperationPricesList", closing("operations chooser"));
                                press(e, "Button4");
                            }));
            press(j, "Button1");

            ui::scriptModal("WorkersList", closing("workers", [&](QDialog* d) {
                                ui::scriptModal("WorkerEditor", closing("worker editor"));
                                press(d, "Button1");
                            }));
            j->findChild<QAction*>("N1")->trigger();

            ui::scriptModal("ProductsList", closing("products", [&](QDialog* d) {
                                ui::scriptModal("ProductEditor", closing("product editor"));
                                press(d, "Button1");
                            }));
            j->findChild<QAction*>("N3")->trigger();

            ui::scriptModal("OperationPricesList", closing("operations", [&](QDialog* d) {
                                ui::scriptModal("OperationPriceEditor", closing("operation editor", [&](QDialog* e) {
                                                    ui::scriptModal("ProductsList", closing("products chooser"));
                                                    press(e, "Button3");
                                                    ui::scriptModal("OperationKindsList", closing("kinds chooser"));
                                                    press(e, "Button4");
                                                }));
                                press(d, "Button1");
                                ui::scriptModal("NormsEditor", closing("norms"));
                                widget<QCheckBox>(d, "CheckBox1")->setChecked(true);
                                static_cast<OperationPricesList*>(d)->rowActivated();
                                widget<QCheckBox>(d, "CheckBox1")->setChecked(false);
                            }));
            j->findChild<QAction*>("N4")->trigger();

            ui::scriptModal("OperationKindsList", closing("kinds", [&](QDialog* d) {
                                ui::scriptModal("OperationKindEditor", closing("kind editor"));
                                press(d, "Button1");
                            }));
            j->findChild<QAction*>("N6")->trigger();

            ui::scriptModal("TimesheetWindow", closing("timesheet"));
            j->findChild<QAction*>("N11")->trigger();

            ui::scriptModal("ReportsWindow", closing("reports", [&](QDialog* d) {
                                reportengine::setPreviewHook(
                                    [&](reportengine::PreviewDialog& preview, const reportengine::Document&) {
                                        preview.show();
                                        in.inspect(&preview, QStringLiteral("preview"));
                                        preview.hide();
                                    });
                                press(d, "Button3");
                                reportengine::setPreviewHook({});
                            }));
            j->findChild<QAction*>("N10")->trigger();

            ui::scriptModal("SummaryWindow", closing("summary"));
            j->findChild<QAction*>("summary")->trigger();

            ui::scriptModal("HistoryWindow", closing("history"));
            j->findChild<QAction*>("N13")->trigger();
        });

        QCOMPARE(in.seen, (QStringList{"authorization",
                                       "journal",
                                       "journal shift focused",
                                       "entry editor",
                                       "workers chooser",
                                       "operations chooser",
                                       "workers",
                                       "worker editor",
                                       "products",
                                       "product editor",
                                       "operations",
                                       "operation editor",
                                       "products chooser",
                                       "kinds chooser",
                                       "norms",
                                       "kinds",
                                       "kind editor",
                                       "timesheet",
                                       "reports",
                                       "preview",
                                       "summary",
                                       "history"}));
        QVERIFY2(in.problems.isEmpty(), qPrintable(in.problems.join(u'\n')));
    }
};

int main(int argc, char** argv)
{
    // A screen of the asked size for the offscreen platform (its configuration file names the screens).
    static QTemporaryDir config;
    const QByteArray screen = qgetenv("KESTA_TEST_SCREEN");
    if (!screen.isEmpty() && qgetenv("QT_QPA_PLATFORM").startsWith("offscreen")) {
        const QList<QByteArray> wh = screen.split('x');
        QFile file(config.filePath(QStringLiteral("screens.json")));
        file.open(QIODevice::WriteOnly);
        file.write(QStringLiteral(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": %1, "height": %2,)"
                                  R"( "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                       .arg(QString::fromLatin1(wh.value(0)), QString::fromLatin1(wh.value(1)))
                       .toUtf8());
        file.close();
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(file.fileName()));
    }
    QApplication app(argc, argv);
    TestEveryWindow test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_every_window.moc"
