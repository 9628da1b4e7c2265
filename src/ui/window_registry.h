// The registry of the program's windows: each is created once at start, in a fixed order, and every window
// reaches the others through this one object.
#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class QTimer;
class TDataModule6;
class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TForm7;
class TForm8;
class TForm9;
class TForm10;
class TForm11;
class TForm15;
class TForm16;
class TForm17;
class TForm18;
class TForm19;
class TForm20;
class TForm21;
class TForm22;
class TForm23;

struct Windows {
    TDataModule6* DataModule6 = nullptr;
    TForm1* Form1 = nullptr;
    TForm2* Form2 = nullptr;
    TForm3* Form3 = nullptr;
    TForm4* Form4 = nullptr;
    TForm5* Form5 = nullptr;
    TForm7* Form7 = nullptr;
    TForm8* Form8 = nullptr;
    TForm9* Form9 = nullptr;
    TForm10* Form10 = nullptr;
    TForm11* Form11 = nullptr;
    TForm15* Form15 = nullptr;
    TForm16* Form16 = nullptr;
    TForm17* Form17 = nullptr;
    TForm18* Form18 = nullptr;
    TForm19* Form19 = nullptr;
    TForm20* Form20 = nullptr;
    TForm21* Form21 = nullptr;
    TForm22* Form22 = nullptr;
    TForm23* Form23 = nullptr;

    // Command-line arguments 1 (database name) and 2 (server address), empty where absent.
    QString arg1;
    QString arg2;
    // The connection service of a personal login (db::chooseService); empty for the built-in connection.
    QString service;
    // The compiler's date ("Feb 11 2023") and time ("15:36:35") of the build of the program.
    QString buildDate;
    QString buildTime;

    // Starts connecting on a thread (the built-in connection), once the first window is on the screen; empty when
    // the data module connects by itself.
    std::function<void()> startConnection;
    // Shows the authorization window (made before the connection); the journal window calls it once connected,
    // before it builds its own controls.
    std::function<void()> showAuthorization;
    // Hides the authorization window again when the connection it was shown before has failed.
    std::function<void()> withdrawAuthorization;
    // The authorization window's timer that ends a refused build.
    QTimer* authorizationTimer = nullptr;

    // Ends the message loop; also remembered, so that a request made before the loop runs is honoured.
    bool terminateRequested = false;
    // The program's exit status: 0 for a user's own ending, 1 once a start-up was refused (no database, an old
    // build), so that scripts and service managers see the failure.
    int exitCode = 0;
    void requestTermination(int code = 0);
    // How termination ends the loop; tests, which drive windows without the application's loop, replace it.
    std::function<void()> endMessageLoop;
};
