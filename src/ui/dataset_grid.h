// A data grid over a dataset: a table model that follows the dataset, its filter and its current record
// in both directions, and a grid view with per-cell styling.
#pragma once

#include "db/dataset.h"

#include <QAbstractTableModel>
#include <QColor>
#include <QPointer>
#include <QStyledItemDelegate>
#include <QTableView>

#include <functional>

namespace ui {

struct GridColumn {
    QString field;
    QString title;
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    bool visible = true;
    int width = 0; // 0: sized to contents
};

// Text of a value as the grid shows it: dates day first, numbers without grouping.
QString displayText(const QVariant& value);

class DatasetModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit DatasetModel(QObject* parent = nullptr);

    void setDataset(db::Dataset* dataset);
    db::Dataset* dataset() const { return dataset_; }
    void setColumns(const QList<GridColumn>& columns);
    const QList<GridColumn>& columns() const { return columns_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    void reset();

    QPointer<db::Dataset> dataset_;
    QList<GridColumn> columns_;
    QVector<int> fieldColumns_; // dataset column of each grid column, -1 when absent
    QList<QMetaObject::Connection> connections_;
};

// How one cell is drawn: font weight and text colour; the default leaves the cell as it is.
struct CellStyle {
    bool bold = false;
    QColor foreground;
};

class DbGrid : public QTableView {
    Q_OBJECT
public:
    explicit DbGrid(QWidget* parent = nullptr);

    void setColumns(const QList<GridColumn>& columns);
    void setDataset(db::Dataset* dataset);
    db::Dataset* dataset() const { return model_->dataset(); }
    DatasetModel* datasetModel() const { return model_; }

    // Called for every cell the grid draws: row is 0-based among the visible rows.
    void setCellStyler(std::function<CellStyle(int row, const QString& field)> styler);
    CellStyle cellStyle(int row, const QString& field) const;

private:
    void syncSelectionFromDataset();
    void syncDatasetFromSelection();

    DatasetModel* model_;
    std::function<CellStyle(int, const QString&)> styler_;
    QList<QMetaObject::Connection> connections_;
    bool syncing_ = false;
};

} // namespace ui
