#include "ui/dataset_grid.h"

#include "format/values.h"
#include "ui/messages.h"

#include <QDateTime>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPersistentModelIndex>
#include <QRegularExpression>
#include <QTimer>
#include <QLocale>
#include <QPainter>
#include <cmath>

namespace ui {

QString displayText(const QVariant& v)
{
    // A grid shows a value as the reports print it; a yes/no as the toolkit writes it.
    if (v.typeId() == QMetaType::Bool)
        return v.toString();
    return format::plainText(v);
}

DatasetModel::DatasetModel(QObject* parent)
    : QAbstractTableModel(parent)
{
}

void DatasetModel::setDataset(db::Dataset* dataset)
{
    if (dataset_ == dataset)
        return;
    for (const auto& c : connections_)
        disconnect(c);
    connections_.clear();
    dataset_ = dataset;
    if (dataset_) {
        connections_.append(connect(dataset_, &db::Dataset::rowsReset, this, &DatasetModel::reset));
        connections_.append(connect(dataset_, &db::Dataset::opened, this, &DatasetModel::reset));
        connections_.append(
            connect(dataset_, &db::Dataset::editingChanged, this, &DatasetModel::currentValuesChanged));
    }
    reset();
}

void DatasetModel::setColumns(const QList<GridColumn>& columns)
{
    columns_ = columns;
    reset();
}

void DatasetModel::reset()
{
    beginResetModel();
    fieldColumns_.clear();
    for (const GridColumn& c : columns_)
        fieldColumns_.append(dataset_ ? dataset_->fieldIndex(c.field) : -1);
    endResetModel();
}

int DatasetModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid() || !dataset_)
        return 0;
    return dataset_->recordCount() + (pendingRow() >= 0 ? 1 : 0);
}

int DatasetModel::pendingRow() const
{
    return dataset_ && dataset_->state() == db::Dataset::State::Insert ? dataset_->recordCount() : -1;
}

int DatasetModel::currentRow() const
{
    if (!dataset_)
        return -1;
    const int pending = pendingRow();
    return pending >= 0 ? pending : dataset_->recNo() - 1;
}

void DatasetModel::currentValuesChanged()
{
    const int row = currentRow();
    if (row >= 0 && row < rowCount() && !columns_.isEmpty())
        emit dataChanged(index(row, 0), index(row, static_cast<int>(columns_.size()) - 1));
    emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
}

void DatasetModel::setEditable(bool on)
{
    beginResetModel();
    editable_ = on;
    endResetModel();
}

Qt::ItemFlags DatasetModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (!editable_ || !index.isValid() || !dataset_)
        return f;
    const int fc = fieldColumns_.value(index.column(), -1);
    if (fc < 0)
        return f;
    const db::FieldDef* def = dataset_->fieldDef(columns_[index.column()].field);
    if (def && def->readOnly)
        return f;
    return f | Qt::ItemIsEditable;
}

