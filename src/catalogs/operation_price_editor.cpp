#include "catalogs/operation_price_editor.h"

#include "catalogs/operation_kinds_list.h"
#include "catalogs/operation_prices_sql.h"
#include "catalogs/products_list.h"
#include "db/data_module.h"
#include "ui/catalogue_window.h"
#include "ui/window_registry.h"

#include <QShowEvent>

namespace sql = operation_prices_sql;

TForm10::TForm10(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(sizeHint());
    setTabOrder(Button3, Button4);
    setTabOrder(Button4, ComboBox1);
    setTabOrder(ComboBox1, Button1);
    setTabOrder(Button1, Button2);
    ui::onSignal(Button3, &QPushButton::clicked, this, &TForm10::Button3Click);
    ui::onSignal(Button4, &QPushButton::clicked, this, &TForm10::Button4Click);
    ui::onSignal(Button1, &QPushButton::clicked, this, &TForm10::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);
}

void TForm10::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        ui::guarded([this] { FormActivate(); });
}

void TForm10::FormActivate()
{
    Button3->setFocus();
}

void TForm10::Button3Click()
{
    const ui::CatalogueChoice c = w_.Form3->choose(this);
    if (!c.made)
        return;
    Edit1->setText(c.name.trimmed());
    FProductId = c.id;
}

void TForm10::Button4Click()
{
    const ui::CatalogueChoice c = w_.Form8->choose(this);
    if (!c.made)
        return;
    Edit2->setText(c.name.trimmed());
    FKindId = c.id;
}

void TForm10::Button1Click()
{
    if (Edit1->text().trimmed().isEmpty() || Edit2->text().trimmed().isEmpty()) {
        ui::Messages::error(QStringLiteral("Все поля должны быть заполнены!"));
        return;
    }
    TDataModule6* dm = w_.DataModule6;
    const qint32 v = FKindId;
    const int n = ComboBox1->currentIndex();
    const qint32 i = FProductId;
    const QString message = QStringLiteral("Операция с такими параметрами уже заведена!");
    FNewOperId = 0;
    if (Tag == 1) {
        if (dm->CheckDuplicate(sql::duplicateOfNew(v, n, i), message))
            return;
        dm->Oper_ins->setText(sql::insertOperation(v, n, i));
        dm->Oper_ins->execute();
        // The new operation gets its first norm next; it is found by its kind, flag and product.
        dm->Control->setSqlLines({sql::newOperationId(v, n, i)});
        dm->Control->open();
        FNewOperId = dm->Control->asInt(QStringLiteral("id"));
        dm->Control->close();
    } else {
        const QString x = dm->Oper->asString(QStringLiteral("id"));
        if (dm->CheckDuplicate(sql::duplicateOfChanged(v, n, i, x), message))
            return;
        dm->Oper_ed->setText(sql::updateOperation(v, n, i, x));
        dm->Oper_ed->execute();
    }
    dm->Oper->close();
    dm->Oper->open();
    accept();
}
