#include "ui/window_place.h"

#include "ui/messages.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QHeaderView>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QTableView>
#include <QWidget>

namespace ui {

namespace {

QSettings settings()
{
    return QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("kesta"), QStringLiteral("kesta_tabel"));
}

// A window's place is kept under its object name, which has stayed what the first release called it, so that the
// places saved by earlier builds are found; a window without one goes by its class.
QString keyOf(const QWidget* window)
{
    const QString name = window->objectName();
    return QStringLiteral("windows/") + (name.isEmpty() ? QString::fromLatin1(window->metaObject()->className()) : name);
}

// Saves the place when the window hides; holds the grids whose columns go with it.
class PlaceKeeper : public QObject {
public:
    PlaceKeeper(QWidget* window, const QList<QTableView*>& grids, bool restoreOnShow)
        : QObject(window)
        , window_(window)
        , restoreOnShow_(restoreOnShow)
    {
        setObjectName(QStringLiteral("placeKeeper"));
        for (QTableView* g : grids)
            grids_.append(g);
        window->installEventFilter(this);
    }

    void save() const
    {
        QSettings s = settings();
        const QString key = keyOf(window_);
        s.setValue(key + QStringLiteral("/geometry"), window_->saveGeometry());
        // The toolkit refuses a kept geometry on a screen much narrower or wider than the one it was kept on: the
        // size alone then still stands wherever it fits.
        s.setValue(key + QStringLiteral("/size"), window_->isMaximized() || window_->isFullScreen()
                                                      ? window_->normalGeometry().size()
                                                      : window_->size());
        for (int i = 0; i < grids_.size(); ++i) {
            if (!grids_[i])
                continue;
            const QHeaderView* h = grids_[i]->horizontalHeader();
            QList<QVariant> widths;
            for (int c = 0; c < h->count(); ++c)
                widths << h->sectionSize(c);
            s.setValue(key + QStringLiteral("/columns%1").arg(i), widths);
        }
    }

    void restoreColumns() const
    {
        QSettings s = settings();
        const QString key = keyOf(window_);
        for (int i = 0; i < grids_.size(); ++i) {
            if (!grids_[i])
                continue;
            QHeaderView* h = grids_[i]->horizontalHeader();
            const QList<QVariant> widths = s.value(key + QStringLiteral("/columns%1").arg(i)).toList();
            if (widths.size() != h->count()) // the program's columns changed since: its own widths stand
                continue;
            for (int c = 0; c < h->count(); ++c)
                if (!h->isSectionHidden(c) && widths[c].toInt() > 0)
                    h->resizeSection(c, widths[c].toInt());
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == window_ && event->type() == QEvent::Hide && !event->spontaneous())
            save();
        if (restoreOnShow_ && watched == window_ && event->type() == QEvent::Show && !event->spontaneous())
            restorePlace(window_);
        return false;
    }

private:
    QWidget* window_;
    bool restoreOnShow_ = false;
    QList<QPointer<QTableView>> grids_;
};

class WindowRules : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Show || !watched->isWidgetType())
            return false;
        auto* w = static_cast<QWidget*>(watched);
        if (!w->isWindow() || (w->windowType() != Qt::Window && w->windowType() != Qt::Dialog))
            return false;
        w->setAttribute(Qt::WA_KeyboardFocusChange);
        fitToScreen(w);
        // Again once the window manager has put its frame around it, which it tells a moment after the showing.
        QPointer<QWidget> shown(w);
        const auto refit = [shown] {
            if (shown && shown->isVisible() && !shown->isMaximized() && !shown->isFullScreen())
                fitToScreen(shown);
        };
        QTimer::singleShot(0, w, refit);
        QTimer::singleShot(250, w, refit);
        return false;
    }
};

} // namespace

void installWindowRules()
{
    if (!qApp || qApp->findChild<WindowRules*>(QStringLiteral("windowRules"), Qt::FindDirectChildrenOnly))
        return;
    auto* rules = new WindowRules(qApp);
    rules->setObjectName(QStringLiteral("windowRules"));
    qApp->installEventFilter(rules);
}

void rememberPlace(QWidget* window, const QList<QTableView*>& grids)
{
    new PlaceKeeper(window, grids, false);
}

void keepPlace(QWidget* window, const QList<QTableView*>& grids)
{
    new PlaceKeeper(window, grids, true);
}

void fitToScreen(QWidget* window)
{
    QScreen* screen = window->screen();
    if (!screen)
        return;
    const QRect free = screen->availableGeometry();
    // The frame (title bar, borders) takes its share; before the first showing it is not known yet.
    const QSize frame = window->frameGeometry().size() - window->geometry().size();
    const QSize room = free.size() - frame;
    if (window->width() > room.width() || window->height() > room.height()) {
        const QSize fitted = window->size().boundedTo(room).expandedTo(window->minimumSize());
        if (window->minimumSize() == window->maximumSize()) // a fixed size stays as it is
            return;
        window->resize(fitted);
    }
    QRect r = window->frameGeometry();
    if (!free.contains(r)) {
        r.moveLeft(std::clamp(r.left(), free.left(), std::max(free.left(), free.right() - r.width() + 1)));
        r.moveTop(std::clamp(r.top(), free.top(), std::max(free.top(), free.bottom() - r.height() + 1)));
        window->move(r.topLeft());
    }
}

void restorePlace(QWidget* window)
{
    const auto* keeper = window->findChild<PlaceKeeper*>(QStringLiteral("placeKeeper"), Qt::FindDirectChildrenOnly);
    QSettings s = settings();
    const QByteArray kept = keeper ? s.value(keyOf(window) + QStringLiteral("/geometry")).toByteArray() : QByteArray();
    // restoreGeometry itself moves a window whose place is on no screen now onto the screen
    if (kept.isEmpty() || !window->restoreGeometry(kept)) {
        const QSize size = keeper ? s.value(keyOf(window) + QStringLiteral("/size")).toSize() : QSize();
        if (size.isValid() && window->minimumSize() != window->maximumSize())
            window->resize(size.expandedTo(window->minimumSize()));
        fitToScreen(window);
        centerOnScreen(window);
    }
    fitToScreen(window);
    if (keeper)
        keeper->restoreColumns();
}

} // namespace ui
