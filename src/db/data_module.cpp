#include "db/data_module.h"

#include "db/connection_string.h"
#include "db/data_module_sql.h"
#include "db/db_error.h"
#include "db/listener.h"
#include "db/service.h"
#include "db/session.h"
#include "db/transaction.h"

#include <QAtomicInt>
#include <QCoreApplication>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace db {

namespace {

// The connection started by Connection::connectEarly, until a Connection of its name takes it over.
struct EarlyConnection {
    QString name;
    QString connectionString;
    ServerRole role = ServerRole::Primary;
    std::thread thread;
    std::optional<DbError> failure;
    bool nameGiven = false;         // newConnectionName() has handed the name out
    std::atomic<bool> done = false; // the thread has made the connection or failed to
};
std::mutex earlyMutex;
std::unique_ptr<EarlyConnection> early;

// An empty value is left to libpq's environment and defaults.
void addParam(ConnectParams& params, const char* key, const QString& value)
{
    if (!value.isEmpty())
        params.emplaceBack(key, value.toUtf8());
}

// Makes the connection as Connection::open() does; throws DbError.
void connectNamed(const QString& name, const QString& connectionString, ServerRole role)
{
    const ConnectionOptions o = parseConnectionString(connectionString);
    ConnectParams params;
    addParam(params, "host", o.server);
    addParam(params, "dbname", o.database);
    addParam(params, "user", o.user);
    addParam(params, "password", o.password);
    if (o.port != -1)
        params.emplaceBack("port", QByteArray::number(o.port));
    addConnectOptions(params, o.sslMode, role);
    Connector& db = addConnector(name);
    if (!db.open(params))
        throw explainConnectFailure(DbError(db.lastError()));
    prepareSession(db, name);
}

// The early connection of that name, once its thread has ended (nullptr when there is none).
std::unique_ptr<EarlyConnection> takeEarly(const QString& name)
{
    std::unique_ptr<EarlyConnection> e;
    {
        std::lock_guard lock(earlyMutex);
        if (!early || early->name != name)
            return nullptr;
        e = std::move(early);
    }
    e->thread.join();
    return e;
}

bool earlyPending(const QString& name)
{
    std::lock_guard lock(earlyMutex);
    return early && early->name == name;
}

} // namespace

namespace {

// At the end of the program: a connection started early and never taken over is waited for.
void joinEarly()
{
    std::unique_ptr<EarlyConnection> e;
    {
        std::lock_guard lock(earlyMutex);
        e = std::move(early);
    }
    if (e)
        e->thread.join();
}

} // namespace

void Connection::connectEarly(const QString& connectionString, ServerRole role)
{
    if (!QCoreApplication::instance())
        return;
    const QString name = Database::newConnectionName();
    std::lock_guard lock(earlyMutex);
    if (early)
        return;
    qAddPostRoutine(joinEarly);
    early = std::make_unique<EarlyConnection>();
    early->name = name;
    early->connectionString = connectionString;
    early->role = role;
    EarlyConnection* e = early.get();
    e->thread = std::thread([e] {
        try {
            connectNamed(e->name, e->connectionString, e->role);
        } catch (const DbError& error) {
            e->failure = error;
        } catch (const std::exception& error) {
            // libpq could not be loaded
            e->failure = DbError(QString::fromLocal8Bit(error.what()));
        }
        e->done = true;
    });
}

bool Connection::connectingEarly()
{
    std::lock_guard lock(earlyMutex);
    return early && !early->done;
}

Connection::Connection(const QString& name, ServerRole role)
    : name_(name)
    , role_(role)
{
}

Connection::~Connection()
{
    takeEarly(name_);
    close();
    removeConnector(name_);
}

void Connection::configure(const QString& arg1, const QString& arg2, const QString& service)
{
    service_ = service;
    // With a service the arguments matter only as a pair, as they do for the built-in connection.
    connectionString_ = service.isEmpty() || !arg2.isEmpty() ? connectionStringFor(arg1, arg2) : QString();
}

