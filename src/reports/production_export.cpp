#include "reports/production_export.h"

#include "reportengine/format.h"
#include "spreadsheet/spreadsheet.h"

namespace reports {

QList<db::FieldDef> productionFields()
{
    using db::FieldType;
    return {{"kolvo", FieldType::Numeric},       {"vid", FieldType::Text, 50}, {"nom", FieldType::Text, 100},
            {"naimen", FieldType::SmallInt},     {"color", FieldType::Integer}, {"mass", FieldType::Double}};
}

QStringList productionHeadings()
{
    return {QStringLiteral("Наименование"), QStringLiteral("Операция"), QStringLiteral("Вид продукции"),
            QStringLiteral("Коробки"), QStringLiteral("Кол-во")};
}

QString productClassText(int naimen)
{
    return naimen == 0 ? QStringLiteral("Готовая продукция") : QStringLiteral("Заготовки");
}

QString operationText(const QString& vid, const QString& color)
{
    bool ok = false;
    const qint64 c = color.trimmed().toLongLong(&ok);
    if (ok && c > 1)
        return vid + QStringLiteral(" (цвет: ") + color.trimmed() + u')';
    if (ok && c == 1)
        return vid + QStringLiteral(" (грунт)");
    return vid;
}

QStringList productionCells(const db::Dataset& query)
{
    return {query.asString(QStringLiteral("nom")),
            operationText(query.asString(QStringLiteral("vid")), query.asString(QStringLiteral("color"))),
            productClassText(query.asInt(QStringLiteral("naimen"))),
            // the general format: up to 15 significant digits, the workstation's decimal separator
            reportengine::plainText(QVariant(query.asDouble(QStringLiteral("mass")))),
            QString::number(query.asLongLong(QStringLiteral("kolvo")))};
}

void writeProduction(db::Dataset& query, spreadsheet::Application& excel,
                     const std::function<void(const QString& caption)>& progress)
{
    const QString suffix = QStringLiteral(" из ") + QString::number(query.recordCount()) + u')';
    progress(QStringLiteral("Excel (0") + suffix);
    query.first();
    const QStringList headings = productionHeadings();
    for (int c = 0; c < headings.size(); ++c)
        excel.WriteCell(1, c + 1, 1, headings[c], false, false, true);
    excel.freezePanes(1);
    excel.fitColumns();
    // The fifth argument says text or number column; the application decides from the text itself.
    const int kinds[] = {1, 1, 1, 0, 0};
    int row = 2;
    while (!query.eof()) {
        const QStringList cells = productionCells(query);
        for (int c = 0; c < cells.size(); ++c)
            excel.WriteCell(1, c + 1, row, cells[c], kinds[c]);
        query.next();
        progress(QStringLiteral("Excel (") + QString::number(row - 1) + suffix);
        ++row;
    }
}

} // namespace reports
