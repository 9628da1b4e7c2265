#include "reportengine/report_runner.h"

#include "db/session.h"
#include "ui/messages.h"

#include <QApplication>
#include <QScopeGuard>

#include <optional>

namespace reportengine {

ReportRunner::ReportRunner(PrintedReport report, const QString& connectionName)
    : report_(std::move(report))
    , layout_(report_.layout())
    , query_(std::make_unique<db::Dataset>(connectionName, report_.queryName))
{
    query_->setSqlLines(report_.statement);
    query_->setFieldDefs(report_.fields);
}

ReportRunner::~ReportRunner() = default;

void ReportRunner::setTitle(const QString& runPart)
{
    layout_.setText(report_.titleItem, report_.title + runPart);
}

void ReportRunner::open()
{
    ui::WaitCursor wait;
    query_->close();
    query_->open();
}

void ReportRunner::close()
{
    query_->close();
}

QString ReportRunner::title() const
{
    const Item* caption = layout_.item(report_.titleItem);
    return caption ? caption->text() : QString();
}

QString ReportRunner::documentTitle() const
{
    return (report_.documentTitle + title()).simplified();
}

Document ReportRunner::prepare() const
{
    Document doc = reportengine::layout(layout_, DatasetSource(*query_));
    doc.sourceNote = db::standbyNote(query_->connectionName());
    doc.title = documentTitle();
    return doc;
}

void ReportRunner::preview()
{
    const auto closing = qScopeGuard([this] { query_->close(); });
    // Laid out while the preview shows: a year's report has its first page on the screen at once, not after every
    // page is placed.
    const DatasetSource source(*query_);
    std::optional<LayoutRun> run;
    {
        ui::WaitCursor wait;
        run.emplace(layout_, source);
    }
    run->document().sourceNote = db::standbyNote(query_->connectionName());
    run->document().title = documentTitle();
    reportengine::preview(*run, report_.zoom, QApplication::activeWindow());
}

} // namespace reportengine