void Connection::open()
{
    if (const std::unique_ptr<EarlyConnection> e = takeEarly(name_)) {
        // A personal login connects as its service says, never through the built-in connection started early.
        if (service_.isEmpty() && e->connectionString == connectionString_ && e->role == role_) {
            if (e->failure)
                throw *e->failure;
            return;
        }
    }
    close();
    if (service_.isEmpty()) {
        connectNamed(name_, connectionString_, role_);
        return;
    }
    if (!validServiceName(service_))
        throw DbError(QStringLiteral("Недопустимое имя службы подключения «%1».").arg(service_));
    // Whatever the service leaves out, libpq takes from its environment and defaults; only the database has
    // the program's own default, since libpq's (the login's name) is never the journal's database.
    const ServiceDefinition def = findService(service_);
    const ConnectionOptions o = parseConnectionString(connectionString_);
    QString database = o.database;
    if (connectionString_.isEmpty() && !def.settings.contains(QStringLiteral("dbname")) &&
        qEnvironmentVariableIsEmpty("PGDATABASE"))
        database = QString::fromLatin1(kDefaultDatabase);
    ConnectParams params;
    addParam(params, "host", o.server);
    addParam(params, "dbname", database);
    params.emplaceBack("service", service_.toUtf8());
    addConnectOptions(params, QString(), role_);
    Connector& db = addConnector(name_);
    if (!db.open(params))
        throw explainConnectFailure(DbError(db.lastError()));
    prepareSession(db, name_);
}

void Connection::close()
{
    // An early connection is not this one's until open() takes it over.
    if (earlyPending(name_))
        return;
    if (Connector* db = findConnector(name_))
        db->close();
}

bool Connection::isOpen() const
{
    if (earlyPending(name_))
        return false;
    const Connector* db = findConnector(name_);
    return db && db->isOpen();
}

} // namespace db

using db::FieldDef;
using db::FieldType;

namespace {

QList<FieldDef> smenaFields(int shift)
{
    return {
        {"id", FieldType::Integer, 0, 0, true},
        {"data", FieldType::DateTime},
        {"smena", FieldType::SmallInt},
        {"i_id", FieldType::Integer},
        {"o_id", FieldType::Integer},
        {"w_id", FieldType::Integer},
        {"cena", FieldType::Double},
        {"fio", FieldType::Text, 50},
        {"marka", FieldType::Text, 50},
        {"vid", FieldType::Text, 50},
        {"nmn", FieldType::Text, 255},
        {"naimen", FieldType::SmallInt},
        {"brak", FieldType::SmallInt},
        {"kol_vo", FieldType::Numeric, 28, shift == 1 ? 0 : 6, true},
        {"summa", FieldType::Double},
        {"color", FieldType::Integer},
        {"time", FieldType::Integer},
        {"ok", FieldType::Text, 255},
        {"vvod", FieldType::DateTime},
        {"prize", FieldType::Double, 0, 0, true},
        {"id_doc", FieldType::Numeric, 15, 0, true},
        {"id_doc_item", FieldType::Numeric, 15, 0, true},
        {"f_gds_qty_use", FieldType::Double, 0, 0, true},
        {"id_gds_use", FieldType::Numeric, 15, 0, true},
        {"id_cons_use", FieldType::Numeric, 15, 0, true},
    };
}

QList<FieldDef> hTabelFields(int shift)
{
    QList<FieldDef> f;
    if (shift == 3) {
        f = {{"fio", FieldType::Text, 50},
             {"w_id", FieldType::Integer},
             {"month", FieldType::SmallInt},
             {"year", FieldType::SmallInt},
             {"smena", FieldType::SmallInt},
             {"id", FieldType::Integer, 0, 0, true},
             {"summ", FieldType::Integer, 0, 0, true}};
        for (int d = 1; d <= 31; ++d)
            f.append({QStringLiteral("d%1").arg(d), FieldType::SmallInt});
        return f;
    }
    f = {{"fio", FieldType::NarrowText, shift == 2 ? 128 : 254, 0, true},
         {"w_id", FieldType::Integer, 0, 0, true},
         {"month", FieldType::Integer, 0, 0, true},
         {"year", FieldType::Integer, 0, 0, true},
         {"smena", FieldType::Integer, 0, 0, true},
         {"id", FieldType::Integer, 0, 0, true},
         {"summ", FieldType::Integer, 0, 0, true}};
    for (int d = 1; d <= 31; ++d)
        f.append({QStringLiteral("d%1").arg(d), FieldType::Integer, 0, 0, true});
    return f;
}

} // namespace

QString Database::newConnectionName()
{
    {
        // The early connection's name goes to the first connection asked for after it was started.
        std::lock_guard lock(db::earlyMutex);
        if (db::early && !db::early->nameGiven && !db::early->name.isEmpty()) {
            db::early->nameGiven = true;
            return db::early->name;
        }
    }
    static QAtomicInt counter;
    return QString::fromLatin1(db::kProgramConnectionPrefix) + QString::number(counter.fetchAndAddRelaxed(1));
}

