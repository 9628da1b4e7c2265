#include "db/listener.h"

#include "db/session.h"
#include "db/transaction.h"

#include <QSocketNotifier>
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
    if (!listened_ || anyTransactionOpen() || !findConnector(connectionName_))
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
    if (Connector* db = findConnector(connectionName_))
        db->setAfterStatement({});
}

void Listener::read()
{
    readPending_ = false;
    Connector* db = findConnector(connectionName_);
    if (!db || !db->isOk() || (socket_ && socket_->socket() != db->socket())) {
        // A lost connection's socket says nothing more; the next listen() watches the new one.
        if (socket_)
            socket_->setEnabled(false);
        return;
    }
    for (const Notification& n : db->notifications())
        if (!n.own)
            emit changed(n.channel, n.payload);
}

bool Listener::listen()
{
    Connector* db = findConnector(connectionName_);
    if (!db || !db->isOk())
        return false;
    for (const char* channel : {kJournalChannel, kTimesheetChannel, kCatalogueChannel, kMonthChannel}) {
        try {
            ServerWait wait(*db);
            db->exec(QStringLiteral("LISTEN ") + QString::fromLatin1(channel));
        } catch (const DbError&) {
            return false;
        }
    }
    listened_ = true;
    if (!watch_->isActive())
        watch_->start();
    // A connection made anew has a socket of its own.
    delete socket_;
    socket_ = new QSocketNotifier(db->socket(), QSocketNotifier::Read, this);
    connect(socket_, &QSocketNotifier::activated, this, [this] { read(); });
    // Announcements that arrived with a statement's answer were read with it and wake nobody on the socket.
    db->setAfterStatement([this] {
        if (readPending_)
            return;
        readPending_ = true;
        QMetaObject::invokeMethod(this, [this] { read(); }, Qt::QueuedConnection);
    });
    return true;
}

} // namespace db
