#include "db/batch.h"

#include "db/dataset.h"
#include "db/db_error.h"

#include "db/connector.h"

#include "db/libpq.h"

#include <optional>

namespace db {

namespace {

DbError errorOf(const PGresult* r, PGconn* conn)
{
    return statementError(r, conn);
}

} // namespace

Batch::Batch(const QString& connectionName)
    : connectionName_(connectionName)
{
}

Batch::~Batch()
{
    for (PGresult* r : results_)
        pq().clear(r);
}

int Batch::add(const QString& text)
{
    texts_.append(text);
    return int(texts_.size()) - 1;
}

void Batch::run(Outcome outcomeIfLost)
{
    if (ran_)
        throw DbError(QStringLiteral("Внутренняя ошибка: пакет запросов уже выполнен."));
    ran_ = true;
    if (texts_.isEmpty())
        return;
    Connector& db = openConnection(connectionName_);
    PGconn* conn = db.handle();
    results_.assign(texts_.size(), nullptr);

    std::optional<DbError> failure;
    // The statement whose answer was the failure; -1 when the connection broke without one.
    int failedIndex = -1;
    {
        ServerWait wait(db);
        if (pq().enterPipelineMode(conn) != 1) {
            // The connection is busy with something else (it never is between statements): one by one instead.
            for (int i = 0; i < texts_.size() && !failure; ++i) {
                results_[i] = pq().exec(conn, texts_[i].toUtf8().constData());
                const ExecStatusType st = pq().resultStatus(results_[i]);
                if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK) {
                    failure = errorOf(results_[i], conn);
                    failedIndex = i;
                }
            }
        } else {
            bool sent = true;
            for (const QString& t : texts_)
                sent = sent && pq().sendQueryParams(conn, t.toUtf8().constData(), 0, nullptr, nullptr, nullptr, nullptr,
                                                 0) == 1;
            sent = sent && pq().pipelineSync(conn) == 1;
            if (!sent)
                failure = errorOf(nullptr, conn);
            // Every answer is read up to the end of the batch, whatever failed, so that the connection is left
            // ready for the next statement.
            int index = 0;
            while (sent) {
                PGresult* r = pq().getResult(conn);
                if (!r) {
                    if (pq().status(conn) != CONNECTION_OK) {
                        if (!failure)
                            failure = errorOf(nullptr, conn);
                        break;
                    }
                    continue; // the end of one statement's results
                }
                const ExecStatusType st = pq().resultStatus(r);
                if (st == PGRES_PIPELINE_SYNC) {
                    pq().clear(r);
                    break;
                }
                if (index < int(results_.size()) && !results_[index]) {
                    results_[index] = r;
                    if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK && !failure) {
                        failure = errorOf(r, conn);
                        failedIndex = index;
                    }
                    ++index;
                } else {
                    pq().clear(r);
                }
            }
            pq().exitPipelineMode(conn);
        }
    }
    db.statementDone();
    // The server answers in order: a statement before the last that failed (a backend ended while it waited for a
    // lock, say) aborted the transaction before the commit at the end ran, so nothing was written. Only a failure at
    // the last statement, or a connection that broke without an answer, leaves the outcome open.
    if (failure && failedIndex >= 0 && failedIndex < int(texts_.size()) - 1)
        outcomeIfLost = Outcome::NotDone;
    if (failure)
        throwAfterFailure(connectionName_, *failure, outcomeIfLost);
}

const PGresult* Batch::result(int index) const
{
    if (!ran_ || index < 0 || index >= int(results_.size()) || !results_[index])
        throw DbError(QStringLiteral("Внутренняя ошибка: нет результата запроса %1 пакета.").arg(index + 1));
    return results_[index];
}

int Batch::rowsAffected(int index) const
{
    return QByteArray(pq().cmdTuples(const_cast<PGresult*>(result(index)))).toInt();
}

int Batch::rowCount(int index) const
{
    return pq().ntuples(result(index));
}

bool Batch::isNull(int index, int row, int column) const
{
    const PGresult* r = result(index);
    if (row < 0 || row >= pq().ntuples(r) || column < 0 || column >= pq().nfields(r))
        return true;
    return pq().getisnull(r, row, column);
}

QString Batch::text(int index, int row, int column) const
{
    if (isNull(index, row, column))
        return QString();
    return QString::fromUtf8(pq().getvalue(result(index), row, column));
}

double Batch::number(int index, int row, int column) const
{
    if (isNull(index, row, column))
        return 0;
    const PGresult* r = result(index);
    return readNumber(pq().getvalue(r, row, column), pq().getlength(r, row, column));
}

QString Batch::commandStatus(int index) const
{
    return QString::fromLatin1(pq().cmdStatus(const_cast<PGresult*>(result(index))));
}

FetchedRows Batch::rows(int index, const std::function<QVector<FieldType>(const QStringList&)>& typesFor) const
{
    return readRows(result(index), typesFor);
}

OpenTogether::OpenTogether(Batch& batch, const QList<Dataset*>& datasets)
    : batch_(batch)
{
    for (Dataset* d : datasets)
        if (!d->isOpen())
            reads_.append({d, batch.add(d->statementToOpen())});
}

void OpenTogether::load()
{
    // Every result is converted before any dataset shows it, so that a bad value leaves them all as they were.
    std::vector<FetchedRows> fetched;
    fetched.reserve(reads_.size());
    for (const auto& [d, index] : reads_)
        fetched.push_back(batch_.rows(index, [d](const QStringList& names) {
            QVector<FieldType> types;
            for (const QString& n : names) {
                const FieldDef* f = d->fieldDef(n);
                types.append(f ? f->type : FieldType::Auto);
            }
            return types;
        }));
    for (int i = 0; i < reads_.size(); ++i)
        reads_[i].first->openWith(std::move(fetched[i]));
}

} // namespace db
