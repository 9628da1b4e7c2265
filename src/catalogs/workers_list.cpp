#include "catalogs/workers_list.h"

#include "catalogs/catalogs_sql.h"
#include "catalogs/catalogue_changes.h"
#include "catalogs/worker_editor.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/transaction.h"
#include "ui/window_registry.h"

TForm5::TForm5(Windows& windows, QWidget* parent)
    : ui::CatalogueWindow(parent)
    , w_(windows)
{
    setupUi(this);
    setFixedSize(size());
    DBGrid1->setColumns({
        {QStringLiteral("fio"), QStringLiteral("ФИО"), Qt::AlignLeft | Qt::AlignVCenter, true, 260},
        {QStringLiteral("s_staffpos_hl"), QStringLiteral("Должность"), Qt::AlignLeft | Qt::AlignVCenter, true, 240},
    });
    Setup s;
    s.query = w_.DataModule6 ? w_.DataModule6->Workers : nullptr;
    s.grid = DBGrid1;
    s.search = Edit1;
    s.add = Button1;
    s.second = Button2;
    s.remove = Button3;
    s.exit = Button4;
    s.searchField = QStringLiteral("fio");
    s.keys = SearchKeys::EditKeysDiscarded;
    s.liveName = QStringLiteral("workers");
    setUpCatalogue(s);
    ui::connectGuarded(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
    ui::connectGuarded(Button3, &QPushButton::clicked, this, &TForm5::Button3Click);
}

void TForm5::reopenLookups()
{
    TForm2* e = w_.Form2;
    for (db::Dataset* list : {e->staffpos, e->roles, e->department}) {
        list->close();
        list->open();
    }
}

void TForm5::Button1Click()
{
    TForm2* e = w_.Form2;
    e->Edit1->clear();
    e->setWindowTitle(QStringLiteral("Заведение данных нового работника"));
    e->Tag = 1;
    reopenLookups();
    const bool saved = ui::showModal(e, this) == QDialog::Accepted;
    db::Dataset* workers = w_.DataModule6->Workers;
    // After a committed change a failed re-read must not read as "not done": repeating it would add the worker twice.
    const auto reread = [workers] {
        workers->close();
        workers->open();
    };
    if (saved)
        db::rereadAfterCommit(reread);
    else
        reread();
}

void TForm5::Button2Click()
{
    db::Dataset* workers = w_.DataModule6->Workers;
    if (choiceMode()) {
        if (workers->isEmpty()) {
            accept();
            return;
        }
        handOver({true, workers->asString(QStringLiteral("fio")).trimmed(), workers->asInt(QStringLiteral("id"))});
        return;
    }
    // Nothing to change in an empty list.
    if (workers->isEmpty())
        return;
    const int recNo = workers->recNo();
    TForm2* e = w_.Form2;
    e->setWindowTitle(QStringLiteral("Изменение данных работника"));
    e->Tag = 2;
    reopenLookups();
    e->Edit1->setText(workers->asString(QStringLiteral("fio")).trimmed());
    e->FPersonId = workers->asInt(QStringLiteral("id"));
    e->showStoredPosition(workers->asString(QStringLiteral("s_staffpos_hl")));
    e->FOpened = catalogs::openedVersion(w_.DataModule6->ADO_DB.name(), catalogs_sql::Row::Worker, e->FPersonId);
    if (ui::showModal(e, this) == QDialog::Accepted)
        db::rereadAfterCommit([&] { reloadAt(recNo); });
    else
        reloadAt(recNo);
}

void TForm5::Button3Click()
{
    db::Dataset* workers = w_.DataModule6->Workers;
    if (!ui::Messages::question(QStringLiteral("Удалить работника?")))
        return;
    if (workers->isEmpty())
        return;
    const int recNo = workers->recNo();
    TForm2* e = w_.Form2;
    e->cmd_person->setText(catalogs_sql::deleteWorker(workers->asInt(QStringLiteral("id"))));
    try {
        if (e->cmd_person->execute() == 0) {
            // Deleted on another workstation already: said so, and the list shows what there is now.
            ui::Messages::error(QString::fromUtf8(db::kRowGoneMessage));
            reloadAt(recNo);
            return;
        }
    } catch (const db::DbError& err) {
        if (err.sqlState() != QLatin1String(db::sqlstate::kForeignKeyViolation))
            throw;
        ui::Messages::error(QStringLiteral("Работника нельзя удалить: на него есть записи в журнале. "
                                           "Сначала удалите или перенесите эти записи."));
        return;
    }
    db::rereadAfterCommit([&] { reloadAt(recNo); });
}
