// The monthly hours timesheet per shift, its rebuild from the journal, and the month's print and export.
#pragma once

#include "spreadsheet/spreadsheet.h"
#include "ui/messages.h"
#include "ui/roles.h"

#include <QColor>
#include <QDate>
#include <QDialog>

#include <array>

#include <memory>

namespace Ui {
class TimesheetWindow;
}

class Database;
namespace db {
class Dataset;
}

namespace ui {
class DbGrid;
class LiveRefresh;
} // namespace ui
namespace reportengine {
class ReportRunner;
}

class TimesheetWindow : public ui::Dialog {
    Q_OBJECT
public:
    explicit TimesheetWindow(Database* database, QWidget* parent = nullptr);
    ~TimesheetWindow() override;

    // What the signed-in role may use here: closing and opening months.
    void applyRole(const ui::RoleRights& rights) { FMayCloseMonths = rights.closesMonths; }

    // How a grid column is drawn: the cell font colour, the title colour and the mark of days past the month.
    struct ColumnLook {
        QColor font;
        QColor title;
        bool readOnly = false;
    };
    // The look of a column of a grid (shift 1..3 at index 0..2), column 0..32.
    const ColumnLook& columnLook(int index, int column) const { return FColumns[index][column]; }

    // Selects the month and the year of a date in the two lists (the opening from the journal).
    // Opens the timesheet modally on the month of `date`, its rows read; `returnTo` is activated afterwards.
    void showMonthOf(const QDate& date, ui::Activatable* returnTo);
    void selectMonthOf(const QDate& date);
    // The chosen month read into the three grids (a month or year chosen in the lists).
    void showMonth();
    // "Обновить", "Перестроить" (from the journal), "Печать", "Excel", "Выход".
    void rereadMonth();
    void rebuildMonth();
    void printMonth();
    void exportMonth();
    void quit();
    // "Закрыть месяц" / "Открыть месяц" (the full-access role only): after a question, the shown month closed to
    // every change of its journal rows and timesheet cells, or opened again.
    void closeOrOpenMonth();
    // The caption and the button say whether the shown month is closed.
    void showMonthState();
    void FormActivate() override;

    // A cell's look before drawing: what painting does to the column's font colour, weight and background.
    struct CellLook {
        QColor font;
        bool bold = false;
        QColor background; // invalid: the grid's own
    };
    static CellLook cellLook(int column, const QVariant& value, const ColumnLook& look, bool selected);

    // The month's print, whose query the print and the export read.
    reportengine::ReportRunner& monthReport() { return *monthReport_; }

    // The grid of a shift (1..3).
    ui::DbGrid* grid(int shift) const;

    // The year list: 2007 to the year after this one.
    static QStringList yearItems(int currentYear);

protected:
    // Where the user left it last time, each time it is shown.
    void placeOnShow(bool spontaneous) override;
    void changeEvent(QEvent* event) override;

private:
    std::unique_ptr<Ui::TimesheetWindow> ui_;
    // The day's hours per shift and worker, read by the rebuild.
    db::Dataset* dt = nullptr;
    // The spreadsheet application the timesheet is exported to (its own, apart from the other exports).
    spreadsheet::Application excel_{QStringLiteral("Табель")};
    // Per grid (shift 1..3 at index 0..2), per column 0..32.
    std::array<std::array<ColumnLook, 33>, 3> FColumns;
    // Whether this run's role may close and open months (set by the authorization).
    bool FMayCloseMonths = false;

    void setUpGrid(ui::DbGrid* grid, int index);
    ui::LiveRefresh* live_ = nullptr; // the shown month, after other workstations' changes
    bool listening_ = false;
    bool exporting_ = false; // an export is counting its rows on the button
    void listenOnce();
    void applyColumnLooks(int index);

    Database* database_;
    std::unique_ptr<reportengine::ReportRunner> monthReport_;
    // The month chosen in the lists read anew into the print's query.
    db::Dataset& openMonthReport();
};
