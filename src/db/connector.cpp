#include "db/connector.h"

#include "db/libpq.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <map>
#include <mutex>
#include <vector>

namespace db {

namespace {

// Type oids of the server's built-in types that a result reads as other than text.
enum : Oid {
    kBool = 16,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kOid = 26,
    kFloat4 = 700,
    kFloat8 = 701,
    kNumeric = 1700,
    kDate = 1082,
    kTime = 1083,
    kTimestamp = 1114,
    kTimestampTz = 1184,
    kTimeTz = 1266,
};

QMetaType::Type metaTypeOf(Oid type)
{
    switch (type) {
    case kBool:
        return QMetaType::Bool;
    case kInt2:
    case kInt4:
        return QMetaType::Int;
    case kInt8:
        return QMetaType::LongLong;
    case kOid:
        return QMetaType::UInt;
    case kFloat4:
    case kFloat8:
    case kNumeric:
        return QMetaType::Double;
    case kDate:
        return QMetaType::QDate;
    case kTime:
    case kTimeTz:
        return QMetaType::QTime;
    case kTimestamp:
    case kTimestampTz:
        return QMetaType::QDateTime;
    default:
        return QMetaType::QString;
    }
}

QVariant decode(const char* s, int length, Oid type)
{
    const QByteArray text = QByteArray::fromRawData(s, length);
    switch (type) {
    case kBool:
        return QVariant(length > 0 && s[0] == 't');
    case kInt2:
    case kInt4:
        return QVariant(text.toInt());
    case kInt8:
        return QVariant(text.toLongLong());
    case kOid:
        return QVariant(text.toUInt());
    case kFloat4:
    case kFloat8:
    case kNumeric: {
        // The server writes numbers in the C notation, whatever the locale.
        if (text == "NaN")
            return QVariant(qQNaN());
        if (text == "Infinity")
            return QVariant(qInf());
        if (text == "-Infinity")
            return QVariant(-qInf());
        return QVariant(text.toDouble());
    }
    case kDate:
        return QVariant(QDate::fromString(QString::fromLatin1(text), Qt::ISODate));
    case kTime:
    case kTimeTz:
        return QVariant(QTime::fromString(QString::fromLatin1(text.left(text.indexOf('+') < 0 ? -1 : text.indexOf('+'))),
                                          Qt::ISODateWithMs));
    case kTimestamp:
    case kTimestampTz: {
        QString t = QString::fromLatin1(text);
        // ISO wants the offset as +HH:MM; the server may write +HH.
        if (t.size() > 3 && (t.at(t.size() - 3) == u'+' || t.at(t.size() - 3) == u'-'))
            t += QStringLiteral(":00");
        const QDateTime at = QDateTime::fromString(t, Qt::ISODateWithMs);
        return QVariant(type == kTimestampTz ? at.toLocalTime() : at);
    }
    default:
        return QVariant(QString::fromUtf8(s, length));
    }
}

} // namespace

// ---- results ----

Result::Result(PGresult* result)
    : result_(result, [](PGresult* r) {
        if (r)
            pq().clear(r);
    })
{
}

bool Result::next()
{
    if (row_ + 1 >= size()) {
        row_ = size();
        return false;
    }
    ++row_;
    return true;
}

bool Result::isNull(int column) const
{
    const PGresult* r = result_.get();
    if (!r || row_ < 0 || row_ >= pq().ntuples(r) || column < 0 || column >= pq().nfields(r))
        return true;
    return pq().getisnull(r, row_, column);
}

QVariant Result::value(int column) const
{
    const PGresult* r = result_.get();
    if (!r || column < 0 || column >= pq().nfields(r))
        return QVariant();
    // A null keeps its column's type, so that it compares equal to a null of that type.
    if (isNull(column))
        return QVariant(QMetaType(metaTypeOf(pq().ftype(r, column))));
    return decode(pq().getvalue(r, row_, column), pq().getlength(r, row_, column), pq().ftype(r, column));
}

int Result::size() const
{
    return result_ ? pq().ntuples(result_.get()) : 0;
}

int Result::columnCount() const
{
    return result_ ? pq().nfields(result_.get()) : 0;
}

QString Result::columnName(int column) const
{
    return result_ && column >= 0 && column < columnCount() ? QString::fromUtf8(pq().fname(result_.get(), column))
                                                            : QString();
}

int Result::numRowsAffected() const
{
    return result_ ? QByteArray(pq().cmdTuples(result_.get())).toInt() : 0;
}

QString Result::commandStatus() const
{
    return result_ ? QString::fromLatin1(pq().cmdStatus(result_.get())) : QString();
}

// ---- the connection ----

DbError statementError(const PGresult* r, PGconn* conn)
{
    QString text = r ? QString::fromUtf8(pq().resultErrorMessage(r)) : QString();
    if (text.trimmed().isEmpty() && conn)
        text = QString::fromUtf8(pq().errorMessage(conn));
    const QString state = r ? QString::fromLatin1(pq().resultErrorField(r, PG_DIAG_SQLSTATE)) : QString();
    const QString severity = r ? QString::fromLatin1(pq().resultErrorField(r, PG_DIAG_SEVERITY_NONLOCALIZED)) : QString();
    if (!state.isEmpty())
        text += QStringLiteral("(%1)").arg(state);
    return DbError(text.trimmed(), state, severity);
}

Connector::~Connector()
{
    close();
}

bool Connector::open(const ConnectParams& params)
{
    close();
    params_ = params;
    std::vector<const char*> keys, values;
    for (const auto& [key, value] : params_) {
        keys.push_back(key.constData());
        values.push_back(value.constData());
    }
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn* conn = pq().connectdbParams(keys.data(), values.data(), 0);
    if (!conn || pq().status(conn) != CONNECTION_OK) {
        lastError_ = conn ? QString::fromUtf8(pq().errorMessage(conn)).trimmed()
                          : QStringLiteral("out of memory");
        if (conn)
            pq().finish(conn);
        return false;
    }
    lastError_.clear();
    conn_ = conn;
    return true;
}

bool Connector::reopen()
{
    if (params_.isEmpty()) {
        lastError_ = QStringLiteral("no connection settings");
        return false;
    }
    const ConnectParams params = params_;
    return open(params);
}

void Connector::close()
{
    if (!conn_)
        return;
    pq().finish(conn_);
    conn_ = nullptr;
}

bool Connector::isOk() const
{
    return conn_ && pq().status(conn_) == CONNECTION_OK;
}

QString Connector::lastError() const
{
    if (conn_) {
        const QString now = QString::fromUtf8(pq().errorMessage(conn_)).trimmed();
        if (!now.isEmpty())
            return now;
    }
    return lastError_;
}

Result Connector::exec(const QString& text)
{
    if (!conn_)
        throw DbError(QStringLiteral("Нет подключения к базе данных."), QString::fromLatin1(sqlstate::kConnectionFailure));
    Result result(pq().exec(conn_, text.toUtf8().constData()));
    statementDone();
    const ExecStatusType status = result.handle() ? pq().resultStatus(result.handle()) : PGRES_FATAL_ERROR;
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK && status != PGRES_EMPTY_QUERY)
        throw statementError(result.handle(), conn_);
    return result;
}

