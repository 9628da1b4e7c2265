// Message boxes of the program (refusals, questions, the standard error box), the handler guard,
// modal showing and the wait cursor; tests can script all of them.
#pragma once

#include <QDialog>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <type_traits>

class QDialog;
class QGroupBox;
class QLineEdit;
class QWidget;

namespace ui {

struct ShownMessage {
    enum class Kind { Error, Question, StandardError, Information };
    Kind kind;
    QString caption;
    QString text;
    QString details; // shown under "Подробнее" of the box; empty for most
};

class Messages {
public:
    // A refusal: error icon, OK button.
    static void error(const QString& text, const QString& caption = QStringLiteral("Ошибка"));
    // A refusal whose details (what failed, and why) the box shows on request and standard error prints.
    static void errorWithDetails(const QString& text, const QString& details, const QString& caption);
    // A question with Yes and No; true for Yes.
    static bool question(const QString& text, const QString& caption = QStringLiteral("Удаление"));
    // The application's standard error box, for errors that end a handler; details (what the server or libpq said)
    // under "Подробнее".
    static void standardError(const QString& text, const QString& details = {});
    // Something the user should know that refuses nothing: information icon, OK button.
    static void information(const QString& text, const QString& caption = QStringLiteral("Сообщение"));
    // Where the handler guard finds what to tell the user once a handler has ended (the data layer's notices).
    static void setNoticeSource(std::function<QStringList()> source);

    // Scripting for tests: nothing is shown; questions take the queued answers (No when none is queued).
    static void setScripted(bool on);
    static bool scripted();
    static void queueAnswer(bool yes);
    // Runs when a message is about to be shown (also when scripted), e.g. to let time pass.
    static void setOnShow(std::function<void(const ShownMessage&)> hook);
    static QList<ShownMessage> shown();
    // Tells whether a database transaction is open. A message shown while one is would hold its locks for as long
    // as the box waits for the user: it is reported as a warning (which the tests turn into a failure).
    static void setTransactionProbe(std::function<bool()> probe);
    static void clearShown();

    // Whether a box of the program is open (being shown, also when scripted), or a modal window other than own.
    static bool othersOpen(const QWidget* own = nullptr);

    // For work nobody asked for at that moment (the 30-second check): a problem is said only when no other box or
    // modal window of the program is open (else at a later turn), and a lasting one once. A lost connection is one
    // problem however often and wherever it shows (a box of the user's own action included), and its end is said
    // once. own: the window that runs the work (the journal window is itself shown modally).
    static void backgroundProblem(const QString& text, const QString& details, bool connectionDown, const QWidget* own);
    // The background work went through: a problem said before is over. notices: what the data layer has to tell
    // (a connection made again, to which server); they say the end of a lost connection, else it is said in
    // general words, once. Nothing is shown (and the notices are left for later) while another box or modal window
    // is open.
    static void backgroundFine(const QWidget* own, const std::function<QStringList()>& takeNotices);
    // Marks a lost connection as said (a user's action showed it).
    static void connectionProblemSaid();
};

// The text said once when the connection comes back after it was said to be lost.
inline constexpr const char* kConnectionBackMessage = "Связь с базой данных восстановлена.";

// Runs an event handler's body; a failure is shown in the standard error box and never crosses the event loop.
void guarded(const std::function<void()>& body);

// Connects a signal to a handler of a window, the handler run through the guard: the one way a window's control
// reaches its handler. The handler may be the window's own or one it inherits (QDialog::reject).
template <typename Sender, typename Signal, typename Window, typename Owner>
QMetaObject::Connection connectGuarded(Sender* sender, Signal signal, Window* window, void (Owner::*handler)())
{
    static_assert(std::is_base_of_v<Owner, Window>, "the handler is not the window's");
    return QObject::connect(sender, signal, window, [window, handler] { guarded([&] { (window->*handler)(); }); });
}

// The same for a handler that needs more than the window (which of several controls it was, say): body runs through
// the guard while context lives.
template <typename Sender, typename Signal, typename Body, typename = std::enable_if_t<std::is_invocable_v<Body&>>>
QMetaObject::Connection connectGuarded(Sender* sender, Signal signal, QObject* context, Body body)
{
    return QObject::connect(sender, signal, context, [body = std::move(body)] { guarded(body); });
}

// A window that runs its activation steps when it becomes the active window again.
class Activatable {
public:
    virtual ~Activatable() = default;
    virtual void FormActivate() = 0;
};

// The base of the program's windows: each time the program shows one (not when the window system shows it again
// after minimising), the window is placed and then activated, the one way every window runs its FormActivate.
class Dialog : public QDialog, public Activatable {
public:
    explicit Dialog(QWidget* parent = nullptr)
        : QDialog(parent)
    {
    }

protected:
    // Where the window stands before its activation; by default where the window system puts it. Also called for a
    // show by the window system (spontaneous), which does not activate the window.
    virtual void placeOnShow(bool spontaneous) { Q_UNUSED(spontaneous) }
    void showEvent(QShowEvent* event) override;
};

// Shows a window modally and returns its result. When returnTo is given, its activation runs after the window
// closes, as when the user is back in the opening window.
int showModal(QDialog* dialog, Activatable* returnTo = nullptr);

// For tests: code to run inside the next modal display of a window of the given class (it must close the window).
// Without a script, a scripted run closes each modal window at once with the cancel result.
void scriptModal(const QString& className, std::function<void(QDialog*)> script);
void clearModalScripts();
// Class names of the windows shown modally so far.
QStringList shownModals();

// Puts a window in the middle of the screen it is on.
void centerOnScreen(QWidget* window);

// A group box whose caption is bold while its labels, boxes and drop-down lists keep the usual weight.
void boldCaptionOnly(QGroupBox* box);

// A box that takes digits only, typed or pasted: a key or a paste that would put anything else into it is refused.
void digitsOnly(QLineEdit* box);

// The hourglass cursor for the life of the object.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

} // namespace ui
