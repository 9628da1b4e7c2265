#include "ui/messages.h"

#include "db/db_error.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QHash>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QQueue>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>

#include <cstdio>
#include <exception>

namespace ui {

namespace {

struct State {
    bool scripted = false;
    QQueue<bool> answers;
    QList<ShownMessage> shown;
    std::function<void(const ShownMessage&)> onShow;
    std::function<bool()> transactionProbe;
    std::function<QStringList()> noticeSource;
    QHash<QString, QQueue<std::function<void(QDialog*)>>> modalScripts;
    QStringList shownModals;
    int boxesOpen = 0;           // boxes being shown (nested when a box's loop runs a timer that shows another)
    QString backgroundSaid;      // the background problem said last and not yet over; "" when none
    bool connectionSaid = false; // a lost connection was said and its end not yet
};

State& state()
{
    static State s;
    return s;
}

// A box is open from its record to its end (scripted too: the test's hook runs while it is "open").
struct BoxOpen {
    BoxOpen() { ++state().boxesOpen; }
    ~BoxOpen() { --state().boxesOpen; }
    BoxOpen(const BoxOpen&) = delete;
    BoxOpen& operator=(const BoxOpen&) = delete;
};

void record(const ShownMessage& m)
{
    if (state().transactionProbe && state().transactionProbe())
        qWarning("A message box shown while a transaction is open: %s", qUtf8Printable(m.text));
    state().shown.append(m);
    if (state().onShow)
        state().onShow(m);
}

QWidget* activeParent()
{
    return QApplication::activeWindow();
}

// A box shown during long work (under the hourglass) has the ordinary pointer while it is open.
int execBox(QMessageBox& box)
{
    const bool waiting = QApplication::overrideCursor() != nullptr;
    if (waiting)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = box.exec();
    if (waiting)
        QApplication::restoreOverrideCursor();
    return result;
}

} // namespace

void Messages::error(const QString& text, const QString& caption)
{
    BoxOpen open;
    record({ShownMessage::Kind::Error, caption, text});
    if (state().scripted)
        return;
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, activeParent());
    execBox(box);
}

void Messages::errorWithDetails(const QString& text, const QString& details, const QString& caption)
{
    BoxOpen open;
    std::fprintf(stderr, "%s\n%s\n", qUtf8Printable(text), qUtf8Printable(details));
    record({ShownMessage::Kind::Error, caption, text, details});
    if (state().scripted)
        return;
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, activeParent());
    box.setDetailedText(details);
    execBox(box);
}

bool Messages::question(const QString& text, const QString& caption)
{
    BoxOpen open;
    record({ShownMessage::Kind::Question, caption, text});
    if (state().scripted)
        return state().answers.isEmpty() ? false : state().answers.dequeue();
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, activeParent());
    // Every question asks before something that cannot be taken back (a deletion, an overwrite, a closed month):
    // Enter, like Escape, answers "Нет".
    box.setDefaultButton(QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return execBox(box) == QMessageBox::Yes;
}

void Messages::standardError(const QString& text, const QString& details)
{
    BoxOpen open;
    // The standard error box carries the application's title.
    const QString caption = QStringLiteral("Табель");
    if (!details.isEmpty())
        std::fprintf(stderr, "%s\n%s\n", qUtf8Printable(text), qUtf8Printable(details));
    record({ShownMessage::Kind::StandardError, caption, text, details});
    if (state().scripted)
        return;
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, activeParent());
    if (!details.isEmpty())
        box.setDetailedText(details);
    execBox(box);
}

bool Messages::othersOpen(const QWidget* own)
{
    if (state().boxesOpen > 0)
        return true;
    const QWidget* modal = QApplication::activeModalWidget();
    return modal && modal != own && modal->isVisible();
}

void Messages::backgroundProblem(const QString& text, const QString& details, bool connectionDown, const QWidget* own)
{
    State& s = state();
    if (connectionDown ? s.connectionSaid : s.backgroundSaid == text)
        return;
    if (othersOpen(own))
        return; // said at a later turn, when nothing else is open
    if (connectionDown)
        s.connectionSaid = true;
    else
        s.backgroundSaid = text;
    standardError(text, details);
}

