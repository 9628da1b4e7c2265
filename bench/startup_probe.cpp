// Preloaded into a program whose start-up is timed (LD_PRELOAD): when the first top-level window has been painted,
// it writes "shown OBJECTNAME" on the file descriptor named by KESTA_STARTUP_FD and ends the process at once. The
// start-up benchmark loads it the same way into the program and into the bare dialog it is compared with.
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::Paint || seen_)
            return false;
        auto* widget = qobject_cast<QWidget*>(watched);
        if (!widget || !widget->isWindow())
            return false;
        seen_ = true;
        const QByteArray name = widget->objectName().toUtf8();
        // Once this round of painting has reached the screen.
        QTimer::singleShot(0, [name] {
            const int fd = qEnvironmentVariableIntValue("KESTA_STARTUP_FD");
            const QByteArray line = "shown " + name + '\n';
            if (fd > 0)
                [[maybe_unused]] const ssize_t n = ::write(fd, line.constData(), size_t(line.size()));
            ::_exit(0);
        });
        return false;
    }

private:
    bool seen_ = false;
};

void install()
{
    QCoreApplication::instance()->installEventFilter(new FirstPaint);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(install)
