// The monthly hours timesheet per shift, its rebuild from the journal, and the month's print and export.
#pragma once

#include "spreadsheet/spreadsheet.h"
#include "ui/messages.h"
#include "ui/roles.h"
#include "ui_timesheet_window.h"

#include <QColor>
#include <QDate>
#include <QDialog>

#include <array>
#include <memory>

struct Windows;
namespace db {
class Dataset;
}

namespace ui {
class LiveRefresh;
}
namespace reportengine {
class ReportRunner;
}

class TimesheetWindow : public QDialog, private Ui::TimesheetWindow {
    Q_OBJECT
public:
    explicit TimesheetWindow(Windows& windows, QWidget* parent = nullptr);
    ~TimesheetWindow() override;

    // What the signed-in role may use here: closing and opening months.
    void applyRole(const ui::RoleRights& rights) { FMayCloseMonths = rights.closesMonths; }

    // The day's hours per shift and worker, read by the rebuild.
    db::Dataset* dt = nullptr;
    // The month's print, whose query the print and the export read.
    reportengine::ReportRunner& monthReport() { return *monthReport_; }
    // The spreadsheet application the timesheet is exported to (its own, apart from the other exports).
    spreadsheet::Application excel_{QStringLiteral("Табель")};

    // How a grid column is drawn: the cell font colour, the title colour and the mark of days past the month.
    struct ColumnLook {
        QColor font;
        QColor title;
        bool readOnly = false;
    };
    // Per grid (shift 1..3 at index 0..2), per column 0..32.
    std::array<std::array<ColumnLook, 33>, 3> FColumns;

    // Selects the month and the year of a date in the two lists (the opening from the journal).
    // Opens the timesheet modally on the month of `date`, its rows read; `returnTo` is activated afterwards.
    void showMonthOf(const QDate& date, ui::Activatable* returnTo);
    void SelectMonthOf(const QDate& date);
    void ComboBox1Change();
    void Button5Click();
    void Button1Click();
    void Button6Click();
    void Button2Click();
    void Button4Click();
    // "Закрыть месяц" / "Открыть месяц" (the full-access role only): after a question, the shown month closed to
    // every change of its journal rows and timesheet cells, or opened again.
    void ButtonCloseClick();
    // The caption and the button say whether the shown month is closed.
    void showMonthState();
    // Whether this run's role may close and open months (set by the authorization).
    bool FMayCloseMonths = false;
    void FormActivate();

    // A cell's look before drawing: what painting does to the column's font colour, weight and background.
    struct CellLook {
        QColor font;
        bool bold = false;
        QColor background; // invalid: the grid's own
    };
    static CellLook DBGrid1DrawColumnCell(int column, const QVariant& value, const ColumnLook& look, bool selected);

    // The grid of a shift (1..3).
    ui::DbGrid* grid(int shift) const;

    // The year list: 2007 to the year after this one.
    static QStringList yearItems(int currentYear);

protected:
    void showEvent(QShowEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void setUpGrid(ui::DbGrid* grid, int index);
    ui::LiveRefresh* live_ = nullptr; // the shown month, after other workstations' changes
    bool listening_ = false;
    bool exporting_ = false; // an export is counting its rows on the button
    void listenOnce();
    void applyColumnLooks(int index);

    Windows& w_;
    std::unique_ptr<reportengine::ReportRunner> monthReport_;
    // The month chosen in the lists read anew into the print's query.
    db::Dataset& openMonthReport();
};
