// The products list: every product's grade code and boxes, in catalogue mode (add, change; products are never
// deleted) or in choice mode (the operation price editor picks the product of an operation).
#pragma once

#include "ui/catalogue_window.h"
#include "ui_products_list.h"

struct Windows;

class ProductsList : public ui::CatalogueWindow, private Ui::ProductsList {
    Q_OBJECT
public:
    explicit ProductsList(Windows& windows, QWidget* parent = nullptr);

    void Button1Click();
    void Button2Click() override;

private:
    Windows& w_;
};