bool DatasetModel::convertInput(int column, const QString& text, QVariant* value, QString* error) const
{
    if (!dataset_ || column < 0 || column >= columns_.size())
        return false;
    const QString& label = columns_[column].title;
    const db::FieldDef* def = dataset_->fieldDef(columns_[column].field);
    const QString t = text.trimmed();
    const db::FieldType type = def ? def->type : db::FieldType::Auto;
    if (t.isEmpty()) {
        if (def && def->required) {
            *error = QStringLiteral("Поле «%1» должно быть заполнено.").arg(label);
            return false;
        }
        *value = QVariant();
        return true;
    }
    switch (type) {
    case db::FieldType::Integer:
    case db::FieldType::SmallInt:
    case db::FieldType::BigInt: {
        static const QRegularExpression wholeNumber(QStringLiteral(R"(^[+-]?\d+$)"));
        const qint64 lo = type == db::FieldType::SmallInt ? -32768 : type == db::FieldType::Integer ? INT32_MIN : INT64_MIN;
        const qint64 hi = type == db::FieldType::SmallInt ? 32767 : type == db::FieldType::Integer ? INT32_MAX : INT64_MAX;
        if (!wholeNumber.match(t).hasMatch()) {
            *error = QStringLiteral("В поле «%1» нужно целое число, а «%2» не целое число.").arg(label, t);
            return false;
        }
        bool ok = false;
        const qint64 n = t.toLongLong(&ok);
        if (!ok || n < lo || n > hi) {
            *error = QStringLiteral("Число %1 не помещается в поле «%2»: допустимо от %3 до %4.").arg(t, label).arg(lo).arg(hi);
            return false;
        }
        *value = type == db::FieldType::BigInt ? QVariant(static_cast<qlonglong>(n)) : QVariant(static_cast<int>(n));
        return true;
    }
    case db::FieldType::Double:
    case db::FieldType::Numeric: {
        static const QRegularExpression number(QStringLiteral(R"(^[+-]?(\d+([.,]\d*)?|[.,]\d+)([eE][+-]?\d+)?$)"));
        if (!number.match(t).hasMatch()) {
            *error = QStringLiteral("В поле «%1» нужно число, а «%2» не число.").arg(label, t);
            return false;
        }
        QString normal = t;
        normal.replace(u',', u'.');
        bool ok = false;
        const double d = normal.toDouble(&ok);
        // Numeric(p, s) holds p - s digits before the separator; a double holds what is finite.
        const bool fits = ok && std::isfinite(d) &&
                          (type != db::FieldType::Numeric || def->size <= 0 ||
                           std::fabs(d) < std::pow(10.0, def->size - def->scale));
        if (!fits) {
            *error = QStringLiteral("Число %1 слишком велико для поля «%2».").arg(t, label);
            return false;
        }
        *value = d;
        return true;
    }
    case db::FieldType::Text:
    case db::FieldType::NarrowText:
        if (def->size > 0 && t.size() > def->size) {
            *error = QStringLiteral("Текст в поле «%1» длиннее %2 знаков.").arg(label).arg(def->size);
            return false;
        }
        *value = t;
        return true;
    default:
        *value = t;
        return true;
    }
}

bool DatasetModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    lastError_.clear();
    if (role != Qt::EditRole || !index.isValid() || !dataset_ || !(flags(index) & Qt::ItemIsEditable))
        return false;
    QVariant converted;
    if (!convertInput(index.column(), value.toString(), &converted, &lastError_))
        return false;
    try {
        if (index.row() != currentRow())
            dataset_->setRecNo(index.row() + 1); // saves the row left
        if (dataset_->state() == db::Dataset::State::Browse)
            dataset_->edit();
        dataset_->setValue(columns_[index.column()].field, converted);
    } catch (const std::exception& e) {
        lastError_ = QString::fromUtf8(e.what());
        return false;
    }
    return true;
}

int DatasetModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(columns_.size());
}

QVariant DatasetModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || !dataset_)
        return {};
    const int fc = fieldColumns_.value(index.column(), -1);
    if (fc < 0 && role != Qt::TextAlignmentRole)
        return {};
    // The row being edited shows its typed values; the row being inserted is the extra last row.
    const bool editing = dataset_->state() == db::Dataset::State::Edit || dataset_->state() == db::Dataset::State::Insert;
    const QVariant value = fc < 0 ? QVariant()
                           : editing && index.row() == currentRow() ? dataset_->editValue(fc)
                                                                     : dataset_->valueAt(index.row(), fc);
    switch (role) {
    case Qt::DisplayRole: {
        const GridColumn& col = columns_[index.column()];
        return col.format ? col.format(value) : displayText(value);
    }
    case Qt::EditRole:
        return displayText(value);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(columns_[index.column()].alignment);
    default:
        return {};
    }
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Vertical) {
        // The row indicator: the current row, and whether it is being edited or inserted.
        if (role != Qt::DisplayRole || !dataset_ || section != currentRow())
            return {};
        switch (dataset_->state()) {
        case db::Dataset::State::Insert:
            return QStringLiteral("*");
        case db::Dataset::State::Edit:
            return QStringLiteral("I");
        default:
            return QStringLiteral("▶");
        }
    }
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return {};
    if (role == Qt::DisplayRole)
        return columns_[section].title;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    if (role == Qt::ForegroundRole && columns_[section].titleColor.isValid())
        return columns_[section].titleColor;
    return {};
}

