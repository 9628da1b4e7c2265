#include "catalogs/price_list_export.h"

#include "db/dataset.h"
#include "reportengine/format.h"
#include "spreadsheet/spreadsheet.h"

namespace catalogs {

void writePriceList(db::Dataset& query, spreadsheet::Application& excel)
{
    const QStringList headers{QStringLiteral("Марка"), QStringLiteral("Операция"), QStringLiteral("Цена"),
                              QStringLiteral("Вид")};
    for (int c = 0; c < headers.size(); ++c)
        excel.WriteCell(1, c + 1, 1, headers[c], false, false, true);
    excel.freezePanes(1);
    excel.fitColumns();
    int row = 2;
    for (query.first(); !query.eof(); query.next()) {
        const QVariant cena = query.value(QStringLiteral("cena"));
        excel.WriteCell(1, 1, row, query.asString(QStringLiteral("MARKA")), 1);
        excel.WriteCell(1, 2, row, query.asString(QStringLiteral("VID")), 1);
        excel.WriteCell(1, 3, row, reportengine::plainText(cena.isNull() ? QVariant(0.0) : cena), 0);
        excel.WriteCell(1, 4, row,
                        query.asInt(QStringLiteral("NAIMEN")) == 0 ? QStringLiteral("Готовая продукция")
                                                                    : QStringLiteral("Заготовки"),
                        1);
        ++row;
    }
}

} // namespace catalogs
