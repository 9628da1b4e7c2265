// Writing rows back to a dataset's base table: a new row inserted and read back as the server stored it, a changed
// row updated in the fields that changed, a row deleted; each row found by its key, or by the server's row address
// when the table has no key column. The dataset keeps the rows and the edit buffer; this is all it sends.
#pragma once

#include "db/dataset.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace db {

class TableWriter {
public:
    explicit TableWriter(const QString& connectionName);

    // The table written to and its key column (empty: rows are found by their address).
    void setTable(const QString& table, const QString& keyField);
    void clear() { setTable(QString(), QString()); }
    QString table() const { return table_; }
    QString keyField() const { return keyField_; }
    bool isWritable() const { return !table_.isEmpty(); }
    bool byAddress() const { return keyField_.isEmpty(); }

    // Refuses (DbError) a row whose required field is empty, naming the field as users know it.
    static void checkRequired(const QList<FieldDef>& defs, const QStringList& fields, const QVector<QVariant>& row);

    struct Stored {
        QVector<QVariant> values; // as the server stored them (defaults filled in), by field; not converted
        QString address;          // the row's address when written by address
    };
    // Inserts the fields that hold a value; the others take the table's defaults.
    Stored insert(const QStringList& fields, const QVector<QVariant>& row) const;
    // Updates the fields where now differs from old, the row found by old's key or by address; returns the row's
    // address after the update (where it moved to). Throws DbError (kRowGoneMessage) when the row is gone.
    QString update(const QStringList& fields, const QVector<QVariant>& old, const QVector<QVariant>& now,
                   const QString& address) const;
    void remove(const QStringList& fields, const QVector<QVariant>& row, const QString& address) const;

private:
    QString where(const QStringList& fields, const QVector<QVariant>& row, const QString& address) const;

    QString connectionName_;
    QString table_;
    QString keyField_;
};

} // namespace db