void DatasetModel::setTitleColor(int column, const QColor& color)
{
    if (column < 0 || column >= columns_.size() || columns_[column].titleColor == color)
        return;
    columns_[column].titleColor = color;
    emit headerDataChanged(Qt::Horizontal, column, column);
}

namespace {

class StyledDelegate : public QStyledItemDelegate {
public:
    explicit StyledDelegate(DbGrid* grid)
        : QStyledItemDelegate(grid)
        , grid_(grid)
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const auto& cols = grid_->datasetModel()->columns();
        if (index.column() < 0 || index.column() >= cols.size())
            return;
        const CellStyle s = grid_->cellStyle(index.row(), cols[index.column()].field);
        if (s.bold)
            option->font.setBold(true);
        // The selection of a list without the focus is pale, so that a user can tell which list the keys act on.
        if ((option->state & QStyle::State_Selected) && !grid_->hasFocus()) {
            const QColor h = option->palette.color(QPalette::Highlight);
            const QColor b = option->palette.color(QPalette::Base);
            option->palette.setColor(QPalette::Highlight, QColor((h.red() + 2 * b.red()) / 3, (h.green() + 2 * b.green()) / 3,
                                                                 (h.blue() + 2 * b.blue()) / 3));
            option->palette.setColor(QPalette::HighlightedText, option->palette.color(QPalette::Text));
        }
        if (s.foreground.isValid()) {
            option->palette.setColor(QPalette::Text, s.foreground);
            option->palette.setColor(QPalette::HighlightedText, s.foreground);
        }
    }

public:
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        auto* editor = new QLineEdit(parent);
        editor->setFrame(false);
        const auto& cols = grid_->datasetModel()->columns();
        if (index.column() >= 0 && index.column() < cols.size())
            editor->setAlignment(cols[index.column()].alignment);
        Q_UNUSED(option);
        return editor;
    }

    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        auto* line = qobject_cast<QLineEdit*>(editor);
        if (!line)
            return;
        if (reopenIndex_.isValid() && reopenIndex_ == index) {
            line->setText(reopenText_);
            line->selectAll();
            reopenIndex_ = QPersistentModelIndex();
            return;
        }
        line->setText(index.data(Qt::EditRole).toString());
    }

    // A refused text is shown in a message; the cell opens again with the text, to be put right or dropped with
    // Escape.
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override
    {
        auto* line = qobject_cast<QLineEdit*>(editor);
        auto* m = qobject_cast<DatasetModel*>(model);
        if (!line || !m)
            return;
        const QString text = line->text();
        if (text == index.data(Qt::EditRole).toString() && m->dataset() &&
            m->dataset()->state() == db::Dataset::State::Browse)
            return; // nothing typed: the row is not put into editing
        if (m->setData(index, text, Qt::EditRole))
            return;
        Messages::error(m->lastError());
        reopenIndex_ = index;
        reopenText_ = text;
        QPointer<DbGrid> grid(grid_);
        const QPersistentModelIndex at(index);
        QTimer::singleShot(0, grid_, [grid, at] {
            if (!grid || !at.isValid())
                return;
            grid->setCurrentIndex(at);
            grid->edit(at);
        });
    }

private:
    DbGrid* grid_;
    mutable QPersistentModelIndex reopenIndex_;
    mutable QString reopenText_;
};

} // namespace

DbGrid::DbGrid(QWidget* parent)
    : QTableView(parent)
    , model_(new DatasetModel(this))
{
    setModel(model_);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    // Tab leaves the grid for the window's next control; the arrows move through its cells.
    setTabKeyNavigation(false);
    setItemDelegate(new StyledDelegate(this));
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    QFont hf = horizontalHeader()->font();
    hf.setBold(true);
    horizontalHeader()->setFont(hf);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    connect(selectionModel(), &QItemSelectionModel::currentChanged, this, &DbGrid::onCurrentChanged);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { syncSelectionFromDataset(); });
}

