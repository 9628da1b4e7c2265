// The operation kinds list, in catalogue mode (add, rename, delete) or in choice mode (the operation price
// editor picks the kind of an operation); its search box shows only in choice mode.
#pragma once

#include "ui/catalogue_window.h"

#include <memory>

namespace Ui {
class OperationKindsList;
}

class Database;
class OperationKindEditor;

class OperationKindsList : public ui::CatalogueWindow {
    Q_OBJECT
public:
    OperationKindsList(Database* database, OperationKindEditor* editor, QWidget* parent = nullptr);
    ~OperationKindsList() override;

    void addKind();
    void changeOrChoose() override;
    void deleteKind();

private:
    std::unique_ptr<Ui::OperationKindsList> ui_;
    Database* database_;
    OperationKindEditor* editor_;
};
