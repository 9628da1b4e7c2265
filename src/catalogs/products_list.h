// The products list: every product's grade code and boxes, in catalogue mode (add, change; products are never
// deleted) or in choice mode (the operation price editor picks the product of an operation).
#pragma once

#include "ui/catalogue_window.h"

#include <memory>

namespace Ui {
class ProductsList;
}

class Database;
class ProductEditor;

class ProductsList : public ui::CatalogueWindow {
    Q_OBJECT
public:
    ProductsList(Database* database, ProductEditor* editor, QWidget* parent = nullptr);
    ~ProductsList() override;

    void addProduct();
    void changeOrChoose() override;

private:
    std::unique_ptr<Ui::ProductsList> ui_;
    Database* database_;
    ProductEditor* editor_;
};
