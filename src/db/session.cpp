#include "db/session.h"

#include <QSettings>
#include <QSysInfo>

#include "db/libpq.h"
#include <sys/socket.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace db {

FailureKind classify(const DbError& error, PGconn* conn);

namespace {

std::mutex limitsMutex;
WaitLimits currentLimits;
QString sessionRole;
std::mutex noticesMutex;
QStringList pendingNotices;
// The server each connection reached last, to tell a failover from a reconnection to the same server.
std::map<QString, QString> lastServers;

} // namespace

WaitLimits waitLimits()
{
    std::lock_guard lock(limitsMutex);
    return currentLimits;
}

void setWaitLimits(const WaitLimits& limits)
{
    std::lock_guard lock(limitsMutex);
    currentLimits = limits;
}

void addConnectOptions(ConnectParams& params, const QString& sslMode, ServerRole role)
{
    const WaitLimits l = waitLimits();
    // Keepalives find a server host that went away while the connection is idle or waiting; they do not apply
    // to a local socket.
    params.emplaceBack("connect_timeout", QByteArray::number(l.connectTimeoutSeconds));
    params.emplaceBack("keepalives", "1");
    params.emplaceBack("keepalives_idle", "30");
    params.emplaceBack("keepalives_interval", "10");
    params.emplaceBack("keepalives_count", "3");
    if (!sslMode.isEmpty())
        params.emplaceBack("sslmode", sslMode.toLower().toUtf8());
    // With several servers listed, libpq tries them in turn until one fits: the primary for changes, a standby
    // first for the reports (the primary when no standby answers).
    // The reports' connection never writes: the server refuses it, on the primary too.
    if (role == ServerRole::Primary) {
        params.emplaceBack("target_session_attrs", "read-write");
    } else {
        params.emplaceBack("target_session_attrs", "prefer-standby");
        params.emplaceBack("options", "-c default_transaction_read_only=on");
    }
}

namespace {

QString quoteSetting(const QString& value)
{
    QString v = value;
    v.replace(u'\'', QStringLiteral("''"));
    v.remove(QChar(0));
    return u'\'' + v + u'\'';
}

QString currentSessionRole()
{
    std::lock_guard lock(limitsMutex);
    return sessionRole;
}

QString serverMemoryOverride;

// A primary that a failover left behind still thinks it is the primary: its timeline is older than the one the new
// primary started when it was promoted. The workstation remembers, per system, the newest timeline it wrote on, and
// refuses a primary of that system on an older one, so that a restarted old server never takes changes the new
// one does not see. A standby (in recovery) writes nothing and follows whichever primary feeds it: not checked.
void refuseFormerPrimary(Connector& db)
{
    Result q;
    {
        ServerWait wait(db);
        q = db.exec(QStringLiteral("select pg_is_in_recovery(), (select system_identifier::text from "
                                   "pg_control_system()), case when pg_is_in_recovery() then null else "
                                   "pg_walfile_name(pg_current_wal_lsn()) end"));
    }
    if (!q.next())
        throw DbError(QStringLiteral("Сервер не сообщил своё состояние."));
    if (q.value(0).toBool())
        return;
    const QString system = q.value(1).toString();
    bool ok = false;
    // The first eight hex digits of a WAL file's name are its timeline.
    const qint64 timeline = q.value(2).toString().left(8).toLongLong(&ok, 16);
    if (system.isEmpty() || !ok)
        return;
    QSettings memory = serverMemoryOverride.isEmpty()
                           ? QSettings(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("kesta"),
                                       QStringLiteral("kesta_tabel"))
                           : QSettings(serverMemoryOverride, QSettings::IniFormat);
    const QString key = QStringLiteral("primaries/") + system;
    const qint64 known = memory.value(key + QStringLiteral("/timeline"), 0).toLongLong();
    const QString server = db.server();
    if (timeline < known) {
        const QString newer = memory.value(key + QStringLiteral("/server")).toString();
        DbError e(QStringLiteral("Сервер базы данных %1 — прежний основной сервер: после переключения основным стал "
                                 "другой сервер%2, и эта программа уже записывала данные на него. Изменения, "
                                 "записанные на %1 теперь, не попали бы в общую базу, поэтому программа к нему не "
                                 "подключается. Администратору: сделайте %1 резервным сервером нового основного "
                                 "(db/standby.sh rewind) или уберите его из адреса сервера.")
                      .arg(server, newer.isEmpty() || newer == server ? QString() : QStringLiteral(" (%1)").arg(newer)),
                  QString::fromLatin1(kFormerPrimaryState));
        e.setDetails(QStringLiteral("Система %1: линия времени сервера %2, программа записывала на линии %3.")
                         .arg(system)
                         .arg(timeline)
                         .arg(known));
        e.setConnectionDown(true);
        db.close();
        throw e;
    }
    if (timeline > known || memory.value(key + QStringLiteral("/server")).toString() != server) {
        memory.setValue(key + QStringLiteral("/timeline"), timeline);
        memory.setValue(key + QStringLiteral("/server"), server);
        memory.sync();
    }
}

} // namespace

