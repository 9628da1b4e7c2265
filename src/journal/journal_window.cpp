#include "journal/journal_window.h"

#include "ui_journal_window.h"

#include "db/closed_months.h"
#include "db/command.h"
#include "db/connection_string.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/listener.h"
#include "db/service.h"
#include "db/session.h"
#include "db/timesheet_hours.h"
#include "db/transaction.h"
#include "format/values.h"
#include "journal/access_codes.h"
#include "journal/build_stamp.h"
#include "journal/entry_editor.h"
#include "journal/history_window.h"
#include "journal/journal_changes.h"
#include "journal/journal_day.h"
#include "journal/journal_sql.h"
#include "ui/catalogue_window.h"
#include "ui/window_place.h"

#include <QCalendarWidget>
#include <QDateTime>
#include <QKeyEvent>
#include <QLocale>
#include <QMenuBar>
#include <QScrollBar>
#include <QShortcut>
#include <QTime>
#include <QTimer>

namespace {

const QColor kShiftGreen(0, 128, 0);
const QColor kAcceptedGreen(0, 128, 0);
const QColor kNotAcceptedRed(255, 0, 0);
const QColor kDayOffRed(255, 0, 0);

bool isWeekend(const QDate& d)
{
    return d.dayOfWeek() == Qt::Saturday || d.dayOfWeek() == Qt::Sunday;
}

void setFlagLook(QWidget* w, bool on, const QColor& color)
{
    QPalette p = w->palette();
    const QColor background = on ? color : QApplication::palette(w).color(QPalette::Button);
    p.setColor(QPalette::Window, background);
    p.setColor(QPalette::Button, background);
    w->setAutoFillBackground(true);
    w->setBackgroundRole(QPalette::Window);
    w->setPalette(p);
    QFont f = w->font();
    f.setBold(on);
    w->setFont(f);
}

} // namespace

JournalWindow::JournalWindow(const journal::Launch& launch, journal::Host& host, QWidget* parent)
    : ui::Dialog(parent)
    , launch_(launch)
    , host_(host)
{
    // The connection and the authorization window come first: the user waits for that window, and this one, hidden
    // until the code is accepted, is built while it is already on the screen.
    connectDatabase();
    buildWindow();
    // A window of its own, not a child: it is placed over the journal, not inside it.
    entryEditor_ = new EntryEditor(database_, host_, this);
    if (ver) { // connected
        ui_->DBGrid2->setDataset(database_->Smena1);
        showShift(FShift);
        Timer1->start();
        for (int s = 1; s <= 4; ++s) {
            live_[s] = new ui::LiveRefresh(this, [this, s] { reread(s); });
            // A failed re-read keeps the rows and says so under the list, not in a box.
            connect(live_[s], &ui::LiveRefresh::readFailed, this, [this] { updateTotals(); });
            connect(live_[s], &ui::LiveRefresh::current, this, [this] { updateTotals(); });
        }
        db::Listener* listener = database_->announcements();
        connect(listener, &db::Listener::changed, this, [this](const QString& channel, const QString& payload) {
            if (channel == QLatin1String(db::kJournalChannel))
                journalChanged(payload);
            else if (channel == QLatin1String(db::kMonthChannel))
                monthAnnounced(payload);
        });
        // Announcements sent while the connection was away are lost: every shift is read again. A connection found
        // lost while nobody acted is said once under the list (a user's action says it after the action).
        connect(listener, &db::Listener::lostWhileIdle, this, [this] {
            const QStringList notices = db::takeNotices(); // said here, not in a box after the user's next action
            const QString said = QStringLiteral("Связь с базой данных была потеряна, соединение восстановлено.");
            connectionNote_ = (notices.isEmpty() ? said : notices.join(u' ')) +
                              QStringLiteral(" Список прочитан заново (%1).")
                                  .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
            updateTotals();
        });
        connect(listener, &db::Listener::reconnected, this, [this] {
            for (int s = 1; s <= 4; ++s)
                live_[s]->changed();
        });
    }
}

JournalWindow::~JournalWindow()
{
    delete entryEditor_;
}

