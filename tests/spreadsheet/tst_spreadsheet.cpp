// The spreadsheet export: what a written workbook holds when read back, the messages of failures, and the file opened
// by the real spreadsheet application (LibreOffice, headless).
#include "spreadsheet/cell_text.h"
#include "spreadsheet/spreadsheet.h"
#include "support/xlsx_reader.h"
#include "ui/messages.h"

#include <QtTest>

using spreadsheet::Application;

class TestSpreadsheet : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QStringList opened_;
    bool openerAnswer_ = true;

    QString onlyFile() const
    {
        const QStringList files = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden);
        return files.size() == 1 ? QDir(dir_.path()).filePath(files.first()) : QString();
    }

private slots:
    void initTestCase()
    {
        ui::Messages::setScripted(true);
        Application::setOpener([this](const QString& file) {
            opened_ << file;
            return openerAnswer_;
        });
    }

    void init()
    {
        QVERIFY(dir_.isValid());
        for (const QString& f : QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden))
            QFile::remove(QDir(dir_.path()).filePath(f));
        Application::setOutputFolder(dir_.path());
        ui::Messages::clearShown();
        opened_.clear();
        openerAnswer_ = true;
    }

    void numberFromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("isNumber");
        QTest::addColumn<double>("value");
        QTest::newRow("whole") << "12" << true << 12.0;
        QTest::newRow("decimal comma") << "-3,5" << true << -3.5;
        QTest::newRow("full stop") << "0.25" << true << 0.25;
        QTest::newRow("exponent") << "1e-05" << true << 1e-05;
        QTest::newRow("blanks around") << " 7 " << true << 7.0;
        QTest::newRow("leading zeros") << "007" << true << 7.0;
        QTest::newRow("plus sign") << "+4" << true << 4.0;
        QTest::newRow("15 digits") << "123456789012345" << true << 123456789012345.0;
        QTest::newRow("16 digits stay text") << "1234567890123456" << false << 0.0;
        QTest::newRow("letters") << "12a" << false << 0.0;
        QTest::newRow("two separators") << "1.2.3" << false << 0.0;
        QTest::newRow("grouped") << "1 000" << false << 0.0;
        QTest::newRow("separator alone") << "," << false << 0.0;
        QTest::newRow("date") << "10.12.2026" << false << 0.0;
        QTest::newRow("infinity") << "inf" << false << 0.0;
        QTest::newRow("huge exponent") << "1e999" << false << 0.0;
    }

    void numberFromText()
    {
        QFETCH(QString, text);
        QFETCH(bool, isNumber);
        QFETCH(double, value);
        const std::optional<double> n = spreadsheet::numberFromText(text);
        QCOMPARE(n.has_value(), isNumber);
        if (isNumber)
            QCOMPARE(*n, value);
    }

    // Cells as the application would hold them: numbers from numeric text unless marked as text, bold set and
    // cleared, widths of auto-fitted columns only, nothing for empty text, the file named by export and time.
    void writtenWorkbookReadsBack()
    {
        Application app(QStringLiteral("Цены"));
        QCOMPARE(app.OpenWorkbook(QString()), 1);
        QCOMPARE(app.WriteCell(1, 1, 1, QStringLiteral("Марка"), 1), 1);
        QCOMPARE(app.WriteCell(1, 3, 1, QStringLiteral("Цена"), 1), 1);
        QCOMPARE(app.WriteCell(1, 1, 2, QStringLiteral("ПЛИТА-200 длинная марка"), 1), 1);
        QCOMPARE(app.WriteCell(1, 3, 2, QStringLiteral("12,5"), 0), 1);
        QCOMPARE(app.WriteCell(1, 2, 2, QString(), 1), 1); // nothing written
        QCOMPARE(app.WriteCell(1, 1, 3, QStringLiteral("007"), true, true, true), 1);
        QCOMPARE(app.WriteCell(1, 2, 3, QStringLiteral("007"), false, true, false), 1);
        QCOMPARE(app.WriteCell(1, 4, 3, QStringLiteral("Итого"), true, false, true), 1);
        QCOMPARE(app.WriteCell(1, 4, 3, QStringLiteral("Итого"), true, false, false), 1); // bold cleared again
        QCOMPARE(app.WriteCell(1, 5, 4, QStringLiteral("x"), true, true, false), 1);
        QCOMPARE(app.WriteCell(1, 5, 5, QStringLiteral("Фамилия Имя Отчество"), true, false, false), 1);
        QVERIFY(opened_.isEmpty());
        app.SetAppVisible(true);
        QVERIFY(ui::Messages::shown().isEmpty());
        QVERIFY(!app.hasWorkbook());

        QCOMPARE(opened_.size(), 1);
        QCOMPARE(opened_.first(), app.lastFile());
        QCOMPARE(onlyFile(), app.lastFile()); // the unfinished file is gone
        QVERIFY2(QRegularExpression(QStringLiteral(R"(/Цены \d{4}-\d\d-\d\d \d\d-\d\d-\d\d\.xlsx$)"))
                     .match(app.lastFile())
                     .hasMatch(),
                 qPrintable(app.lastFile()));

        XlsxFile x(app.lastFile());
        QVERIFY2(x.isValid(), qPrintable(x.error()));
        QCOMPARE(x.row(1), (QStringList{"Марка", "", "Цена"}));
        QCOMPARE(x.cell(1, 2).text, QStringLiteral("ПЛИТА-200 длинная марка"));
        QVERIFY(!x.cell(1, 2).isNumber);
        QVERIFY(x.cell(3, 2).isNumber);
        QCOMPARE(x.cell(3, 2).number, 12.5);
        QVERIFY(!x.hasCell(2, 2));

        const XlsxCell asText = x.cell(1, 3), asNumber = x.cell(2, 3);
        QVERIFY(!asText.isNumber);
        QCOMPARE(asText.text, QStringLiteral("007"));
        QVERIFY(asText.textFormat);
        QVERIFY(asText.bold);
        QVERIFY(asNumber.isNumber);
        QCOMPARE(asNumber.number, 7.0);
        QVERIFY(!asNumber.bold);
        QVERIFY(!x.cell(4, 3).bold);

        // Column 1 was fitted after its long text: as wide as that text. Column 5 was fitted before its long text
        // came, as the application does; columns 3 and 4 were never fitted.
        QVERIFY(x.columnWidth(1) >= 23 && x.columnWidth(1) < 30);
        QVERIFY(x.columnWidth(2) >= 3 && x.columnWidth(2) < 6);
        QCOMPARE(x.columnWidth(3), 0.0);
        QCOMPARE(x.columnWidth(4), 0.0);
        QVERIFY(x.columnWidth(5) > 0 && x.columnWidth(5) < 5);
    }

    // Whole columns fitted when the workbook is finished: each as wide as its widest text written, whenever it came,
    // a very long text only up to the cap, an unwritten column left alone; the frozen pane as asked.
    void headerFrozenAndColumnsFitted()
    {
        Application app;
        QCOMPARE(app.OpenWorkbook(QString()), 1);
        app.freezePanes(2, 1);
        app.fitColumns(); // before the texts: the fit is made from all of them at the end
        app.WriteCell(1, 1, 1, QStringLiteral("Наименование"), false, false, true);
        app.WriteCell(1, 2, 1, QStringLiteral("Кол-во"), false, false, true);
        app.WriteCell(1, 4, 1, QStringLiteral("Вид"), false, false, true);
        app.WriteCell(1, 1, 2, QStringLiteral("ПЛИТА-200 очень длинное наименование изделия"), 1);
        app.WriteCell(1, 2, 2, QStringLiteral("12345"), 0);
        app.WriteCell(1, 4, 3, QString(200, u'Ж'), 1);
        app.SetAppVisible(true);

        XlsxFile x(app.lastFile());
        QVERIFY2(x.isValid(), qPrintable(x.error()));
        QCOMPARE(x.frozenRows(), 2);
        QCOMPARE(x.frozenColumns(), 1);
        QVERIFY(x.cell(1, 1).bold && x.cell(2, 1).bold && !x.cell(1, 2).bold);
        QVERIFY2(x.columnWidth(1) > 44 && x.columnWidth(1) < 50, qPrintable(QString::number(x.columnWidth(1))));
        QVERIFY2(x.columnWidth(2) > 6.6 && x.columnWidth(2) < 10, qPrintable(QString::number(x.columnWidth(2))));
        QCOMPARE(x.columnWidth(3), 0.0);
        // (the file stores a width with the cell padding added, under a character more)
        QVERIFY2(x.columnWidth(4) >= Application::kMaxFittedWidth &&
                     x.columnWidth(4) < Application::kMaxFittedWidth + 1,
                 qPrintable(QString::number(x.columnWidth(4))));
    }

    void writeErrors_data()
    {
        QTest::addColumn<int>("sheet");
        QTest::addColumn<int>("column");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("caption");
        QTest::newRow("sheet 2") << 2 << 1 << 1 << "Ошибочный номер листа Microsoft Excel";
        QTest::newRow("sheet 0") << 0 << 3 << 4 << "Ошибочный номер листа Microsoft Excel";
        QTest::newRow("row 0") << 1 << 1 << 0 << "Ошибка Microsoft Excel";
        QTest::newRow("column 0") << 1 << 0 << 5 << "Ошибка Microsoft Excel";
        QTest::newRow("column past the last") << 1 << 16385 << 1 << "Ошибка Microsoft Excel";
        QTest::newRow("row past the last") << 1 << 1 << 1048577 << "Ошибка Microsoft Excel";
    }

    // A bad cell shows its message and gives -1; the export goes on and the good cells are kept.
    void writeErrors()
    {
        QFETCH(int, sheet);
        QFETCH(int, column);
        QFETCH(int, row);
        QFETCH(QString, caption);
        Application app;
        QCOMPARE(app.OpenWorkbook(QString()), 1);
        QCOMPARE(app.WriteCell(sheet, column, row, QStringLiteral("x"), 1), -1);
        QCOMPARE(app.WriteCell(sheet, column, row, QStringLiteral("x"), true, true, true), -1);
        QCOMPARE(app.WriteCell(1, 1, 1, QStringLiteral("ok"), 1), 1);
        const auto shown = ui::Messages::shown();
        QCOMPARE(shown.size(), 2);
        QCOMPARE(shown[0].caption, caption);
        QCOMPARE(shown[0].text,
                 QStringLiteral("Ошибка при записи: лист %1, столбец %2, строка %3").arg(sheet).arg(column).arg(row));
        app.SetAppVisible(true);
        QCOMPARE(XlsxFile(app.lastFile()).row(1), QStringList{"ok"});
    }

    // Before a workbook is opened nothing can be written and making the application visible does nothing; hiding it
    // while filling changes nothing; a workbook is finished once and later calls do not open it again.
    void lifecycle()
    {
        Application app;
        app.SetAppVisible(true);
        QCOMPARE(app.WriteCell(1, 1, 1, QStringLiteral("x"), 1), -1);
        QCOMPARE(ui::Messages::shown().size(), 1);
        QCOMPARE(ui::Messages::shown().first().caption, QStringLiteral("Ошибочный номер листа Microsoft Excel"));
        QVERIFY(opened_.isEmpty());

        QCOMPARE(app.OpenWorkbook(QString()), 1);
        app.SetAppVisible(false);
        QCOMPARE(app.WriteCell(1, 1, 1, QStringLiteral("x"), true, true, true), 1);
        app.SetAppVisible(true);
        app.SetAppVisible(true);
        QCOMPARE(opened_.size(), 1);

        // A workbook left unfinished by an export that stopped is dropped by the next one.
        QCOMPARE(app.OpenWorkbook(QString()), 1);
        QCOMPARE(app.WriteCell(1, 1, 1, QStringLiteral("lost"), 1), 1);
        QCOMPARE(app.OpenWorkbook(QString()), 1);
        QCOMPARE(app.WriteCell(1, 1, 1, QStringLiteral("kept"), 1), 1);
        app.SetAppVisible(true);
        QCOMPARE(opened_.size(), 2);
        QVERIFY(opened_[0] != opened_[1]); // the same second: a second name, the first file untouched
        QCOMPARE(XlsxFile(opened_[0]).row(1), QStringList{"x"});
        QCOMPARE(XlsxFile(opened_[1]).row(1), QStringList{"kept"});
        QCOMPARE(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    // Opening failures: a named workbook cannot be opened, an export folder that cannot be made refuses the
    // workbook, and without an application to open it the file stays where it is and the message says where.
    void failures()
    {
        Application app;
        QCOMPARE(app.OpenWorkbook(QStringLiteral("/tmp/book.xlsx")), -1);
        QCOMPARE(ui::Messages::shown().last().text, QStringLiteral("Ошибка открытия файла Microsoft Excel."));
        QCOMPARE(ui::Messages::shown().last().caption, QStringLiteral("Ошибка"));

        const QString blocker = dir_.filePath(QStringLiteral("file"));
        QFile f(blocker);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        Application::setOutputFolder(blocker + QStringLiteral("/sub"));
        QCOMPARE(app.OpenWorkbook(QString()), -1);
        QCOMPARE(ui::Messages::shown().last().text, QStringLiteral("Ошибка открытия файла Microsoft Excel."));
        QVERIFY(!app.hasWorkbook());
        QFile::remove(blocker);

        Application::setOutputFolder(dir_.path());
        ui::Messages::clearShown();
        openerAnswer_ = false;
        QCOMPARE(app.OpenWorkbook(QString()), 1);
        app.WriteCell(1, 1, 1, QStringLiteral("1"), 0);
        app.SetAppVisible(true);
        QCOMPARE(ui::Messages::shown().size(), 1);
        QCOMPARE(ui::Messages::shown().first().caption, QStringLiteral("Ошибка"));
        QCOMPARE(ui::Messages::shown().first().text,
                 QStringLiteral("Невозможно открыть Microsoft Excel.\nКнига сохранена в файле ") +
                     QDir::toNativeSeparators(app.lastFile()));
        QVERIFY(QFile::exists(app.lastFile()));
    }

    // The written file opens in the spreadsheet application users have: LibreOffice converts it to CSV headless
    // and reads the same values, numbers as numbers and marked text as text.
    void opensInLibreOffice()
    {
        const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
        QVERIFY2(!soffice.isEmpty(), "LibreOffice (soffice) is not installed; test.sh installs it");
        Application app(QStringLiteral("Проверка"));
        QCOMPARE(app.OpenWorkbook(QString()), 1);
        const QStringList header{"Марка", "Операция", "Цена", "Вид"};
        for (int c = 0; c < header.size(); ++c)
            app.WriteCell(1, c + 1, 1, header[c], 1);
        app.WriteCell(1, 1, 2, QStringLiteral("ПЛИТА \"А\", 200"), 1);
        app.WriteCell(1, 2, 2, QStringLiteral("РЕЗКА"), 1);
        app.WriteCell(1, 3, 2, QStringLiteral("12,75"), 0);
        app.WriteCell(1, 4, 2, QStringLiteral("Готовая продукция"), 1);
        app.WriteCell(1, 1, 3, QStringLiteral("007"), true, true, true);
        app.WriteCell(1, 2, 3, QStringLiteral("007"), false, true, false);
        app.WriteCell(1, 3, 3, QStringLiteral("1e-05"), 0);
        app.SetAppVisible(true);

        QTemporaryDir out, profile;
        QProcess lo;
        lo.start(soffice, {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
                           QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                           QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"), QStringLiteral("--outdir"),
                           out.path(), app.lastFile()});
        QVERIFY2(lo.waitForFinished(180000), "LibreOffice did not finish");
        const QStringList csvs = QDir(out.path()).entryList({QStringLiteral("*.csv")}, QDir::Files);
        QVERIFY2(csvs.size() == 1, lo.readAllStandardError().constData());
        QFile csv(QDir(out.path()).filePath(csvs.first()));
        QVERIFY(csv.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromUtf8(csv.readAll()).split(QRegularExpression("\r?\n"), Qt::SkipEmptyParts);
        QCOMPARE(lines, (QStringList{"Марка,Операция,Цена,Вид", "\"ПЛИТА \"\"А\"\", 200\",РЕЗКА,12.75,Готовая продукция",
                                     "007,7,0.00001,"}));
    }
};

QTEST_MAIN(TestSpreadsheet)
#include "tst_spreadsheet.moc"
