#include "ui/early_keys.h"

#include <QAbstractNativeEventFilter>
#include <QDialog>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWindow>

#if KESTA_WITH_XCB
#include <xcb/xcb.h>

#include <vector>
#endif

namespace ui {

#if KESTA_WITH_XCB

namespace {

constexpr int kLongestWaitMs = 1000;

class EarlyKeys : public QObject, public QAbstractNativeEventFilter {
public:
    static EarlyKeys& instance()
    {
        static EarlyKeys* keys = [] {
            auto* k = new EarlyKeys;
            qApp->installNativeEventFilter(k);
            QObject::connect(qApp, &QGuiApplication::focusWindowChanged, k, [k](QWindow* w) { k->focused(w); });
            return k;
        }();
        return *keys;
    }

    void expect(QDialog* window)
    {
        send(); // what an earlier window left, to whatever has the focus
        window_ = window;
        QTimer::singleShot(kLongestWaitMs, this, [this, w = QPointer<QDialog>(window)] {
            if (window_ == w)
                send();
        });
    }

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (!window_ || type != "xcb_generic_event_t")
            return false;
        auto* event = static_cast<xcb_generic_event_t*>(message);
        const uint8_t kind = event->response_type & ~0x80;
        if (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE)
            return false;
        QWindow* handle = window_->windowHandle();
        if (!window_->isVisible() || !handle || QGuiApplication::focusWindow() == handle)
            return false;
        held_.push_back(*reinterpret_cast<xcb_key_press_event_t*>(event));
        return true;
    }

private:
    void focused(QWindow* w)
    {
        if (window_ && w && w == window_->windowHandle())
            send();
    }

    // The held keys go out again through the X server, addressed to the window that has the focus now; they come
    // back as any key does.
    void send()
    {
        QPointer<QDialog> window = window_;
        window_ = nullptr;
        if (held_.empty())
            return;
        auto* x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
        QWindow* target = window && window->windowHandle() ? window->windowHandle() : QGuiApplication::focusWindow();
        if (x11 && target) {
            xcb_connection_t* c = x11->connection();
            const auto id = static_cast<xcb_window_t>(target->winId());
            for (xcb_key_press_event_t e : held_) {
                e.event = id;
                e.child = XCB_NONE;
                xcb_send_event(c, false, id, XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_KEY_RELEASE,
                               reinterpret_cast<const char*>(&e));
            }
            xcb_flush(c);
        }
        held_.clear();
    }

    QPointer<QDialog> window_;
    std::vector<xcb_key_press_event_t> held_;
};

} // namespace

void keepEarlyKeysFor(QDialog* window)
{
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !window)
        return;
    EarlyKeys::instance().expect(window);
}

#else

void keepEarlyKeysFor(QDialog*)
{
}

#endif

} // namespace ui