Database::Database(QObject* parent)
    : QObject(parent)
    , ADO_DB(newConnectionName())
    , Reports(newConnectionName(), db::ServerRole::PreferStandby)
{
    db::registerOnDemand(Reports.name(), [this] {
        Reports.setConnectionString(ADO_DB.connectionString());
        Reports.setService(ADO_DB.service());
        Reports.open();
    });
    setObjectName(QStringLiteral("database"));
    const QString cn = ADO_DB.name();
    auto query = [&](const char* name) { return new db::Dataset(cn, QString::fromLatin1(name), this); };
    auto command = [&](const char* name) { return new db::Command(cn, QString::fromLatin1(name), this); };

    Workers = query("Workers");
    Workers->setSql(db::dmsql::kWorkers);
    Workers->setFieldDefs({{"id", FieldType::Integer},
                           {"fio", FieldType::NarrowText, 254},
                           {"s_staffpos_hl", FieldType::NarrowText, 254}});

    Izdel = query("Izdel");
    Izdel->setSql(db::dmsql::kIzdel);
    Izdel->setFieldDefs({{"marka", FieldType::Text, 254},
                         {"id", FieldType::Numeric, 15, 0},
                         {"nom", FieldType::Text, 255},
                         {"massa", FieldType::Numeric, 28, 6},
                         {"id_class_item", FieldType::Numeric, 15, 0}});

    Vid_oper = query("Vid_oper");
    Vid_oper->setSql(db::dmsql::kVidOper);
    // The operation kinds catalogue adds, renames and deletes kinds through this query.
    Vid_oper->setUpdateTable(QStringLiteral("accounts_dep.vid_oper"), QStringLiteral("id"));
    Vid_oper->setFieldDefs({{"VID", FieldType::Text, 50}, {"ID", FieldType::Integer, 0, 0, true}});

    Oper = query("Oper");
    Oper->setSqlLines(db::dmsql::kOperLines);
    Oper->setFieldDefs({{"id", FieldType::Integer, 0, 0, true},
                        {"MARKA", FieldType::Text, 50},
                        {"VID", FieldType::Text, 50},
                        {"NAIMEN", FieldType::SmallInt},
                        {"i_id", FieldType::Integer},
                        {"oper_vid", FieldType::Integer},
                        {"nmn", FieldType::Text, 255},
                        {"norma", FieldType::BigInt, 0, 0, true},
                        {"cena", FieldType::Numeric, 28, 4, true}});

    db::Dataset** smena[] = {&Smena1, &Smena2, &Smena3, &Smena4};
    for (int s = 1; s <= 4; ++s) {
        db::Dataset* d = new db::Dataset(cn, QStringLiteral("Smena%1").arg(s), this);
        d->setSqlLines(db::dmsql::smenaLines(s));
        d->setFieldDefs(smenaFields(s));
        *smena[s - 1] = d;
    }

    db::Dataset** tabel[] = {&H_Tabel_1, &H_Tabel_2, &H_Tabel_3};
    for (int s = 1; s <= 3; ++s) {
        db::Dataset* d = new db::Dataset(cn, QStringLiteral("H_Tabel_%1").arg(s), this);
        d->setSqlLines(db::dmsql::hTabelLines(s));
        d->setFieldDefs(hTabelFields(s));
        *tabel[s - 1] = d;
    }

    Oper_ins = command("Oper_ins");
    Oper_ed = command("Oper_ed");
    Oper_del = command("Oper_del");
    Oper_del->setText(db::dmsql::kOperDel);
    Control = query("Control");
    DelSmena = command("DelSmena");
    H_Tabel_ins = command("H_Tabel_ins");
    SQL_exec = command("SQL_exec");
}

Database::~Database()
{
    db::unregisterOnDemand(Reports.name());
    // Datasets go with their parent; the connection closes in its own destructor.
}

db::Dataset* Database::smenaQuery(int shift) const
{
    switch (shift) {
    case 2:
        return Smena2;
    case 3:
        return Smena3;
    case 4:
        return Smena4;
    default:
        return Smena1;
    }
}

db::Listener* Database::announcements()
{
    if (!announcements_)
        announcements_ = new db::Listener(ADO_DB.name(), this);
    announcements_->listen();
    return announcements_;
}

int Database::countOf(const QString& statement)
{
    Control->setSqlLines({statement});
    Control->open();
    const int count = Control->asInt(QString::fromLatin1(db::dmsql::kCountColumn));
    Control->close();
    return count;
}

bool Database::CheckDuplicate(const QString& statement, const QString& message)
{
    if (countOf(statement) <= 0)
        return false;
    if (!showRefusal)
        throw db::DbError(message);
    showRefusal(message);
    return true;
}
