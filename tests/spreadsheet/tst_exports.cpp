// The timesheet's and the price list's exports as procedures, without their windows: a data module's connection,
// the export's own query, a workbook read back.
#include "catalogs/operation_prices_sql.h"
#include "catalogs/price_list_export.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "spreadsheet/spreadsheet.h"
#include "support/test_database.h"
#include "support/xlsx_reader.h"
#include "timesheet/timesheet_export.h"
#include "timesheet/timesheet_sql.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <clocale>
#include <cstdio>

class TestExports : public QObject {
    Q_OBJECT

private:
    // Runs an export into a workbook of a temporary folder and returns the file it handed to the spreadsheet
    // application.
    static QString exported(const std::function<void(spreadsheet::Application&)>& write)
    {
        static QTemporaryDir dir;
        spreadsheet::Application::setOutputFolder(dir.path());
        QString opened;
        spreadsheet::Application::setOpener([&](const QString& file) {
            opened = file;
            return true;
        });
        spreadsheet::Application excel;
        if (excel.OpenWorkbook(QString()) != -1) {
            write(excel);
            excel.SetAppVisible(true);
        }
        spreadsheet::Application::setOpener({});
        spreadsheet::Application::setOutputFolder({});
        return opened;
    }

private slots:
    void timesheet()
    {
        TestDatabase db;
        loadSmallShop(db);
        db.exec("insert into accounts_dep.h_tabel (w_id, smena, month, year, d2, d28) values (1, 1, 2, 2026, 8, 0),"
                " (1, 2, 2, 2026, 4, 0), (2, 1, 2, 2026, 0, 12)");
        Database dm;
        dm.ADO_DB.setConnectionString(db.connectionString());
        dm.ADO_DB.open();
        db::Dataset hours(dm.ADO_DB.name(), QStringLiteral("H_Tabel"));
        hours.setSqlLines(timesheet_sql::kHTabelLines);
        hours.setParam(QStringLiteral("mnth"), 2);
        hours.setParam(QStringLiteral("yea"), 2026);
        hours.open();
        QStringList captions;
        const QString file = exported([&](spreadsheet::Application& excel) {
            timesheet::writeTimesheet(hours, excel, QStringLiteral("Февраль 2026"),
                                      [&](const QString& caption) { captions << caption; });
        });
        QCOMPARE(captions, (QStringList{"Excel (0 из 2)", "Excel (1 из 2)", "Excel (2 из 2)"}));
        XlsxFile x(file);
        QVERIFY2(x.isValid(), qPrintable(x.error()));
        QCOMPARE(x.lastRow(), 4);
        QCOMPARE(x.cell(1, 1).text, QStringLiteral("Февраль 2026"));
        QCOMPARE(x.cell(1, 2).text, QStringLiteral("Фамилия И.О."));
        QCOMPARE(x.cell(1, 3).text, QStringLiteral("Иванов И.И."));
        QCOMPARE(x.cell(3, 3).number, 12.0); // day 2, both shifts
        QCOMPARE(x.cell(33, 3).number, 12.0);
        QCOMPARE(x.cell(29, 4).number, 12.0); // day 28
        QCOMPARE(x.frozenRows(), 2);
    }

    // The price list, also on a workstation whose C library writes numbers with a decimal comma (the locale a
    // Russian desktop gives the program): the workbook holds the numbers and the column widths in the file
    // format's notation, so a spreadsheet application reads 77.5 and not 77.
    void priceList_data()
    {
        QTest::addColumn<QByteArray>("numericLocale");
        QTest::newRow("C") << QByteArray("C.UTF-8");
        QTest::newRow("ru_RU") << QByteArray("ru_RU.UTF-8");
    }

    void priceList()
    {
        QFETCH(QByteArray, numericLocale);
        TestDatabase db;
        loadSmallShop(db);
        db.exec("insert into accounts_dep.oper (id, vid, naimen, i_id, cena_new) values (3, 2, 1, 1, 77.5)");
        Database dm;
        dm.ADO_DB.setConnectionString(db.connectionString());
        dm.ADO_DB.open();
        db::Dataset prices(dm.ADO_DB.name(), QStringLiteral("XLS_Rep"));
        prices.setSqlLines(operation_prices_sql::kXlsRepLines);
        prices.open();
        const QByteArray previous = std::setlocale(LC_ALL, nullptr);
        QVERIFY2(std::setlocale(LC_ALL, numericLocale.constData()), "the locale is missing (test.sh makes it)");
        QString file;
        if (numericLocale.startsWith("ru")) {
            char comma[8];
            std::snprintf(comma, sizeof comma, "%.1f", 77.5);
            QCOMPARE(QByteArray(comma), QByteArray("77,5")); // the C library of this locale writes a comma
        }
        file = exported([&](spreadsheet::Application& excel) { catalogs::writePriceList(prices, excel); });
        std::setlocale(LC_ALL, previous.constData());
        XlsxFile x(file);
        QVERIFY2(x.isValid(), qPrintable(x.error()));
        QCOMPARE(x.row(1), (QStringList{"Марка", "Операция", "Цена", "Вид"}));
        QCOMPARE(x.row(2), (QStringList{"ДМ-101", "КРАСКА", "77.5", "Заготовки"}));
        QVERIFY(x.cell(3, 2).isNumber);
        QCOMPARE(x.cell(3, 2).number, 77.5);
        QCOMPARE(x.row(3), (QStringList{"ДМ-101", "РЕЗКА", "0", "Готовая продукция"}));
        QCOMPARE(x.lastRow(), 4);
        QVERIFY(x.cell(1, 1).bold);
        QCOMPARE(x.frozenRows(), 1);
        // every number of the sheet as the file format writes numbers
        const QByteArray sheet = XlsxFile::member(file, QStringLiteral("xl/worksheets/sheet1.xml"));
        QVERIFY(sheet.contains("<v>77.5</v>"));
        const QRegularExpression width(QStringLiteral("width=\"([^\"]*)\""));
        int widths = 0;
        for (auto m = width.globalMatch(QString::fromUtf8(sheet)); m.hasNext(); ++widths) {
            const QString w = m.next().captured(1);
            QVERIFY2(QRegularExpression(QStringLiteral("^[0-9]+(\\.[0-9]+)?$")).match(w).hasMatch(), qPrintable(w));
        }
        QCOMPARE(widths, 4);
        for (int c = 1; c <= 4; ++c)
            QVERIFY(x.columnWidth(c) > 1);
    }
};

QTEST_MAIN(TestExports)
#include "tst_exports.moc"
