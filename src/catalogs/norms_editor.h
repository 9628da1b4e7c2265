// The norms editor: norms and piece prices of one operation, typed straight into a grid.
#pragma once


#include <QDialog>

#include <memory>

namespace Ui {
class NormsEditor;
}

class Database;
namespace db {
class Dataset;
}

class NormsEditor : public QDialog {
    Q_OBJECT
public:
    explicit NormsEditor(Database* database, QWidget* parent = nullptr);
    ~NormsEditor() override;

    // The norms the window shows (the table accounts_dep.norm filtered to the operation opened).
    db::Dataset* norms() const { return norm; }

    // The opening from the price list: the norms of one operation, shown modally.
    void showForOperation(int operId);

    // A column entered on the empty line starts a new norm of the operation; a changed row left is written.
    void columnEntered();
    void columnLeft();
    // "Сохранить": the norms written, the price list read again on its row, the window closed.
    void saveAndClose();
    // "Удалить": the current norm, unless it is the only one shown.
    void deleteUnlessLast();
    // The current norm deleted on the server (never the operation's last one there), then the list read again.
    void deleteCurrentNorm();

    // The price as the grid shows it: two or three decimals.
    static QString priceText(const QVariant& value);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void reject() override;

private:
    std::unique_ptr<Ui::NormsEditor> ui_;
    // The whole table accounts_dep.norm, in ascending order of the norm; opened at creation, filtered per opening.
    db::Dataset* norm = nullptr;
    // Whether the last column entry started a new row.
    bool FNewRow = false;
    // The operation the window was opened for: every new norm row belongs to it.
    int FOperId = 0;

    Database* database_;
};
