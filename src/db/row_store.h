// The column store under a dataset: the loaded rows, column by column.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVector>

#include <vector>

namespace db {

// The rows of an open dataset, column by column: a number, a date or a time in 8 bytes, a text as the index of one
// of its column's distinct texts, a null as a bit. A year's report holds about a hundred thousand rows, and one
// QVariant per cell made them several times the size of the server's result. A cell reads as the QVariant it was
// stored as; a column takes QVariants as they come from the first value written into it that is not of its type.
class RowStore {
public:
    int rowCount() const { return rows_; }
    int columnCount() const { return int(columns_.size()); }
    QVariant value(int row, int column) const;
    QVector<QVariant> row(int row) const;
    void appendRow(const QVector<QVariant>& values);
    void setRow(int row, const QVector<QVariant>& values);
    void removeRow(int row);
    void removeColumn(int column);
    void clear();

    // Loading: the columns and their types (Int, LongLong, Double, Bool, QDate, QDateTime in UTC or QString), then
    // each row's cells column by column and finishRow() after them, or each column's cells (different columns may be
    // filled on different threads) and finishRows() after all.
    void setColumns(const QVector<QMetaType::Type>& types);
    void reserve(int rows);
    void appendNull(int column);
    void appendInteger(int column, qint64 v); // Int, LongLong and Bool columns
    void appendDouble(int column, double v);
    void appendDate(int column, QDate v);
    void appendDateTime(int column, const QDateTime& v);
    // A text column's distinct text: its index, for appendText().
    quint32 addText(int column, const QString& text);
    void appendText(int column, quint32 index);
    // The same cell as the column's last one (neighbouring rows often repeat a value).
    void appendSameAsLast(int column);
    void finishRow() { ++rows_; }
    void finishRows(int rows) { rows_ = rows; }

private:
    struct Column {
        QMetaType::Type type = QMetaType::UnknownType; // as loaded
        bool asVariants = false;                       // the cells are in variants
        std::vector<quint64> cells;                    // numbers, dates, times, text indices
        std::vector<bool> nulls;
        QList<QString> texts;
        QVector<QVariant> variants;
    };
    static QVariant cell(const Column& c, int row);
    static int size(const Column& c); // cells so far
    static bool fits(const Column& c, const QVariant& v);
    static void toVariants(Column& c);
    static void put(Column& c, int row, const QVariant& v); // row == the column's size: appended

    std::vector<Column> columns_;
    int rows_ = 0;
};

} // namespace db
