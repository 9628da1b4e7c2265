#include "db/listener.h"

#include "db/session.h"
#include "db/transaction.h"

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
        const bool idle = watching_;
        QTimer::singleShot(0, this, [this, idle] {
            listen();
            if (idle)
                emit lostWhileIdle();
            emit reconnected();
        });
    });
    watch_ = new QTimer(this);
    watch_->setInterval(kWatchMs);
    connect(watch_, &QTimer::timeout, this, [this] { watch(); });
}

void Listener::watch()
{
    // Only a connection that listened once, and never under a change of this workstation (its statements decide
    // what a broken connection means).
    if (!listened_ || anyTransactionOpen() || !QSqlDatabase::contains(connectionName_))
        return;
    try {
        // Makes the connection again when the server ended it; the reconnection handler above then listens again
        // and tells the views.
        watching_ = true;
        openConnection(connectionName_);
        watching_ = false;
    } catch (const DbError&) {
        watching_ = false;
        // The server is away: connecting again is left to the next action (each try may wait for the connect
        // timeout); a reconnection then listens again and restarts this watch.
        watch_->stop();
    }
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
    for (const char* channel : {kJournalChannel, kTimesheetChannel, kCatalogueChannel, kMonthChannel}) {
        const QString name = QString::fromLatin1(channel);
        if (!subscribed.contains(name) && !driver->subscribeToNotification(name))
            return false;
    }
    listened_ = true;
    if (!watch_->isActive())
        watch_->start();
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