void Messages::backgroundFine(const QWidget* own, const std::function<QStringList()>& takeNotices)
{
    State& s = state();
    s.backgroundSaid.clear();
    if (othersOpen(own))
        return;
    const QStringList notices = takeNotices ? takeNotices() : QStringList();
    if (s.connectionSaid && notices.isEmpty())
        information(QString::fromUtf8(kConnectionBackMessage));
    s.connectionSaid = false;
    for (const QString& text : notices)
        information(text);
}

void Messages::connectionProblemSaid()
{
    state().connectionSaid = true;
}

void Messages::information(const QString& text, const QString& caption)
{
    BoxOpen open;
    record({ShownMessage::Kind::Information, caption, text});
    if (state().scripted)
        return;
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::Ok, activeParent());
    execBox(box);
}

void Messages::setNoticeSource(std::function<QStringList()> source)
{
    state().noticeSource = std::move(source);
}

void Messages::setScripted(bool on)
{
    state().scripted = on;
}

bool Messages::scripted()
{
    return state().scripted;
}

void Messages::queueAnswer(bool yes)
{
    state().answers.enqueue(yes);
}

void Messages::setTransactionProbe(std::function<bool()> probe)
{
    state().transactionProbe = std::move(probe);
}

void Messages::setOnShow(std::function<void(const ShownMessage&)> hook)
{
    state().onShow = std::move(hook);
}

QList<ShownMessage> Messages::shown()
{
    return state().shown;
}

void Messages::clearShown()
{
    state().shown.clear();
    state().answers.clear();
    state().backgroundSaid.clear();
    state().connectionSaid = false;
}

void guarded(const std::function<void()>& body)
{
    try {
        body();
    } catch (const db::DbError& e) {
        // The program's words in the box; what the server or libpq said under "Подробнее".
        if (e.connectionDown())
            Messages::connectionProblemSaid();
        Messages::standardError(e.text(), e.details());
    } catch (const std::exception& e) {
        Messages::standardError(QString::fromUtf8(e.what()));
    } catch (...) {
        Messages::standardError(QString());
    }
    // Told once the handler has ended, when nothing of it holds the database any more.
    if (state().noticeSource)
        for (const QString& text : state().noticeSource()) {
            state().connectionSaid = false; // the connection is back, and this says so
            Messages::information(text);
        }
}

void Dialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    placeOnShow(event->spontaneous());
    if (!event->spontaneous())
        guarded([this] { FormActivate(); });
}

int showModal(QDialog* dialog, Activatable* returnTo)
{
    State& s = state();
    const QString cls = QString::fromLatin1(dialog->metaObject()->className());
    s.shownModals.append(cls);
    QPointer<QDialog> guard(dialog);
    auto it = s.modalScripts.find(cls);
    if (it != s.modalScripts.end() && !it->isEmpty()) {
        auto script = it->dequeue();
        QTimer::singleShot(0, dialog, [guard, script] {
            if (guard)
                guarded([&] { script(guard); });
            if (guard && guard->isVisible())
                guard->reject();
        });
    } else if (s.scripted) {
        QTimer::singleShot(0, dialog, [guard] {
            if (guard)
                guard->reject();
        });
    }
    const int result = dialog->exec();
    if (returnTo)
        guarded([&] { returnTo->FormActivate(); });
    return result;
}

void scriptModal(const QString& className, std::function<void(QDialog*)> script)
{
    state().modalScripts[className].enqueue(std::move(script));
}

void clearModalScripts()
{
    state().modalScripts.clear();
    state().shownModals.clear();
}

QStringList shownModals()
{
    return state().shownModals;
}

void centerOnScreen(QWidget* window)
{
    if (QScreen* s = window->screen())
        window->move(s->availableGeometry().center() - window->rect().center());
}

void digitsOnly(QLineEdit* box)
{
    static const QRegularExpression digits(QStringLiteral("[0-9]*"));
    box->setValidator(new QRegularExpressionValidator(digits, box));
}

void boldCaptionOnly(QGroupBox* box)
{
    QFont bold = box->font();
    bold.setBold(true);
    box->setFont(bold);
    // Each child's weight set explicitly: a font merely equal to the window's would be inherited bold again.
    for (QWidget* child : box->findChildren<QWidget*>()) {
        QFont f = child->font();
        f.setBold(false);
        child->setFont(f);
        if (auto* combo = qobject_cast<QComboBox*>(child))
            combo->view()->setFont(f); // the drop-down list is a window of its own
    }
}

WaitCursor::WaitCursor()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor()
{
    QApplication::restoreOverrideCursor();
}

} // namespace ui