void DbGrid::setColumns(const QList<GridColumn>& columns)
{
    model_->setColumns(columns);
    for (int i = 0; i < columns.size(); ++i) {
        setColumnHidden(i, !columns[i].visible);
        int width = columns[i].width;
        if (!columns[i].widest.isEmpty()) // the text, the cell's margins on both sides, and a little air
            width = std::max(width, fontMetrics().horizontalAdvance(columns[i].widest) +
                                        2 * (style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, this) + 1) + 8);
        if (width > 0)
            setColumnWidth(i, width);
    }
}

void DbGrid::setDataset(db::Dataset* dataset)
{
    for (const auto& c : connections_)
        disconnect(c);
    connections_.clear();
    model_->setDataset(dataset);
    if (dataset)
        connections_.append(
            connect(dataset, &db::Dataset::currentChanged, this, [this] { syncSelectionFromDataset(); }));
    syncSelectionFromDataset();
}

void DbGrid::setCellStyler(std::function<CellStyle(int, const QString&)> styler)
{
    styler_ = std::move(styler);
    viewport()->update();
}

CellStyle DbGrid::cellStyle(int row, const QString& field) const
{
    return styler_ ? styler_(row, field) : CellStyle{};
}

void DbGrid::setEditable(bool on)
{
    model_->setEditable(on);
    if (on) {
        setSelectionBehavior(QAbstractItemView::SelectItems);
        setEditTriggers(QAbstractItemView::AnyKeyPressed | QAbstractItemView::DoubleClicked |
                        QAbstractItemView::EditKeyPressed | QAbstractItemView::SelectedClicked);
        verticalHeader()->setVisible(true);
        verticalHeader()->setDefaultAlignment(Qt::AlignCenter);
        verticalHeader()->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("▶")) + 10);
    } else {
        setSelectionBehavior(QAbstractItemView::SelectRows);
        setEditTriggers(QAbstractItemView::NoEditTriggers);
        verticalHeader()->setVisible(false);
    }
    syncSelectionFromDataset();
}

void DbGrid::syncSelectionFromDataset()
{
    db::Dataset* d = model_->dataset();
    if (syncing_ || !d)
        return;
    syncing_ = true;
    const int row = model_->currentRow();
    if (row >= 0 && row < model_->rowCount()) {
        int col = currentColumn_;
        if (col < 0 || col >= model_->columnCount() || isColumnHidden(col)) {
            col = 0;
            while (col < model_->columnCount() && isColumnHidden(col))
                ++col;
        }
        const QModelIndex idx = model_->index(row, col);
        const auto how = editable() ? QItemSelectionModel::ClearAndSelect
                                    : QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
        selectionModel()->setCurrentIndex(idx, how);
        scrollTo(idx);
    } else {
        selectionModel()->clearSelection();
    }
    syncing_ = false;
}

void DbGrid::onCurrentChanged(const QModelIndex& current, const QModelIndex& previous)
{
    if (syncing_ || !model_->dataset())
        return;
    const bool columnChanged = previous.isValid() && current.isValid() && previous.column() != current.column();
    const bool rowChanged = current.isValid() && (!previous.isValid() || previous.row() != current.row());
    if (current.isValid())
        currentColumn_ = current.column();
    const int wantedRow = current.isValid() ? current.row() : -1;
    if (columnChanged)
        emit columnExited(previous.column()); // the handler may save and read the rows again
    if (rowChanged && wantedRow != model_->currentRow())
        syncDatasetFromSelection(wantedRow);
    else if (columnChanged && wantedRow != model_->currentRow())
        syncSelectionFromDataset(); // the row saved moved to its place in the order: the cursor goes with it
    if (columnChanged)
        emit columnEntered(current.column());
}

