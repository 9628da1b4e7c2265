// A dataset: a statement whose rows are loaded into memory on open (a static cursor), with named
// parameters, a text filter over the loaded rows, a 1-based record number and, for table datasets, an edit
// buffer whose rows a TableWriter (table_writer.h) writes back to the base table.
#pragma once

#include "db/filter_expression.h"
#include "db/row_store.h"

#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>
#include <memory>
#include <vector>

namespace db {

struct FetchedRows;
class TableWriter;

enum class FieldType { Auto, Integer, SmallInt, BigInt, Double, Numeric, Text, NarrowText, DateTime };

struct FieldDef {
    QString name;
    FieldType type = FieldType::Auto;
    int size = 0;  // characters of a text, digits of a numeric
    int scale = 0; // decimals of a numeric
    bool readOnly = false;
    bool required = false; // a row cannot be saved with it empty
    QString label;         // the name users know the field by, for messages
};

class Dataset : public QObject {
    Q_OBJECT
public:
    enum class State { Inactive, Browse, Edit, Insert };

    Dataset(const QString& connectionName, const QString& name, QObject* parent = nullptr);
    ~Dataset() override;

    QString name() const { return objectName(); }
    QString connectionName() const { return connectionName_; }

    // Statement text. Replacing it closes the dataset and keeps parameter values whose names remain.
    void setSql(const QString& text);
    void setSqlLines(const QStringList& lines);
    QString sql() const { return sql_; }

    // A table dataset reads a whole table and writes back rows by key (or by the server's row address
    // when the table has no key column).
    // orderBy: the order the rows are read in (an expression list), when the first row matters.
    void setTable(const QString& table, const QString& keyField = {}, const QString& orderBy = {});
    QString table() const;
    // A query whose rows come from one table keeps its statement and writes back to that table by key.
    void setUpdateTable(const QString& table, const QString& keyField);

    // Declared fields: values are converted to these types on load.
    void setFieldDefs(const QList<FieldDef>& defs);
    const QList<FieldDef>& fieldDefs() const { return fieldDefs_; }
    // The declaration of a field, nullptr when it is not declared.
    const FieldDef* fieldDef(const QString& field) const { return defFor(field); }

    // Parameters are matched by name regardless of letter case. Throws DbError for an unknown name.
    void setParam(const QString& name, const QVariant& value);
    QVariant param(const QString& name) const;
    QStringList paramNames() const;

    void open();
    // Opening in two steps, for datasets read together with other statements (db::openTogether): the statement
    // as it is to be sent (aboutToOpen emitted first), then the rows read for it.
    QString statementToOpen();
    void openWith(FetchedRows&& fetched);
    void close();
    void requery();
    // Reads the rows again for a view that must not go blank: the rows are read first and replace the shown ones only
    // once they are all there; when the read fails (throws), the dataset keeps the rows it had. Opens a closed one.
    void rereadKeepingRows();
    bool isOpen() const { return state_ != State::Inactive; }
    State state() const { return state_; }

    // Rows in ascending order of one field, as a table's sort order (empty values first); empty keeps the
    // statement's order. Kept across close and open.
    void setSort(const QString& field);
    QString sort() const { return sortField_; }

    // Text filter, kept across close and open.
    void setFilter(const QString& text);
    QString filter() const { return filterText_; }
    void setFiltered(bool on);
    bool filtered() const { return filtered_; }

    // Rows visible through the filter.
    int recordCount() const;
    bool isEmpty() const { return recordCount() == 0; }
    // 1-based; 0 when there are no rows; -1 while a new row is being inserted. Setting clamps into 1..recordCount.
    // Moving to another row saves the row being edited first (or drops it when nothing was typed into it).
    int recNo() const;
    void setRecNo(int recNo);
    void first();
    void last();
    void next();
    void prior();
    bool eof() const { return eof_; }
    bool bof() const { return bof_; }

    // Fields of the loaded statement, in order (names as the server gave them).
    QStringList fieldNames() const { return fieldNames_; }
    int fieldIndex(const QString& name) const; // -1 when absent
    bool hasField(const QString& name) const { return fieldIndex(name) >= 0; }

    // Values of the current row (of the edit buffer while editing). Throws DbError for an unknown field.
    QVariant value(const QString& field) const;
    QString asString(const QString& field) const;
    int asInt(const QString& field) const; // null or empty reads as 0; throws ConversionError
    qint64 asLongLong(const QString& field) const;
    double asDouble(const QString& field) const;

    // Values of the visible row (0-based) for views.
    QVariant valueAt(int row, int column) const;

    // Moves to the first visible row whose field equals value (text compared as typed, numbers numerically).
    bool locate(const QString& field, const QVariant& value);

    // Editing (table datasets). append starts a new row, edit the current one (both do nothing while the row is
    // already being edited, after saving or dropping another pending row); post saves it, refusing an empty required
    // field; cancel drops the changes; remove deletes the current row (drops a new one).
    void append();
    void edit();
    void setValue(const QString& field, const QVariant& value);
    void post();
    void cancel();
    void remove();
    // Whether the row being edited differs from what is saved (a new row: whether anything was typed into it).
    bool isModified() const { return modified_; }
    // Saves the row being edited when it was changed, drops it otherwise.
    void checkBrowseMode();
    // Saves pending changes, reads the rows again and stays on the same row (by key) when it is still there.
    void refresh();
    // Runs for every new row as it is started, to give it its defaults (the owner's key, say); what it sets does
    // not count as a change.
    void setOnNewRecord(std::function<void(Dataset&)> hook) { onNewRecord_ = std::move(hook); }
    // Value of the edit buffer, for views (column as in fieldNames()); invalid when no row is being edited.
    QVariant editValue(int column) const;

signals:
    void aboutToOpen(); // before the statement is sent
    void opened();
    void closed();
    void rowsReset(); // rows or filter changed
    void currentChanged(int recNo);
    void editingChanged(); // a row started or stopped being edited, or a value of it changed

private:
    int rowOf(int recNo) const;
    void applyFilter();
    void applyOrder();
    void requireTable() const;
    QVariant convert(const QVariant& v, int column) const;
    const FieldDef* defFor(const QString& field) const;
    void resolveColumnDefs();
    void setCurrent(int index, bool notify = true);
    void requireOpen() const;
    QVector<FieldType> declaredTypes(const QStringList& names) const;

    QString connectionName_;
    QString sql_;
    std::unique_ptr<TableWriter> writer_; // the base table written back to, when there is one
    QList<FieldDef> fieldDefs_;
    QHash<QString, QVariant> params_; // lower-case name -> value
    QStringList paramOrder_;

    State state_ = State::Inactive;
    QStringList fieldNames_;
    QHash<QString, int> fieldIndex_; // lower-case name -> column
    QVector<int> columnDefs_;        // column -> index into fieldDefs_, -1 when undeclared
    RowStore rows_;
    QVector<QString> rowIds_; // row addresses of a table dataset without key
    QVector<int> visible_;    // indices into rows_
    int current_ = -1;        // index into visible_
    bool eof_ = true;
    bool bof_ = true;

    QString filterText_;
    FilterExpression filterExpr_;
    bool filtered_ = false;

    QVector<QVariant> buffer_; // edit buffer
    bool modified_ = false;
    QString sortField_;
    std::function<void(Dataset&)> onNewRecord_;
};

} // namespace db