void JournalWindow::buildWindow()
{
    ui_ = std::make_unique<Ui::JournalWindow>();
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // Resizable, its list growing with it; it opens where and as large as it was left, within the screen.
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);

    MainMenu1 = new QMenuBar(this);
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    N2 = MainMenu1->addMenu(QStringLiteral("&Справочники"));
    N2->setObjectName(QStringLiteral("N2"));
    auto item = [](QMenu* menu, const char* name, const QString& caption) {
        QAction* a = menu->addAction(caption);
        a->setObjectName(QString::fromLatin1(name));
        return a;
    };
    N1 = item(N2, "N1", QStringLiteral("&Рабочие"));
    N3 = item(N2, "N3", QStringLiteral("&Изделия"));
    N4 = item(N2, "N4", QStringLiteral("&Цены"));
    N6 = item(N2, "N6", QStringLiteral("&Операции"));
    N8 = item(N2, "N8", QStringLiteral("&Внеурочное"));
    N11 = MainMenu1->addAction(QStringLiteral("&Табель по времени"));
    N11->setObjectName(QStringLiteral("N11"));
    N7 = MainMenu1->addMenu(QStringLiteral("&Отчеты"));
    N7->setObjectName(QStringLiteral("N7"));
    N10 = item(N7, "N10", QStringLiteral("&Сводные отчеты"));
    summaryAction_ = item(N7, "summary", QStringLiteral("Сводка за &месяц"));
    N12 = MainMenu1->addMenu(QStringLiteral("&История"));
    N12->setObjectName(QStringLiteral("N12"));
    N13 = item(N12, "N13", QStringLiteral("История &записи"));
    N14 = item(N12, "N14", QStringLiteral("&Удалённые за день"));
    N5 = MainMenu1->addAction(QStringLiteral("&Выход"));
    N5->setObjectName(QStringLiteral("N5"));
    layout()->setMenuBar(MainMenu1);

    QList<ui::GridColumn> columns{
        {QStringLiteral("fio"), QStringLiteral("Фамилия И.О."), Qt::AlignLeft | Qt::AlignVCenter, true, 190},
        {QStringLiteral("marka"), QStringLiteral("Марка изделия"), Qt::AlignLeft | Qt::AlignVCenter, true, 120},
        {QStringLiteral("vid"), QStringLiteral("Операция"), Qt::AlignLeft | Qt::AlignVCenter, true, 110},
        {QStringLiteral("nmn"), QStringLiteral("Вид"), Qt::AlignLeft | Qt::AlignVCenter, true, 130},
        {QStringLiteral("color"), QStringLiteral("Цвет"), Qt::AlignCenter, true, 50},
        {QStringLiteral("time"), QStringLiteral("Часы"), Qt::AlignRight | Qt::AlignVCenter, true, 50},
        {QStringLiteral("kol_vo"), QStringLiteral("Кол-во"), Qt::AlignRight | Qt::AlignVCenter, true, 60},
        {QStringLiteral("brak"), QStringLiteral("Брак"), Qt::AlignRight | Qt::AlignVCenter, true, 50},
        {QStringLiteral("summa"), QStringLiteral("Итого (р.)"), Qt::AlignRight | Qt::AlignVCenter, true, 80},
        {QStringLiteral("prize"), QStringLiteral("Премия (%)"), Qt::AlignRight | Qt::AlignVCenter, false, 0},
        {QStringLiteral("ok"), QStringLiteral("OK"), Qt::AlignCenter, true, 50},
        {QStringLiteral("vvod"), QStringLiteral("Заведен"), Qt::AlignCenter, true, 90},
    };
    // Numbers are never cut: their columns hold ten digits (and the kopecks); the hours, which the database keeps
    // below 32768, five, so that the mark stays in sight on a 1024-pixel screen.
    for (ui::GridColumn& c : columns)
        if (c.field == u"summa")
            c.widest = QStringLiteral("0000000000,00");
        else if (c.field == u"kol_vo" || c.field == u"brak")
            c.widest = QStringLiteral("0000000000");
        else if (c.field == u"time")
            c.widest = QStringLiteral("00000");
    ui_->DBGrid2->setColumns(columns);
    // The acceptance mark: bold, green when accepted, red otherwise; other cells as usual.
    ui_->DBGrid2->setCellStyler([this](int row, const QString& field) {
        ui::CellStyle s;
        if (field != u"ok")
            return s;
        db::Dataset* d = ui_->DBGrid2->dataset();
        const int c = d ? d->fieldIndex(QStringLiteral("ok")) : -1;
        const QString mark = c < 0 ? QString() : d->valueAt(row, c).toString();
        s.bold = true;
        s.foreground = (mark == u"ok" || mark == u"да") ? kAcceptedGreen : kNotAcceptedRed;
        return s;
    });

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(30000);

    QRadioButton* shiftButtons[] = {ui_->RadioButton1, ui_->RadioButton2, ui_->RadioButton3, ui_->RadioButton4};
    for (int shift = 1; shift <= 4; ++shift)
        ui::connectGuarded(shiftButtons[shift - 1], &QRadioButton::toggled, this,
                           [this, shift, button = shiftButtons[shift - 1]] {
                               if (button->isChecked())
                                   showShift(shift);
                           });
    ui::connectGuarded(ui_->CBox1, &QCheckBox::toggled, this, &JournalWindow::showDayOffFlag);
    ui_->DateT->installEventFilter(this);
    // However the calendar closes (a day picked, Enter, Escape, a click outside), the day change runs once it has
    // closed and the picked day is in the box.
    calendarPopup_ = ui_->DateT->calendarWidget()->window();
    calendarPopup_->installEventFilter(this);
    ui::connectGuarded(ui_->Button8, &QPushButton::clicked, this, &JournalWindow::rereadDay);
    ui::connectGuarded(ui_->Button1, &QPushButton::clicked, this, &JournalWindow::addRow);
    ui::connectGuarded(ui_->Button2, &QPushButton::clicked, this, &JournalWindow::changeRow);
    ui::connectGuarded(ui_->Button3, &QPushButton::clicked, this, &JournalWindow::deleteRow);
    ui::connectGuarded(ui_->Button4, &QPushButton::clicked, this, &JournalWindow::quit);
    ui::connectGuarded(ui_->DBGrid2, &QAbstractItemView::doubleClicked, this, &JournalWindow::acceptRow);
    ui::connectGuarded(N1, &QAction::triggered, this, &JournalWindow::openWorkers);
    ui::connectGuarded(N3, &QAction::triggered, this, &JournalWindow::openProducts);
    ui::connectGuarded(N4, &QAction::triggered, this, &JournalWindow::openPrices);
    ui::connectGuarded(N6, &QAction::triggered, this, &JournalWindow::openOperationKinds);
    ui::connectGuarded(N8, &QAction::triggered, this, &JournalWindow::openOvertime);
    ui::connectGuarded(N11, &QAction::triggered, this, &JournalWindow::openTimesheet);
    ui::connectGuarded(N10, &QAction::triggered, this, &JournalWindow::openReports);
    ui::connectGuarded(summaryAction_, &QAction::triggered, this, &JournalWindow::openSummary);
    ui::connectGuarded(N5, &QAction::triggered, this, &JournalWindow::quit);
    ui::connectGuarded(N13, &QAction::triggered, this, &JournalWindow::showRowHistory);
    ui::connectGuarded(N14, &QAction::triggered, this, &JournalWindow::showDeletedRows);
    // Not through the handler guard: the check says its own problems, and what the data layer has to tell only when
    // no other box is open (ui::Messages::backgroundFine), which the guard would not wait for.
    connect(Timer1, &QTimer::timeout, this, [this] { periodicBuildCheck(); });
    setUpKeys();
    ui::rememberPlace(this, {ui_->DBGrid2});

    styleShiftButtons();
    showDayOffFlag();
}

