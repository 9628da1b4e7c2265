#include "db/dataset.h"

#include "db/command.h"
#include "db/db_error.h"
#include "db/pg_fetch.h"
#include "db/sql_text.h"
#include "db/table_writer.h"
#include "format/values.h"

#include <QDateTime>
#include <algorithm>
#include <bit>
#include <cmath>

namespace db {

namespace {

const QString kRowId = QStringLiteral("__rowid");

QVariant nullOf(QMetaType::Type t)
{
    return QVariant(QMetaType(t));
}

} // namespace

// ---- dataset ----

Dataset::Dataset(const QString& connectionName, const QString& name, QObject* parent)
    : QObject(parent)
    , connectionName_(connectionName)
    , writer_(std::make_unique<TableWriter>(connectionName))
{
    setObjectName(name);
}

Dataset::~Dataset() = default;

QString Dataset::table() const
{
    return writer_->table();
}

void Dataset::setSql(const QString& text)
{
    close();
    sql_ = text;
    writer_->clear();
    QHash<QString, QVariant> kept;
    paramOrder_.clear();
    for (const sql::ParamRef& ref : sql::findParams(text)) {
        const QString key = ref.name.toLower();
        if (!paramOrder_.contains(key))
            paramOrder_.append(key);
        kept.insert(key, params_.value(key));
    }
    params_ = kept;
}

void Dataset::setSqlLines(const QStringList& lines)
{
    setSql(sql::lines(lines));
}

void Dataset::setTable(const QString& table, const QString& keyField, const QString& orderBy)
{
    setSql((keyField.isEmpty() ? QStringLiteral("select ctid::text as ") + kRowId + QStringLiteral(", * from ") + table
                               : QStringLiteral("select * from ") + table) +
           (orderBy.isEmpty() ? QString() : QStringLiteral(" order by ") + orderBy));
    writer_->setTable(table, keyField);
}

void Dataset::setUpdateTable(const QString& table, const QString& keyField)
{
    close();
    writer_->setTable(table, keyField);
}

void Dataset::setFieldDefs(const QList<FieldDef>& defs)
{
    fieldDefs_ = defs;
    resolveColumnDefs();
}

// Each column's declared type is looked up once per open, not once per cell.
void Dataset::resolveColumnDefs()
{
    columnDefs_.clear();
    columnDefs_.reserve(fieldNames_.size());
    for (const QString& n : fieldNames_) {
        const FieldDef* d = defFor(n);
        columnDefs_.append(d ? static_cast<int>(d - fieldDefs_.constData()) : -1);
    }
}

void Dataset::setParam(const QString& name, const QVariant& value)
{
    const QString key = name.toLower();
    if (!params_.contains(key))
        throw DbError(QStringLiteral("Параметр %1 не найден в запросе %2.").arg(name, objectName()));
    params_[key] = value;
}

QVariant Dataset::param(const QString& name) const
{
    return params_.value(name.toLower());
}

QStringList Dataset::paramNames() const
{
    return paramOrder_;
}

const FieldDef* Dataset::defFor(const QString& field) const
{
    for (const FieldDef& d : fieldDefs_)
        if (d.name.compare(field, Qt::CaseInsensitive) == 0)
            return &d;
    return nullptr;
}

QVariant Dataset::convert(const QVariant& v, int column) const
{
    const int di = column < columnDefs_.size() ? columnDefs_[column] : -1;
    const FieldDef* d = di < 0 ? nullptr : &fieldDefs_[di];
    if (!d || d->type == FieldType::Auto)
        return v;
    switch (d->type) {
    case FieldType::Integer:
    case FieldType::SmallInt:
        if (v.isNull())
            return nullOf(QMetaType::Int);
        return QVariant(static_cast<int>(std::llround(v.toDouble())));
    case FieldType::BigInt:
        if (v.isNull())
            return nullOf(QMetaType::LongLong);
        return QVariant(static_cast<qlonglong>(std::llround(v.toDouble())));
    case FieldType::Double:
    case FieldType::Numeric:
        if (v.isNull())
            return nullOf(QMetaType::Double);
        return QVariant(v.toDouble());
    case FieldType::Text:
    case FieldType::NarrowText:
        if (v.isNull())
            return nullOf(QMetaType::QString);
        return QVariant(v.toString());
    case FieldType::DateTime:
        if (v.isNull())
            return nullOf(QMetaType::QDateTime);
        if (v.typeId() == QMetaType::QDate)
            return QVariant(QDateTime(v.toDate(), QTime(0, 0), Qt::UTC));
        return QVariant(v.toDateTime());
    case FieldType::Auto:
        break;
    }
    return v;
}

QVector<FieldType> Dataset::declaredTypes(const QStringList& names) const
{
    QVector<FieldType> types;
    types.reserve(names.size());
    for (const QString& n : names) {
        const FieldDef* d = defFor(n);
        types.append(d ? d->type : FieldType::Auto);
    }
    return types;
}

void Dataset::open()
{
    if (isOpen())
        return;
    emit aboutToOpen();
    openWith(fetchAll(connectionName_, bindParams(sql_, params_),
                      [this](const QStringList& names) { return declaredTypes(names); }));
}

QString Dataset::statementToOpen()
{
    emit aboutToOpen();
    return bindParams(sql_, params_);
}

void Dataset::openWith(FetchedRows&& fetched)
{
    if (isOpen())
        return;
    const bool hasRowId = writer_->isWritable() && writer_->byAddress();
    fieldNames_ = fetched.names;
    rowIds_.clear();
    if (hasRowId && !fieldNames_.isEmpty() && fieldNames_.first() == kRowId) {
        fieldNames_.removeFirst();
        rowIds_.reserve(fetched.rows.rowCount());
        for (int r = 0; r < fetched.rows.rowCount(); ++r)
            rowIds_.append(fetched.rows.value(r, 0).toString());
        fetched.rows.removeColumn(0);
    }
    fieldIndex_.clear();
    for (int c = 0; c < fieldNames_.size(); ++c)
        if (!fieldIndex_.contains(fieldNames_[c].toLower()))
            fieldIndex_.insert(fieldNames_[c].toLower(), c);
    resolveColumnDefs();
    rows_ = std::move(fetched.rows);
    state_ = State::Browse;
    applyFilter();
    emit opened();
}

void Dataset::close()
{
    if (!isOpen())
        return;
    state_ = State::Inactive;
    rows_.clear();
    rowIds_.clear();
    visible_.clear();
    buffer_.clear();
    modified_ = false;
    current_ = -1;
    eof_ = bof_ = true;
    emit rowsReset();
    emit closed();
}

void Dataset::requery()
{
    close();
    open();
}

void Dataset::rereadKeepingRows()
{
    if (!isOpen()) {
        open();
        return;
    }
    FetchedRows fetched = fetchAll(connectionName_, statementToOpen(),
                                   [this](const QStringList& names) { return declaredTypes(names); });
    close();
    openWith(std::move(fetched));
}

void Dataset::setSort(const QString& field)
{
    sortField_ = field;
    if (isOpen())
        applyFilter();
}

// Stable, so rows with equal values keep the statement's order; empty values first, numbers compared as numbers.
void Dataset::applyOrder()
{
    const int c = sortField_.isEmpty() ? -1 : fieldIndex(sortField_);
    if (c < 0)
        return;
    std::stable_sort(visible_.begin(), visible_.end(), [&](int a, int b) {
        const QVariant x = rows_.value(a, c);
        const QVariant y = rows_.value(b, c);
        const bool xn = !x.isValid() || x.isNull(), yn = !y.isValid() || y.isNull();
        if (xn || yn)
            return xn && !yn;
        if (format::isNumber(x) && format::isNumber(y))
            return x.toDouble() < y.toDouble();
        return x.toString() < y.toString();
    });
}

void Dataset::setFilter(const QString& text)
{
    FilterExpression parsed = FilterExpression::parse(text);
    filterText_ = text;
    filterExpr_ = parsed;
    if (isOpen() && filtered_)
        applyFilter();
}

void Dataset::setFiltered(bool on)
{
    if (filtered_ == on)
        return;
    filtered_ = on;
    if (isOpen())
        applyFilter();
}

void Dataset::applyFilter()
{
    visible_.clear();
    visible_.reserve(rows_.rowCount());
    if (!filtered_ || filterExpr_.isEmpty()) {
        for (int i = 0; i < rows_.rowCount(); ++i)
            visible_.append(i);
    } else {
        for (int i = 0; i < rows_.rowCount(); ++i) {
            const bool ok = filterExpr_.matches([&](const QString& name) -> QVariant {
                const int c = fieldIndex(name);
                if (c < 0)
                    return QVariant();
                const QVariant v = rows_.value(i, c);
                return v.isValid() ? v : nullOf(QMetaType::QString);
            });
            if (ok)
                visible_.append(i);
        }
    }
    applyOrder();
    current_ = visible_.isEmpty() ? -1 : 0;
    eof_ = bof_ = visible_.isEmpty();
    emit rowsReset();
    emit currentChanged(recNo());
}

int Dataset::recordCount() const
{
    return isOpen() ? static_cast<int>(visible_.size()) : 0;
}

int Dataset::recNo() const
{
    if (state_ == State::Insert)
        return -1;
    return current_ < 0 ? 0 : current_ + 1;
}

void Dataset::setCurrent(int index, bool notify)
{
    const int old = current_;
    current_ = index;
    if (notify && old != current_)
        emit currentChanged(recNo());
}

void Dataset::setRecNo(int recNo)
{
    checkBrowseMode();
    if (visible_.isEmpty())
        return;
    const int n = static_cast<int>(visible_.size());
    const int clamped = recNo < 1 ? 1 : (recNo > n ? n : recNo);
    eof_ = bof_ = false;
    setCurrent(clamped - 1);
}

void Dataset::first()
{
    checkBrowseMode();
    bof_ = true;
    eof_ = visible_.isEmpty();
    if (!visible_.isEmpty())
        setCurrent(0);
}

void Dataset::last()
{
    checkBrowseMode();
    eof_ = true;
    bof_ = visible_.isEmpty();
    if (!visible_.isEmpty())
        setCurrent(static_cast<int>(visible_.size()) - 1);
}

void Dataset::next()
{
    checkBrowseMode();
    bof_ = false;
    if (current_ + 1 < visible_.size())
        setCurrent(current_ + 1);
    else
        eof_ = true;
}

void Dataset::prior()
{
    checkBrowseMode();
    eof_ = false;
    if (current_ > 0)
        setCurrent(current_ - 1);
    else
        bof_ = true;
}

int Dataset::fieldIndex(const QString& name) const
{
    return fieldIndex_.value(name.toLower(), -1);
}

void Dataset::requireOpen() const
{
    if (!isOpen())
        throw DbError(QStringLiteral("Набор данных %1 закрыт.").arg(objectName()));
}

QVariant Dataset::value(const QString& field) const
{
    requireOpen();
    const int c = fieldIndex(field);
    if (c < 0)
        throw DbError(QStringLiteral("%1: поле '%2' не найдено").arg(objectName(), field));
    if (state_ == State::Edit || state_ == State::Insert)
        return buffer_[c];
    if (current_ < 0)
        return QVariant();
    return rows_.value(visible_[current_], c);
}

QString Dataset::asString(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return QString();
    if (v.typeId() == QMetaType::Double) {
        const double d = v.toDouble();
        if (d == std::floor(d) && std::fabs(d) < 1e15)
            return QString::number(static_cast<qint64>(d));
        return QString::number(d, 'g', 15);
    }
    if (v.typeId() == QMetaType::QDateTime) {
        const QDateTime dt = v.toDateTime();
        if (dt.time() == QTime(0, 0))
            return dt.date().toString(format::kDateFormat);
        return dt.toString(format::kDateTimeFormat);
    }
    if (v.typeId() == QMetaType::QDate)
        return v.toDate().toString(format::kDateFormat);
    return v.toString();
}

qint64 Dataset::asLongLong(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return 0;
    if (format::isNumber(v))
        return std::llround(v.toDouble());
    const QString text = v.toString().trimmed();
    if (text.isEmpty())
        return 0;
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok)
        throw ConversionError(QStringLiteral("'%1' не является целым числом").arg(text));
    return n;
}

