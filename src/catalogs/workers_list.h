// The workers list: every worker with the position, in catalogue mode (add, change, delete) or in choice mode
// (the entry editor picks the worker of a journal row).
#pragma once

#include "ui/catalogue_window.h"

#include <memory>

namespace Ui {
class WorkersList;
}

class Database;
class WorkerEditor;

class WorkersList : public ui::CatalogueWindow {
    Q_OBJECT
public:
    WorkersList(Database* database, WorkerEditor* editor, QWidget* parent = nullptr);
    ~WorkersList() override;

    void addWorker();
    void changeOrChoose() override;
    void deleteWorker();

private:
    std::unique_ptr<Ui::WorkersList> ui_;
    Database* database_;
    WorkerEditor* editor_;
};
