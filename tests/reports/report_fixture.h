// A small journal for the report tests: period 01.11.2026 - 01.12.2026, two workers with finished and blank
// products, painted (primer and colour 5) and unpainted work, rows on the period's first and end day and before
// it, and a row of a person whose number matches no worker.
#pragma once

#include "support/test_database.h"

#include <QDate>

inline const QDate kPeriodStart(2026, 11, 1);
inline const QDate kPeriodEnd(2026, 12, 1);

void loadReportJournal(TestDatabase& db);
