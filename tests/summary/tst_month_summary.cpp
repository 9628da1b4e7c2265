// The month's summary against the journal: every series and figure read back equals the same figure computed by
// SQL of its own over the rows, for a month with every shift, a day off, empty days and more earners than are shown
// by name; and the charts and words made of it.
#include "db/session.h"
#include "db/data_module.h"
#include "reportengine/render.h"
#include "summary/month_summary.h"
#include "summary/summary_page.h"
#include "support/test_database.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

constexpr int kYear = 2026;
constexpr int kMonth = 11; // 30 days; the 7th and 8th are a Saturday and a Sunday

// Twenty workers: more than the chart names.
void loadWorkers(TestDatabase& db)
{
    QStringList values;
    for (int w = 3; w <= 20; ++w)
        values << QStringLiteral("(%1, 'Работник %1', '%1')").arg(w);
    db.exec(QStringLiteral("insert into cmn_contractor.person (id, s_caption, s_code) values ") + values.join(u','));
}

// Rows spread over the month, the month before and the month after: every shift, a Saturday, varied quantities,
// rejects, hours, prices and marks; the 13th to the 20th stay empty; a worker who no longer exists.
void loadJournal(TestDatabase& db)
{
    db.exec(QStringLiteral(
        "insert into accounts_dep.smena (w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod,"
        " prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use)"
        " select 1 + (g + extract(day from d)::int * 3) % 20, 1 + g % 2, 1 + g % 2, (array[12.5, 10.25, 30, 25, 15.0001])[1 + g % 5],"
        "        5 + (g * 7) % 90, (g * 3) % 4, d, 1 + (g + extract(day from d)::int) % 4, 0, 1 + g % 8,"
        "        (array['no', 'ok', 'да', 'ok'])[1 + (g * 5) % 4], d, 0, 0, 0, 0, 0, 0"
        " from generate_series(date '2026-10-01', date '2026-12-03', interval '1 day') d,"
        "      generate_series(1, 9) g"
        " where not (d between date '2026-11-13' and date '2026-11-20')"
        "   and (extract(isodow from d) < 6 or d = date '2026-11-07')"
        "   and (g + extract(day from d)::int) % 3 <> 0;"
        // a worker gone from the list of persons
        "insert into accounts_dep.smena (w_id, i_id, o_id, cena, kol_vo, brak, data, smena, color, time, ok, vvod,"
        " prize, id_doc, id_doc_item, f_gds_qty_use, id_gds_use, id_cons_use)"
        " values (777, 1, 1, 12.5, 3, 0, date '2026-11-30', 4, 0, 2, 'no', date '2026-11-30', 0, 0, 0, 0, 0, 0)"));
}

double number(const QVariant& v)
{
    return v.isNull() ? 0.0 : v.toDouble();
}

} // namespace

class TestMonthSummary : public QObject {
    Q_OBJECT

    TestDatabase db_;
    Database dm_;
    summary::MonthSummary m_;

private slots:
    void initTestCase()
    {
        loadSmallShop(db_);
        loadWorkers(db_);
        loadJournal(db_);
        dm_.ADO_DB.setConnectionString(db_.connectionString());
        dm_.ADO_DB.open();
        m_ = summary::readMonth(dm_.ADO_DB.name(), kYear, kMonth);
    }