bool Connector::inTransaction() const
{
    if (!conn_)
        return false;
    const PGTransactionStatusType status = pq().transactionStatus(conn_);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR || status == PQTRANS_ACTIVE;
}

bool Connector::inOpenTransaction() const
{
    return conn_ && pq().transactionStatus(conn_) == PQTRANS_INTRANS;
}

QString Connector::server() const
{
    if (!isOk())
        return QString();
    const char* host = pq().host(conn_);
    return host ? QString::fromLocal8Bit(host) : QString();
}

QString Connector::user() const
{
    const char* login = conn_ ? pq().user(conn_) : nullptr;
    return login ? QString::fromLocal8Bit(login) : QString();
}

int Connector::socket() const
{
    return conn_ ? pq().socket(conn_) : -1;
}

QList<Notification> Connector::notifications()
{
    QList<Notification> out;
    if (!conn_)
        return out;
    pq().consumeInput(conn_);
    const int self = pq().backendPID(conn_);
    while (PGnotify* n = pq().notifies(conn_)) {
        out.append({QString::fromUtf8(n->relname), QString::fromUtf8(n->extra), n->be_pid == self});
        pq().freemem(n);
    }
    return out;
}

void Connector::statementDone() const
{
    if (afterStatement_)
        afterStatement_();
}

// ---- the named connections ----

namespace {

std::mutex registryMutex;
std::map<QString, std::unique_ptr<Connector>>& registry()
{
    static std::map<QString, std::unique_ptr<Connector>> connectors;
    return connectors;
}

} // namespace

Connector* findConnector(const QString& name)
{
    std::lock_guard lock(registryMutex);
    const auto it = registry().find(name);
    return it == registry().end() ? nullptr : it->second.get();
}

Connector& addConnector(const QString& name)
{
    std::lock_guard lock(registryMutex);
    std::unique_ptr<Connector>& c = registry()[name];
    if (!c)
        c = std::make_unique<Connector>();
    return *c;
}

void removeConnector(const QString& name)
{
    std::unique_ptr<Connector> gone;
    {
        std::lock_guard lock(registryMutex);
        const auto it = registry().find(name);
        if (it == registry().end())
            return;
        gone = std::move(it->second);
        registry().erase(it);
    }
}

QStringList connectorNames()
{
    std::lock_guard lock(registryMutex);
    QStringList names;
    for (const auto& entry : registry())
        names.append(entry.first);
    return names;
}

} // namespace db
