// The data module: the one database connection and the datasets and commands that several windows share.
#pragma once

#include "db/command.h"
#include "db/dataset.h"
#include "db/session.h"

#include <QObject>
#include <QString>

#include <functional>

namespace db {

class Listener;

// The one connection of the program. Options come from the keys of the ODBC-style connection string, or, with a
// connection service (a person's own login), from the service's settings.
class Connection {
public:
    explicit Connection(const QString& name, ServerRole role = ServerRole::Primary);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    QString name() const { return name_; }
    QString connectionString() const { return connectionString_; }
    void setConnectionString(const QString& text) { connectionString_ = text; }
    // A libpq service (pg_service.conf) to connect through instead of the built-in user: its settings give the
    // server, the database, the login and how it proves itself (~/.pgpass, Kerberos, a certificate) and the
    // encryption (sslmode). A connection string set as well gives only the database and the server, which then
    // take the place of the service's. Empty: the connection string alone.
    QString service() const { return service_; }
    void setService(const QString& name) { service_ = name; }
    // From the command line: arguments 1 and 2 (the database and the server, which select the assembled
    // connection string as documented) and the service chosen for this start (db::chooseService).
    void configure(const QString& arg1, const QString& arg2, const QString& service);
    // Connects and prepares the session (day-first dates, standard strings, UTF8). Throws DbError.
    void open();
    // Connecting takes a while (the server starts a process for each connection): the program starts its first
    // connection on a thread of its own once its first window is on the screen, with the same statements in the
    // same order. The next connection named by Database::newConnectionName() takes it over in open() when it is for
    // the same connection string and role (waiting for it if need be, and throwing its failure as open() would), and
    // drops it otherwise. Needs the application object.
    static void connectEarly(const QString& connectionString, ServerRole role = ServerRole::Primary);
    // Whether the connection started early is still being made.
    static bool connectingEarly();
    void close();
    bool isOpen() const;

private:
    QString name_;
    QString connectionString_;
    QString service_;
    ServerRole role_;
};

} // namespace db

class Database : public QObject {
    Q_OBJECT
public:
    explicit Database(QObject* parent = nullptr);
    ~Database() override;

    db::Connection ADO_DB;
    // The reports' and exports' connection: read-only, on a standby when the address list has one, opened the
    // first time a report reads (datasets name it by reportConnectionName()).
    db::Connection Reports;
    QString reportConnectionName() const { return Reports.name(); }

    db::Dataset* Workers;
    db::Dataset* Izdel;
    db::Dataset* Vid_oper;
    db::Dataset* Oper;
    db::Dataset* Smena1;
    db::Dataset* Smena2;
    db::Dataset* Smena3;
    db::Dataset* Smena4;
    db::Dataset* H_Tabel_1;
    db::Dataset* H_Tabel_2;
    db::Dataset* H_Tabel_3;
    db::Command* Oper_ins;
    db::Command* Oper_ed;
    db::Command* Oper_del;
    db::Dataset* Control;
    db::Command* DelSmena;
    db::Command* H_Tabel_ins;
    db::Command* SQL_exec;

    // The database's announcements of other workstations' changes, heard on ADO_DB (listening from the first call).
    db::Listener* announcements();

    // The journal query of a shift view; any value other than 2, 3 and 4 gives shift 1.
    db::Dataset* smenaQuery(int shift) const;

    // Runs a count statement (column "cnt") on Control; when the count is above 0 shows message and gives true.
    // The message goes to showRefusal, which the window layer installs; without it the message is thrown as a
    // DbError, so that a refusal is never silent.
    // Inside a transaction use countOf and show the refusal after the rollback: no message while locks are held.
    bool CheckDuplicate(const QString& statement, const QString& message);
    // Runs a count statement (column "cnt") on Control and returns the count.
    int countOf(const QString& statement);
    std::function<void(const QString& message)> showRefusal;

private:
    friend class db::Connection; // its early connection takes the first data module's name
    static QString newConnectionName();
    db::Listener* announcements_ = nullptr;
};
