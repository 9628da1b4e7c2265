// The operation editor: the product, the operation kind and the finished/blank flag of one operation.
#pragma once

#include "ui/messages.h"

#include <QDialog>

#include <memory>

namespace Ui {
class OperationPriceEditor;
}

class Database;
class ProductsList;
class OperationKindsList;

class OperationPriceEditor : public ui::Dialog {
    Q_OBJECT
public:
    OperationPriceEditor(Database* database, ProductsList* products, OperationKindsList* kinds, QWidget* parent = nullptr);
    ~OperationPriceEditor() override;

    // Opens the editor for a new operation; returns the id of the operation it added, 0 for none.
    qint32 openForAdd(ui::Activatable* returnTo);
    // The operation as the price list shows it, opened for a change.
    struct Shown {
        qint64 id = 0;
        QString product;
        QString kind;
        bool finished = false; // "Готовое" rather than the blank
        qint32 productId = 0;
        qint32 kindId = 0;
    };
    void openForChange(const Shown& operation, ui::Activatable* returnTo);

    // The openings without the showing: the editor set for a new operation, or for a change of `operation`.
    void prepareAdd();
    void prepareChange(const Shown& operation);
    // True while the editor changes an operation, false for a new one.
    bool changesRow() const { return Tag != 1; }
    // What the choosers hand over: the product and the operation kind, with the names the boxes show.
    void takeProduct(qint32 id, const QString& name);
    void takeKind(qint32 id, const QString& name);

    void FormActivate() override;
    void chooseProduct();
    void chooseKind();
    void save();

protected:
private:
    std::unique_ptr<Ui::OperationPriceEditor> ui_;
    // 1 adds an operation; any other value changes the current one of the price list.
    int Tag = 0;
    // The operation as the editor opened it for a change, compared again when it is written.
    QString FOpened;
    qint32 FProductId = 0;
    qint32 FKindId = 0;
    // The operation the last save added, 0 when it added none.
    qint32 FNewOperId = 0;

    Database* database_;
    ProductsList* products_;
    OperationKindsList* kinds_;
};
