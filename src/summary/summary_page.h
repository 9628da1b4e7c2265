// The month's summary as a printed page: its figures and its three charts on one landscape A4 page of the report
// engine, so that it previews, prints and saves as PDF as the reports do, its figures as searchable text.
#pragma once

#include "reportengine/layout.h"
#include "summary/month_summary.h"

#include <QLocale>

namespace summary {

// "Сводка за месяц: ноябрь 2026"
QString summaryTitle(const MonthSummary& m, const QLocale& locale);

reportengine::Document summaryDocument(const MonthSummary& m, Measure measure, const QLocale& locale,
                                       const QString& sourceNote = {});

} // namespace summary
