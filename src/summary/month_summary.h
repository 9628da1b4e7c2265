// The month at a glance: the journal of one month summed by day and shift, by worker and as a few figures beside
// the month before, and the charts and words made of them.
#pragma once

#include "charts/chart.h"

#include <QList>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <utility>

namespace summary {

inline constexpr int kShifts = 4;
// The earners shown by name; the rest are summed as "остальные".
inline constexpr int kTopEarners = 15;

struct Figures {
    qint64 rows = 0;
    double pieces = 0;  // good pieces: the quantity less the rejects
    double rejects = 0;
    double hours = 0;
    double sum = 0;
    int days = 0;       // days with rows
    // Rejects as a share of everything processed (good pieces and rejects).
    double rejectShare() const;
};

struct MonthSummary {
    int year = 0;
    int month = 0;
    int days = 0; // days in the month
    // [shift - 1][day - 1]
    QList<QList<double>> pieces;
    QList<QList<double>> sums;
    // [day - 1]
    QList<double> accepted;
    QList<double> notAccepted;
    // Every worker with rows in the month, the largest sum first.
    QList<std::pair<QString, double>> earners;
    Figures current;
    Figures previous;

    bool isEmpty() const { return current.rows == 0; }
};

// An empty summary of that month: every day there, every value zero.
MonthSummary emptyMonth(int year, int month);

// Reads the month through the connection of that name. Throws db::DbError.
MonthSummary readMonth(const QString& connectionName, int year, int month);

enum class Measure { Pieces, Roubles };

// The month's output by day, stacked by shift, with the month before's average per working day as a line.
charts::Chart outputChart(const MonthSummary& m, Measure measure);
// The sum earned per worker: the first kTopEarners and "остальные".
charts::Chart earnersChart(const MonthSummary& m);
// Rows accepted and not yet accepted per day.
charts::Chart acceptanceChart(const MonthSummary& m);
// The figures in words, each with its change against the month before.
QStringList figureLines(const MonthSummary& m, const QLocale& locale);

} // namespace summary
