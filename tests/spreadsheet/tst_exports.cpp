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

#include <QTemporaryDir>
#include <QtTest>

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
        TDataModule6 dm;
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

    void priceList()
    {
        TestDatabase db;
        loadSmallShop(db);
        db.exec("insert into accounts_dep.oper (id, vid, naimen, i_id, cena_new) values (3, 2, 1, 1, 2.5)");
        TDataModule6 dm;
        dm.ADO_DB.setConnectionString(db.connectionString());
        dm.ADO_DB.open();
        db::Dataset prices(dm.ADO_DB.name(), QStringLiteral("XLS_Rep"));
        prices.setSqlLines(operation_prices_sql::kXlsRepLines);
        prices.open();
        XlsxFile x(exported([&](spreadsheet::Application& excel) { catalogs::writePriceList(prices, excel); }));
        QVERIFY2(x.isValid(), qPrintable(x.error()));
        QCOMPARE(x.row(1), (QStringList{"Марка", "Операция", "Цена", "Вид"}));
        QCOMPARE(x.row(2), (QStringList{"ДМ-101", "КРАСКА", "2.5", "Заготовки"}));
        QCOMPARE(x.row(3), (QStringList{"ДМ-101", "РЕЗКА", "0", "Готовая продукция"}));
        QCOMPARE(x.lastRow(), 4);
        QVERIFY(x.cell(1, 1).bold);
        QCOMPARE(x.frozenRows(), 1);
    }
};

QTEST_MAIN(TestExports)
#include "tst_exports.moc"
