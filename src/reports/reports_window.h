// The reports window: period, product class and the buttons of the period reports and the production export.
#pragma once

#include "spreadsheet/spreadsheet.h"
#include "ui_reports_window.h"

#include "ui/messages.h"
#include "ui/roles.h"
#include <QDate>

#include <QDialog>

class Database;
class PeriodReportForm;
namespace db {
class Dataset;
} // namespace db

class ReportsWindow : public QDialog, private Ui::ReportsWindow {
    Q_OBJECT
public:
    // The report windows its buttons run: by worker, by product, and the two detailed ones.
    struct Forms {
        PeriodReportForm* workers = nullptr;
        PeriodReportForm* products = nullptr;
        PeriodReportForm* workerDetails = nullptr;
        PeriodReportForm* productDetails = nullptr;
    };
    ReportsWindow(Database* database, const Forms& forms, QWidget* parent = nullptr);

    // What the signed-in role may use here: every report, or only the detailed report by product (and then
    // perhaps only for finished goods).
    void applyRole(const ui::RoleRights& rights);

    // The production export's query and the spreadsheet application it writes into.
    db::Dataset* XLS_Rep = nullptr;
    spreadsheet::Application excel_{QStringLiteral("Продукция")};

    // Opens the window modally on the period from `from` to `to` (excluded); `returnTo` is activated afterwards.
    void showPeriod(const QDate& from, const QDate& to, ui::Activatable* returnTo);

    // The product class chosen in "Вид продукции": 0 "Все", 1 "Готовая продукция", 2 "Заготовки".
    int radioGroup1ItemIndex() const;
    void setRadioGroup1ItemIndex(int index);

    void Button4Click();
    void Button2Click();
    void Button1Click();
    void Button3Click();
    void Button6Click();
    void Button5Click();

    // The product class as a filter on a query's loaded rows: "Все" switches it off.
    void applyProductClass(db::Dataset* query) const;
    // Gives the period's parameters to a query: data1 the start, data2 the end (excluded).
    void setPeriod(db::Dataset* query) const;
    // False, after telling the user, when the period's end is not after its start: the half-open period would
    // hold no day, and an empty report would read as a shop that produced nothing.
    bool periodAccepted() const;

private:
    // The steps every report button takes: period, filter, title, preview, and the query closed afterwards.
    void runReport(PeriodReportForm* form, const QString& titlePrefix);

    Database* database_;
    Forms forms_;
};
