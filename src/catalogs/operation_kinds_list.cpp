#include "catalogs/operation_kinds_list.h"

#include "ui_operation_kinds_list.h"

#include "catalogs/catalogue_changes.h"
#include "catalogs/operation_kind_editor.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/transaction.h"

OperationKindsList::OperationKindsList(Database* database, OperationKindEditor* editor, QWidget* parent)
    : ui::CatalogueWindow(parent)
    , database_(database)
    , editor_(editor)
{
    ui_ = std::make_unique<Ui::OperationKindsList>();
    ui_->setupUi(this);
    ui_->DBGrid1->setColumns(
        {{QStringLiteral("VID"), QStringLiteral("Операции"), Qt::AlignLeft | Qt::AlignVCenter, true, 320}});
    Setup s;
    s.query = database_ ? database_->Vid_oper : nullptr;
    s.grid = ui_->DBGrid1;
    s.search = ui_->Edit1;
    s.add = ui_->Button1;
    s.second = ui_->Button2;
    s.remove = ui_->Button3;
    s.exit = ui_->Button4;
    s.searchField = QStringLiteral("vid");
    s.keys = SearchKeys::EditKeysDiscarded;
    s.searchInCatalogueMode = false;
    s.liveName = QStringLiteral("kinds");
    setUpCatalogue(s);
    ui::connectGuarded(ui_->Button1, &QPushButton::clicked, this, &OperationKindsList::addKind);
    ui::connectGuarded(ui_->Button3, &QPushButton::clicked, this, &OperationKindsList::deleteKind);
}

OperationKindsList::~OperationKindsList() = default;

void OperationKindsList::addKind()
{
    editor_->openForAdd(this);
}

void OperationKindsList::changeOrChoose()
{
    db::Dataset* kinds = database_->Vid_oper;
    if (choiceMode()) {
        // An empty list hands over an empty name and the key 0; the price editor refuses an empty kind.
        const bool any = !kinds->isEmpty();
        handOver({true, any ? kinds->asString(QStringLiteral("vid")).trimmed() : QString(),
                  any ? kinds->asInt(QStringLiteral("id")) : 0});
        return;
    }
    // Nothing to change in an empty list.
    if (kinds->isEmpty())
        return;
    editor_->openForChange(kinds->asLongLong(QStringLiteral("id")), kinds->asString(QStringLiteral("vid")).trimmed(),
                            this);
}

void OperationKindsList::deleteKind()
{
    if (!ui::Messages::question(QStringLiteral("Удалить вид операции?")))
        return;
    db::Dataset* kinds = database_->Vid_oper;
    try {
        kinds->remove();
    } catch (const db::DbError& err) {
        if (err.sqlState() != QLatin1String(db::sqlstate::kForeignKeyViolation))
            throw;
        ui::Messages::error(QStringLiteral("Вид операции нельзя удалить: он используется в операциях. "
                                           "Сначала удалите эти операции или выберите в них другой вид."));
        return;
    }
    db::rereadAfterCommit([kinds] {
        kinds->close();
        kinds->open();
    });
}
