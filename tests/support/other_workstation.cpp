#include "support/other_workstation.h"

#include <QElapsedTimer>
#include <QSqlError>
#include <QThread>

#include <stdexcept>

QSqlQuery run(QSqlDatabase& db, const QString& sql)
{
    QSqlQuery q(db);
    if (!q.exec(sql))
        throw std::runtime_error((sql + QStringLiteral(": ") + q.lastError().text()).toStdString());
    return q;
}

QSqlDatabase connectAs(const QString& name, TestDatabase& target, const QString& user)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
    db.setHostName(target.server());
    db.setPort(5432);
    db.setUserName(user);
    db.setPassword(QStringLiteral("wumbral"));
    db.setDatabaseName(target.name());
    if (!db.open())
        throw std::runtime_error(db.lastError().text().toStdString());
    return db;
}

namespace {

int waiters(QSqlDatabase& c)
{
    QSqlQuery w = run(c, QStringLiteral("select count(*) from pg_locks where not granted"));
    return w.next() ? w.value(0).toInt() : 0;
}

} // namespace

OtherWorkstation::OtherWorkstation(TestDatabase& db, QString name, QStringList statements, int waitersBeforeEnd,
                                   QString end, QString user)
{
    thread_ = QThread::create([this, &db, name, statements, waitersBeforeEnd, end, user] {
        try {
            {
                QSqlDatabase c = connectAs(name, db, user);
                run(c, QStringLiteral("begin"));
                for (const QString& sql : statements)
                    run(c, sql);
                readySet_ = true;
                ready_.set_value();
                QElapsedTimer t;
                t.start();
                while (waiters(c) < waitersBeforeEnd && t.elapsed() < 10000)
                    QThread::msleep(20);
                sawWaiters_ = waiters(c) >= waitersBeforeEnd;
                run(c, end);
            }
            QSqlDatabase::removeDatabase(name);
        } catch (const std::exception& e) {
            error_ = QString::fromUtf8(e.what());
            if (!readySet_)
                ready_.set_value();
            QSqlDatabase::removeDatabase(name);
        }
    });
    thread_->start();
    ready_.get_future().wait();
}

OtherWorkstation::~OtherWorkstation()
{
    finish();
}

bool OtherWorkstation::finish()
{
    if (thread_) {
        thread_->wait();
        delete thread_;
        thread_ = nullptr;
    }
    return error_.isEmpty();
}
