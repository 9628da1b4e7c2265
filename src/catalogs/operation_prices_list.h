// The operation prices list: every operation that has norms, with its lowest piece price and norm count; in
// catalogue mode (add, change, delete, the norms of an operation, the spreadsheet export) or in choice mode (the
// journal entry editor picks the operation of a row).
#pragma once

#include "spreadsheet/spreadsheet.h"
#include "ui/catalogue_window.h"

#include <memory>

namespace Ui {
class OperationPricesList;
}

class Database;
class OperationPriceEditor;
class NormsEditor;
namespace db {
class Dataset;
}

class OperationPricesList : public ui::CatalogueWindow {
    Q_OBJECT
public:
    OperationPricesList(Database* database, OperationPriceEditor* editor, NormsEditor* norms, QWidget* parent = nullptr);
    ~OperationPricesList() override;

    // The export's data: every operation, with or without norms.
    const db::Dataset* priceListQuery() const { return XLS_Rep; }

    void rowActivated() override;
    void addOperation();
    void changeOrChoose() override;
    void deleteOperation();
    void exportPriceList();

private:
    std::unique_ptr<Ui::OperationPricesList> ui_;
    // The export's data: every operation, with or without norms.
    db::Dataset* XLS_Rep = nullptr;
    // The spreadsheet application the price list goes to.
    spreadsheet::Application Excel{QStringLiteral("Цены")};

    Database* database_;
    OperationPriceEditor* editor_;
    NormsEditor* norms_;
};