int Dataset::asInt(const QString& field) const
{
    const qint64 n = asLongLong(field);
    if (n < INT32_MIN || n > INT32_MAX)
        throw ConversionError(QStringLiteral("Число %1 вне допустимого диапазона").arg(n));
    return static_cast<int>(n);
}

double Dataset::asDouble(const QString& field) const
{
    const QVariant v = value(field);
    if (v.isNull())
        return 0.0;
    if (format::isNumber(v))
        return v.toDouble();
    const QString text = v.toString().trimmed();
    if (text.isEmpty())
        return 0.0;
    bool ok = false;
    const double d = text.toDouble(&ok);
    if (!ok)
        throw ConversionError(QStringLiteral("'%1' не является числом").arg(text));
    return d;
}

QVariant Dataset::valueAt(int row, int column) const
{
    if (row < 0 || row >= visible_.size() || column < 0 || column >= fieldNames_.size())
        return QVariant();
    return rows_.value(visible_[row], column);
}

bool Dataset::locate(const QString& field, const QVariant& wanted)
{
    requireOpen();
    checkBrowseMode();
    const int c = fieldIndex(field);
    if (c < 0)
        throw DbError(QStringLiteral("%1: поле '%2' не найдено").arg(objectName(), field));
    for (int i = 0; i < visible_.size(); ++i) {
        const QVariant v = rows_.value(visible_[i], c);
        if (v.isNull() || !wanted.isValid() || wanted.isNull())
            continue;
        bool match;
        if (format::isNumber(v) || format::isNumber(wanted)) {
            bool ok1 = false, ok2 = false;
            const double a = v.toDouble(&ok1), b = wanted.toDouble(&ok2);
            match = ok1 && ok2 && a == b;
        } else {
            match = v.toString() == wanted.toString();
        }
        if (match) {
            eof_ = bof_ = false;
            setCurrent(i);
            return true;
        }
    }
    return false;
}

