#include "app/authorization_window.h"

#include "ui_authorization_window.h"

#include "app/login_check.h"
#include "app/window_registry.h"
#include "db/data_module.h"
#include "db/session.h"
#include "journal/access_codes.h"
#include "journal/journal_window.h"
#include "reports/reports_window.h"
#include "timesheet/timesheet_window.h"
#include "ui/messages.h"

#include <QCloseEvent>
#include <QMenu>
#include <QTimer>

AuthorizationWindow::AuthorizationWindow(Windows& windows, QWidget* parent)
    : ui::Dialog(parent)
    , w_(windows)
{
    w_.authorization = this;
    ui_ = std::make_unique<Ui::AuthorizationWindow>();
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5000);

    ui::connectGuarded(ui_->Button1, &QPushButton::clicked, this, &AuthorizationWindow::logIn);
    ui::connectGuarded(ui_->Button2, &QPushButton::clicked, this, &AuthorizationWindow::quit);
    // A timer, not a control: nothing is said after it, the program is ending.
    connect(Timer1, &QTimer::timeout, this, &AuthorizationWindow::endAfterRefusedBuild);
}

AuthorizationWindow::~AuthorizationWindow() = default;

void AuthorizationWindow::placeOnShow(bool)
{
    ui::centerOnScreen(this);
}

void AuthorizationWindow::FormActivate()
{
    if (activated_)
        return;
    activated_ = true;
    if (holdActivation_) {
        activationHeld_ = true;
        return;
    }
    // The check runs once the window is on screen and the message loop runs.
    QTimer::singleShot(0, this, [this] { ui::guarded([this] { checkBuild(); }); });
}

void AuthorizationWindow::releaseActivation()
{
    holdActivation_ = false;
    if (activationHeld_) {
        activationHeld_ = false;
        QTimer::singleShot(0, this, [this] { ui::guarded([this] { checkBuild(); }); });
    }
}

void AuthorizationWindow::endSoon()
{
    Timer1->start();
}

void AuthorizationWindow::checkBuild()
{
    if (!w_.journal->runBuildStampCheck() || w_.terminateRequested)
        return;
    setWindowTitle(QStringLiteral("Авторизация (build: ") + QString::number(w_.journal->buildDate()) + u'.' +
                   QString::number(w_.journal->buildTime()) + u')');
}

void AuthorizationWindow::logIn()
{
    JournalWindow* journal = w_.journal;
    const QString code = trimCode(ui_->Edit1->text());
    journal->signIn(code.toUtf8(), 1);
    const Role role = roleForCode(journal->accessCode());
    // The history of journal rows records who changed them: the role the code gives.
    const char* roleNames[] = {"", "reporting", "foreman", "warehouse", "full"};
    db::setSessionRole(QString::fromLatin1(roleNames[static_cast<int>(role)]));
    if (role == Role::None) {
        w_.timesheet->applyRole(ui::rightsOf(role));
        journal->applyRole(ui::rightsOf(role));
        ui::Messages::error(QStringLiteral("Введены неверные данные."));
        return;
    }
    // A personal login whose group roles give less than the code: said once, before the journal opens.
    warnWhenLoginLacksRole(w_, role);
    // Each window switches off for itself what the role may not use.
    const ui::RoleRights rights = ui::rightsOf(role);
    journal->applyRole(rights);
    if (w_.reports)
        w_.reports->applyRole(rights);
    w_.timesheet->applyRole(rights);
    Database* dm = w_.database;
    for (int s = 1; s <= 4; ++s)
        dm->smenaQuery(s)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
    hide();
    ui::showModal(journal);
    close();
}

void AuthorizationWindow::quit()
{
    close();
}

void AuthorizationWindow::reject()
{
    // Escape closes the window, and with it the application.
    QDialog::reject();
    w_.requestTermination();
}

void AuthorizationWindow::closeEvent(QCloseEvent* event)
{
    QDialog::closeEvent(event);
    w_.requestTermination();
}

void AuthorizationWindow::endAfterRefusedBuild()
{
    w_.requestTermination();
}
