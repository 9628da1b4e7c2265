// The worker editor: one worker's name and department, written back with one statement.
#pragma once

#include "ui/messages.h"

#include <QDialog>

#include <memory>

namespace Ui {
class WorkerEditor;
}

class Database;
namespace db {
class Dataset;
} // namespace db

class WorkerEditor : public ui::Dialog {
    Q_OBJECT
public:
    explicit WorkerEditor(Database* database, QWidget* parent = nullptr);
    ~WorkerEditor() override;

    // Opens the editor for a new worker; true when one was written.
    bool openForAdd(ui::Activatable* returnTo);
    // Opens the editor for a change of the worker `id` as the list shows it (name, stored position); true when it
    // was written.
    bool openForChange(qint32 id, const QString& name, const QString& position, ui::Activatable* returnTo);

    // The openings without the showing: the editor set for a new worker, or for a change of the worker `id`.
    void prepareAdd();
    void prepareChange(qint32 id, const QString& name, const QString& position);
    // True while the editor changes a worker (personId()), false for a new one.
    bool changesRow() const { return Tag != 1; }
    qint32 personId() const { return FPersonId; }

    void FormActivate() override;
    // Opened for a change: the boxes show the worker's stored position (the department of that name, when there
    // is one); the position and role boxes, which nothing stores, start empty.
    void showStoredPosition(const QString& position);
    void save();
    // The wheel moves the focused lookup box by one entry, wherever the pointer is over the editor.
    void stepFocusedLookup(bool down);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::unique_ptr<Ui::WorkerEditor> ui_;
    // 1: the editor adds a worker; anything else: it changes the worker FPersonId.
    int Tag = 0;
    qint32 FPersonId = 0;
    // The worker as the editor opened it for a change, compared again when it is written.
    QString FOpened;
    // The position stored with the worker opened for a change: written back as it is unless a department is
    // chosen, so that a change of the name alone keeps it.
    QString FPosition;

    // The lookup lists and the command of the worker statements.
    db::Dataset* staffpos = nullptr;
    db::Dataset* department = nullptr;
    db::Dataset* roles = nullptr;

    void reopenLookups();

    Database* database_;
};