// ---- start-up ----

void JournalWindow::connectDatabase()
{
    try {
        database_ = new Database(this);
        Database* dm = database_;
        dm->showRefusal = [](const QString& message) { ui::Messages::error(message); };
        ui::Messages::setTransactionProbe(&db::anyTransactionOpen);
        ui::Messages::setNoticeSource(&db::takeNotices);
        if (launch_.service.isEmpty() && !db::builtinConnectionAllowed()) {
            // The administrator allows only personal logins here, and none is set up for this user.
            host_.withdrawAuthorization();
            const QString details =
                QStringLiteral("Настройка рабочего места: builtin_connection = off в %1\n")
                    .arg(db::workstationSettingsFile()) +
                db::connectionDescription(launch_.arg1, launch_.arg2, QString::fromLatin1(db::kDefaultService));
            ui::Messages::errorWithDetails(QString::fromUtf8(db::kBuiltinConnectionOffMessage), details,
                                           QStringLiteral("Ошибка!"));
            host_.requestTermination(1);
            close();
            return;
        }
        const QString arg1 = launch_.arg1;
        const QString arg2 = launch_.arg2;
        dm->ADO_DB.close();
        dm->ADO_DB.configure(arg1, arg2, launch_.service);
        dm->ADO_DB.open();

        ver = new db::Dataset(dm->ADO_DB.name(), QStringLiteral("ver"), this);
        ver->setTable(QStringLiteral("accounts_dep.ver"), {}, journal_sql::kVerOrder);
        ver->setFieldDefs(
            {{"d", db::FieldType::Integer}, {"t", db::FieldType::Integer}, {"delim", db::FieldType::Text, 255}});
        updtOK = new db::Command(dm->ADO_DB.name(), QStringLiteral("updtOK"), this);
        updtOK->setText(journal_sql::kUpdtOK);

        host_.showAuthorization();
    } catch (const std::exception& e) {
        // The authorization window, shown while the connection was being made, goes before the failure is said.
        host_.withdrawAuthorization();
        // Where the program looked and what the server or the network said, for whoever puts it right.
        QString cause = QString::fromUtf8(e.what()).trimmed();
        if (const auto* dbError = dynamic_cast<const db::DbError*>(&e); dbError && !dbError->details().isEmpty())
            cause += u'\n' + dbError->details();
        const QString details =
            db::connectionDescription(launch_.arg1, launch_.arg2, launch_.service) + QStringLiteral("\nПричина: ") + cause;
        ui::Messages::errorWithDetails(QStringLiteral("Подключение к БД отсутсвует!!!"), details,
                                       QStringLiteral("Ошибка!"));
        host_.requestTermination(1);
        close();
    }
}

