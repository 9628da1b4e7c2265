#include "ui/live_refresh.h"

#include "ui/messages.h"

#include <QApplication>
#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <algorithm>

namespace ui {

namespace {

constexpr qint64 kQuietMs = 300;

} // namespace

LiveRefresh::LiveRefresh(QWidget* window, std::function<void()> reread, QObject* parent)
    : QObject(parent ? parent : window)
    , window_(window)
    , reread_(std::move(reread))
    , timer_(new QTimer(this))
{
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { run(); });
}

void LiveRefresh::changed()
{
    if (timer_->isActive())
        return; // already coming
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    timer_->start(static_cast<int>(std::clamp<qint64>(lastRead_ + kQuietMs - now, 0, kQuietMs)));
}

void LiveRefresh::activated()
{
    if (pending_)
        run();
}

void LiveRefresh::run()
{
    if (!window_->isVisible())
        return; // it reads what it shows when it is shown
    if (QApplication::activeModalWidget() != window_) {
        pending_ = true;
        return;
    }
    pending_ = false;
    lastRead_ = QDateTime::currentMSecsSinceEpoch();
    guarded(reread_);
}

} // namespace ui
