#include "catalogs/norms_editor.h"

#include "ui_norms_editor.h"

#include "catalogs/catalogue_changes.h"
#include "db/data_module.h"
#include "db/transaction.h"
#include "reportengine/format.h"
#include "ui/messages.h"
#include "ui/window_place.h"

#include <QKeyEvent>

using db::FieldType;

NormsEditor::NormsEditor(Database* database, QWidget* parent)
    : QDialog(parent)
    , database_(database)
{
    ui_ = std::make_unique<Ui::NormsEditor>();
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);

    norm = new db::Dataset(database_->ADO_DB.name(), QStringLiteral("norm"), this);
    norm->setTable(QStringLiteral("accounts_dep.norm"), QStringLiteral("id"));
    norm->setFieldDefs({{"id", FieldType::Integer, 0, 0, true},
                        {"o_id", FieldType::Integer},
                        {"norma", FieldType::Integer, 0, 0, false, true, QStringLiteral("Норматив")},
                        {"price", FieldType::Double, 0, 0, false, false, QStringLiteral("Цена")},
                        {"prize", FieldType::Integer, 0, 0, false, false, QStringLiteral("Премия, %")}});
    norm->setSort(QStringLiteral("norma"));
    // However a new row gets saved (leaving a column, moving to another row, "Сохранить", closing the window), it
    // belongs to the operation the window was opened for.
    norm->setOnNewRecord([this](db::Dataset& d) { d.setValue(QStringLiteral("o_id"), FOperId); });

    const auto right = Qt::AlignRight | Qt::AlignVCenter;
    ui_->DBGrid1->setColumns({{QStringLiteral("norma"), QStringLiteral("Норматив"), right, true, 110},
                         {QStringLiteral("price"), QStringLiteral("Цена"), right, true, 110, &NormsEditor::priceText},
                         {QStringLiteral("prize"), QStringLiteral("Премия, %"), right, true, 110}});
    ui_->DBGrid1->setDataset(norm);
    ui_->DBGrid1->setEditable(true);
    // Resizable and kept where and as large as it was left, within the screen.
    ui::keepPlace(this, {ui_->DBGrid1});
    ui_->DBGrid1->setAccessibleName(QStringLiteral("Нормативы"));
    // The grid's own deletion asks first; it keeps the operation's last norm, without which the operation would
    // drop out of the price list. The list may be old: the server counts again under the operation's lock.
    ui_->DBGrid1->setCanDelete([this] {
        if (norm->recordCount() > 1)
            return true;
        ui::Messages::error(catalogs::message(catalogs::Outcome::LastNorm));
        return false;
    });
    ui_->DBGrid1->setRemover([this] { deleteCurrentNorm(); });

    ui::connectGuarded(ui_->DBGrid1, &ui::DbGrid::columnEntered, this, &NormsEditor::columnEntered);
    ui::connectGuarded(ui_->DBGrid1, &ui::DbGrid::columnExited, this, &NormsEditor::columnLeft);
    ui::connectGuarded(ui_->Button1, &QPushButton::clicked, this, &NormsEditor::saveAndClose);
    ui::connectGuarded(ui_->Button2, &QPushButton::clicked, this, &NormsEditor::deleteUnlessLast);

    // Without a connection the program is about to end with its own message.
    if (database_->ADO_DB.isOpen())
        ui::guarded([this] { norm->open(); });
}

NormsEditor::~NormsEditor() = default;

QString NormsEditor::priceText(const QVariant& value)
{
    return reportengine::formatValue(value, QStringLiteral("#0.00#"));
}

void NormsEditor::showForOperation(int operId)
{
    FOperId = operId;
    FNewRow = false;
    norm->close();
    norm->setFilter(QStringLiteral("o_id=") + QString::number(operId));
    norm->setFiltered(true);
    norm->open();
    ui_->DBGrid1->setFocus();
    ui::showModal(this);
}

void NormsEditor::columnEntered()
{
    if (norm->recNo() < 0) {
        if (norm->state() != db::Dataset::State::Insert)
            norm->append();
        FNewRow = true;
    } else {
        norm->edit();
        FNewRow = false;
    }
}

void NormsEditor::columnLeft()
{
    if (!norm->isModified())
        return;
    if (FNewRow)
        norm->setValue(QStringLiteral("o_id"), FOperId);
    norm->refresh();
}

void NormsEditor::deleteUnlessLast()
{
    if (norm->recordCount() > 1)
        deleteCurrentNorm();
    else
        norm->refresh();
}

void NormsEditor::deleteCurrentNorm()
{
    if (norm->state() == db::Dataset::State::Insert) { // a row not saved yet is only dropped
        norm->cancel();
        return;
    }
    norm->cancel();
    if (norm->isEmpty())
        return;
    const catalogs::Outcome outcome =
        catalogs::deleteNorm(database_->ADO_DB.name(), norm->asLongLong(QStringLiteral("id")), FOperId);
    if (outcome != catalogs::Outcome::Written)
        ui::Messages::error(catalogs::message(outcome));
    const int recNo = norm->recNo();
    const auto reread = [&] {
        norm->refresh();
        if (!norm->isEmpty())
            norm->setRecNo(recNo);
    };
    if (outcome == catalogs::Outcome::Written)
        db::rereadAfterCommit(reread);
    else
        reread();
}

void NormsEditor::saveAndClose()
{
    norm->checkBrowseMode();
    // The list shows the new lowest price and norm count, on the same row as before.
    db::Dataset* oper = database_->Oper;
    const int recNo = oper->recNo();
    oper->close();
    oper->open();
    oper->setRecNo(recNo);
    accept();
}

// Escape is the "Сохранить" button's, as the window's cancel button.
void NormsEditor::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        ui::guarded([this] { saveAndClose(); });
        return;
    }
    QDialog::keyPressEvent(event);
}

// Closing the window otherwise keeps what was typed: the pending row is saved (it stays open if the row is refused).
void NormsEditor::reject()
{
    bool saved = false;
    ui::guarded([&] {
        norm->checkBrowseMode();
        saved = true;
    });
    if (saved)
        QDialog::reject();
}