    // Per day and shift: good pieces and sums, over every day of the month (empty days and shifts as zero).
    void dayAndShiftSeriesEqualSql()
    {
        QCOMPARE(m_.days, 30);
        const auto rows = db_.rows(QStringLiteral(
            "select d.day, s.shift, coalesce(sum(j.kol_vo) - sum(j.brak), 0), coalesce(sum(j.cena * (j.kol_vo - j.brak)), 0)"
            " from generate_series(1, 30) d(day) cross join generate_series(1, 4) s(shift)"
            " left join accounts_dep.smena j on j.data = make_date(2026, 11, d.day) and j.smena = s.shift"
            " group by d.day, s.shift order by d.day, s.shift"));
        QCOMPARE(rows.size(), 120);
        int emptyDays = 0;
        QSet<int> shiftsSeen;
        for (const QVariantList& r : rows) {
            const int day = r[0].toInt(), shift = r[1].toInt();
            QCOMPARE(m_.pieces[shift - 1][day - 1], number(r[2]));
            QVERIFY(qAbs(m_.sums[shift - 1][day - 1] - number(r[3])) < 1e-6);
            if (number(r[2]) > 0)
                shiftsSeen << shift;
        }
        for (int d = 0; d < 30; ++d) {
            double all = 0;
            for (int s = 0; s < summary::kShifts; ++s)
                all += m_.pieces[s][d];
            emptyDays += all == 0;
        }
        QCOMPARE(shiftsSeen.size(), 4);
        QVERIFY(emptyDays >= 8);
        QVERIFY(m_.pieces[0][6] + m_.pieces[1][6] + m_.pieces[2][6] + m_.pieces[3][6] > 0); // the Saturday
    }

    void acceptanceSeriesEqualSql()
    {
        const auto rows = db_.rows(QStringLiteral(
            "select d.day, count(j.id) filter (where j.ok = 'ok' or j.ok = 'да'),"
            "       count(j.id) filter (where j.ok is distinct from 'ok' and j.ok is distinct from 'да')"
            " from generate_series(1, 30) d(day)"
            " left join accounts_dep.smena j on j.data = make_date(2026, 11, d.day)"
            " group by d.day order by d.day"));
        for (const QVariantList& r : rows) {
            const int day = r[0].toInt();
            QCOMPARE(m_.accepted[day - 1], number(r[1]));
            QCOMPARE(m_.notAccepted[day - 1], number(r[2]));
        }
    }

    // Every earner, the largest first, the one gone by number; the chart names fifteen and sums the rest.
    void earnersEqualSql()
    {
        const auto rows = db_.rows(QStringLiteral(
            "select coalesce(p.s_caption, j.w_id::text), sum(j.cena * (j.kol_vo - j.brak))"
            " from accounts_dep.smena j left join cmn_contractor.person p on p.s_code = j.w_id::text"
            " where j.data between date '2026-11-01' and date '2026-11-30'"
            " group by 1 order by 2 desc, 1"));
        QCOMPARE(m_.earners.size(), rows.size());
        QVERIFY(rows.size() > summary::kTopEarners);
        double rest = 0;
        for (int i = 0; i < rows.size(); ++i) {
            QCOMPARE(m_.earners[i].first, rows[i][0].toString());
            QVERIFY(qAbs(m_.earners[i].second - number(rows[i][1])) < 1e-6);
            if (i >= summary::kTopEarners)
                rest += number(rows[i][1]);
        }
        QVERIFY(m_.earners.contains({QStringLiteral("777"), 3 * 12.5}));
        const charts::Chart c = summary::earnersChart(m_);
        QCOMPARE(c.categories.size(), summary::kTopEarners + 1);
        QCOMPARE(c.categories.last(), QStringLiteral("остальные"));
        QVERIFY(qAbs(c.bars[0].values.last() - rest) < 1e-6);
    }

    // The month's and the month before's figures, and the line of last month's average per working day.
    void figuresEqualSql()
    {
        const auto rows = db_.rows(QStringLiteral(
            "select count(*), sum(kol_vo) - sum(brak), sum(brak), sum(time), sum(cena * (kol_vo - brak)),"
            "       count(distinct data)"
            " from accounts_dep.smena where data between date '2026-11-01' and date '2026-11-30'"
            " union all "
            "select count(*), sum(kol_vo) - sum(brak), sum(brak), sum(time), sum(cena * (kol_vo - brak)),"
            "       count(distinct data)"
            " from accounts_dep.smena where data between date '2026-10-01' and date '2026-10-31'"));
        const summary::Figures* figures[] = {&m_.current, &m_.previous};
        for (int i = 0; i < 2; ++i) {
            const summary::Figures& f = *figures[i];
            QCOMPARE(double(f.rows), number(rows[i][0]));
            QCOMPARE(f.pieces, number(rows[i][1]));
            QCOMPARE(f.rejects, number(rows[i][2]));
            QCOMPARE(f.hours, number(rows[i][3]));
            QVERIFY(qAbs(f.sum - number(rows[i][4])) < 1e-6);
            QCOMPARE(double(f.days), number(rows[i][5]));
        }
        const charts::Chart pieces = summary::outputChart(m_, summary::Measure::Pieces);
        QCOMPARE(pieces.line.values, QList<double>{m_.previous.pieces / m_.previous.days});
        const charts::Chart roubles = summary::outputChart(m_, summary::Measure::Roubles);
        QCOMPARE(roubles.line.values, QList<double>{m_.previous.sum / m_.previous.days});
        QCOMPARE(roubles.bars[3].values, m_.sums[3]);
    }