// Moving to another row saves the row left; when that is refused the cursor stays on it.
void DbGrid::syncDatasetFromSelection(int row)
{
    db::Dataset* d = model_->dataset();
    if (syncing_ || !d || row < 0)
        return;
    syncing_ = true;
    bool failed = false;
    guarded([&] {
        try {
            d->setRecNo(row + 1);
        } catch (...) {
            failed = true;
            throw;
        }
    });
    syncing_ = false;
    if (failed || model_->currentRow() != row)
        syncSelectionFromDataset();
}

void DbGrid::appendRow()
{
    db::Dataset* d = model_->dataset();
    if (!d || !editable())
        return;
    guarded([&] { d->append(); });
    syncSelectionFromDataset();
}

void DbGrid::deleteCurrentRow()
{
    db::Dataset* d = model_->dataset();
    if (!d || !editable() || !d->isOpen())
        return;
    if (d->state() == db::Dataset::State::Insert) { // a row not saved yet is just dropped
        d->cancel();
        syncSelectionFromDataset();
        return;
    }
    if (d->recordCount() == 0)
        return;
    if (canDelete_ && !canDelete_())
        return;
    if (!Messages::question(QStringLiteral("Удалить запись?")))
        return;
    guarded([&] {
        if (remover_)
            remover_();
        else
            d->remove();
    });
    syncSelectionFromDataset();
}

// Where the focus is, whatever the style: a frame around the current row (the current cell in an editable grid)
// while the grid has the focus.
void DbGrid::paintEvent(QPaintEvent* event)
{
    QTableView::paintEvent(event);
    const QModelIndex current = currentIndex();
    if (!hasFocus() || !current.isValid())
        return;
    QRect r = visualRect(current);
    if (selectionBehavior() == QAbstractItemView::SelectRows)
        for (int c = 0; c < model_->columnCount(); ++c)
            if (!isColumnHidden(c))
                r = r.united(visualRect(model_->index(current.row(), c)));
    QPainter p(viewport());
    p.setPen(QPen(palette().color(QPalette::Text), 2));
    p.setBrush(Qt::NoBrush);
    p.drawRect(r.adjusted(1, 1, -1, -1));
}

void DbGrid::focusInEvent(QFocusEvent* event)
{
    QTableView::focusInEvent(event);
    viewport()->update();
}

void DbGrid::focusOutEvent(QFocusEvent* event)
{
    QTableView::focusOutEvent(event);
    viewport()->update();
}

void DbGrid::keyPressEvent(QKeyEvent* event)
{
    db::Dataset* d = model_->dataset();
    if (!editable() || !d || !d->isOpen() || state() == QAbstractItemView::EditingState) {
        QTableView::keyPressEvent(event);
        return;
    }
    const bool editing = d->state() == db::Dataset::State::Edit || d->state() == db::Dataset::State::Insert;
    // Typing into an empty grid starts its first row, the typed character in the first column.
    const QString typed = event->text();
    if (!editing && d->recordCount() == 0 && !typed.isEmpty() && typed.at(0).isPrint() &&
        !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))) {
        appendRow();
        if (currentIndex().isValid() && edit(currentIndex(), QAbstractItemView::AnyKeyPressed, event)) {
            event->accept();
            return;
        }
    }
    switch (event->key()) {
    case Qt::Key_Escape:
        if (!editing)
            break; // the window's cancel button gets it
        d->cancel();
        syncSelectionFromDataset();
        event->accept();
        return;
    case Qt::Key_Insert:
        if (event->modifiers() == Qt::NoModifier) {
            appendRow();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Delete:
        if (event->modifiers() == Qt::ControlModifier) {
            deleteCurrentRow();
            event->accept();
            return;
        }
        break;
    case Qt::Key_Down:
        if (event->modifiers() == Qt::NoModifier) {
            const int row = model_->currentRow();
            const bool onPending = d->state() == db::Dataset::State::Insert;
            // Down on the last row starts a new one; on a new row, only once something was typed into it.
            if ((onPending && d->isModified()) || (!onPending && row == d->recordCount() - 1) || d->recordCount() == 0) {
                appendRow();
                event->accept();
                return;
            }
            if (onPending) {
                event->accept();
                return;
            }
        }
        break;
    default:
        break;
    }
    QTableView::keyPressEvent(event);
}

} // namespace ui
