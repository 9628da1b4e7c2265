// Preloaded into a program whose start-up is timed (LD_PRELOAD): when the first top-level window has been painted,
// it writes "shown OBJECTNAME" on the file descriptor named by KESTA_STARTUP_FD and ends the process at once. The
// start-up benchmark loads it the same way into the program and into the bare dialog it is compared with.
#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace {

class FirstPaint : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!painting_) {
            auto* widget = qobject_cast<QWidget*>(watched);
            if (event->type() == QEvent::Paint && widget && widget->isWindow()) {
                painting_ = true;
                name_ = widget->objectName().toUtf8();
            }
            return false;
        }
        // The window and its children paint one after the other and reach the screen together; the first event of
        // another kind comes once that is done (whatever the program does next).
        if (event->type() == QEvent::Paint)
            return false;
        const int fd = qEnvironmentVariableIntValue("KESTA_STARTUP_FD");
        const QByteArray line = "shown " + name_ + '\n';
        if (fd > 0)
            [[maybe_unused]] const ssize_t n = ::write(fd, line.constData(), size_t(line.size()));
        ::_exit(0);
    }

private:
    bool painting_ = false;
    QByteArray name_;
};

void install()
{
    QCoreApplication::instance()->installEventFilter(new FirstPaint);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(install)
