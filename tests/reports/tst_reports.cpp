// The reports window and its four period reports: each report's printed lines on a small journal, the product
// class, the half-open period and its refusal, the PDF, and the production export.
#include "db/data_module.h"
#include "db/dataset.h"
#include "reportengine/layout.h"
#include "reportengine/preview_dialog.h"
#include "reportengine/render.h"
#include "reportengine/report_runner.h"
#include "reports/report_export.h"
#include "reports/report_fixture.h"
#include "reports/report_layouts.h"
#include "reports/reports_window.h"
#include "spreadsheet/cell_text.h"
#include "spreadsheet/spreadsheet.h"
#include "support/app_fixture.h"
#include "support/widgets.h"
#include "support/xlsx_reader.h"
#include "timesheet/timesheet_report.h"
#include "ui/date_box.h"
#include "ui/messages.h"

#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <optional>

namespace {

// Lines of a page model without the page lines; the detail lines of one group are sorted, since the statements
// order only by the group columns.
QStringList printedLines(const QString& dump)
{
    QStringList out, run;
    const auto flush = [&] {
        std::sort(run.begin(), run.end());
        out += run;
        run.clear();
    };
    for (QString line : dump.split(u'\n', Qt::SkipEmptyParts)) {
        while (line.endsWith(u' '))
            line.chop(1);
        if (line.startsWith(QStringLiteral("page ")))
            continue;
        if (line.startsWith(QStringLiteral("QRBand1:"))) {
            run << line;
            continue;
        }
        flush();
        out << line;
    }
    flush();
    return out;
}

// The report a button shows, caught in the preview.
struct Preview {
    QString dump;
    std::optional<reportengine::Document> doc;
    bool maximised = false;
    int shown = 0;
};

class PreviewCatcher {
public:
    explicit PreviewCatcher(Preview& p)
    {
        reportengine::setPreviewHook([&p](reportengine::PreviewDialog& dlg, const reportengine::Document& shown) {
            ++p.shown;
            p.dump = shown.dump();
            p.doc = shown;
            p.maximised = dlg.windowState().testFlag(Qt::WindowMaximized);
        });
    }
    ~PreviewCatcher() { reportengine::setPreviewHook({}); }
};

QPushButton* reportButton(ReportsWindow* r, int number)
{
    switch (number) {
    case 4:
        return widget<QPushButton>(r, "Button4");
    case 2:
        return widget<QPushButton>(r, "Button2");
    case 1:
        return widget<QPushButton>(r, "Button1");
    default:
        return widget<QPushButton>(r, "Button3");
    }
}

db::Dataset* reportQuery(ReportsWindow* r, int button)
{
    return &r->report(QStringLiteral("Button%1").arg(button))->query();
}

void setPeriod(ReportsWindow* r, const QDate& from, const QDate& to)
{
    widget<ui::DateBox>(r, "DTPicker1")->setDate(from);
    widget<ui::DateBox>(r, "DTPicker2")->setDate(to);
}

} // namespace

class TestReports : public QObject {
    Q_OBJECT

private slots:
    void init() { ui::Messages::clearShown(); }

