// The database's announcements of committed changes (NOTIFY from its triggers), heard on the program's connection.
// Channels: kesta_journal ('YYYY-MM-DD/S'), kesta_timesheet ('YYYY-MM'), kesta_catalogue (a catalogue's name),
// kesta_month ('YYYY-MM', a month closed or opened).
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QSocketNotifier;
class QTimer;

namespace db {

inline constexpr const char* kJournalChannel = "kesta_journal";
inline constexpr const char* kTimesheetChannel = "kesta_timesheet";
inline constexpr const char* kCatalogueChannel = "kesta_catalogue";
inline constexpr const char* kMonthChannel = "kesta_month";

class Listener : public QObject {
    Q_OBJECT
public:
    // Listens on the connection of that name (when it is open) and again each time it is made anew.
    explicit Listener(const QString& connectionName, QObject* parent = nullptr);
    ~Listener() override;

    // LISTEN on every channel; false when the connection is not open. Done again after each reconnection.
    bool listen();

    // How often an idle connection is looked at (without a round trip to the server) for having been ended by the
    // server: a lost connection hears no announcements, so it is made again within seconds, not at the next
    // statement.
    static constexpr int kWatchMs = 2000;

signals:
    // Another connection's committed change (the program's own are left out: it re-reads after them itself).
    void changed(const QString& channel, const QString& payload);
    // The connection was made anew: announcements sent meanwhile are lost, so everything shown may be old.
    void reconnected();
    // Emitted just before reconnected() when the connection was found ended by the server while nobody acted (no
    // action of the user will say so).
    void lostWhileIdle();

private:
    void watch();
    // Emits what the server announced meanwhile.
    void read();

    QString connectionName_;
    QSocketNotifier* socket_ = nullptr;
    bool readPending_ = false;
    QTimer* watch_ = nullptr;
    bool listened_ = false;
    bool watching_ = false;
};

} // namespace db
