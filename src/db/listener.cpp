#include "db/listener.h"

#include "db/session.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QTimer>
#include <QVariant>

namespace db {

Listener::Listener(const QString& connectionName, QObject* parent)
    : QObject(parent)
    , connectionName_(connectionName)
{
    // A reconnection happens inside whatever statement found the connection gone: listening again and telling the
    // views waits until that has ended.
    onReconnected(this, [this](const QString& name) {
        if (name != connectionName_)
            return;
        QTimer::singleShot(0, this, [this] {
            listen();
            emit reconnected();
        });
    });
}

Listener::~Listener()
{
    removeReconnectedHandlers(this);
}

bool Listener::listen()
{
    if (!QSqlDatabase::contains(connectionName_))
        return false;
    QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
    if (!db.isOpen() || !db.driver())
        return false;
    QSqlDriver* driver = db.driver();
    const QStringList subscribed = driver->subscribedToNotifications();
    for (const char* channel : {kJournalChannel, kTimesheetChannel, kCatalogueChannel}) {
        const QString name = QString::fromLatin1(channel);
        if (!subscribed.contains(name) && !driver->subscribeToNotification(name))
            return false;
    }
    if (!driverConnection_)
        driverConnection_ = connect(driver, &QSqlDriver::notification, this,
                                    [this](const QString& channel, QSqlDriver::NotificationSource source,
                                           const QVariant& payload) {
                                        if (source != QSqlDriver::SelfSource)
                                            emit changed(channel, payload.toString());
                                    });
    return true;
}

} // namespace db
