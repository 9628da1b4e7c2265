// Reading a whole result straight from the connection's libpq handle: the rows of a dataset are loaded without
// a value object per cell.
#pragma once

#include "db/dataset.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>

typedef struct pg_result PGresult;

namespace db {

struct FetchedRows {
    QStringList names;
    RowStore rows;
};

// Runs a statement on the named connection and reads every row. typesFor gets the column names and gives the
// type each column is to be read as (FieldType::Auto: by the server's type). Throws DbError; after a lost
// connection it connects again before throwing.
FetchedRows fetchAll(const QString& connectionName, const QString& text,
                     const std::function<QVector<FieldType>(const QStringList& names)>& typesFor);

// The rows of a result already read (see fetchAll for typesFor).
FetchedRows readRows(const PGresult* result,
                     const std::function<QVector<FieldType>(const QStringList& names)>& typesFor);
// A number as the server writes it (text), independent of the C locale. Throws ConversionError.
double readNumber(const char* text, int length);

} // namespace db
