#include "app/authorization_window.h"

#include "app/login_check.h"
#include "db/data_module.h"
#include "db/session.h"
#include "journal/access_codes.h"
#include "journal/journal_window.h"
#include "reports/reports_window.h"
#include "timesheet/timesheet_window.h"
#include "ui/messages.h"
#include "ui/window_registry.h"

#include <QCloseEvent>
#include <QMenu>
#include <QTimer>

TForm23::TForm23(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    w_.Form23 = this;
    setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(5000);
    w_.authorizationTimer = Timer1;

    ui::connectGuarded(Button1, &QPushButton::clicked, this, &TForm23::Button1Click);
    connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });
}

void TForm23::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    ui::centerOnScreen(this);
    if (!activated_) {
        activated_ = true;
        if (holdActivation_) {
            activationHeld_ = true;
            return;
        }
        // Activation runs once the window is on screen and the message loop runs.
        QTimer::singleShot(0, this, [this] { ui::guarded([this] { FormActivate(); }); });
    }
}

void TForm23::releaseActivation()
{
    holdActivation_ = false;
    if (activationHeld_) {
        activationHeld_ = false;
        QTimer::singleShot(0, this, [this] { ui::guarded([this] { FormActivate(); }); });
    }
}

void TForm23::FormActivate()
{
    if (!w_.Form1->runBuildStampCheck() || w_.terminateRequested)
        return;
    setWindowTitle(QStringLiteral("Авторизация (build: ") + QString::number(w_.Form1->FBuildDate) + u'.' +
                   QString::number(w_.Form1->FBuildTime) + u')');
}

void TForm23::Button1Click()
{
    TForm1* journal = w_.Form1;
    const QString code = trimCode(Edit1->text());
    journal->FShift = 1;
    journal->FAccessCode = code.toUtf8();
    const Role role = roleForCode(journal->FAccessCode);
    // The history of journal rows records who changed them: the role the code gives.
    const char* roleNames[] = {"", "reporting", "foreman", "warehouse", "full"};
    db::setSessionRole(QString::fromLatin1(roleNames[static_cast<int>(role)]));
    if (role == Role::None) {
        w_.Form19->applyRole(ui::rightsOf(role));
        journal->applyRole(ui::rightsOf(role));
        ui::Messages::error(QStringLiteral("Введены неверные данные."));
        return;
    }
    // A personal login whose group roles give less than the code: said once, before the journal opens.
    warnWhenLoginLacksRole(w_, role);
    // Each window switches off for itself what the role may not use.
    const ui::RoleRights rights = ui::rightsOf(role);
    journal->applyRole(rights);
    if (w_.Form18)
        w_.Form18->applyRole(rights);
    w_.Form19->applyRole(rights);
    TDataModule6* dm = w_.DataModule6;
    for (int s = 1; s <= 4; ++s)
        dm->smenaQuery(s)->setParam(QStringLiteral("ok"), QStringLiteral("ta"));
    hide();
    ui::showModal(journal);
    close();
}

void TForm23::Button2Click()
{
    close();
}

void TForm23::reject()
{
    // Escape closes the window, and with it the application.
    QDialog::reject();
    w_.requestTermination();
}

void TForm23::closeEvent(QCloseEvent* event)
{
    QDialog::closeEvent(event);
    w_.requestTermination();
}

void TForm23::Timer1Timer()
{
    w_.requestTermination();
}
