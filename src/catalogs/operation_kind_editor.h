// The operation kind editor: the name of one kind, written through the shared query of the kinds.
#pragma once

#include "ui/messages.h"

#include <QDialog>

#include <memory>

namespace Ui {
class OperationKindEditor;
}

class Database;

class OperationKindEditor : public ui::Dialog {
    Q_OBJECT
public:
    explicit OperationKindEditor(Database* database, QWidget* parent = nullptr);
    ~OperationKindEditor() override;

    // Opens the editor for a new kind.
    void openForAdd(ui::Activatable* returnTo);
    // Opens the editor for a new name of the kind `id` (the current row of the kinds), shown as `name`.
    void openForChange(qint64 id, const QString& name, ui::Activatable* returnTo);

    // True while the editor renames a kind, false for a new one.
    bool changesRow() const { return Tag != 1; }

    void FormActivate() override;
    void save();

protected:
private:
    std::unique_ptr<Ui::OperationKindEditor> ui_;
    // 1: the editor adds a kind; anything else: it renames the current row of Vid_oper.
    int Tag = 0;
    // The kind as the editor opened it for a change, compared again when it is written.
    QString FOpened;

    Database* database_;
};
