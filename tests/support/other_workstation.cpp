#include "support/other_workstation.h"

#include <QElapsedTimer>
#include <QThread>

#include <stdexcept>

db::Result run(db::Connector& db, const QString& sql)
{
    try {
        return db.exec(sql);
    } catch (const db::DbError& e) {
        throw std::runtime_error((sql + QStringLiteral(": ") + e.text()).toStdString());
    }
}

db::Connector& connectAs(const QString& name, TestDatabase& target, const QString& user)
{
    return connectToCluster(name, target.server(), target.name(), user);
}

namespace {

int waiters(db::Connector& c)
{
    db::Result w = run(c, QStringLiteral("select count(*) from pg_locks where not granted"));
    return w.next() ? w.value(0).toInt() : 0;
}

} // namespace

OtherWorkstation::OtherWorkstation(TestDatabase& db, QString name, QStringList statements, int waitersBeforeEnd,
                                   QString end, QString user)
{
    thread_ = QThread::create([this, &db, name, statements, waitersBeforeEnd, end, user] {
        try {
            {
                db::Connector& c = connectAs(name, db, user);
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
            db::removeConnector(name);
        } catch (const std::exception& e) {
            error_ = QString::fromUtf8(e.what());
            if (!readySet_)
                ready_.set_value();
            db::removeConnector(name);
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
