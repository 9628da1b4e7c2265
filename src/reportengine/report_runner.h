// A printed report as a value (its statement, its fields, its layout, its title) and the one runner that reads its
// rows, lays them out and shows them in the preview.
#pragma once

#include "db/dataset.h"
#include "reportengine/layout.h"
#include "reportengine/render.h"
#include "reportengine/report.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace reportengine {

// A column of a report's export: its heading and the field under it.
struct ExportColumn {
    QString heading;
    QString field;
};

struct PrintedReport {
    // The query's own name, as the statement's errors and the history name it.
    QString queryName;
    // The statement, line by line, with its :parameters.
    QStringList statement;
    QList<db::FieldDef> fields;
    // Builds the layout; called once per runner.
    std::function<Report()> layout;
    // The label that prints the title, and the text before the run's own part of it (the period, the month).
    QString titleItem;
    QString title;
    // What the saved PDF's title starts with before the printed title.
    QString documentTitle;
    Zoom zoom = Zoom::PageWidth;
    // The export's columns; a column whose field the layout totals gets the same subtotals and total. Empty: the
    // report has no export of its own.
    QList<ExportColumn> exportColumns;
};

// Runs one printed report over the connection it is given (the reports' read-only one).
class ReportRunner {
public:
    ReportRunner(PrintedReport report, const QString& connectionName);
    ~ReportRunner();
    ReportRunner(const ReportRunner&) = delete;
    ReportRunner& operator=(const ReportRunner&) = delete;

    const PrintedReport& report() const { return report_; }
    // The query: its parameters and filter are set here before open().
    db::Dataset& query() { return *query_; }
    const db::Dataset& query() const { return *query_; }
    const Report& layout() const { return layout_; }

    // The report's title followed by the run's own part, printed in the title item.
    void setTitle(const QString& runPart);
    // Reads the rows anew under the busy cursor.
    void open();
    void close();
    // The printed title (the title item's text).
    QString title() const;
    // Lays the open rows out at once.
    Document prepare() const;
    // Lays the open rows out while the preview shows them, until the user closes it; the query is closed afterwards
    // however the preview ends.
    void preview();

private:
    QString documentTitle() const;

    PrintedReport report_;
    Report layout_;
    std::unique_ptr<db::Dataset> query_;
};

} // namespace reportengine
