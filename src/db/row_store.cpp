#include "db/row_store.h"

#include <algorithm>
#include <bit>
#include <cmath>

namespace db {

namespace {

QVariant nullOf(QMetaType::Type t)
{
    return QVariant(QMetaType(t));
}

} // namespace

QVariant RowStore::cell(const Column& c, int row)
{
    if (c.asVariants)
        return c.variants[row];
    if (c.nulls[row])
        return nullOf(c.type);
    const quint64 b = c.cells[row];
    switch (c.type) {
    case QMetaType::Int:
        return QVariant(static_cast<int>(static_cast<qint64>(b)));
    case QMetaType::LongLong:
        return QVariant(static_cast<qlonglong>(b));
    case QMetaType::Bool:
        return QVariant(b != 0);
    case QMetaType::Double:
        return QVariant(std::bit_cast<double>(b));
    case QMetaType::QDate:
        return QVariant(QDate::fromJulianDay(static_cast<qint64>(b)));
    case QMetaType::QDateTime:
        return QVariant(QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(b), Qt::UTC));
    case QMetaType::QString:
        return QVariant(c.texts[qsizetype(b)]);
    default:
        return {};
    }
}

QVariant RowStore::value(int row, int column) const
{
    return cell(columns_[size_t(column)], row);
}

QVector<QVariant> RowStore::row(int row) const
{
    QVector<QVariant> out;
    out.reserve(qsizetype(columns_.size()));
    for (const Column& c : columns_)
        out.append(cell(c, row));
    return out;
}

// Whether a value is stored as it is read back: of the column's type, and a date or time that the compact form
// gives back exactly.
bool RowStore::fits(const Column& c, const QVariant& v)
{
    if (c.asVariants)
        return true;
    if (v.typeId() != c.type)
        return false;
    if (v.isNull())
        return true;
    switch (c.type) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::Bool:
    case QMetaType::Double:
    case QMetaType::QString:
        return true;
    case QMetaType::QDate:
        return v.toDate().isValid();
    case QMetaType::QDateTime: {
        const QDateTime t = v.toDateTime();
        return t.isValid() && t.timeSpec() == Qt::UTC;
    }
    default:
        return false;
    }
}

void RowStore::toVariants(Column& c)
{
    if (c.asVariants)
        return;
    c.variants.reserve(qsizetype(c.nulls.size()));
    for (int r = 0; r < int(c.nulls.size()); ++r)
        c.variants.append(cell(c, r));
    c.asVariants = true;
    c.cells = {};
    c.nulls = {};
}

int RowStore::size(const Column& c)
{
    return c.asVariants ? int(c.variants.size()) : int(c.nulls.size());
}

void RowStore::put(Column& c, int row, const QVariant& v)
{
    if (!fits(c, v))
        toVariants(c);
    const bool append = row == size(c);
    if (c.asVariants) {
        if (append)
            c.variants.append(v);
        else
            c.variants[row] = v;
        return;
    }
    quint64 b = 0;
    const bool null = v.isNull();
    if (!null) {
        switch (c.type) {
        case QMetaType::Int:
        case QMetaType::LongLong:
            b = static_cast<quint64>(v.toLongLong());
            break;
        case QMetaType::Bool:
            b = v.toBool() ? 1 : 0;
            break;
        case QMetaType::Double:
            b = std::bit_cast<quint64>(v.toDouble());
            break;
        case QMetaType::QDate:
            b = static_cast<quint64>(v.toDate().toJulianDay());
            break;
        case QMetaType::QDateTime:
            b = static_cast<quint64>(v.toDateTime().toMSecsSinceEpoch());
            break;
        case QMetaType::QString: {
            const QString text = v.toString();
            if (!append && !c.nulls[row] && c.texts[qsizetype(c.cells[row])] == text) {
                b = c.cells[row]; // unchanged: no second copy
            } else {
                c.texts.append(text);
                b = quint64(c.texts.size() - 1);
            }
            break;
        }
        default:
            break;
        }
    }
    if (append) {
        c.cells.push_back(b);
        c.nulls.push_back(null);
    } else {
        c.cells[size_t(row)] = b;
        c.nulls[size_t(row)] = null;
    }
}