void JournalWindow::checkBuildStamp()
{
    FBuildDate = buildDateNumber(launch_.buildDate);
    FBuildTime = buildTimeNumber(launch_.buildTime);
    int d = 0, t = 0;
    {
        // Read, moved forward and read again in one transaction that takes turns with other programs' checks:
        // two first starts on an empty table would otherwise both add a row.
        const QString cn = database_->ADO_DB.name();
        db::Transaction tx(cn);
        db::execStatement(cn, journal_sql::kLockBuildStamp);
        ver->close();
        ver->open();
        ver->first();
        d = ver->isEmpty() ? 0 : ver->asInt(QStringLiteral("d"));
        t = ver->isEmpty() ? 0 : ver->asInt(QStringLiteral("t"));
        if (stampOlder(d, t, FBuildDate, FBuildTime)) {
            // No login writes the table: the owner's function moves the stamp, only forward and never past the
            // server's clock, and the row is read again as it wrote it.
            db::execStatement(cn, journal_sql::raiseBuildStamp(FBuildDate, FBuildTime));
            ver->close();
            ver->open();
            ver->first();
        }
        d = ver->isEmpty() ? 0 : ver->asInt(QStringLiteral("d"));
        t = ver->isEmpty() ? 0 : ver->asInt(QStringLiteral("t"));
        tx.commit();
    }
    if (stampOlder(FBuildDate, FBuildTime, d, t)) {
        host_.buildRefused();
        ui::Messages::errorWithDetails(
            QStringLiteral("Версия программы не соответсвует БД! Запустите программу через 5 мин."),
            buildRefusalDetails(FBuildDate, FBuildTime, d, t), QStringLiteral("Ошибка"));
        host_.requestTermination(1);
    }
    ver->close();
}

void JournalWindow::periodicBuildCheck()
{
    runBuildStampCheck();
}

bool JournalWindow::runBuildStampCheck()
{
    // A check whose message is still waiting for an answer is not run again: a server that stays away
    // would otherwise stack one error box on another every 30 seconds.
    if (checkRunning_)
        return false;
    // Nor while a change of this workstation is under way (a message of a handler being shown, say): the check's
    // own transaction would nest in it.
    if (db::anyTransactionOpen())
        return false;
    checkRunning_ = true;
    bool finished = false;
    // Nobody asked for this check at this moment: its failure is never put over another box or modal window, and a
    // lost connection is said once, and its end once (ui::Messages decides).
    try {
        checkBuildStamp();
        finished = true;
    } catch (const db::DbError& e) {
        // Its reason only: the advice to repeat an action speaks to a user who took one.
        ui::Messages::backgroundProblem(e.textWithoutAdvice(), e.details(), e.connectionDown(), this);
    } catch (const std::exception& e) {
        ui::Messages::backgroundProblem(QString::fromUtf8(e.what()), QString(), false, this);
    }
    checkRunning_ = false;
    // A connection the check made again is said now, when nothing else is open; else at a later turn or by the
    // user's next action.
    if (finished)
        ui::Messages::backgroundFine(this, &db::takeNotices);
    return finished;
}

