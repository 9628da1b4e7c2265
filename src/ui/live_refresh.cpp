#include "ui/live_refresh.h"

#include "ui/messages.h"

#include <QApplication>
#include <QDateTime>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <exception>

namespace ui {

namespace {

constexpr qint64 kQuietMs = 300;
// A failed re-read (a lock held, a server restarting) is tried again this often, this many times; after that only
// the next announcement or the user's own reading tries.
constexpr int kRetryMs = 2000;
constexpr int kRetries = 5;

} // namespace

LiveRefresh::LiveRefresh(QWidget* window, std::function<void()> reread, QObject* parent)
    : QObject(parent ? parent : window)
    , window_(window)
    , reread_(std::move(reread))
    , timer_(new QTimer(this))
    , retry_(new QTimer(this))
{
    timer_->setSingleShot(true);
    connect(timer_, &QTimer::timeout, this, [this] { run(); });
    retry_->setSingleShot(true);
    retry_->setInterval(kRetryMs);
    connect(retry_, &QTimer::timeout, this, [this] { changed(); });
}

void LiveRefresh::readAll()
{
    pending_ = false;
    retry_->stop();
    if (failures_ > 0) {
        failures_ = 0;
        emit current();
    }
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
    retry_->stop();
    lastRead_ = QDateTime::currentMSecsSinceEpoch();
    QString failure;
    try {
        reread_();
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what()).trimmed();
        if (failure.isEmpty())
            failure = QStringLiteral("ошибка чтения");
    } catch (...) {
        failure = QStringLiteral("ошибка чтения");
    }
    if (failure.isEmpty()) {
        if (failures_ > 0) {
            failures_ = 0;
            emit current();
        }
        return;
    }
    ++failures_;
    if (failures_ <= kRetries)
        retry_->start();
    emit readFailed(failure);
}

} // namespace ui
