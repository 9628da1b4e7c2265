#include "catalogs/products_list.h"

#include "ui_products_list.h"

#include "catalogs/catalogue_changes.h"
#include "catalogs/product_editor.h"
#include "db/data_module.h"

#include <QLocale>

namespace {

// A stored "Коробки" value as the editor shows it: a full stop before the decimals, no trailing zeros,
// so that the text goes back into the statement as the number it was.
QString rateText(const QVariant& value)
{
    if (value.isNull() || !value.isValid())
        return QString();
    QString text = QLocale::c().toString(value.toDouble(), 'f', 6);
    if (text.contains(u'.')) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(u'.'))
            text.chop(1);
    }
    return text;
}

} // namespace

ProductsList::ProductsList(Database* database, ProductEditor* editor, QWidget* parent)
    : ui::CatalogueWindow(parent)
    , database_(database)
    , editor_(editor)
{
    ui_ = std::make_unique<Ui::ProductsList>();
    ui_->setupUi(this);
    ui_->DBGrid1->setColumns({
        {QStringLiteral("marka"), QStringLiteral("Марка изделия"), Qt::AlignLeft | Qt::AlignVCenter, true, 220},
        {QStringLiteral("massa"), QStringLiteral("Коробки"), Qt::AlignLeft | Qt::AlignVCenter, true, 120},
    });
    Setup s;
    s.query = database_ ? database_->Izdel : nullptr;
    s.grid = ui_->DBGrid1;
    s.search = ui_->Edit1;
    s.add = ui_->Button1;
    s.second = ui_->Button2;
    s.exit = ui_->Button4;
    s.searchField = QStringLiteral("marka");
    s.keys = SearchKeys::OnlyUpDown;
    s.liveName = QStringLiteral("products");
    setUpCatalogue(s);
    ui::connectGuarded(ui_->Button1, &QPushButton::clicked, this, &ProductsList::addProduct);
}

ProductsList::~ProductsList() = default;

void ProductsList::addProduct()
{
    db::Dataset* izdel = database_->Izdel;
    const int recNo = izdel->recNo();
    editor_->openForAdd(this);
    if (izdel->isOpen())
        izdel->setRecNo(recNo);
}

void ProductsList::changeOrChoose()
{
    db::Dataset* izdel = database_->Izdel;
    const int recNo = izdel->recNo();
    if (choiceMode()) {
        // An empty list hands over an empty grade code and the key 0; the price editor refuses an empty product.
        const bool any = !izdel->isEmpty();
        handOver({true, any ? izdel->asString(QStringLiteral("marka")).trimmed() : QString(),
                  any ? static_cast<qint32>(izdel->asLongLong(QStringLiteral("id"))) : 0});
    } else {
        // Nothing to change in an empty list.
        if (izdel->isEmpty())
            return;
        editor_->openForChange(izdel->asLongLong(QStringLiteral("id")),
                                izdel->asString(QStringLiteral("marka")).trimmed(),
                                rateText(izdel->value(QStringLiteral("massa"))).trimmed(),
                                izdel->asLongLong(QStringLiteral("id_class_item")), this);
    }
    if (izdel->isOpen())
        izdel->setRecNo(recNo);
}