    // The words: each figure with its change against the month before, in the locale's numbers.
    void figureLines()
    {
        summary::MonthSummary m = summary::emptyMonth(kYear, kMonth);
        m.current = {120, 1500, 30, 800, 12345.5, 20};
        m.previous = {100, 1500, 0, 1000, 0, 18};
        const QStringList lines = summary::figureLines(m, QLocale(QLocale::Russian, QLocale::Russia));
        QCOMPARE(lines, QStringList({
                            QStringLiteral("Записей: 120 (+20,0 % к прошлому месяцу)"),
                            QStringLiteral("Штук: 1\u00a0500 (как в прошлом месяце)"),
                            QStringLiteral("Брак: 30, 2,0 % обработанных (в прошлом месяце не было)"),
                            QStringLiteral("Часов: 800 (−20,0 % к прошлому месяцу)"),
                            QStringLiteral("Сумма: 12\u00a0345,50 руб. (в прошлом месяце не было)"),
                        }));
    }

    // The printed page: one landscape page whose text carries the title, the figures and the earners' names; the
    // bars are the page's own filled items, as many as the charts' segments.
    void printedPage()
    {
        const QLocale russian(QLocale::Russian, QLocale::Russia);
        const reportengine::Document doc = summary::summaryDocument(m_, summary::Measure::Roubles, russian);
        QCOMPARE(doc.pages.size(), 1);
        QCOMPARE(doc.title, QStringLiteral("Сводка за месяц: ноябрь 2026"));
        int segments = 0;
        for (int s = 0; s < summary::kShifts; ++s)
            for (double v : m_.sums[s])
                segments += v != 0;
        int filled = 0;
        for (const auto* band : doc.bands(QStringLiteral("output")))
            for (const auto& item : band->items)
                filled += item.name() == u"output_bar" && item.text().isEmpty();
        // the segments, the legend's four swatches
        QCOMPARE(filled, segments + summary::kShifts);

        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("summary.pdf"));
        reportengine::writePdf(doc, pdf);
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
        QVERIFY(p.waitForFinished(30000));
        const QString text = QString::fromUtf8(p.readAllStandardOutput()).simplified();
        QVERIFY2(text.contains(doc.title), qPrintable(text.left(300)));
        for (const QString& line : summary::figureLines(m_, russian))
            QVERIFY2(text.contains(QString(line).replace(QChar(0xa0), u' ').simplified()),
                     qPrintable(line + QStringLiteral(" | ") + text.left(400)));
        QVERIFY(text.contains(m_.earners.first().first));
        QVERIFY(text.contains(QStringLiteral("остальные")));
    }

    // A month without rows: every series zero and every chart says so.
    void emptyMonth()
    {
        const summary::MonthSummary m = summary::readMonth(dm_.ADO_DB.name(), 2025, 2);
        QVERIFY(m.isEmpty());
        QCOMPARE(m.days, 28);
        QVERIFY(summary::outputChart(m, summary::Measure::Pieces).isEmpty());
        QVERIFY(summary::earnersChart(m).isEmpty());
        QVERIFY(summary::acceptanceChart(m).isEmpty());
    }
};

QTEST_MAIN(TestMonthSummary)
#include "tst_month_summary.moc"
