// A view read again after announcements of other workstations' changes: at once when its last re-read is 300 ms
// old, otherwise once 300 ms after it (a burst costs one re-read); while a window is open over the view's window
// (an editor or a chooser that works with the view's current row), only remembered and done once the window is
// active again. A re-read that fails keeps what the view showed and is tried again.
#pragma once

#include <QObject>

#include <functional>

class QTimer;
class QWidget;

namespace ui {

class LiveRefresh : public QObject {
    Q_OBJECT
public:
    LiveRefresh(QWidget* window, std::function<void()> reread, QObject* parent = nullptr);

    // An announcement that concerns the view.
    void changed();
    // The window is active again: a remembered re-read is done now.
    void activated();
    // The window has just read everything itself: nothing is remembered any more, and the view is current.
    void readAll();
    // Whether the last re-read failed (the view shows older rows).
    bool isCurrent() const { return failures_ == 0; }

signals:
    // A re-read failed: the view keeps what it showed, and the re-read is tried again (at the next announcement,
    // and a few times on a short timer). No message box: nobody asked for this read.
    void readFailed(const QString& reason);
    // A re-read succeeded after failing.
    void current();

private:
    void run();

    QWidget* window_;
    std::function<void()> reread_;
    QTimer* timer_;
    QTimer* retry_;
    qint64 lastRead_ = -1000000;
    bool pending_ = false;
    int failures_ = 0;
};

} // namespace ui
