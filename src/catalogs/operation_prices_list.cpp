#include "catalogs/operation_prices_list.h"

#include "ui_operation_prices_list.h"

#include "catalogs/catalogue_changes.h"
#include "catalogs/norms_editor.h"
#include "catalogs/operation_price_editor.h"
#include "catalogs/operation_prices_sql.h"
#include "catalogs/price_list_export.h"
#include "db/data_module.h"
#include "db/transaction.h"
#include "reportengine/format.h"

#include <QCheckBox>
#include <QComboBox>
#include <QScopeGuard>

namespace sql = operation_prices_sql;
using db::FieldType;

OperationPricesList::OperationPricesList(Database* database, OperationPriceEditor* editor, NormsEditor* norms, QWidget* parent)
    : ui::CatalogueWindow(parent)
    , database_(database)
    , editor_(editor)
    , norms_(norms)
{
    ui_ = std::make_unique<Ui::OperationPricesList>();
    ui_->setupUi(this);
    const auto left = Qt::AlignLeft | Qt::AlignVCenter;
    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    ui_->DBGrid1->setColumns({
        {QStringLiteral("MARKA"), QStringLiteral("Марка"), left, true, 170},
        {QStringLiteral("VID"), QStringLiteral("Опреция"), left, true, 170},
        {QStringLiteral("cena"), QStringLiteral("Цена (min)"), right, true, 90},
        {QStringLiteral("nmn"), QStringLiteral("Вид"), left, true, 140},
        {QStringLiteral("id"), QStringLiteral("id"), right, false},
        {QStringLiteral("i_id"), QStringLiteral("i_id"), right, false},
        {QStringLiteral("oper_vid"), QStringLiteral("oper_vid"), right, false},
        {QStringLiteral("norma"), QStringLiteral("Нормы (шт.)"), right, true, 90},
    });
    Setup s;
    s.query = database_ ? database_->Oper : nullptr;
    s.grid = ui_->DBGrid1;
    s.search = ui_->Edit1;
    s.add = ui_->Button1;
    s.second = ui_->Button2;
    s.remove = ui_->Button3;
    s.exit = ui_->Button4;
    s.searchField = QStringLiteral("marka");
    s.keys = SearchKeys::EditKeysDiscarded;
    s.blankSearchShowsAll = true;
    s.liveName = QStringLiteral("operations");
    setUpCatalogue(s);
    ui_->CheckBox1->setToolTip(QStringLiteral("Отмечено: Enter или двойной щелчок в списке открывают нормы операции"));
    ui::connectGuarded(ui_->Button1, &QPushButton::clicked, this, &OperationPricesList::addOperation);
    ui::connectGuarded(ui_->Button3, &QPushButton::clicked, this, &OperationPricesList::deleteOperation);
    ui::connectGuarded(ui_->Button5, &QPushButton::clicked, this, &OperationPricesList::exportPriceList);

    XLS_Rep = new db::Dataset(database_ ? database_->reportConnectionName() : QString(),
                              QStringLiteral("XLS_Rep"), this);
    XLS_Rep->setSqlLines(sql::kXlsRepLines);
    XLS_Rep->setFieldDefs({{"MARKA", FieldType::Text, 50},
                           {"VID", FieldType::Text, 50},
                           {"NAIMEN", FieldType::SmallInt},
                           {"nmn", FieldType::Text, 255},
                           {"cena", FieldType::Double},
                           {"id", FieldType::Integer},
                           {"i_id", FieldType::Integer},
                           {"oper_vid", FieldType::Integer}});
}

OperationPricesList::~OperationPricesList() = default;

void OperationPricesList::rowActivated()
{
    db::Dataset* oper = database_->Oper;
    if (ui_->CheckBox1->isChecked() && !choiceMode()) {
        if (oper->isEmpty())
            return;
        norms_->showForOperation(oper->asInt(QStringLiteral("id")));
        return;
    }
    changeOrChoose();
}

void OperationPricesList::addOperation()
{
    // A new operation has no norm yet, and the list shows only operations with norms: its first norm is entered
    // now, and the list then stands on it.
    const qint32 id = editor_->openForAdd(this);
    if (id == 0)
        return;
    norms_->showForOperation(id);
    db::Dataset* oper = database_->Oper;
    // Closed without a norm it would be in no list, and adding it again would find it: it is not kept.
    const bool dropped = catalogs::dropOperationWithoutNorms(database_->ADO_DB.name(), id);
    db::rereadAfterCommit([&] {
        oper->close();
        oper->open();
        oper->locate(QStringLiteral("id"), id);
    });
    if (dropped)
        ui::Messages::error(QStringLiteral("Операция не записана: у неё нет ни одной нормы. "
                                           "Добавьте операцию снова и введите хотя бы одну норму."));
}

void OperationPricesList::changeOrChoose()
{
    db::Dataset* oper = database_->Oper;
    if (choiceMode()) {
        // An empty list hands nothing over: said here, and the entry editor keeps the operation it had.
        if (emptyChoiceRefused())
            return;
        handOver({true, oper->asString(QStringLiteral("MARKA")).trimmed(), oper->asInt(QStringLiteral("id"))});
        return;
    }
    if (oper->isEmpty())
        return; // nothing to change
    OperationPriceEditor::Shown shown;
    shown.id = oper->asLongLong(QStringLiteral("id"));
    shown.product = oper->asString(QStringLiteral("MARKA")).trimmed();
    shown.kind = oper->asString(QStringLiteral("VID")).trimmed();
    shown.finished = oper->asInt(QStringLiteral("NAIMEN")) == 0;
    shown.productId = oper->asInt(QStringLiteral("i_id"));
    shown.kindId = oper->asInt(QStringLiteral("oper_vid"));
    editor_->openForChange(shown, this);
}

void OperationPricesList::deleteOperation()
{
    Database* dm = database_;
    db::Dataset* oper = dm->Oper;
    if (oper->isEmpty())
        return;
    if (!ui::Messages::question(QStringLiteral("Удалить операцию?")))
        return;
    const qint32 id = oper->asInt(QStringLiteral("id"));
    // Journal rows refer to the operation: deleting it would take them out of the journal, the timesheet and the
    // reports. An operation that only norms use goes together with its norms.
    int used = 0;
    const catalogs::Outcome outcome = catalogs::deleteOperation(dm->ADO_DB.name(), id, &used);
    if (outcome == catalogs::Outcome::InUse)
        ui::Messages::error(QStringLiteral("Операцию удалить нельзя: она есть в журнале (записей: %1).").arg(used));
    else if (outcome != catalogs::Outcome::Written)
        ui::Messages::error(catalogs::message(outcome));
    const auto reread = [oper] {
        oper->close();
        oper->open();
    };
    if (outcome == catalogs::Outcome::Written)
        db::rereadAfterCommit(reread);
    else
        reread();
}

void OperationPricesList::exportPriceList()
{
    ui::WaitCursor wait;
    XLS_Rep->close();
    XLS_Rep->open();
    const auto close = qScopeGuard([this] { XLS_Rep->close(); });
    if (Excel.OpenWorkbook(QString()) == -1)
        return;
    catalogs::writePriceList(*XLS_Rep, Excel);
    Excel.SetAppVisible(true);
}
