#include "catalogs/operation_kind_editor.h"

#include "ui_operation_kind_editor.h"

#include "catalogs/catalogs_sql.h"
#include "catalogs/catalogue_changes.h"
#include "catalogs/catalogue_save.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "db/sql_text.h"
#include "db/transaction.h"
#include "ui/catalogue_window.h"
#include "ui/messages.h"

namespace {

// accounts_dep.vid_oper.vid holds at most this many characters.
constexpr int kNameLength = 50;

} // namespace

OperationKindEditor::OperationKindEditor(Database* database, QWidget* parent)
    : ui::Dialog(parent)
    , database_(database)
{
    ui_ = std::make_unique<Ui::OperationKindEditor>();
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(size());
    ui::boldCaptionOnly(ui_->GroupBox1);
    ui::connectGuarded(ui_->Button1, &QPushButton::clicked, this, &OperationKindEditor::save);
    ui::connectGuarded(ui_->Button2, &QPushButton::clicked, this, &QDialog::reject);
}

OperationKindEditor::~OperationKindEditor() = default;

void OperationKindEditor::FormActivate()
{
    ui_->Edit1->setFocus();
}

void OperationKindEditor::openForAdd(ui::Activatable* returnTo)
{
    ui_->Edit1->clear();
    setWindowTitle(QStringLiteral("Заведение нового вида операций"));
    Tag = 1;
    ui::showModal(this, returnTo);
}

void OperationKindEditor::openForChange(qint64 id, const QString& name, ui::Activatable* returnTo)
{
    setWindowTitle(QStringLiteral("Изменение данных вида операции"));
    Tag = 2;
    ui_->Edit1->setText(name);
    FOpened = catalogs::openedVersion(database_->ADO_DB.name(), catalogs_sql::Row::Kind, id);
    ui::showModal(this, returnTo);
}

void OperationKindEditor::save()
{
    Database* dm = database_;
    db::Dataset* kinds = dm->Vid_oper;
    const QString name = ui_->Edit1->text().trimmed();
    if (name.isEmpty()) {
        ui::Messages::error(QStringLiteral("Все поля должны быть заполнены!"));
        ui_->Edit1->setFocus();
        return;
    }
    // Refused before anything is sent: the column would not hold it, and cutting it would store another name.
    // Counted as the server counts: characters, not the two halves of an emoji.
    const qsizetype length = name.toUcs4().size();
    if (length > kNameLength) {
        ui::Messages::error(QStringLiteral("Название операции не может быть длиннее %1 символов (сейчас %2)!")
                                .arg(kNameLength)
                                .arg(length));
        return;
    }
    catalogs::Change change{Tag == 1 ? 0 : kinds->asLongLong(QStringLiteral("id")), FOpened};
    const catalogs::Outcome outcome = catalogs::saveAsking(
        Tag == 1 ? nullptr : &change, [&](const catalogs::Change* c) { return catalogs::saveKind(*dm, name, c); });
    if (outcome == catalogs::Outcome::Duplicate)
        ui::Messages::error(QStringLiteral("Такая операция уже заведена!"));
    if (outcome != catalogs::Outcome::Written)
        return;
    // Written: a failed re-read says so and the editor closes all the same, so that nothing is written twice.
    ui::guarded([kinds] {
        db::rereadAfterCommit([kinds] {
            kinds->close();
            kinds->open();
        });
    });
    accept();
}