// ---- activation, day, day-off flag, shift ----

void JournalWindow::placeOnShow(bool)
{
    ui::restorePlace(this);
}

void JournalWindow::applyRole(const ui::RoleRights& rights)
{
    for (QWidget* c : std::initializer_list<QWidget*>{ui_->Button8, ui_->RadioButton1, ui_->RadioButton2, ui_->RadioButton3, ui_->RadioButton4,
                                                      ui_->CBox1, ui_->DateT, ui_->DBGrid2})
        c->setEnabled(rights.changesDays);
    rights_ = rights;
    enableRowButtons();
    N2->setEnabled(rights.opensCatalogues);
    N2->menuAction()->setEnabled(rights.opensCatalogues);
    N11->setEnabled(rights.opensTimesheet);
    FMayReadHistory = rights.readsHistory;
}

void JournalWindow::signIn(const QByteArray& accessCode, int shift)
{
    FAccessCode = accessCode;
    FShift = shift;
}

void JournalWindow::FormActivate()
{
    const QDate today = QDate::currentDate();
    // The day-off mark belongs to the day it was set for: a reset to another day sets it by that day, as the
    // calendar does, so a Saturday's mark never prices the next weekday's rows. A reset to the day already shown
    // keeps the user's choice (a holiday checked by hand).
    const bool otherDay = today != shownDay_;
    ui_->DateT->setDate(today);
    if (otherDay)
        setWeekendFlag(isWeekend(today));
    reopenShiftQueries();
    // After logging in and whenever a window opened from here closes, the keys act on the list.
    if (ui_->DBGrid2->isEnabled())
        ui_->DBGrid2->setFocus(Qt::OtherFocusReason);
}

void JournalWindow::journalChanged(const QString& payload)
{
    const QDate day = QDate::fromString(payload.section(u'/', 0, 0), Qt::ISODate);
    const int shift = payload.section(u'/', 1, 1).toInt();
    if (day == shownDay_ && shift >= 1 && shift <= 4)
        live_[shift]->changed();
}

void JournalWindow::reread(int shift)
{
    db::Dataset* q = database_->smenaQuery(shift);
    const bool shown = shift == FShift;
    const QVariant id = q->isOpen() && !q->isEmpty() ? q->value(QStringLiteral("id")) : QVariant();
    const int recNo = q->recNo();
    const int scroll = shown ? ui_->DBGrid2->verticalScrollBar()->value() : 0;
    // A failure leaves the rows shown (the caller marks them as not current and tries again).
    q->rereadKeepingRows();
    // the same row by its key, or the same place when it is gone
    if (!id.isValid() || !q->locate(QStringLiteral("id"), id))
        q->setRecNo(recNo);
    if (shown)
        ui_->DBGrid2->verticalScrollBar()->setValue(scroll);
}

void JournalWindow::showMonthState(bool closed)
{
    monthClosed_ = closed;
    setWindowTitle(closed ? QStringLiteral("Табель — месяц закрыт, записи не меняются") : QStringLiteral("Табель"));
    N12->menuAction()->setEnabled(FMayReadHistory);
    enableRowButtons();
}

void JournalWindow::enableRowButtons()
{
    // A closed month's rows do not change: the buttons say so before the database has to refuse.
    const bool open = !monthClosed_;
    ui_->Button1->setEnabled(rights_.changesDays && rights_.addsRows && open);
    ui_->Button2->setEnabled(rights_.changesDays && rights_.changesRows && open);
    ui_->Button3->setEnabled(rights_.changesDays && rights_.changesRows && open);
}

void JournalWindow::monthAnnounced(const QString& payload)
{
    if (!shownDay_.isValid() || payload != shownDay_.toString(QStringLiteral("yyyy-MM")) || db::anyTransactionOpen())
        return;
    try {
        showMonthState(db::months::closedState(database_->ADO_DB.name(), shownDay_.month(), shownDay_.year()).closed);
    } catch (const std::exception&) {
        // Nobody asked for this read: the month's state is read again with the day.
    }
}

