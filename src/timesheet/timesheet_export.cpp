#include "timesheet/timesheet_export.h"

#include "db/dataset.h"
#include "spreadsheet/spreadsheet.h"

namespace timesheet {

void writeTimesheet(db::Dataset& query, spreadsheet::Application& excel, const QString& monthCaption,
                    const std::function<void(const QString& caption)>& progress)
{
    const QString suffix = QStringLiteral(" из ") + QString::number(query.recordCount()) + u')';
    if (progress)
        progress(QStringLiteral("Excel (0") + suffix);
    query.first();

    excel.WriteCell(1, 1, 1, monthCaption, true, true, true);
    excel.WriteCell(1, 1, 2, QStringLiteral("Фамилия И.О."), true, true, true);
    for (int d = 1; d <= 31; ++d)
        excel.WriteCell(1, d + 1, 2, QString::number(d), false, true, true);
    excel.WriteCell(1, 33, 2, QStringLiteral("Итого"), true, true, true);
    // The month and the day numbers stay above, the names to the left, wherever the sheet is scrolled.
    excel.freezePanes(2, 1);

    int r = 3;
    while (!query.eof()) {
        excel.WriteCell(1, 1, r, query.asString(QStringLiteral("fio")), true, true, false);
        qint64 total = 0;
        for (int d = 1; d <= 31; ++d) {
            const qint64 v = query.asLongLong(QStringLiteral("sd%1").arg(d));
            total += v;
            excel.WriteCell(1, d + 1, r, QString::number(v), false, true, false);
        }
        excel.WriteCell(1, 33, r, QString::number(total), false, true, false);
        query.next();
        ++r;
        if (progress)
            progress(QStringLiteral("Excel (") + QString::number(r - 3) + suffix);
    }
}

} // namespace timesheet