void Dataset::requireTable() const
{
    requireOpen();
    if (!writer_->isWritable())
        throw DbError(QStringLiteral("Набор данных %1 нельзя изменять.").arg(objectName()));
}

void Dataset::checkBrowseMode()
{
    if (state_ != State::Edit && state_ != State::Insert)
        return;
    if (modified_)
        post();
    else
        cancel();
}

void Dataset::append()
{
    requireTable();
    checkBrowseMode();
    buffer_ = QVector<QVariant>(fieldNames_.size());
    state_ = State::Insert;
    if (onNewRecord_)
        onNewRecord_(*this);
    modified_ = false;
    emit rowsReset();
    emit editingChanged();
}

void Dataset::edit()
{
    requireTable();
    if (state_ == State::Edit || state_ == State::Insert)
        return;
    if (current_ < 0) { // an empty table: editing starts a new row
        append();
        return;
    }
    buffer_ = rows_.row(visible_[current_]);
    state_ = State::Edit;
    modified_ = false;
    emit editingChanged();
}

void Dataset::setValue(const QString& field, const QVariant& value)
{
    if (state_ != State::Edit && state_ != State::Insert)
        throw DbError(QStringLiteral("Набор данных %1 не в режиме редактирования.").arg(objectName()));
    const int c = fieldIndex(field);
    if (c < 0)
        throw DbError(QStringLiteral("%1: поле '%2' не найдено").arg(objectName(), field));
    const QVariant& old = buffer_[c];
    const bool oldNull = !old.isValid() || old.isNull(), newNull = !value.isValid() || value.isNull();
    if (oldNull != newNull || (!newNull && old != value))
        modified_ = true;
    buffer_[c] = value;
    emit editingChanged();
}

