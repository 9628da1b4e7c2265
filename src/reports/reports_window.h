// The reports window: period, product class, a button per report of its table, and the production export.
#pragma once

#include "spreadsheet/spreadsheet.h"
#include "ui/roles.h"

#include <QDate>
#include <QDialog>

#include <memory>
#include <vector>

struct Windows;
namespace db {
class Dataset;
} // namespace db
namespace reportengine {
class ReportRunner;
} // namespace reportengine
namespace ui {
class Activatable;
} // namespace ui
class QPushButton;
namespace Ui {
class ReportsWindow;
} // namespace Ui

class ReportsWindow : public QDialog {
    Q_OBJECT
public:
    explicit ReportsWindow(Windows& windows, QWidget* parent = nullptr);
    ~ReportsWindow() override;

    // What the signed-in role may use here: every report, or only the detailed report by product (and then
    // perhaps only for finished goods).
    void applyRole(const ui::RoleRights& rights);

    // Opens the window modally on the period from `from` to `to` (excluded); `returnTo` is activated afterwards.
    void showPeriod(const QDate& from, const QDate& to, ui::Activatable* returnTo);

    // The product class chosen in "Вид продукции": 0 "Все", 1 "Готовая продукция", 2 "Заготовки".
    int radioGroup1ItemIndex() const;
    void setRadioGroup1ItemIndex(int index);

    // The report behind the button of that object name; nullptr when there is none (or no database).
    reportengine::ReportRunner* report(const QString& buttonName) const;
    // Prints that report over the chosen period and product class: period, filter, title, preview, and its query
    // closed afterwards.
    void printReport(reportengine::ReportRunner& report);
    // Writes that report over the chosen period into a new workbook, with the subtotals and totals it prints, and
    // shows it; `button` counts the lines.
    void exportReport(reportengine::ReportRunner& report, QPushButton* button, const QString& caption);
    // The production export's query.
    db::Dataset& productionQuery() { return *production_; }
    // Writes the period's production into a new workbook and shows it; the button counts the lines.
    void exportProduction();

    // The product class as a filter on a query's loaded rows: "Все" switches it off (and a query without the
    // product's flag is not filtered).
    void applyProductClass(db::Dataset* query) const;
    // Gives the period's parameters to a query: data1 the start, data2 the end (excluded).
    void setPeriod(db::Dataset* query) const;
    // False, after telling the user, when the period's end is not after its start: the half-open period would
    // hold no day, and an empty report would read as a shop that produced nothing.
    bool periodAccepted() const;

private:
    std::unique_ptr<Ui::ReportsWindow> ui_;
    Windows& w_;
    // One runner per line of the reports' table, beside the button that runs it.
    struct Line {
        QString buttonName;
        std::unique_ptr<reportengine::ReportRunner> runner;
    };
    std::vector<Line> reports_;
    // The buttons that only the roles with every report may press.
    QList<QWidget*> restricted_;
    db::Dataset* production_ = nullptr;
    spreadsheet::Application excel_{QStringLiteral("Продукция")};
};
