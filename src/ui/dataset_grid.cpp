#include "ui/dataset_grid.h"

#include <QDateTime>
#include <QHeaderView>
#include <QLocale>
#include <QPainter>
#include <cmath>

namespace ui {

QString displayText(const QVariant& v)
{
    if (!v.isValid() || v.isNull())
        return QString();
    switch (v.typeId()) {
    case QMetaType::QDateTime: {
        const QDateTime dt = v.toDateTime();
        if (dt.time() == QTime(0, 0))
            return dt.date().toString(QStringLiteral("dd.MM.yyyy"));
        return dt.toString(QStringLiteral("dd.MM.yyyy H:mm:ss"));
    }
    case QMetaType::QDate:
        return v.toDate().toString(QStringLiteral("dd.MM.yyyy"));
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        QLocale loc;
        loc.setNumberOptions(QLocale::OmitGroupSeparator);
        if (d == std::floor(d) && std::fabs(d) < 1e15)
            return loc.toString(static_cast<qlonglong>(d));
        return loc.toString(d, 'g', 15);
    }
    default:
        return v.toString();
    }
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
    return dataset_->recordCount();
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
    switch (role) {
    case Qt::DisplayRole:
        return fc < 0 ? QVariant() : QVariant(displayText(dataset_->valueAt(index.row(), fc)));
    case Qt::EditRole:
        return fc < 0 ? QVariant() : dataset_->valueAt(index.row(), fc);
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(columns_[index.column()].alignment);
    default:
        return {};
    }
}

QVariant DatasetModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= columns_.size())
        return {};
    if (role == Qt::DisplayRole)
        return columns_[section].title;
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(Qt::Alignment(Qt::AlignCenter));
    return {};
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
        if (s.foreground.isValid()) {
            option->palette.setColor(QPalette::Text, s.foreground);
            option->palette.setColor(QPalette::HighlightedText, s.foreground);
        }
    }

private:
    DbGrid* grid_;
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
    setItemDelegate(new StyledDelegate(this));
    verticalHeader()->setVisible(false);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    horizontalHeader()->setHighlightSections(false);
    QFont hf = horizontalHeader()->font();
    hf.setBold(true);
    horizontalHeader()->setFont(hf);
    horizontalHeader()->setDefaultAlignment(Qt::AlignCenter);
    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] { syncDatasetFromSelection(); });
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { syncSelectionFromDataset(); });
}

void DbGrid::setColumns(const QList<GridColumn>& columns)
{
    model_->setColumns(columns);
    for (int i = 0; i < columns.size(); ++i) {
        setColumnHidden(i, !columns[i].visible);
        if (columns[i].width > 0)
            setColumnWidth(i, columns[i].width);
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

void DbGrid::syncSelectionFromDataset()
{
    db::Dataset* d = model_->dataset();
    if (syncing_ || !d)
        return;
    syncing_ = true;
    const int row = d->recNo() - 1;
    if (row >= 0 && row < model_->rowCount()) {
        int col = 0;
        while (col < model_->columnCount() && isColumnHidden(col))
            ++col;
        const QModelIndex idx = model_->index(row, col);
        selectionModel()->setCurrentIndex(idx, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(idx);
    } else {
        selectionModel()->clearSelection();
    }
    syncing_ = false;
}

void DbGrid::syncDatasetFromSelection()
{
    db::Dataset* d = model_->dataset();
    if (syncing_ || !d)
        return;
    const QModelIndex cur = currentIndex();
    if (!cur.isValid())
        return;
    syncing_ = true;
    d->setRecNo(cur.row() + 1);
    syncing_ = false;
}

} // namespace ui
