#include "catalogs/workers_list.h"

#include "ui_workers_list.h"

#include "catalogs/catalogs_sql.h"
#include "catalogs/catalogue_changes.h"
#include "catalogs/worker_editor.h"
#include "db/command.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/transaction.h"

WorkersList::WorkersList(Database* database, WorkerEditor* editor, QWidget* parent)
    : ui::CatalogueWindow(parent)
    , database_(database)
    , editor_(editor)
{
    ui_ = std::make_unique<Ui::WorkersList>();
    ui_->setupUi(this);
    ui_->DBGrid1->setColumns({
        {QStringLiteral("fio"), QStringLiteral("ФИО"), Qt::AlignLeft | Qt::AlignVCenter, true, 260},
        {QStringLiteral("s_staffpos_hl"), QStringLiteral("Должность"), Qt::AlignLeft | Qt::AlignVCenter, true, 240},
    });
    Setup s;
    s.query = database_ ? database_->Workers : nullptr;
    s.grid = ui_->DBGrid1;
    s.search = ui_->Edit1;
    s.add = ui_->Button1;
    s.second = ui_->Button2;
    s.remove = ui_->Button3;
    s.exit = ui_->Button4;
    s.searchField = QStringLiteral("fio");
    s.keys = SearchKeys::EditKeysDiscarded;
    s.liveName = QStringLiteral("workers");
    setUpCatalogue(s);
    ui::connectGuarded(ui_->Button1, &QPushButton::clicked, this, &WorkersList::addWorker);
    ui::connectGuarded(ui_->Button3, &QPushButton::clicked, this, &WorkersList::deleteWorker);
}

WorkersList::~WorkersList() = default;

void WorkersList::addWorker()
{
    const bool saved = editor_->openForAdd(this);
    db::Dataset* workers = database_->Workers;
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

void WorkersList::changeOrChoose()
{
    db::Dataset* workers = database_->Workers;
    if (choiceMode()) {
        if (emptyChoiceRefused())
            return;
        handOver({true, workers->asString(QStringLiteral("fio")).trimmed(), workers->asInt(QStringLiteral("id"))});
        return;
    }
    // Nothing to change in an empty list.
    if (workers->isEmpty())
        return;
    const int recNo = workers->recNo();
    if (editor_->openForChange(workers->asInt(QStringLiteral("id")),
                                workers->asString(QStringLiteral("fio")).trimmed(),
                                workers->asString(QStringLiteral("s_staffpos_hl")), this))
        db::rereadAfterCommit([&] { reloadAt(recNo); });
    else
        reloadAt(recNo);
}

void WorkersList::deleteWorker()
{
    db::Dataset* workers = database_->Workers;
    if (!ui::Messages::question(QStringLiteral("Удалить работника?")))
        return;
    if (workers->isEmpty())
        return;
    const int recNo = workers->recNo();
    db::Command del(database_->ADO_DB.name(), QStringLiteral("cmd_person"));
    del.setText(catalogs_sql::deleteWorker(workers->asInt(QStringLiteral("id"))));
    try {
        if (del.execute() == 0) {
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
