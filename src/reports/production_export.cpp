#include "reports/production_export.h"

#include "reportengine/format.h"

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

} // namespace reports
