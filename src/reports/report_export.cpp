#include "reports/report_export.h"

#include "db/dataset.h"
#include "reportengine/format.h"
#include "reportengine/grouping.h"
#include "reportengine/report_runner.h"
#include "spreadsheet/spreadsheet.h"

namespace reports {

void writeReport(reportengine::ReportRunner& report, spreadsheet::Application& excel,
                 const std::function<void(const QString& caption)>& progress)
{
    using reportengine::Grouping;
    const QList<reportengine::ExportColumn>& columns = report.report().exportColumns;
    const reportengine::DatasetSource rows(report.query());
    const Grouping grouping(report.layout(), rows);
    const int n = rows.rowCount();
    const QString suffix = QStringLiteral(" из ") + QString::number(n) + u')';
    if (progress)
        progress(QStringLiteral("Excel (0") + suffix);

    std::vector<int> fieldOf, sumOf;
    for (const auto& c : columns) {
        fieldOf.push_back(rows.fieldIndex(c.field));
        if (fieldOf.back() < 0)
            throw reportengine::ReportError(QStringLiteral("Столбец %1: нет поля %2").arg(c.heading, c.field));
        sumOf.push_back(grouping.fieldIndex(c.field));
    }
    excel.WriteCell(1, 1, 1, report.title().simplified(), true, false, true);
    for (int c = 0; c < columns.size(); ++c)
        excel.WriteCell(1, c + 1, 2, columns[c].heading, true, false, true);
    excel.freezePanes(2);
    excel.fitColumns();

    int line = 3;
    auto sumsLine = [&](const QString& caption, const QList<double>& sums) {
        excel.WriteCell(1, 1, line, caption, true, false, true);
        for (int c = 0; c < columns.size(); ++c)
            if (sumOf[c] >= 0)
                excel.WriteCell(1, c + 1, line, reportengine::plainText(QVariant(sums[sumOf[c]])), false, false, true);
        ++line;
    };
    for (int row = 0; row < n; ++row) {
        for (int c = 0; c < columns.size(); ++c)
            excel.WriteCell(1, c + 1, line, reportengine::plainText(rows.value(row, fieldOf[c])));
        ++line;
        // the groups that end here, innermost first, as the layout's footers follow each other
        for (int g = grouping.groupCount() - 1; g >= 0; --g) {
            const Grouping::Span& span = grouping.spanOf(g, row);
            if (span.last == row && grouping.hasKey(g))
                sumsLine(QStringLiteral("Итого: ") + reportengine::plainText(span.key), span.sums);
        }
        if (progress)
            progress(QStringLiteral("Excel (") + QString::number(row + 1) + suffix);
    }
    sumsLine(QStringLiteral("Итого:"), grouping.total());
}

} // namespace reports
