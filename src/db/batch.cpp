#include "db/batch.h"

#include "db/dataset.h"
#include "db/db_error.h"

#include <QSqlDatabase>

#include <libpq-fe.h>

#include <optional>

namespace db {

namespace {

// The error as the generic SQL layer words it for one statement (the server's message, then the SQLSTATE in
// brackets), so that a refusal reads the same whichever way the statement was sent.
DbError errorOf(const PGresult* r, PGconn* conn)
{
    QString text = r ? QString::fromUtf8(PQresultErrorMessage(r)) : QString();
    if (text.trimmed().isEmpty())
        text = QString::fromUtf8(PQerrorMessage(conn));
    const QString state = r ? QString::fromLatin1(PQresultErrorField(r, PG_DIAG_SQLSTATE)) : QString();
    const QString severity = r ? QString::fromLatin1(PQresultErrorField(r, PG_DIAG_SEVERITY_NONLOCALIZED)) : QString();
    if (!state.isEmpty())
        text += QStringLiteral("(%1)").arg(state);
    return DbError(text.trimmed(), state, severity);
}

} // namespace

Batch::Batch(const QString& connectionName)
    : connectionName_(connectionName)
{
}

Batch::~Batch()
{
    for (PGresult* r : results_)
        PQclear(r);
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
    QSqlDatabase db = openConnection(connectionName_);
    PGconn* conn = pgConnection(db);
    if (!conn)
        throw DbError(QStringLiteral("Соединение с базой данных не через драйвер PostgreSQL."));
    results_.assign(texts_.size(), nullptr);

    std::optional<DbError> failure;
    // The statement whose answer was the failure; -1 when the connection broke without one.
    int failedIndex = -1;
    {
        ServerWait wait(conn);
        // What a forward-only query of the generic SQL layer left unread (it stopped at its first row) is dropped,
        // as PQexec would drop it.
        while (PGresult* stale = PQgetResult(conn))
            PQclear(stale);
        // A forward-only query of the generic SQL layer asks for its rows one by one, and libpq keeps that mode until
        // the next statement sent outside a pipeline starts: a start that sends nothing (a null text is refused after
        // the mode is reset) ends it, so that each statement of the batch comes back whole.
        PQsendQuery(conn, nullptr);
        if (PQenterPipelineMode(conn) != 1) {
            // The connection is busy with something else (it never is between statements): one by one instead.
            for (int i = 0; i < texts_.size() && !failure; ++i) {
                results_[i] = PQexec(conn, texts_[i].toUtf8().constData());
                const ExecStatusType st = PQresultStatus(results_[i]);
                if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK) {
                    failure = errorOf(results_[i], conn);
                    failedIndex = i;
                }
            }
        } else {
            bool sent = true;
            for (const QString& t : texts_)
                sent = sent && PQsendQueryParams(conn, t.toUtf8().constData(), 0, nullptr, nullptr, nullptr, nullptr,
                                                 0) == 1;
            sent = sent && PQpipelineSync(conn) == 1;
            if (!sent)
                failure = errorOf(nullptr, conn);
            // Every answer is read up to the end of the batch, whatever failed, so that the connection is left
            // ready for the next statement.
            int index = 0;
            while (sent) {
                PGresult* r = PQgetResult(conn);
                if (!r) {
                    if (PQstatus(conn) != CONNECTION_OK) {
                        if (!failure)
                            failure = errorOf(nullptr, conn);
                        break;
                    }
                    continue; // the end of one statement's results
                }
                const ExecStatusType st = PQresultStatus(r);
                if (st == PGRES_PIPELINE_SYNC) {
                    PQclear(r);
                    break;
                }
                if (st == PGRES_SINGLE_TUPLE && index < int(results_.size())) {
                    // Rows one by one after all (see above): gathered into one result.
                    if (!results_[index]) {
                        results_[index] = r;
                        continue;
                    }
                    PGresult* whole = results_[index];
                    const int row = PQntuples(whole);
                    for (int c = 0; c < PQnfields(r); ++c)
                        PQsetvalue(whole, row, c, PQgetisnull(r, 0, c) ? nullptr : PQgetvalue(r, 0, c),
                                   PQgetisnull(r, 0, c) ? -1 : PQgetlength(r, 0, c));
                    PQclear(r);
                    continue;
                }
                if (st == PGRES_TUPLES_OK && index < int(results_.size()) && results_[index] &&
                    PQresultStatus(results_[index]) == PGRES_SINGLE_TUPLE) {
                    // The end of a statement's rows sent one by one.
                    PGresult* whole = PQcopyResult(results_[index], PG_COPYRES_ATTRS | PG_COPYRES_TUPLES);
                    PQclear(results_[index]);
                    PQclear(r);
                    results_[index++] = whole;
                    continue;
                }
                if (index < int(results_.size()) && !results_[index]) {
                    results_[index] = r;
                    if (st != PGRES_TUPLES_OK && st != PGRES_COMMAND_OK && !failure) {
                        failure = errorOf(r, conn);
                        failedIndex = index;
                    }
                    ++index;
                } else {
                    PQclear(r);
                }
            }
            PQexitPipelineMode(conn);
        }
    }
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
    return QByteArray(PQcmdTuples(const_cast<PGresult*>(result(index)))).toInt();
}

int Batch::rowCount(int index) const
{
    return PQntuples(result(index));
}

bool Batch::isNull(int index, int row, int column) const
{
    const PGresult* r = result(index);
    if (row < 0 || row >= PQntuples(r) || column < 0 || column >= PQnfields(r))
        return true;
    return PQgetisnull(r, row, column);
}

QString Batch::text(int index, int row, int column) const
{
    if (isNull(index, row, column))
        return QString();
    return QString::fromUtf8(PQgetvalue(result(index), row, column));
}

double Batch::number(int index, int row, int column) const
{
    if (isNull(index, row, column))
        return 0;
    const PGresult* r = result(index);
    return readNumber(PQgetvalue(r, row, column), PQgetlength(r, row, column));
}

QString Batch::commandStatus(int index) const
{
    return QString::fromLatin1(PQcmdStatus(const_cast<PGresult*>(result(index))));
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