void RowStore::appendRow(const QVector<QVariant>& values)
{
    for (size_t i = 0; i < columns_.size(); ++i)
        put(columns_[i], rows_, values.value(qsizetype(i)));
    ++rows_;
}

void RowStore::setRow(int row, const QVector<QVariant>& values)
{
    for (size_t i = 0; i < columns_.size(); ++i)
        put(columns_[i], row, values.value(qsizetype(i)));
}

void RowStore::removeRow(int row)
{
    for (Column& c : columns_) {
        if (c.asVariants) {
            c.variants.remove(row);
        } else {
            c.cells.erase(c.cells.begin() + row);
            c.nulls.erase(c.nulls.begin() + row);
        }
    }
    --rows_;
}

void RowStore::removeColumn(int column)
{
    columns_.erase(columns_.begin() + column);
}

void RowStore::clear()
{
    columns_.clear();
    rows_ = 0;
}

void RowStore::setColumns(const QVector<QMetaType::Type>& types)
{
    clear();
    columns_.resize(size_t(types.size()));
    for (qsizetype i = 0; i < types.size(); ++i)
        columns_[size_t(i)].type = types[i];
}

void RowStore::reserve(int rows)
{
    for (Column& c : columns_) {
        c.cells.reserve(size_t(rows));
        c.nulls.reserve(size_t(rows));
    }
}

void RowStore::appendNull(int column)
{
    Column& c = columns_[size_t(column)];
    if (c.asVariants) {
        c.variants.append(nullOf(c.type));
        return;
    }
    c.cells.push_back(0);
    c.nulls.push_back(true);
}

void RowStore::appendInteger(int column, qint64 v)
{
    Column& c = columns_[size_t(column)];
    if (c.asVariants || (c.type != QMetaType::Int && c.type != QMetaType::LongLong && c.type != QMetaType::Bool)) {
        put(c, size(c), c.type == QMetaType::Bool  ? QVariant(v != 0)
                      : c.type == QMetaType::Int ? QVariant(static_cast<int>(v))
                                                 : QVariant(static_cast<qlonglong>(v)));
        return;
    }
    c.cells.push_back(c.type == QMetaType::Bool ? (v != 0 ? 1 : 0) : static_cast<quint64>(v));
    c.nulls.push_back(false);
}

void RowStore::appendDouble(int column, double v)
{
    Column& c = columns_[size_t(column)];
    if (c.asVariants || c.type != QMetaType::Double) {
        put(c, size(c), QVariant(v));
        return;
    }
    c.cells.push_back(std::bit_cast<quint64>(v));
    c.nulls.push_back(false);
}

void RowStore::appendDate(int column, QDate v)
{
    Column& c = columns_[size_t(column)];
    put(c, size(c), QVariant(v));
}

void RowStore::appendDateTime(int column, const QDateTime& v)
{
    Column& c = columns_[size_t(column)];
    put(c, size(c), QVariant(v));
}

quint32 RowStore::addText(int column, const QString& text)
{
    Column& c = columns_[size_t(column)];
    c.texts.append(text);
    return quint32(c.texts.size() - 1);
}

void RowStore::appendText(int column, quint32 index)
{
    Column& c = columns_[size_t(column)];
    if (c.asVariants || c.type != QMetaType::QString) {
        put(c, size(c), QVariant(c.texts[qsizetype(index)]));
        return;
    }
    c.cells.push_back(index);
    c.nulls.push_back(false);
}

void RowStore::appendSameAsLast(int column)
{
    Column& c = columns_[size_t(column)];
    if (c.asVariants) {
        c.variants.append(c.variants.last());
        return;
    }
    c.cells.push_back(c.cells.back());
    c.nulls.push_back(c.nulls.back());
}

} // namespace db
