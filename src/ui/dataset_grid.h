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
    // How the column shows a value; empty: displayText.
    std::function<QString(const QVariant&)> format;
    QColor titleColor; // invalid: the header's own
    // The widest value the column must show whole (e.g. "0000000000,00"): the column is at least as wide.
    QString widest;
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
    void setTitleColor(int column, const QColor& color);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // Editing: cells of writable fields take typed text (setData with the text); the row being inserted shows as
    // an extra last row. A refused text leaves the row as it was and gives false; lastError() says why.
    void setEditable(bool on);
    bool editable() const { return editable_; }
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    QString lastError() const { return lastError_; }
    // The typed text of a column as the value of its field, or the reason it is refused (in Russian).
    bool convertInput(int column, const QString& text, QVariant* value, QString* error) const;
    // The grid row of the row being inserted, -1 when none.
    int pendingRow() const;
    // The grid row the dataset stands on (the pending row while inserting), -1 when none.
    int currentRow() const;

private:
    void reset();
    void currentValuesChanged();

    QPointer<db::Dataset> dataset_;
    QList<GridColumn> columns_;
    QVector<int> fieldColumns_; // dataset column of each grid column, -1 when absent
    QList<QMetaObject::Connection> connections_;
    bool editable_ = false;
    mutable QString lastError_;
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

    // An editable grid: cells are edited in place (a typed text that the field refuses is shown in a message and
    // the cell stays open with it), Down on the last row or Insert starts a new row, as typing into an empty grid
    // does, Escape drops the changes of the row, moving to another row saves it, Ctrl+Delete deletes the row after
    // asking ("Удалить запись?").
    // A row indicator shows the current row and whether it is being edited or inserted.
    void setEditable(bool on);
    bool editable() const { return model_->editable(); }
    // Asked before the grid deletes a row; false keeps the row (the function shows why).
    void setCanDelete(std::function<bool()> canDelete) { canDelete_ = std::move(canDelete); }
    // Deletes the current row after the question instead of the dataset's own deletion (a deletion with checks of
    // its own on the server).
    void setRemover(std::function<void()> remover) { remover_ = std::move(remover); }
    // The grid's own deletion of the current row: asks first.
    void deleteCurrentRow();
    // Starts a new row and puts the cursor into it.
    void appendRow();

signals:
    // The current column changes: exited for the column left, then entered for the new one.
    void columnExited(int column);
    void columnEntered(int column);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void syncSelectionFromDataset();
    void syncDatasetFromSelection(int row);
    void onCurrentChanged(const QModelIndex& current, const QModelIndex& previous);
    std::function<bool()> canDelete_;
    std::function<void()> remover_;
    int currentColumn_ = -1;

    DatasetModel* model_;
    std::function<CellStyle(int, const QString&)> styler_;
    QList<QMetaObject::Connection> connections_;
    bool syncing_ = false;
};

} // namespace ui
