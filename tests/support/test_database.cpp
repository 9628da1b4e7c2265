#include "support/test_database.h"

#include "db/connection_string.h"
#include "db/connector.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QFile>
#include <QUuid>

#include <stdexcept>

db::Connector& connectToCluster(const QString& name, const QString& socket, const QString& database,
                                const QString& user)
{
    db::Connector& db = db::addConnector(name);
    const db::ConnectParams params = {{"host", socket.toUtf8()},   {"port", "5432"},
                                      {"user", user.toUtf8()},     {"password", "wumbral"},
                                      {"dbname", database.toUtf8()}};
    if (!db.open(params)) {
        const QString error = db.lastError();
        db::removeConnector(name);
        throw std::runtime_error(("cannot connect to the test cluster: " + error).toStdString());
    }
    return db;
}

namespace {

// The cluster's superuser (db/pgcluster.sh writes its name beside the socket folder).
QString superuserOf(const QString& socket)
{
    QFile f(socket + QStringLiteral("/../superuser"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QStringLiteral("sys");
}

// As the program's user sys, or (admin) as the cluster's superuser, who makes and drops databases and logins.
db::Connector& connectTo(const QString& socket, const QString& database, const QString& name, bool admin)
{
    return connectToCluster(name, socket, database, admin ? superuserOf(socket) : QStringLiteral("sys"));
}

db::Result run(db::Connector& db, const QString& sql)
{
    try {
        return db.exec(sql);
    } catch (const db::DbError& e) {
        throw std::runtime_error((sql + QStringLiteral(": ") + e.text()).toStdString());
    }
}

} // namespace

QString TestDatabase::clusterSocket()
{
    const QByteArray file = qgetenv("KESTA_TEST_PGDIR_FILE");
    QFile f(QString::fromLocal8Bit(file));
    if (file.isEmpty() || !f.open(QIODevice::ReadOnly))
        throw std::runtime_error("the test cluster is not running (run the tests through ctest)");
    return QString::fromLocal8Bit(f.readAll()).trimmed() + QStringLiteral("/sock");
}

TestDatabase::TestDatabase()
{
    static QAtomicInt counter;
    server_ = clusterSocket();
    name_ = QStringLiteral("t_%1_%2").arg(QCoreApplication::applicationPid()).arg(counter.fetchAndAddRelaxed(1));
    {
        db::Connector& admin = connectTo(server_, QStringLiteral("postgres"), QStringLiteral("admin_") + name_, true);
        run(admin, QStringLiteral("drop database if exists ") + name_);
        run(admin, QStringLiteral("create database ") + name_ + QStringLiteral(" template kesta_template owner sys"));
    }
    db::removeConnector(QStringLiteral("admin_") + name_);
    connection_ = QStringLiteral("test_") + name_;
    connectTo(server_, name_, connection_, false);
}

TestDatabase::~TestDatabase()
{
    db::removeConnector(connection_);
    try {
        {
            db::Connector& admin = connectTo(server_, QStringLiteral("postgres"), QStringLiteral("drop_") + name_, true);
            run(admin, QStringLiteral("drop database if exists ") + name_ + QStringLiteral(" with (force)"));
        }
        db::removeConnector(QStringLiteral("drop_") + name_);
    } catch (...) {
        // the cluster goes away with the test run anyway
    }
}

QString TestDatabase::connectionString() const
{
    return db::assembleConnectionString(name_, server_);
}

void TestDatabase::exec(const QString& sql)
{
    run(*db::findConnector(connection_), sql);
}

QVariant TestDatabase::scalar(const QString& sql)
{
    db::Result q = run(*db::findConnector(connection_), sql);
    return q.next() ? q.value(0) : QVariant();
}

void TestDatabase::execAdmin(const QString& sql)
{
    const QString name = QStringLiteral("maint_") + name_;
    {
        db::Connector& admin = connectTo(server_, QStringLiteral("postgres"), name, true);
        try {
            run(admin, sql);
        } catch (...) {
            db::removeConnector(name);
            throw;
        }
    }
    db::removeConnector(name);
}

QList<QVariantList> TestDatabase::rows(const QString& sql)
{
    db::Result q = run(*db::findConnector(connection_), sql);
    QList<QVariantList> out;
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.columnCount(); ++i)
            row.append(q.value(i));
        out.append(row);
    }
    return out;
}

void loadSmallShop(TestDatabase& db)
{
    db.exec(QStringLiteral(
        "insert into cmn_contractor.person (id, s_caption, s_code) values (1, 'Иванов И.И.', '1'), (2, 'Петрова А.С.', "
        "'2');"
        "select setval('cmn_contractor.person_id_seq', 100);"
        "insert into cmn_gds_and_srv.gds_and_srv (id, s_caption, s_name, s_description, id_msm_bs, massa)"
        " values (1, 'ДМ-101', 'Дверь металлическая', '', 6, 2), (2, 'ОК-205', 'Окно', '', 6, 0.5);"
        "select setval('cmn_gds_and_srv.gds_and_srv_id_seq', 100);"
        "insert into accounts_dep.vid_oper (id, vid) values (1, 'РЕЗКА'), (2, 'КРАСКА');"
        "select setval('accounts_dep.vid_oper_id_seq', 100);"
        "insert into accounts_dep.oper (id, vid, naimen, i_id, cena_new) values (1, 1, 0, 1, 0), (2, 2, 1, 2, 0);"
        "select setval('accounts_dep.oper_id_seq', 100);"
        "insert into accounts_dep.norm (o_id, norma, price, prize) values (1, 100, 12.5, 0), (1, 200, 10.25, 5),"
        " (2, 50, 30, 0);"));
}

void addJournalRow(TestDatabase& db, int id, int worker, int shift, const QDate& date, int hours)
{
    db.exec(QStringLiteral("insert into accounts_dep.smena (id, w_id, i_id, o_id, cena, kol_vo, brak, data, smena,"
                           " color, time, ok, vvod, prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use,"
                           " id_cons_use) values (%1, %2, 1, 1, 12.5, 10, 0, '%3', %4, 0, %5, 'no', '%3', 0, 0, 0,"
                           " 0, 0, 0)")
                .arg(id)
                .arg(worker)
                .arg(date.toString(Qt::ISODate))
                .arg(shift)
                .arg(hours));
}
