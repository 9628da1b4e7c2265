#include "catalogs/operation_price_editor.h"

#include "ui_operation_price_editor.h"

#include "catalogs/catalogue_changes.h"
#include "catalogs/catalogue_save.h"
#include "catalogs/operation_kinds_list.h"
#include "catalogs/operation_prices_sql.h"
#include "catalogs/products_list.h"
#include "db/data_module.h"
#include "db/transaction.h"
#include "ui/catalogue_window.h"

namespace sql = operation_prices_sql;

OperationPriceEditor::OperationPriceEditor(Database* database, ProductsList* products, OperationKindsList* kinds, QWidget* parent)
    : ui::Dialog(parent)
    , database_(database)
    , products_(products)
    , kinds_(kinds)
{
    ui_ = std::make_unique<Ui::OperationPriceEditor>();
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(sizeHint());
    setTabOrder(ui_->Button3, ui_->Button4);
    setTabOrder(ui_->Button4, ui_->ComboBox1);
    setTabOrder(ui_->ComboBox1, ui_->Button1);
    setTabOrder(ui_->Button1, ui_->Button2);
    ui::connectGuarded(ui_->Button3, &QPushButton::clicked, this, &OperationPriceEditor::chooseProduct);
    ui::connectGuarded(ui_->Button4, &QPushButton::clicked, this, &OperationPriceEditor::chooseKind);
    ui::connectGuarded(ui_->Button1, &QPushButton::clicked, this, &OperationPriceEditor::save);
    ui::connectGuarded(ui_->Button2, &QPushButton::clicked, this, &QDialog::reject);
}

OperationPriceEditor::~OperationPriceEditor() = default;

void OperationPriceEditor::FormActivate()
{
    ui_->Button3->setFocus();
}

qint32 OperationPriceEditor::openForAdd(ui::Activatable* returnTo)
{
    prepareAdd();
    ui::centerOnScreen(this);
    if (ui::showModal(this, returnTo) != QDialog::Accepted)
        return 0;
    return FNewOperId;
}

void OperationPriceEditor::prepareAdd()
{
    ui_->Edit1->clear();
    ui_->Edit2->clear();
    ui_->ComboBox1->setCurrentIndex(0);
    setWindowTitle(QStringLiteral("Заведение новой цены за операцию"));
    Tag = 1;
    FNewOperId = 0;
}

void OperationPriceEditor::openForChange(const Shown& operation, ui::Activatable* returnTo)
{
    prepareChange(operation);
    ui::centerOnScreen(this);
    ui::showModal(this, returnTo);
}

void OperationPriceEditor::prepareChange(const Shown& operation)
{
    setWindowTitle(QStringLiteral("Изменение данных о цене за операцию"));
    Tag = 2;
    ui_->Edit1->setText(operation.product);
    ui_->Edit2->setText(operation.kind);
    ui_->ComboBox1->setCurrentIndex(operation.finished ? 0 : 1);
    FProductId = operation.productId;
    FKindId = operation.kindId;
    FOpened = catalogs::openedVersion(database_->ADO_DB.name(), catalogs_sql::Row::Operation, operation.id);
}

void OperationPriceEditor::takeProduct(qint32 id, const QString& name)
{
    ui_->Edit1->setText(name);
    FProductId = id;
}

void OperationPriceEditor::takeKind(qint32 id, const QString& name)
{
    ui_->Edit2->setText(name);
    FKindId = id;
}

void OperationPriceEditor::chooseProduct()
{
    const ui::CatalogueChoice c = products_->choose(this);
    if (c.made)
        takeProduct(c.id, c.name.trimmed());
}

void OperationPriceEditor::chooseKind()
{
    const ui::CatalogueChoice c = kinds_->choose(this);
    if (c.made)
        takeKind(c.id, c.name.trimmed());
}

void OperationPriceEditor::save()
{
    if (ui_->Edit1->text().trimmed().isEmpty() || ui_->Edit2->text().trimmed().isEmpty()) {
        ui::Messages::error(QStringLiteral("Все поля должны быть заполнены!"));
        // The boxes are filled by their choosers: the chooser of the first empty one takes the focus.
        (ui_->Edit1->text().trimmed().isEmpty() ? ui_->Button3 : ui_->Button4)->setFocus();
        return;
    }
    Database* dm = database_;
    const qint32 v = FKindId;
    const int n = ui_->ComboBox1->currentIndex();
    const qint32 i = FProductId;
    FNewOperId = 0;
    catalogs::Change change{Tag == 1 ? 0 : dm->Oper->asLongLong(QStringLiteral("id")), FOpened};
    const catalogs::Outcome outcome =
        catalogs::saveAsking(Tag == 1 ? nullptr : &change, [&](const catalogs::Change* c) {
            return catalogs::saveOperation(dm->ADO_DB.name(), v, n, i, c, &FNewOperId);
        });
    if (outcome == catalogs::Outcome::Duplicate)
        ui::Messages::error(QStringLiteral("Операция с такими параметрами уже заведена!"));
    if (outcome != catalogs::Outcome::Written)
        return;
    // Written: a failed re-read says so and the editor closes all the same, so that nothing is written twice.
    ui::guarded([dm] {
        db::rereadAfterCommit([dm] {
            dm->Oper->close();
            dm->Oper->open();
        });
    });
    accept();
}
