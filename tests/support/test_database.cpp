#include "support/test_database.h"

#include "db/connection_string.h"

#include <QAtomicInt>
#include <QCoreApplication>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

#include <stdexcept>

namespace {

// The cluster's superuser (db/pgcluster.sh writes its name beside the socket folder).
QString superuserOf(const QString& socket)
{
    QFile f(socket + QStringLiteral("/../superuser"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QStringLiteral("sys");
}

// As the program's user sys, or (admin) as the cluster's superuser, who makes and drops databases and logins.
QSqlDatabase connectTo(const QString& socket, const QString& database, const QString& name, bool admin)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(socket);
    db.setPort(5432);
    db.setUserName(admin ? superuserOf(socket) : QStringLiteral("sys"));
    db.setPassword(QStringLiteral("wumbral"));
    db.setDatabaseName(database);
    if (!db.open())
        throw std::runtime_error(("cannot connect to the test cluster: " + db.lastError().text()).toStdString());
    return db;
}

void run(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw std::runtime_error((sql + QStringLiteral(": ") + q.lastError().text()).toStdString());
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
        QSqlDatabase admin = connectTo(server_, QStringLiteral("postgres"), QStringLiteral("admin_") + name_, true);
        run(admin, QStringLiteral("drop database if exists ") + name_);
        run(admin, QStringLiteral("create database ") + name_ + QStringLiteral(" template kesta_template owner sys"));
        admin.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("admin_") + name_);
    connection_ = QStringLiteral("test_") + name_;
    connectTo(server_, name_, connection_, false);
}

TestDatabase::~TestDatabase()
{
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
    try {
        {
            QSqlDatabase admin = connectTo(server_, QStringLiteral("postgres"), QStringLiteral("drop_") + name_, true);
            run(admin, QStringLiteral("drop database if exists ") + name_ + QStringLiteral(" with (force)"));
            admin.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("drop_") + name_);
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
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    run(db, sql);
}

QVariant TestDatabase::scalar(const QString& sql)
{
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw std::runtime_error((sql + QStringLiteral(": ") + q.lastError().text()).toStdString());
    return q.next() ? q.value(0) : QVariant();
}

void TestDatabase::execAdmin(const QString& sql)
{
    const QString name = QStringLiteral("maint_") + name_;
    {
        QSqlDatabase admin = connectTo(server_, QStringLiteral("postgres"), name, true);
        run(admin, sql);
        admin.close();
    }
    QSqlDatabase::removeDatabase(name);
}

QList<QVariantList> TestDatabase::rows(const QString& sql)
{
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw std::runtime_error((sql + QStringLiteral(": ") + q.lastError().text()).toStdString());
    QList<QVariantList> out;
    while (q.next()) {
        QVariantList row;
        for (int i = 0; i < q.record().count(); ++i)
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
