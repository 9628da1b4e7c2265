// The authorization window: the first window a user sees; an access code decides the role for the whole run.
#pragma once

#include "ui_authorization_window.h"

#include <QDialog>

class QTimer;
struct Windows;

class AuthorizationWindow : public QDialog, private Ui::AuthorizationWindow {
    Q_OBJECT
public:
    explicit AuthorizationWindow(Windows& windows, QWidget* parent = nullptr);

    void FormActivate();
    void Button1Click();
    void Button2Click();
    void Timer1Timer();

    void reject() override;
    // The activation (the build-stamp check, which reads and may write the database) waits while the other windows
    // are built after this one is on the screen, so that it still comes after them; release() lets it run then.
    void holdActivation() { holdActivation_ = true; }
    void releaseActivation();
    // The database refused this build: the program ends 5 seconds from now.
    void endSoon();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // Ends the program 5 seconds after a build was refused.
    QTimer* Timer1 = nullptr;
    Windows& w_;
    bool activated_ = false;
    bool holdActivation_ = false;
    bool activationHeld_ = false;
};
