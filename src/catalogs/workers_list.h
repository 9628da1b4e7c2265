// The workers list: every worker with the position, in catalogue mode (add, change, delete) or in choice mode
// (the entry editor picks the worker of a journal row).
#pragma once

#include "ui/catalogue_window.h"
#include "ui_workers_list.h"

class Database;
class WorkerEditor;

class WorkersList : public ui::CatalogueWindow, private Ui::WorkersList {
    Q_OBJECT
public:
    WorkersList(Database* database, WorkerEditor* editor, QWidget* parent = nullptr);

    void Button1Click();
    void Button2Click() override;
    void Button3Click();

private:
    Database* database_;
    WorkerEditor* editor_;
};
