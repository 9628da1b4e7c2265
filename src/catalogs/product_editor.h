// The product editor: one product's grade code, boxes and product group, written to the enterprise goods table.
#pragma once

#include "ui/messages.h"

#include <QDialog>

#include <memory>

namespace Ui {
class ProductEditor;
}

class Database;
namespace db {
class Dataset;
}

class ProductEditor : public ui::Dialog {
    Q_OBJECT
public:
    explicit ProductEditor(Database* database, QWidget* parent = nullptr);
    ~ProductEditor() override;

    // Opens the editor for a new product.
    void openForAdd(ui::Activatable* returnTo);
    // Opens the editor for a change of the product `id` (the current row of the products) as the list shows it:
    // its grade code, its boxes as the editor writes them and its group.
    void openForChange(qint64 id, const QString& code, const QString& rate, qint64 group, ui::Activatable* returnTo);

    // True while the editor changes a product, false for a new one.
    bool changesRow() const { return Tag != 1; }

    void FormActivate() override;
    // The "Расценка" key filter: digits and Backspace pass, a comma or full stop is a full stop, the rest is
    // dropped. True when the key was taken.
    bool rateKey(const QString& typed);
    void save();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::ProductEditor> ui_;
    // 1: the editor adds a product; anything else: it changes the current product of Izdel.
    int Tag = 0;
    // The product as the editor opened it for a change, compared again when it is written.
    QString FOpened;
    // The product groups of the classifier; the list window opens it around each editing.
    db::Dataset* item = nullptr;

    Database* database_;
};