void setServerMemoryFile(const QString& path)
{
    serverMemoryOverride = path;
}

void setSessionRole(const QString& role)
{
    {
        std::lock_guard lock(limitsMutex);
        sessionRole = role;
    }
    for (const QString& name : connectorNames()) {
        Connector* db = findConnector(name);
        if (!name.startsWith(QLatin1String("ADO_DB_")) || !db || !db->isOpen())
            continue;
        ServerWait wait(*db);
        try {
            db->exec(QStringLiteral("SET kesta.role TO ") + quoteSetting(role));
        } catch (const DbError&) {
            // a broken connection sets it again when it is made anew
        }
    }
}

void prepareSession(Connector& db, const QString& connectionName)
{
    const WaitLimits l = waitLimits();
    // Dates written as day.month.year text must read day first, whatever the server's default.
    const QString statements[] = {
        QStringLiteral("SET DateStyle TO 'ISO, DMY'"),
        QStringLiteral("SET standard_conforming_strings TO on"),
        QStringLiteral("SET client_encoding TO 'UTF8'"),
        QStringLiteral("SET lock_timeout TO %1").arg(l.lockTimeoutMs),
        QStringLiteral("SET statement_timeout TO %1").arg(l.statementTimeoutMs),
        // Read by the journal's history trigger.
        QStringLiteral("SET kesta.host TO ") + quoteSetting(QSysInfo::machineHostName()),
        QStringLiteral("SET kesta.role TO ") + quoteSetting(currentSessionRole()),
    };
    for (const QString& s : statements) {
        ServerWait wait(db);
        db.exec(s);
    }
    refuseFormerPrimary(db);
    std::lock_guard lock(noticesMutex);
    lastServers[connectionName] = db.server();
}

// ---- the program's side of a bounded wait ----

namespace {

class Watchdog {
public:
    static Watchdog& instance()
    {
        static Watchdog w;
        return w;
    }

    quint64 watch(int socket, std::chrono::steady_clock::time_point deadline)
    {
        std::lock_guard lock(mutex_);
        if (!thread_.joinable())
            thread_ = std::thread([this] { run(); });
        const quint64 id = ++lastId_;
        waits_[id] = {socket, deadline};
        wake_.notify_all();
        return id;
    }

    void unwatch(quint64 id)
    {
        std::lock_guard lock(mutex_);
        waits_.erase(id);
    }

    ~Watchdog()
    {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
            wake_.notify_all();
        }
        if (thread_.joinable())
            thread_.join();
    }

private:
    struct Wait {
        int socket;
        std::chrono::steady_clock::time_point deadline;
    };

