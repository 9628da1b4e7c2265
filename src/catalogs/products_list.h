// The products list: every product's grade code and boxes, in catalogue mode (add, change; products are never
// deleted) or in choice mode (the operation price editor picks the product of an operation).
#pragma once

#include "ui/catalogue_window.h"
#include "ui_products_list.h"

class Database;
class ProductEditor;

class ProductsList : public ui::CatalogueWindow, private Ui::ProductsList {
    Q_OBJECT
public:
    ProductsList(Database* database, ProductEditor* editor, QWidget* parent = nullptr);

    void Button1Click();
    void Button2Click() override;

private:
    Database* database_;
    ProductEditor* editor_;
};
