// Statements sent together: over a network every statement that waits for the one before it costs a round trip
// to the server, so statements whose answers do not decide what is sent next go in one batch (libpq's pipeline
// mode on the connection's own handle). The server runs them one after another in the order given, exactly as if
// they had been sent one by one; the program waits once for all the answers.
#pragma once

#include "db/pg_fetch.h"
#include "db/session.h"

#include <QString>
#include <QStringList>

#include <vector>

typedef struct pg_result PGresult;

namespace db {

class Batch {
public:
    explicit Batch(const QString& connectionName);
    ~Batch();
    Batch(const Batch&) = delete;
    Batch& operator=(const Batch&) = delete;

    QString connectionName() const { return connectionName_; }
    // Adds a statement; returns the index its result is read by.
    int add(const QString& text);
    int size() const { return int(texts_.size()); }
    const QStringList& texts() const { return texts_; }

    // Sends the statements and reads every answer. The first one that fails throws its DbError (explained as one
    // failed statement would be, with outcome for a connection lost meanwhile); the statements after it were not
    // run. A batch runs once.
    void run(Outcome outcomeIfLost = Outcome::NotDone);

    // Results of the run, by index.
    int rowsAffected(int index) const;
    int rowCount(int index) const;
    bool isNull(int index, int row, int column) const;
    QString text(int index, int row, int column) const;
    // A number cell; null reads as 0. Throws ConversionError.
    double number(int index, int row, int column) const;
    // What the server said the statement was ("COMMIT", "ROLLBACK", "INSERT 0 1", ...).
    QString commandStatus(int index) const;
    FetchedRows rows(int index,
                     const std::function<QVector<FieldType>(const QStringList& names)>& typesFor = {}) const;

private:
    const PGresult* result(int index) const;

    QString connectionName_;
    QStringList texts_;
    std::vector<PGresult*> results_;
    bool ran_ = false;
};

class Dataset;

// Datasets opened by a batch, with one round trip for all: their statements are added to the batch (the closed
// datasets', in the order given), and once the batch has run, load() fills each as open() would. When the batch
// or a conversion fails, every dataset stays closed.
class OpenTogether {
public:
    OpenTogether(Batch& batch, const QList<Dataset*>& datasets);
    void load();

private:
    Batch& batch_;
    QList<std::pair<Dataset*, int>> reads_;
};

} // namespace db