void JournalWindow::reopenShiftQueries()
{
    shownDay_ = ui_->DateT->date();
    connectionNote_.clear();
    showMonthState(journal::openDay(*database_, ui_->DateT->date()).closed);
    for (int s = 1; s <= 4; ++s)
        if (live_[s])
            live_[s]->readAll();
}

// The keys of a desktop list: Insert adds, F2 (or Enter in the list) changes, Delete in the list deletes, F5 reads
// the day again, Space in the list accepts as a double click does. A key does what its button does, and nothing
// while the button is off for the role.
void JournalWindow::setUpKeys()
{
    const auto key = [this](const QKeySequence& seq, QPushButton* button) {
        auto* shortcut = new QShortcut(seq, this);
        connect(shortcut, &QShortcut::activated, button, [button] {
            if (button->isEnabled() && button->isVisible())
                button->click();
        });
    };
    key(QKeySequence(Qt::Key_Insert), ui_->Button1);
    key(QKeySequence(Qt::Key_F2), ui_->Button2);
    key(QKeySequence(Qt::Key_F5), ui_->Button8);
    ui_->Button1->setToolTip(QStringLiteral("Добавить запись (Insert)"));
    ui_->Button2->setToolTip(QStringLiteral("Изменить запись (F2 или Enter в списке)"));
    ui_->Button3->setToolTip(QStringLiteral("Удалить запись (Delete в списке)"));
    ui_->Button8->setToolTip(QStringLiteral("Прочитать день заново (F5)"));
    ui_->DBGrid2->setToolTip(QStringLiteral("Пробел или двойной щелчок — принять запись (отметка «ok»)"));
    ui_->DBGrid2->setAccessibleName(QStringLiteral("Записи смены"));
    ui_->DateT->setAccessibleName(QStringLiteral("Дата"));
    ui_->DateT->setToolTip(QStringLiteral("Дата журнала; Enter — показать этот день"));
    ui_->DBGrid2->installEventFilter(this);
}

bool JournalWindow::gridKey(QKeyEvent* key)
{
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    QPushButton* button = nullptr;
    switch (key->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        button = ui_->Button2;
        break;
    case Qt::Key_Delete:
        button = ui_->Button3;
        break;
    case Qt::Key_Space:
        ui::guarded([this] { acceptRow(); });
        return true;
    default:
        return false;
    }
    if (button->isEnabled() && button->isVisible())
        button->click();
    return true;
}

void JournalWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool JournalWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == calendarPopup_ && calendarPopup_ != window() && event->type() == QEvent::Hide) {
        QTimer::singleShot(0, this, [this] { ui::guarded([this] { showChosenDay(); }); });
        return false;
    }
    if (watched == ui_->DBGrid2 && event->type() == QEvent::KeyPress)
        return gridKey(static_cast<QKeyEvent*>(event));
    if (watched == ui_->DateT && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            ui::guarded([this] { showChosenDay(); });
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void JournalWindow::showChosenDay()
{
    ui::WaitCursor wait;
    reopenShiftQueries();
    setWeekendFlag(isWeekend(ui_->DateT->date()));
    ui_->DBGrid2->setFocus();
}

void JournalWindow::setWeekendFlag(bool checked)
{
    if (ui_->CBox1->isChecked() == checked)
        showDayOffFlag(); // the look follows the state even when it does not change
    ui_->CBox1->setChecked(checked);
}

void JournalWindow::showDayOffFlag()
{
    setFlagLook(ui_->CBox1, ui_->CBox1->isChecked(), kDayOffRed);
}

void JournalWindow::showShift(int shift)
{
    FShift = shift;
    ui_->DBGrid2->setDataset(shiftQuery());
    styleShiftButtons();
    if (totalsConnection_)
        disconnect(totalsConnection_);
    totalsConnection_ = connect(shiftQuery(), &db::Dataset::rowsReset, this, [this] { updateTotals(); });
    updateTotals();
}

void JournalWindow::styleShiftButtons()
{
    QRadioButton* buttons[] = {ui_->RadioButton1, ui_->RadioButton2, ui_->RadioButton3, ui_->RadioButton4};
    for (QRadioButton* b : buttons) {
        setFlagLook(b, b->isChecked(), kShiftGreen);
        // The style's thin focus mark is lost on the green of the shown shift: a frame says where the focus is.
        b->setStyleSheet(
            QStringLiteral("QRadioButton { border: 2px solid transparent; padding: 1px 3px; %1 }"
                           "QRadioButton:focus { border-color: black; }")
                .arg(b->isChecked() ? QStringLiteral("background-color: %1;").arg(kShiftGreen.name()) : QString()));
    }
}

db::Dataset* JournalWindow::shiftQuery() const
{
    return database_ ? database_->smenaQuery(FShift) : nullptr;
}

void JournalWindow::updateTotals()
{
    db::Dataset* q = shiftQuery();
    if (!q || !q->isOpen()) {
        ui_->LabelTotals->setText(QString());
        return;
    }
    const int cKol = q->fieldIndex(QStringLiteral("kol_vo"));
    const int cBrak = q->fieldIndex(QStringLiteral("brak"));
    const int cTime = q->fieldIndex(QStringLiteral("time"));
    const int cSum = q->fieldIndex(QStringLiteral("summa"));
    double kol = 0, sum = 0;
    qint64 brak = 0, hours = 0;
    const int n = q->recordCount();
    for (int r = 0; r < n; ++r) {
        kol += q->valueAt(r, cKol).toDouble();
        brak += q->valueAt(r, cBrak).toLongLong();
        hours += q->valueAt(r, cTime).toLongLong();
        sum += q->valueAt(r, cSum).toDouble();
    }
    QLocale loc;
    loc.setNumberOptions(QLocale::OmitGroupSeparator);
    QString text = QStringLiteral("Записей: %1    Кол-во: %2    Брак: %3    Часы: %4    Итого (р.): %5")
                       .arg(n)
                       .arg(loc.toString(kol, 'g', 15))
                       .arg(brak)
                       .arg(hours)
                       .arg(format::sumText(sum));
    if (live_[FShift] && !live_[FShift]->isCurrent())
        text += QStringLiteral("    Список не обновлён: база данных не ответила, новая попытка через несколько "
                               "секунд (F5 — прочитать сейчас).");
    else if (!connectionNote_.isEmpty())
        text += QStringLiteral("    ") + connectionNote_;
    ui_->LabelTotals->setText(text);
}

void JournalWindow::rereadDay()
{
    ui::WaitCursor wait;
    Database* dm = database_;
    for (int s = 1; s <= 4; ++s)
        dm->smenaQuery(s)->close();
    for (int s = 1; s <= 4; ++s)
        dm->smenaQuery(s)->open();
    connectionNote_.clear();
    for (int s = 1; s <= 4; ++s)
        if (live_[s])
            live_[s]->readAll();
    updateTotals();
}

// ---- new and changed rows ----

void JournalWindow::addRow()
{
    FShiftQuery = shiftQuery();
    entryEditor_->prepareNew(ui_->DateT->date(), FShift, ui_->CBox1->isChecked(), shownDay_);
    ui::showModal(entryEditor_, this);
}

void JournalWindow::changeRow()
{
    FShiftQuery = shiftQuery();
    if (FShiftQuery->isEmpty())
        return;
    const int recNo = FShiftQuery->recNo();
    entryEditor_->prepareChange(FShiftQuery, FShift, ui_->CBox1->isChecked());
    ui::showModal(entryEditor_, this);
    // The activation has reopened the journal meanwhile; the number is clamped to the rows there are.
    FShiftQuery->setRecNo(recNo);
}

// ---- acceptance and deletion ----

void JournalWindow::acceptRow()
{
    if (isForemanCode(FAccessCode))
        return;
    FShiftQuery = shiftQuery();
    if (FShiftQuery->isEmpty())
        return;
    const QString mark = FShiftQuery->asString(QStringLiteral("ok"));
    const QString newMark = (mark != u"да" && mark != u"ok") ? QStringLiteral("ok") : QStringLiteral("no");
    const journal::ShownRow shown = journal::ShownRow::current(*FShiftQuery);
    const int recNo = FShiftQuery->recNo();
    updtOK->setParam(QStringLiteral("id"), shown.id);
    updtOK->setParam(QStringLiteral("ok"), newMark);
    const journal::Outcome outcome = journal::acceptRow(*database_, shown, newMark);
    if (outcome != journal::Outcome::Done) {
        rowNotAsShown(outcome);
        return;
    }
    // Back on the same row (by its key; by position when it is gone), so the grid shows its new colour.
    db::rereadAfterCommit([&] {
        FShiftQuery->requery();
        if (!FShiftQuery->locate(QStringLiteral("id"), shown.id))
            FShiftQuery->setRecNo(recNo);
    });
}

// The row under the cursor was deleted or changed on another workstation: nothing was written. The list is read
// again first, so that the message stands over the list as it is now; the cursor is not moved onto another row as
// if it were the same one.
void JournalWindow::rowNotAsShown(journal::Outcome outcome)
{
    ui::guarded([this] { FShiftQuery->requery(); });
    ui::Messages::error(journal::message(outcome));
}

void JournalWindow::deleteRow()
{
    Database* dm = database_;
    FShiftQuery = shiftQuery();
    const QString rowId = FShiftQuery->isEmpty() ? QString() : FShiftQuery->asString(QStringLiteral("id"));
    if (rowId.isEmpty())
        return;
    if (!ui::Messages::question(QStringLiteral("Удалить позицию из списка?"), QStringLiteral("Удаление"))) {
        FShiftQuery->requery();
        return;
    }
    // The row is deleted as the list showed it, and the hours are corrected for the worker, shift and day the row
    // has on the server (not for the date box, which may show a date typed without Enter and never read).
    const journal::Outcome outcome = journal::deleteRow(*dm, journal::ShownRow::current(*FShiftQuery));
    if (outcome != journal::Outcome::Done) {
        rowNotAsShown(outcome);
        return;
    }
    db::rereadAfterCommit([this] { FShiftQuery->requery(); });
}

// ---- menu ----

// A catalogue opened from the menu: its list over its shared query, shown modally; the query is closed after.
void JournalWindow::openCatalogue(db::Dataset* list, QDialog* window)
{
    list->open();
    ui::showModal(window, this);
    list->close();
}

void JournalWindow::openWorkers()
{
    host_.catalogue(journal::Catalogue::Workers)->openCatalogue(this);
}

void JournalWindow::openProducts()
{
    host_.catalogue(journal::Catalogue::Products)->openCatalogue(this);
}

void JournalWindow::openPrices()
{
    host_.catalogue(journal::Catalogue::OperationPrices)->openCatalogue(this);
}

void JournalWindow::openOperationKinds()
{
    host_.catalogue(journal::Catalogue::OperationKinds)->openCatalogue(this);
}

void JournalWindow::openOvertime()
{
    // "Внеурочное" has no action.
}

void JournalWindow::openTimesheet()
{
    host_.openTimesheet(ui_->DateT->date(), this);
    database_->H_Tabel_1->close();
    database_->H_Tabel_2->close();
    database_->H_Tabel_3->close();
}

void JournalWindow::openReports()
{
    // The previous calendar month: from its first day to the first day of this month.
    const auto [from, to] = reportPeriod(QDate::currentDate());
    host_.openReports(from, to, this);
}

// The month's summary, on the month of the shown day.
void JournalWindow::openSummary()
{
    host_.openSummary(ui_->DateT->date(), this);
}

std::pair<QDate, QDate> JournalWindow::reportPeriod(const QDate& today)
{
    const int m = today.month(), y = today.year();
    const QString from = m == 1 ? QStringLiteral("01.12.") + QString::number(y - 1)
                                : QStringLiteral("01.") + QString::number(m - 1) + u'.' + QString::number(y);
    const QString to = QStringLiteral("01.") + QString::number(m) + u'.' + QString::number(y);
    return {QDate::fromString(from, QStringLiteral("dd.M.yyyy")), QDate::fromString(to, QStringLiteral("dd.M.yyyy"))};
}

void JournalWindow::showRowHistory()
{
    if (!FMayReadHistory)
        return;
    FShiftQuery = shiftQuery();
    if (FShiftQuery->isEmpty())
        return;
    if (!history_)
        history_ = new HistoryWindow(this);
    history_->showRow(database_->ADO_DB.name(), FShiftQuery->asLongLong(QStringLiteral("id")));
    ui::showModal(history_, this);
}

void JournalWindow::showDeletedRows()
{
    if (!FMayReadHistory)
        return;
    if (!history_)
        history_ = new HistoryWindow(this);
    history_->showDeletedOf(database_->ADO_DB.name(), ui_->DateT->date());
    ui::showModal(history_, this);
}

void JournalWindow::quit()
{
    close();
}