    void run()
    {
        std::unique_lock lock(mutex_);
        while (!stop_) {
            if (waits_.empty()) {
                wake_.wait(lock);
                continue;
            }
            auto next = waits_.begin();
            for (auto it = waits_.begin(); it != waits_.end(); ++it)
                if (it->second.deadline < next->second.deadline)
                    next = it;
            if (std::chrono::steady_clock::now() < next->second.deadline) {
                wake_.wait_until(lock, next->second.deadline);
                continue;
            }
            // Still registered under the lock, so the socket is still the connection's: shutting it wakes the
            // waiting statement with a broken connection.
            ::shutdown(next->second.socket, SHUT_RDWR);
            waits_.erase(next);
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::map<quint64, Wait> waits_;
    quint64 lastId_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace

ServerWait::ServerWait(const Connector& connection)
{
    if (!connection.isOk() || connection.socket() < 0)
        return;
    const WaitLimits l = waitLimits();
    const auto deadline = std::chrono::steady_clock::now() +
                          std::chrono::milliseconds(qint64(l.statementTimeoutMs) + l.silentServerGraceMs);
    id_ = Watchdog::instance().watch(connection.socket(), deadline);
}

ServerWait::~ServerWait()
{
    if (id_)
        Watchdog::instance().unwatch(id_);
}

// ---- failures ----

namespace {

std::vector<std::pair<const void*, std::function<void(const QString&)>>> reconnectedHandlers;
std::mutex onDemandMutex;
std::map<QString, std::function<void()>> onDemand;

void notice(const QString& text)
{
    std::lock_guard lock(noticesMutex);
    if (!pendingNotices.contains(text))
        pendingNotices.append(text);
}

bool broken(const Connector& db)
{
    return !db.isOk();
}

// An idle connection whose server has gone (stopped, restarted, failed over) still reads as fine until it is used.
// What the server sent meanwhile is looked at without reading it (it may be a notification that the listener reads): the connection closed, or an error, which an idle server sends only as its last word, means
// gone. (Through TLS the bytes cannot be read this way; then only the closed connection tells.)
bool idleButGone(const Connector& db)
{
    PGconn* conn = db.handle();
    if (!conn || pq().status(conn) != CONNECTION_OK || pq().transactionStatus(conn) != PQTRANS_IDLE)
        return false;
    char first = 0;
    const ssize_t n = ::recv(pq().socket(conn), &first, 1, MSG_PEEK | MSG_DONTWAIT);
    if (n == 0)
        return true; // closed
    if (n < 0)
        return errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR;
    return !pq().sslInUse(conn) && first == 'E';
}

// Connects again with the same options; false (and closed) when the server cannot be reached. When the connection
// now reaches another server of the list, says which in *switched.
bool reconnect(Connector& db, const QString& connectionName, QString* switched = nullptr)
{
    QString before;
    {
        std::lock_guard lock(noticesMutex);
        before = lastServers[connectionName];
    }
    if (!db.reopen())
        return false;
    try {
        prepareSession(db, connectionName);
    } catch (const DbError& e) {
        db.close();
        if (e.sqlState() == QLatin1String(kFormerPrimaryState))
            throw; // said in its own words, not as a server that cannot be reached
        return false;
    }
    std::vector<std::function<void(const QString&)>> handlers;
    {
        std::lock_guard lock(noticesMutex);
        for (const auto& h : reconnectedHandlers)
            handlers.push_back(h.second);
    }
    for (const auto& h : handlers)
        h(connectionName);
    const QString now = db.server();
    if (switched && !before.isEmpty() && !now.isEmpty() && before != now)
        *switched = QStringLiteral("Сервер базы данных %1 недоступен, программа подключилась к серверу %2.").arg(before, now);
    return true;
}

QString lastErrorText(const Connector& db)
{
    return db.lastError();
}

// No server of the list took the connection. When libpq's answer shows that one answered but only as a standby,
// that is said, since it is what the administrator must put right (promote the standby).
QString unreachableReason(const QString& libpqText)
{
    if (libpqText.contains(QLatin1String("session is read-only")) ||
        libpqText.contains(QLatin1String("server is in hot standby mode")))
        return QStringLiteral("Нет связи с основным сервером базы данных: отвечает только резервный сервер, "
                              "изменения на нём невозможны.");
    return QStringLiteral("Нет связи с базой данных.");
}

} // namespace

Connector& openConnection(const QString& connectionName)
{
    if (!findConnector(connectionName)) {
        std::function<void()> open;
        {
            std::lock_guard lock(onDemandMutex);
            const auto it = onDemand.find(connectionName);
            if (it != onDemand.end())
                open = it->second;
        }
        if (open)
            open();
        if (!findConnector(connectionName))
            throw DbError(QStringLiteral("Нет подключения к базе данных."));
    }
    Connector& db = *findConnector(connectionName);
    // Nothing of the coming action has been sent yet: when the server cannot be reached, nothing was written.
    const auto unreachable = [&db] {
        DbError cause(lastErrorText(db), QString::fromLatin1(sqlstate::kConnectionFailure));
        cause.setConnectionDown(true);
        return DbError::explained(unreachableReason(cause.text()), QString::fromUtf8(kNotDoneAdvice), cause);
    };
    if (idleButGone(db)) {
        // Connecting again and going on loses nothing.
        QString switched;
        if (!reconnect(db, connectionName, &switched))
            throw unreachable();
        notice(switched.isEmpty() ? QStringLiteral("Связь с базой данных была потеряна, соединение восстановлено.")
                                  : switched);
        return db;
    }
    if (broken(db)) {
        QString switched;
        if (!reconnect(db, connectionName, &switched))
            throw unreachable();
        if (!switched.isEmpty())
            notice(switched);
    }
    return db;
}

void registerOnDemand(const QString& connectionName, std::function<void()> open)
{
    std::lock_guard lock(onDemandMutex);
    onDemand[connectionName] = std::move(open);
}

void unregisterOnDemand(const QString& connectionName)
{
    std::lock_guard lock(onDemandMutex);
    onDemand.erase(connectionName);
}

void onReconnected(const void* owner, std::function<void(const QString& connectionName)> handler)
{
    std::lock_guard lock(noticesMutex);
    reconnectedHandlers.emplace_back(owner, std::move(handler));
}

void removeReconnectedHandlers(const void* owner)
{
    std::lock_guard lock(noticesMutex);
    std::erase_if(reconnectedHandlers, [owner](const auto& h) { return h.first == owner; });
}

QStringList takeNotices()
{
    std::lock_guard lock(noticesMutex);
    QStringList out;
    out.swap(pendingNotices);
    return out;
}

QString standbyNote(const QString& connectionName)
{
    Connector& db = openConnection(connectionName);
    Result q;
    try {
        ServerWait wait(db);
        q = db.exec(QStringLiteral("select pg_is_in_recovery(), to_char(pg_last_xact_replay_timestamp(), "
                                   "'DD.MM.YYYY HH24:MI:SS')"));
    } catch (const DbError&) {
        return QString();
    }
    if (!q.next())
        return QString();
    if (!q.value(0).toBool())
        return QString();
    const QString at = q.value(1).toString();
    return at.isEmpty() ? QStringLiteral("данные резервного сервера")
                        : QStringLiteral("данные резервного сервера на %1").arg(at);
}

QString serverOf(const QString& connectionName)
{
    const Connector* db = findConnector(connectionName);
    return db ? db->server() : QString();
}

FailureKind classify(const DbError& error, const QString& connectionName)
{
    const Connector* db = findConnector(connectionName);
    return classify(error, db ? db->handle() : nullptr);
}

FailureKind classify(const DbError& error, PGconn* conn)
{
    const QString state = error.sqlState();
    const QString severity = error.severity().isEmpty() ? error.text().section(u':', 0, 0).trimmed() : error.severity();
    if (!conn || pq().status(conn) != CONNECTION_OK || state.startsWith(u"08") || state == QLatin1String(sqlstate::kAdminShutdown) || state == QLatin1String(sqlstate::kCrashShutdown) ||
        state == u"57P03" || severity == u"FATAL" || severity == u"PANIC")
        return FailureKind::ConnectionLost;
    if (state == u"55P03")
        return FailureKind::LockTimeout;
    if (state == QLatin1String(sqlstate::kQueryCanceled))
        return FailureKind::StatementTimeout;
    if (state == QLatin1String(sqlstate::kDeadlockDetected) || state == QLatin1String(sqlstate::kSerializationFailure))
        return FailureKind::Conflict;
    return FailureKind::Statement;
}

DbError explainConnectFailure(const DbError& error)
{
    const QString text = error.text();
    const auto has = [&text](const char* words) { return text.contains(QLatin1String(words)); };
    const QString advice = QStringLiteral("Подключение не выполнено. Проверьте настройки подключения или обратитесь к "
                                          "администратору базы данных.");
    const auto explain = [&](const QString& reason) {
        DbError e = DbError::explained(reason, advice, error);
        e.setConnectionDown(true);
        return e;
    };
    // libpq's and the server's words are matched in English (the program asks for no translation of them); OpenSSL's
    // come untranslated anyway. What is not recognised is shown as libpq gives it.
    if (has("certificate verify failed"))
        return explain(QStringLiteral("Сервер базы данных не подтвердил свою подлинность: его сертификат не "
                                      "подписан центром сертификации, указанным в настройках подключения "
                                      "(sslrootcert)."));
    if (has("does not match host name"))
        return explain(QStringLiteral("Сертификат сервера базы данных выдан на другое имя, чем имя сервера в "
                                      "настройках подключения."));
    if (has("root certificate file"))
        return explain(QStringLiteral("Не найден файл центра сертификации (sslrootcert), которым проверяется "
                                      "сервер базы данных."));
    if (has("certificate") || has("SSL error") || has("tlsv1 alert") || has("sslv3 alert"))
        return explain(QStringLiteral("Не удалось установить шифрованное соединение с сервером базы данных: "
                                      "сертификат сервера или клиента не принят."));
    if (has("server does not support SSL"))
        return explain(QStringLiteral("Сервер базы данных не принимает шифрованные соединения, а настройки "
                                      "подключения их требуют (sslmode)."));
    // pg_hba.conf has no line for an unencrypted connection from here: the server wants encryption.
    if (has("no encryption"))
        return explain(QStringLiteral("Сервер базы данных принимает с этого компьютера только шифрованные "
                                      "соединения, а настройки подключения шифрования не требуют (sslmode)."));
    if (has("no pg_hba.conf entry"))
        return explain(QStringLiteral("Сервер базы данных не принимает подключения этой учётной записи с этого "
                                      "компьютера (настройки доступа сервера, pg_hba.conf)."));
    // The server does not tell an expired password from a wrong one, nor (with a password) an unknown login.
    if (has("password authentication failed") || has("no password supplied"))
        return explain(QStringLiteral("Сервер базы данных не принял учётную запись и пароль: такой учётной записи "
                                      "нет, пароль неверен или срок его действия истёк (сервер не говорит, что "
                                      "именно). Пароль берётся из файла ~/.pgpass или из настроек подключения."));
    if (has("role \"") && has("does not exist"))
        return explain(QStringLiteral("На сервере базы данных нет такой учётной записи (пользователя)."));
    if (has("is not permitted to log in"))
        return explain(QStringLiteral("Учётной записи базы данных запрещён вход на сервер."));
    if (has("timeout expired"))
        return explain(QStringLiteral("Сервер базы данных не ответил за отведённое время."));
    if (has("Connection refused") || has("No such file or directory") || has("could not translate host name") ||
        has("No route to host") || has("Network is unreachable") || has("could not connect to server") ||
        has("server closed the connection unexpectedly"))
        return explain(QStringLiteral("Сервер базы данных недоступен: он не запущен, или адрес сервера в "
                                      "настройках подключения неверен, или сеть не пропускает соединение."));
    if (has("the database system is starting up") || has("the database system is shutting down") ||
        has("the database system is in recovery mode"))
        return explain(QStringLiteral("Сервер базы данных запускается или останавливается и пока не принимает "
                                      "подключения."));
    if (has("session is read-only") || has("server is in hot standby mode"))
        return explain(QStringLiteral("Основной сервер базы данных недоступен: отвечает только резервный сервер, "
                                      "изменения на нём невозможны."));
    return error;
}

void throwAfterFailure(const QString& connectionName, const DbError& error, Outcome outcome)
{
    Connector& db = addConnector(connectionName);
    const QString notDone = QString::fromUtf8(kNotDoneAdvice);
    switch (classify(error, db.handle())) {
    case FailureKind::Statement:
        // A failed statement inside a transaction leaves the connection fine: it is kept. The database's own refusals
        // (closed month, build stamp, what a row may hold) are said in their words, without the server's prefix and
        // context lines.
        if (error.sqlState() == QLatin1String(sqlstate::kInsufficientPrivilege)) {
            const QString login = db.user();
            throw DbError::explained(QString::fromUtf8(kNoRightMessage).arg(login), QString(), error);
        }
        if (error.sqlState() == QLatin1String(sqlstate::kUndefinedTable) ||
            error.sqlState() == QLatin1String(sqlstate::kUndefinedColumn) ||
            error.sqlState() == QLatin1String(sqlstate::kUndefinedFunction))
            throw DbError::explained(QString::fromUtf8(kSchemaBehindMessage), QString(), error);
        if (error.sqlState().startsWith(QLatin1String(kOwnStatePrefix)) ||
            error.sqlState() == QLatin1String(sqlstate::kCheckViolation)) {
            QString text = error.text().section(u'\n', 0, 0).trimmed();
            if (text.startsWith(QLatin1String("ERROR:")))
                text = text.mid(6).trimmed();
            throw DbError(text, error.sqlState(), error.severity());
        }
        throw error;
    case FailureKind::LockTimeout:
        throw DbError::explained(QStringLiteral("Запись занята на другом рабочем месте."),
                                 QStringLiteral("Действие не выполнено, повторите его через несколько секунд."), error);
    case FailureKind::StatementTimeout:
        throw DbError::explained(QStringLiteral("База данных не ответила за отведённое время."),
                                 QStringLiteral("Действие не выполнено, повторите его позже."), error);
    case FailureKind::Conflict:
        throw DbError::explained(QStringLiteral("Те же данные одновременно менялись на другом рабочем месте."), notDone,
                                 error);
    case FailureKind::ConnectionLost:
        break;
    }
    const QString advice = QString::fromUtf8(outcome == Outcome::NotDone ? kNotDoneAdvice : kUnknownAdvice);
    DbError cause(error.text(),
                  error.sqlState().isEmpty() ? QString::fromLatin1(sqlstate::kConnectionFailure) : error.sqlState(),
                  error.severity());
    QString switched;
    if (reconnect(db, connectionName, &switched))
        throw DbError::explained(switched.isEmpty()
                                     ? QStringLiteral("Связь с базой данных была потеряна, соединение восстановлено.")
                                     : QStringLiteral("Связь с базой данных была потеряна. ") + switched,
                                 advice, cause);
    const QString reconnectText = lastErrorText(db);
    if (!reconnectText.isEmpty())
        cause.setDetails(reconnectText);
    cause.setConnectionDown(true);
    throw DbError::explained(unreachableReason(reconnectText), advice, cause);
}

} // namespace db