QVariant Dataset::editValue(int column) const
{
    if ((state_ != State::Edit && state_ != State::Insert) || column < 0 || column >= buffer_.size())
        return QVariant();
    return buffer_[column];
}

void Dataset::refresh()
{
    checkBrowseMode();
    if (!isOpen()) {
        open();
        return;
    }
    // Remember the row by its key (or its address) to come back to it after reading again.
    QVariant key;
    const QString keyField = writer_->keyField();
    const bool byKey = !keyField.isEmpty() && fieldIndex(keyField) >= 0;
    if (current_ >= 0)
        key = byKey ? rows_.value(visible_[current_], fieldIndex(keyField))
                    : (rowIds_.isEmpty() ? QVariant() : QVariant(rowIds_[visible_[current_]]));
    requery();
    if (!key.isValid())
        return;
    if (byKey) {
        locate(keyField, key);
        return;
    }
    for (int i = 0; i < visible_.size(); ++i)
        if (rowIds_.value(visible_[i]) == key.toString()) {
            setCurrent(i);
            return;
        }
}

void Dataset::post()
{
    if (state_ != State::Edit && state_ != State::Insert)
        return;
    TableWriter::checkRequired(fieldDefs_, fieldNames_, buffer_);
    if (state_ == State::Insert) {
        const TableWriter::Stored stored = writer_->insert(fieldNames_, buffer_);
        QVector<QVariant> row(fieldNames_.size());
        for (int c = 0; c < fieldNames_.size(); ++c)
            row[c] = convert(stored.values[c], c);
        if (writer_->byAddress())
            rowIds_.append(stored.address);
        rows_.appendRow(row);
        const int added = rows_.rowCount() - 1;
        visible_.append(added);
        applyOrder();
        state_ = State::Browse;
        buffer_.clear();
        modified_ = false;
        eof_ = bof_ = false;
        setCurrent(static_cast<int>(visible_.indexOf(added)), false);
        emit rowsReset();
        emit currentChanged(recNo());
        emit editingChanged();
        return;
    }
    const int rowIndex = visible_[current_];
    const QString address = writer_->byAddress() ? rowIds_.value(rowIndex) : QString();
    const QString movedTo = writer_->update(fieldNames_, rows_.row(rowIndex), buffer_, address);
    if (writer_->byAddress())
        rowIds_[rowIndex] = movedTo;
    rows_.setRow(rowIndex, buffer_);
    applyOrder();
    state_ = State::Browse;
    buffer_.clear();
    modified_ = false;
    setCurrent(static_cast<int>(visible_.indexOf(rowIndex)), false);
    emit rowsReset();
    emit currentChanged(recNo());
    emit editingChanged();
}

void Dataset::cancel()
{
    if (state_ != State::Edit && state_ != State::Insert)
        return;
    const bool wasNew = state_ == State::Insert;
    state_ = State::Browse;
    buffer_.clear();
    modified_ = false;
    if (wasNew)
        emit rowsReset(); // the new row disappears from views
    emit editingChanged();
}

void Dataset::remove()
{
    requireTable();
    if (state_ == State::Insert) { // a row not saved yet is only dropped
        cancel();
        return;
    }
    cancel();
    if (current_ < 0)
        return;
    const int rowIndex = visible_[current_];
    writer_->remove(fieldNames_, rows_.row(rowIndex), writer_->byAddress() ? rowIds_.value(rowIndex) : QString());
    rows_.removeRow(rowIndex);
    if (!rowIds_.isEmpty())
        rowIds_.remove(rowIndex);
    const int keep = current_;
    applyFilter();
    if (!visible_.isEmpty())
        setRecNo(keep + 1);
}

} // namespace db
