// The authorization window: the first window a user sees; an access code decides the role for the whole run.
#pragma once

#include "ui/messages.h"


#include <QDialog>

#include <memory>

namespace Ui {
class AuthorizationWindow;
}

class QTimer;
struct Windows;

class AuthorizationWindow : public ui::Dialog {
    Q_OBJECT
public:
    explicit AuthorizationWindow(Windows& windows, QWidget* parent = nullptr);
    ~AuthorizationWindow() override;

    // The first showing's activation: the build-stamp check, once the window is on the screen and the message loop
    // runs (or once released, when held).
    void FormActivate() override;
    // "Вход": the code's role applied to every window, then the journal shown.
    void logIn();
    // "Выход", and the end 5 seconds after a refused build.
    void quit();
    void endAfterRefusedBuild();

    void reject() override;
    // The activation (the build-stamp check, which reads and may write the database) waits while the other windows
    // are built after this one is on the screen, so that it still comes after them; release() lets it run then.
    void holdActivation() { holdActivation_ = true; }
    void releaseActivation();
    // The database refused this build: the program ends 5 seconds from now.
    void endSoon();

protected:
    // In the middle of the screen, each time it is shown.
    void placeOnShow(bool spontaneous) override;
    void closeEvent(QCloseEvent* event) override;

private:
    // The build stamp checked against the database's; the caption shows the build once it passed.
    void checkBuild();

    std::unique_ptr<Ui::AuthorizationWindow> ui_;
    // Ends the program 5 seconds after a build was refused.
    QTimer* Timer1 = nullptr;
    Windows& w_;
    bool activated_ = false;
    bool holdActivation_ = false;
    bool activationHeld_ = false;
};