    // Every report on the fixture journal: the lines it prints, for each product class.
    void reports_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<int>("productClass");
        QTest::addColumn<QStringList>("lines");
        const QString page = "QRBand3: 1";
        QTest::newRow("by worker, all") << 4 << 0
                                        << QStringList{
                                               "QRGroup1:    Отчет по рабочим за период с 01.11.2026 по 01.12.2026",
                                               "ChildBand1:",
                                               "QRGroup2: Иванов И.И.",
                                               "QRGroup3: Дверь металлическая",
                                               "QRBand1: Готовая продукция | КРАСКА |  (RAL: 5) | 6 | 180,000",
                                               "QRBand1: Готовая продукция | КРАСКА |  (грунт) | 4 | 120,000",
                                               "QRBand1: Готовая продукция | РЕЗКА |   | 9 | 112,500",
                                               "QRBand4: 19 | 412,500",
                                               "QRBand5: 412,50",
                                               "QRGroup2: Петрова А.С.",
                                               "QRGroup3: Окно",
                                               "QRBand1: Заготовки | КРАСКА |  (RAL: 5) | 7 | 210,000",
                                               "QRBand1: Заготовки | КРАСКА |  (грунт) | 2 | 60,000",
                                               "QRBand4: 9 | 270,000",
                                               "QRBand5: 270,00",
                                               "QRBand2: Итого: | 682,50",
                                               page};
        QTest::newRow("by worker, finished")
            << 4 << 1
            << QStringList{"QRGroup1:    Отчет по рабочим за период с 01.11.2026 по 01.12.2026",
                           "ChildBand1:",
                           "QRGroup2: Иванов И.И.",
                           "QRGroup3: Дверь металлическая",
                           "QRBand1: Готовая продукция | КРАСКА |  (RAL: 5) | 6 | 180,000",
                           "QRBand1: Готовая продукция | КРАСКА |  (грунт) | 4 | 120,000",
                           "QRBand1: Готовая продукция | РЕЗКА |   | 9 | 112,500",
                           "QRBand4: 19 | 412,500",
                           "QRBand5: 412,50",
                           "QRBand2: Итого: | 412,50",
                           page};
        QTest::newRow("by worker, blanks")
            << 4 << 2
            << QStringList{"QRGroup1:    Отчет по рабочим за период с 01.11.2026 по 01.12.2026",
                           "ChildBand1:",
                           "QRGroup2: Петрова А.С.",
                           "QRGroup3: Окно",
                           "QRBand1: Заготовки | КРАСКА |  (RAL: 5) | 7 | 210,000",
                           "QRBand1: Заготовки | КРАСКА |  (грунт) | 2 | 60,000",
                           "QRBand4: 9 | 270,000",
                           "QRBand5: 270,00",
                           "QRBand2: Итого: | 270,00",
                           page};
        // Worker 3's five pieces count here; the total boxes 52.5 print as 53 under "#0".
        QTest::newRow("by product, all")
            << 2 << 0
            << QStringList{
                   "QRGroup1:    Отчет по продукции за период с 01.11.2026 по 01.12.2026 | Коробки | Количество",
                   "ChildBand1:",
                   "QRGroup2: Дверь металлическая",
                   "QRBand1: Готовая продукция | КРАСКА |  (RAL: 5) | 12 | 6",
                   "QRBand1: Готовая продукция | КРАСКА |  (грунт) | 8 | 4",
                   "QRBand1: Готовая продукция | РЕЗКА |   | 28 | 14",
                   "QRBand4: 48 | 24",
                   "QRGroup2: Окно",
                   "QRBand1: Заготовки | КРАСКА |  (RAL: 5) | 3,5 | 7",
                   "QRBand1: Заготовки | КРАСКА |  (грунт) | 1 | 2",
                   "QRBand4: 4,5 | 9",
                   "QRBand2: Итого: | 53 | 33",
                   page};
        QTest::newRow("by product, blanks")
            << 2 << 2
            << QStringList{
                   "QRGroup1:    Отчет по продукции за период с 01.11.2026 по 01.12.2026 | Коробки | Количество",
                   "ChildBand1:",
                   "QRGroup2: Окно",
                   "QRBand1: Заготовки | КРАСКА |  (RAL: 5) | 3,5 | 7",
                   "QRBand1: Заготовки | КРАСКА |  (грунт) | 1 | 2",
                   "QRBand4: 4,5 | 9",
                   "QRBand2: Итого: | 5 | 9",
                   page};
        QTest::newRow("detailed by worker, all")
            << 1 << 0
            << QStringList{"QRGroup1:    Детальный отчет по рабочим за период с 01.11.2026 по 01.12.2026 | Брак | "
                           "Количество | Сумма",
                           "ChildBand1:",
                           "QRGroup2: Иванов И.И.",
                           "QRBand1: ДМ-101 | КРАСКА | 1 | Готовая продукция | 0 | 4 | 120,00",
                           "QRBand1: ДМ-101 | КРАСКА | 5 | Готовая продукция | 0 | 6 | 180,00",
                           "QRBand1: ДМ-101 | РЕЗКА | 0 | Готовая продукция | 1 | 10 | 112,50",
                           "QRBand4: 1 | 20 | 412,50",
                           "QRGroup2: Петрова А.С.",
                           "QRBand1: ОК-205 | КРАСКА | 1 | Заготовки | 1 | 3 | 60,00",
                           "QRBand1: ОК-205 | КРАСКА | 5 | Заготовки | 0 | 7 | 210,00",
                           "QRBand4: 1 | 10 | 270,00",
                           "QRBand2: Итого: | 2 | 30 | 682,50",
                           page};
        QTest::newRow("detailed by product, all")
            << 3 << 0
            << QStringList{"QRGroup1:    Детальный отчет по продукции за период с 01.11.2026 по 01.12.2026 | Брак | "
                           "Коробки | Кол-во | Сумма",
                           "ChildBand1:",
                           "QRGroup2: Дверь металлическая",
                           "QRBand1: ДМ-101 | КРАСКА | 1 | Готовая продукция | 0 | 8 | 4 | 120,000",
                           "QRBand1: ДМ-101 | КРАСКА | 5 | Готовая продукция | 0 | 12 | 6 | 180,000",
                           "QRBand1: ДМ-101 | РЕЗКА | 0 | Готовая продукция | 1 | 30 | 15 | 175,000",
                           "QRBand4: 1 | 50,00 | 25 | 475,00",
                           "QRGroup2: Окно",
                           "QRBand1: ОК-205 | КРАСКА | 1 | Заготовки | 1 | 1,5 | 3 | 60,000",
                           "QRBand1: ОК-205 | КРАСКА | 5 | Заготовки | 0 | 3,5 | 7 | 210,000",
                           "QRBand4: 1 | 5,00 | 10 | 270,00",
                           "QRBand2: Итого: | 2 | 55 | 35 | 745,00",
                           page};
        QTest::newRow("detailed by product, finished")
            << 3 << 1
            << QStringList{"QRGroup1:    Детальный отчет по продукции за период с 01.11.2026 по 01.12.2026 | Брак | "
                           "Коробки | Кол-во | Сумма",
                           "ChildBand1:",
                           "QRGroup2: Дверь металлическая",
                           "QRBand1: ДМ-101 | КРАСКА | 1 | Готовая продукция | 0 | 8 | 4 | 120,000",
                           "QRBand1: ДМ-101 | КРАСКА | 5 | Готовая продукция | 0 | 12 | 6 | 180,000",
                           "QRBand1: ДМ-101 | РЕЗКА | 0 | Готовая продукция | 1 | 30 | 15 | 175,000",
                           "QRBand4: 1 | 50,00 | 25 | 475,00",
                           "QRBand2: Итого: | 1 | 50 | 25 | 475,00",
                           page};
    }

    void reports()
    {
        QFETCH(int, button);
        QFETCH(int, productClass);
        QFETCH(QStringList, lines);
        TestDatabase db;
        loadReportJournal(db);
        AppFixture app(db);
        ReportsWindow* r = app.w.reports;
        setPeriod(r, kPeriodStart, kPeriodEnd);
        r->setRadioGroup1ItemIndex(productClass);
        Preview p;
        PreviewCatcher catcher(p);
        reportButton(r, button)->click();
        for (const auto& m : ui::Messages::shown())
            qWarning() << m.text;
        QCOMPARE(ui::Messages::shown().size(), 0);
        QCOMPARE(p.shown, 1);
        QCOMPARE(printedLines(p.dump), printedLines(lines.join(u'\n')));
        QVERIFY(p.maximised);
        // the query is open only while its report is previewed
        QVERIFY(!reportQuery(r, button)->isOpen());
    }

    // A period whose end is not after its start is refused before any statement runs.
    void emptyPeriodRefused_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QDate>("to");
        QTest::newRow("by worker, same day") << 4 << kPeriodStart;
        QTest::newRow("detailed by product, end before start") << 3 << kPeriodStart.addDays(-1);
    }

    void emptyPeriodRefused()
    {
        QFETCH(int, button);
        QFETCH(QDate, to);
        TestDatabase db;
        loadReportJournal(db);
        AppFixture app(db);
        ReportsWindow* r = app.w.reports;
        setPeriod(r, kPeriodStart, to);
        Preview p;
        PreviewCatcher catcher(p);
        // a statement that ran would fail on the missing table
        db.exec("alter table accounts_dep.smena rename to smena_away");
        reportButton(r, button)->click();
        QCOMPARE(p.shown, 0);
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].kind, ui::ShownMessage::Kind::Error);
        QCOMPARE(shown[0].caption, QString("Ошибка"));
        QCOMPARE(shown[0].text,
                 QString("Неверный период: дата \"по\" должна быть позже даты \"с\" (день \"по\" в отчет не входит)."));
    }

    // The shop's largest figures (ten digits before the comma in the totals) and long names fit their items in
    // every layout: nothing printed is cut, a number keeps every digit, a long name is set smaller.
    void largeFiguresFit_data()
    {
        QTest::addColumn<int>("layout"); // 0..3 the four reports, 4 the timesheet's print
        QTest::newRow("by worker") << 0;
        QTest::newRow("by product") << 1;
        QTest::newRow("detailed by worker") << 2;
        QTest::newRow("detailed by product") << 3;
        QTest::newRow("timesheet") << 4;
    }

    void largeFiguresFit()
    {
        QFETCH(int, layout);
        TestDatabase db;
        AppFixture app(db);
        const QString longName = QStringLiteral("Константинопольская-Щедрина Александра Владимировна");
        QStringList fields{"fio", "nom", "marka", "vid", "naimen", "color", "brk", "mass", "kolvo", "summa"};
        QList<QVariantList> rows;
        for (int i = 0; i < 3; ++i) // three rows of a third: the totals are 9 999 999 999 and 9 999 999 999,99
            rows << QVariantList{longName, longName,  "ДМ-101",     "РЕЗКА",      i % 2,
                                 1000 + i, 999999999, 3333333333.0, 3333333333.0, 3333333333.33};
        reportengine::Report report;
        if (layout == 4) {
            fields = QStringList{"fio"};
            QVariantList row{longName};
            for (int d = 1; d <= 31; ++d) {
                fields << QString("sd%1").arg(d);
                row << 24;
            }
            rows = {row, row};
            report = timesheet::monthLayout();
        } else {
            report = layout == 0   ? reports::byWorkerLayout()
                     : layout == 1 ? reports::byProductLayout()
                     : layout == 2 ? reports::detailByWorkerLayout()
                                   : reports::detailByProductLayout();
        }
        const reportengine::Document doc = reportengine::layout(report, reportengine::TableSource(fields, rows));
        QStringList texts;
        int checked = 0;
        for (const reportengine::Page& page : doc.pages)
            for (const reportengine::PlacedBand& band : page.bands)
                for (const reportengine::PlacedItem& item : band.items) {
                    if (item.text().trimmed().isEmpty())
                        continue;
                    texts << item.text();
                    ++checked;
                    const QString what = band.name() + "/" + item.name() + ": " + item.text();
                    // at the printer's resolution within the item less its margins, on the screen within the item
                    QVERIFY2(reportengine::textWidthMm(item) <= reportengine::textRoomMm(item) + 1e-6,
                             qPrintable(what));
                    const QFont font = reportengine::fontOf(item);
                    const QFontMetricsF screen(font);
                    QVERIFY2(screen.horizontalAdvance(item.text()) * 25.4 / QFontMetricsF(font).fontDpi() <=
                                 item.rect().width(),
                             qPrintable(what));
                    QVERIFY2(item.rect().left() >= band.rect().left() - 1e-6 &&
                                 item.rect().right() <= band.rect().right() + 1e-6,
                             qPrintable(what));
                }
        QVERIFY(checked > 10);
        if (layout == 4) {
            QVERIFY(texts.contains("744"));    // 31 days of 24 hours
            QVERIFY(texts.contains(longName)); // set smaller, whole
        } else if (layout == 0 || layout == 2 || layout == 3) {
            QVERIFY2(texts.contains(QStringLiteral("9999999999,99")), qPrintable(texts.join(" | ")));
        } else {
            QVERIFY2(texts.contains(QStringLiteral("9999999999")), qPrintable(texts.join(" | ")));
        }
    }

    // A worker's (or product's) rows running over a page: the next page starts with the group's header line again,
    // the group's subtotal still comes once, at its end.
    void continuationPagesRepeatTheGroupHeader_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<QString>("groupBand");
        QTest::newRow("by worker") << 0 << "QRGroup2";
        QTest::newRow("by product") << 1 << "QRGroup2";
        QTest::newRow("detailed by worker") << 2 << "QRGroup2";
        QTest::newRow("detailed by product") << 3 << "QRGroup2";
    }

    void continuationPagesRepeatTheGroupHeader()
    {
        QFETCH(int, layout);
        QFETCH(QString, groupBand);
        const QStringList fields{"fio", "nom", "marka", "vid", "naimen", "color", "brk", "mass", "kolvo", "summa"};
        QList<QVariantList> rows;
        for (int i = 0; i < 120; ++i)
            rows << QVariantList{"Иванов И.И.", "Дверь ДМ-101", "ДМ-101", "РЕЗКА", 0, i, 0, 1, 1, 1.5};
        const reportengine::Report report = layout == 0   ? reports::byWorkerLayout()
                                            : layout == 1 ? reports::byProductLayout()
                                            : layout == 2 ? reports::detailByWorkerLayout()
                                                          : reports::detailByProductLayout();
        const reportengine::Document doc = reportengine::layout(report, reportengine::TableSource(fields, rows));
        QVERIFY(doc.pages.size() >= 2);
        const QString name = layout == 0 || layout == 2 ? "Иванов И.И." : "Дверь ДМ-101";
        for (int p = 1; p < doc.pages.size(); ++p) {
            const reportengine::PlacedBand& first = doc.pages[p].bands.first();
            QCOMPARE(first.name(), groupBand);
            QCOMPARE(first.texts(), QStringList{name});
        }
        QCOMPARE(doc.bands(groupBand).size(), doc.pages.size()); // once per page, never twice on one
    }

    // The by-worker report read back from its PDF.
    void pdf()
    {
        TestDatabase db;
        loadReportJournal(db);
        AppFixture app(db);
        ReportsWindow* r = app.w.reports;
        setPeriod(r, kPeriodStart, kPeriodEnd);
        Preview p;
        PreviewCatcher catcher(p);
        widget<QPushButton>(r, "Button4")->click();
        QVERIFY(p.doc.has_value());
        QTemporaryDir dir;
        const QString file = dir.filePath("by_worker.pdf");
        reportengine::writePdf(*p.doc, file);
        QProcess pdftotext;
        pdftotext.start("pdftotext", {"-layout", file, "-"});
        QVERIFY(pdftotext.waitForFinished(30000));
        const QString text = QString::fromUtf8(pdftotext.readAllStandardOutput());
        const QStringList pages = text.split(u'\f', Qt::SkipEmptyParts);
        QCOMPARE(pages.size(), 1);
        for (const QString& expected :
             {"Отчет по рабочим за период с 01.11.2026 по 01.12.2026", "Иванов И.И.", "Дверь металлическая", "(RAL: 5)",
              "(грунт)", "412,500", "Петрова А.С.", "270,00", "Итого:", "682,50"})
            QVERIFY2(text.contains(expected), qPrintable(expected + " missing from:\n" + text));
        QVERIFY(!text.contains("Сидоров"));

        // The file is titled with the report's caption and period, and is offered under that name.
        QProcess pdfinfo;
        pdfinfo.start("pdfinfo", {"-enc", "UTF-8", file});
        QVERIFY(pdfinfo.waitForFinished(30000));
        const QString info = QString::fromUtf8(pdfinfo.readAllStandardOutput());
        const QString title = "Отчет по рабочим за период с 01.11.2026 по 01.12.2026";
        QVERIFY2(info.contains(QRegularExpression("^Title: +" + QRegularExpression::escape(title) + '$',
                                                  QRegularExpression::MultilineOption)),
                 qPrintable(info));
        QCOMPARE(QFileInfo(reportengine::suggestedPdfPath(*p.doc)).fileName(), title + ".pdf");
    }

    // The production export: its cells, the count on the caption, the product class and an empty period.
    void production_data()
    {
        QTest::addColumn<int>("productClass");
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QList<QStringList>>("rows");
        QTest::addColumn<QString>("caption");
        const QStringList d1{"Дверь металлическая", "РЕЗКА", "Готовая продукция", "28", "14"},
            d2{"Дверь металлическая", "КРАСКА (грунт)", "Готовая продукция", "8", "4"},
            d3{"Дверь металлическая", "КРАСКА (цвет: 5)", "Готовая продукция", "12", "6"},
            w1{"Окно", "КРАСКА (цвет: 5)", "Заготовки", "3.5", "7"},
            w2{"Окно", "КРАСКА (грунт)", "Заготовки", "1", "2"};
        QTest::newRow("all") << 0 << kPeriodStart << QList<QStringList>{d1, d2, d3, w1, w2} << "Excel (5 из 5)";
        QTest::newRow("blanks") << 2 << kPeriodStart << QList<QStringList>{w1, w2} << "Excel (2 из 2)";
        QTest::newRow("blanks, a month without them")
            << 2 << kPeriodStart.addMonths(-1) << QList<QStringList>{} << "Excel (0 из 0)";
    }

    void production()
    {
        QFETCH(int, productClass);
        QFETCH(QDate, from);
        QFETCH(QList<QStringList>, rows);
        QFETCH(QString, caption);
        TestDatabase db;
        loadReportJournal(db);
        AppFixture app(db);
        ReportsWindow* r = app.w.reports;
        setPeriod(r, from, from.addMonths(1));
        r->setRadioGroup1ItemIndex(productClass);
        QTemporaryDir dir;
        spreadsheet::Application::setOutputFolder(dir.path());
        QStringList opened;
        spreadsheet::Application::setOpener([&](const QString& f) {
            opened << f;
            return true;
        });
        widget<QPushButton>(r, "Button6")->click();
        spreadsheet::Application::setOpener({});
        spreadsheet::Application::setOutputFolder({});
        QCOMPARE(ui::Messages::shown().size(), 0);
        QCOMPARE(widget<QPushButton>(r, "Button6")->text(), caption);
        QVERIFY(!r->productionQuery().isOpen());
        QCOMPARE(opened.size(), 1);
        XlsxFile x(opened.first());
        QVERIFY2(x.isValid(), qPrintable(x.error()));
        QCOMPARE(x.row(1), QStringList({"Наименование", "Операция", "Вид продукции", "Коробки", "Кол-во"}));
        QCOMPARE(x.lastRow(), rows.size() + 1);
        QCOMPARE(x.frozenRows(), 1);
        QCOMPARE(x.frozenColumns(), 0);
        for (int c = 1; c <= 5; ++c) {
            QVERIFY(x.cell(c, 1).bold);
            // every column as wide as its widest text, heading or value (the file adds the cell padding)
            double widest = spreadsheet::columnWidthFor(x.cell(c, 1).text, true);
            for (int i = 2; i <= x.lastRow(); ++i)
                widest = std::max(widest, spreadsheet::columnWidthFor(x.cell(c, i).text, false));
            QVERIFY2(x.columnWidth(c) >= widest && x.columnWidth(c) < widest + 1,
                     qPrintable(QStringLiteral("column %1: %2 for %3").arg(c).arg(x.columnWidth(c)).arg(widest)));
        }
        QList<QStringList> written;
        for (int i = 2; i <= x.lastRow(); ++i) {
            written << x.row(i);
            // boxes and pieces arrive as numbers; the boxes were written with the Russian decimal comma
            QVERIFY(x.cell(4, i).isNumber);
            QVERIFY(x.cell(5, i).isNumber);
            QVERIFY(!x.cell(2, i).isNumber);
        }
        // the statement orders by product only
        std::sort(written.begin(), written.end());
        std::sort(rows.begin(), rows.end());
        QCOMPARE(written, rows);
    }

    // A report's export writes under each group the subtotals its print shows (and the total at the end), from the
    // same grouping of the same filtered rows.
    void reportExport_data()
    {
        QTest::addColumn<int>("productClass");
        QTest::addColumn<QList<QStringList>>("sums"); // the lines "Итого...", in order
        QTest::addColumn<int>("rows");
        const QStringList door{"Итого: Дверь металлическая", "", "19", "412.5"},
            ivanov{"Итого: Иванов И.И.", "", "19", "412.5"}, window{"Итого: Окно", "", "9", "270"},
            petrova{"Итого: Петрова А.С.", "", "9", "270"};
        QTest::newRow("all") << 0 << QList<QStringList>{door, ivanov, window, petrova, {"Итого:", "", "28", "682.5"}}
                             << 5;
        QTest::newRow("blanks") << 2 << QList<QStringList>{window, petrova, {"Итого:", "", "9", "270"}} << 2;
    }

    void reportExport()
    {
        QFETCH(int, productClass);
        QFETCH(QList<QStringList>, sums);
        QFETCH(int, rows);
        TestDatabase db;
        loadReportJournal(db);
        AppFixture app(db);
        ReportsWindow* r = app.w.reports;
        setPeriod(r, kPeriodStart, kPeriodEnd);
        r->setRadioGroup1ItemIndex(productClass);
        reportengine::PrintedReport value = reports::byWorker();
        value.exportColumns = {{"Рабочий", "fio"}, {"Изделие", "nom"}, {"Кол-во", "kolvo"}, {"Сумма", "summa"}};
        reportengine::ReportRunner report(value, app.w.database->reportConnectionName());
        r->setPeriod(&report.query());
        r->applyProductClass(&report.query());
        report.open();
        report.setTitle("01.11.2026 по 01.12.2026");

        QTemporaryDir dir;
        spreadsheet::Application::setOutputFolder(dir.path());
        QStringList opened;
        spreadsheet::Application::setOpener([&](const QString& f) {
            opened << f;
            return true;
        });
        spreadsheet::Application excel("Отчет");
        QString caption;
        QCOMPARE(excel.OpenWorkbook(QString()), 1);
        reports::writeReport(report, excel, [&](const QString& c) { caption = c; });
        excel.SetAppVisible(true);
        spreadsheet::Application::setOpener({});
        spreadsheet::Application::setOutputFolder({});
        QCOMPARE(caption, QString("Excel (%1 из %1)").arg(rows));
        QCOMPARE(opened.size(), 1);
        XlsxFile x(opened.first());
        QVERIFY2(x.isValid(), qPrintable(x.error()));
        QCOMPARE(x.row(1), QStringList{"Отчет по рабочим за период с 01.11.2026 по 01.12.2026"});
        QCOMPARE(x.row(2), QStringList({"Рабочий", "Изделие", "Кол-во", "Сумма"}));
        QCOMPARE(x.frozenRows(), 2);
        QList<QStringList> written;
        int details = 0;
        for (int i = 3; i <= x.lastRow(); ++i) {
            if (x.row(i).value(0).startsWith("Итого")) {
                written << x.row(i);
                QVERIFY(x.cell(1, i).bold && x.cell(4, i).bold && x.cell(4, i).isNumber);
            } else {
                ++details;
            }
        }
        QCOMPARE(written, sums);
        QCOMPARE(details, rows);

        // the same figures as the print's footers
        const QString printed = report.prepare().dump();
        for (const QStringList& line : sums)
            QVERIFY2(printed.contains(QString(line[3]).replace('.', ',')), qPrintable(line[3] + " not in\n" + printed));
    }

    // No workbook: the export stops with the message, nothing written and the caption as it was.
    void productionWithoutWorkbook()
    {
        TestDatabase db;
        loadReportJournal(db);
        AppFixture app(db);
        ReportsWindow* r = app.w.reports;
        setPeriod(r, kPeriodStart, kPeriodEnd);
        QTemporaryDir dir;
        QFile blocker(dir.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        spreadsheet::Application::setOutputFolder(dir.filePath("file/exports"));
        int opened = 0;
        spreadsheet::Application::setOpener([&](const QString&) {
            ++opened;
            return true;
        });
        widget<QPushButton>(r, "Button6")->click();
        spreadsheet::Application::setOpener({});
        spreadsheet::Application::setOutputFolder({});
        QCOMPARE(opened, 0);
        QCOMPARE(widget<QPushButton>(r, "Button6")->text(), QString("Excel (0 из 0)"));
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 1);
        QCOMPARE(shown[0].text, QString("Ошибка открытия файла Microsoft Excel."));
        QVERIFY(QApplication::overrideCursor() == nullptr);
    }

    // A report button that has the focus runs on Enter, as on Space; Enter on "Выход" closes the window.
    void enterRunsTheFocusedButton()
    {
        TestDatabase db;
        AppFixture app(db);
        ReportsWindow* r = app.w.reports;
        Preview p;
        PreviewCatcher catcher(p);
        bool closedByEnter = false;
        ui::scriptModal("ReportsWindow", [&](QDialog* d) {
            for (int number : {4, 2, 1, 3}) {
                QPushButton* b = reportButton(r, number);
                b->setFocus(Qt::TabFocusReason);
                QTest::keyClick(b, Qt::Key_Return);
            }
            widget<QPushButton>(r, "Button5")->setFocus(Qt::TabFocusReason);
            QTest::keyClick(widget<QPushButton>(r, "Button5"), Qt::Key_Return);
            closedByEnter = !d->isVisible();
        });
        r->showPeriod(QDate(2026, 11, 1), QDate(2026, 12, 1), nullptr);
        QCOMPARE(p.shown, 4);
        QVERIFY(closedByEnter);
        QVERIFY(ui::Messages::shown().isEmpty());
    }

    // "Выход" and Escape close the window.
    void exitAndEscape()
    {
        TestDatabase db;
        AppFixture app(db);
        ReportsWindow* r = app.w.reports;
        for (int escape = 0; escape < 2; ++escape) {
            bool wasShown = false;
            ui::scriptModal("ReportsWindow", [&](QDialog* d) {
                wasShown = d->isVisible();
                if (escape)
                    QTest::keyClick(d, Qt::Key_Escape);
                else
                    widget<QPushButton>(r, "Button5")->click();
                QVERIFY(!d->isVisible());
            });
            ui::showModal(r);
            QVERIFY(wasShown);
        }
        QVERIFY(ui::Messages::shown().isEmpty());
    }
};

QTEST_MAIN(TestReports)
#include "tst_reports.moc"
