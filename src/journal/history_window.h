// A journal row's history, or the rows of a day deleted: who changed what and when, newest first, as the database's
// history trigger recorded it.
#pragma once

#include <QDate>
#include <QDialog>
#include <QHash>

class QTableWidget;

class HistoryWindow : public QDialog {
    Q_OBJECT
public:
    explicit HistoryWindow(QWidget* parent = nullptr);

    // Fills the list from the connection: one row's changes, or a day's deletions (any shift).
    void showRow(const QString& connectionName, qint64 rowId);
    void showDeletedOf(const QString& connectionName, const QDate& day);

    // The names shown for the ids a history row holds (the current names: the history keeps only the ids).
    struct Names {
        QHash<qint64, QString> workers, products, operations;
    };
    // One entry's changed columns as the list shows them: "Кол-во: 10 → 12; OK: no → ok", the worker, product and
    // operation by name (a new row's or a deleted row's values without arrows). Exposed for tests.
    static QString changes(const QString& action, const QString& oldJson, const QString& newJson,
                           const Names& names = {});

private:
    QTableWidget* List = nullptr;
    void fill(const QString& connectionName, const QString& statement);
};
