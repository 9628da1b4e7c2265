#include "timesheet/timesheet_window.h"

#include "ui_timesheet_window.h"

#include "db/closed_months.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "db/listener.h"
#include "format/values.h"
#include "reportengine/report_runner.h"
#include "timesheet/timesheet_export.h"
#include "timesheet/timesheet_rebuild.h"
#include "timesheet/timesheet_report.h"
#include "timesheet/timesheet_sql.h"
#include "ui/dataset_grid.h"
#include "ui/live_refresh.h"
#include "ui/window_place.h"

#include <QApplication>
#include <QPainter>
#include <QScopeGuard>
#include <QShowEvent>
#include <QStyledItemDelegate>

namespace {

const QColor kRed(255, 0, 0);
const QColor kSilver(192, 192, 192);
const QColor kMoneyGreen(192, 220, 192);
const QColor kTotalBackground(225, 228, 255);

QColor windowText()
{
    return QApplication::palette().color(QPalette::WindowText);
}

QColor windowBackground()
{
    return QApplication::palette().color(QPalette::Base);
}

// Draws the timesheet's cells: the column's font colour, then the painting rules of the day columns.
class TimesheetDelegate : public QStyledItemDelegate {
public:
    TimesheetDelegate(TimesheetWindow* form, int index, QObject* parent)
        : QStyledItemDelegate(parent)
        , form_(form)
        , index_(index)
    {
    }

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        const int column = index.column();
        if (column < 0 || column > 32)
            return;
        const bool selected = option->state & QStyle::State_Selected;
        const TimesheetWindow::ColumnLook& look = form_->columnLook(index_, column);
        if (column == 32) {
            option->font.setBold(true);
            if (!selected)
                option->backgroundBrush = kTotalBackground;
        }
        if (selected)
            return;
        const TimesheetWindow::CellLook cell = TimesheetWindow::cellLook(column, index.data(Qt::EditRole), look, selected);
        if (cell.font.isValid())
            option->palette.setColor(QPalette::Text, cell.font);
        if (cell.bold)
            option->font.setBold(true);
        if (cell.background.isValid())
            option->backgroundBrush = cell.background;
    }

private:
    TimesheetWindow* form_;
    int index_;
};

} // namespace

TimesheetWindow::TimesheetWindow(Database* database, QWidget* parent)
    : ui::Dialog(parent)
    , database_(database)
{
    ui_ = std::make_unique<Ui::TimesheetWindow>();
    ui_->setupUi(this);
    // For a screen reader: the tabs are the shifts, each grid is its shift's hours.
    ui_->PageControl1->setAccessibleName(QStringLiteral("Смены"));
    for (int i = 0; i < ui_->PageControl1->count(); ++i)
        ui_->PageControl1->widget(i)->findChild<QTableView*>()->setAccessibleName(QStringLiteral("Часы: ") +
                                                                             ui_->PageControl1->tabText(i));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui_->ComboBox2->addItems(yearItems(QDate::currentDate().year()));
    ui_->ComboBox1->setCurrentIndex(0);
    ui_->ComboBox2->setCurrentIndex(0);
    ui_->Button4->setShortcut(QKeySequence(Qt::Key_Escape));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    ui::rememberPlace(this, {ui_->DBGrid1, ui_->DBGrid2, ui_->DBGrid3});

    monthReport_ = std::make_unique<reportengine::ReportRunner>(timesheet::monthReport(),
                                                                database_->reportConnectionName());
    dt = new db::Dataset(database_->ADO_DB.name(), QStringLiteral("dt"), this);
    dt->setSql(timesheet_sql::kDt);
    dt->setFieldDefs(
        {{"smena", db::FieldType::SmallInt}, {"w_id", db::FieldType::Integer}, {"tim", db::FieldType::BigInt}});

    for (auto& grid : FColumns)
        for (ColumnLook& c : grid)
            c = {windowText(), windowText(), false};
    db::Dataset* queries[] = {database_->H_Tabel_1, database_->H_Tabel_2, database_->H_Tabel_3};
    for (int i = 0; i < 3; ++i) {
        setUpGrid(grid(i + 1), i);
        grid(i + 1)->setDataset(queries[i]);
    }

    ui::connectGuarded(ui_->ComboBox1, &QComboBox::activated, this, &TimesheetWindow::showMonth);
    ui::connectGuarded(ui_->ComboBox2, &QComboBox::activated, this, &TimesheetWindow::showMonth);
    ui::connectGuarded(ui_->Button5, &QPushButton::clicked, this, &TimesheetWindow::rereadMonth);
    ui::connectGuarded(ui_->Button1, &QPushButton::clicked, this, &TimesheetWindow::rebuildMonth);
    ui::connectGuarded(ui_->Button6, &QPushButton::clicked, this, &TimesheetWindow::printMonth);
    ui::connectGuarded(ui_->Button2, &QPushButton::clicked, this, &TimesheetWindow::exportMonth);
    ui::connectGuarded(ui_->Button4, &QPushButton::clicked, this, &TimesheetWindow::quit);
    ui::connectGuarded(ui_->ButtonClose, &QPushButton::clicked, this, &TimesheetWindow::closeOrOpenMonth);

    // Another workstation's change of the shown month (a save, a deletion, a rebuild) shows by itself.
    live_ = new ui::LiveRefresh(this, [this] { showMonth(); });
}

TimesheetWindow::~TimesheetWindow() = default;

void TimesheetWindow::listenOnce()
{
    // The windows are made before the connection is; the first showing connects to the announcements.
    if (listening_ || !database_->ADO_DB.isOpen())
        return;
    listening_ = true;
    {
        db::Listener* listener = database_->announcements();
        connect(listener, &db::Listener::changed, this, [this](const QString& channel, const QString& payload) {
            const QString shown = QStringLiteral("%1-%2")
                                      .arg(ui_->ComboBox2->currentText())
                                      .arg(ui_->ComboBox1->currentIndex() + 1, 2, 10, QLatin1Char('0'));
            if (channel == QLatin1String(db::kTimesheetChannel) && payload == shown)
                live_->changed();
        });
        connect(listener, &db::Listener::reconnected, live_, &ui::LiveRefresh::changed);
    }
}

QStringList TimesheetWindow::yearItems(int currentYear)
{
    QStringList years;
    for (int y = 2007; y <= currentYear + 1; ++y)
        years.append(QString::number(y));
    return years;
}

ui::DbGrid* TimesheetWindow::grid(int shift) const
{
    return shift == 2 ? ui_->DBGrid2 : (shift == 3 ? ui_->DBGrid3 : ui_->DBGrid1);
}

void TimesheetWindow::setUpGrid(ui::DbGrid* g, int index)
{
    QList<ui::GridColumn> columns;
    columns.append(
        {QStringLiteral("fio"), QStringLiteral("Фамилия И. О."), Qt::AlignLeft | Qt::AlignVCenter, true, 180});
    for (int d = 1; d <= 31; ++d)
        columns.append({QStringLiteral("d%1").arg(d), QString::number(d), Qt::AlignCenter, true, 30});
    columns.append({QStringLiteral("summ"), QStringLiteral("Итого"), Qt::AlignCenter, true, 50});
    g->setColumns(columns);
    g->setItemDelegate(new TimesheetDelegate(this, index, g));
    applyColumnLooks(index);
}

void TimesheetWindow::applyColumnLooks(int index)
{
    ui::DbGrid* g = grid(index + 1);
    for (int c = 0; c < 33; ++c)
        g->datasetModel()->setTitleColor(c, FColumns[index][c].title);
    g->viewport()->update();
}

void TimesheetWindow::placeOnShow(bool)
{
    ui::restorePlace(this);
}

void TimesheetWindow::FormActivate()
{
    listenOnce();
    live_->activated();
    ui_->Button2->setText(QStringLiteral("Excel"));
}

// Back in the window after an export, its button no longer counts the rows of the last one.
void TimesheetWindow::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !exporting_)
        ui_->Button2->setText(QStringLiteral("Excel"));
}

void TimesheetWindow::showMonthOf(const QDate& date, ui::Activatable* returnTo)
{
    selectMonthOf(date);
    showMonth();
    ui::showModal(this, returnTo);
}

void TimesheetWindow::selectMonthOf(const QDate& date)
{
    ui_->ComboBox1->setCurrentIndex(date.month() - 1);
    // The year is looked for in the list; a year outside it takes the nearest end of the list.
    const QString year = QString::number(date.year());
    int found = -1;
    for (int i = 0; i < ui_->ComboBox2->count(); ++i)
        if (ui_->ComboBox2->itemText(i) == year)
            found = i;
    if (found < 0)
        found = date.year() < ui_->ComboBox2->itemText(0).toInt() ? 0 : ui_->ComboBox2->count() - 1;
    ui_->ComboBox2->setCurrentIndex(found);
}

void TimesheetWindow::showMonth()
{
    live_->readAll();
    showMonthState();
    const int month = ui_->ComboBox1->currentIndex() + 1;
    const int year = ui_->ComboBox2->currentText().toInt();
    db::Dataset* queries[] = {database_->H_Tabel_1, database_->H_Tabel_2, database_->H_Tabel_3};
    const QDate first(year, month, 1);
    // Weekday of the first day counted 1 = Sunday ... 7 = Saturday.
    const int w = first.dayOfWeek() % 7 + 1;
    const int n = first.daysInMonth();
    for (int i = 0; i < 3; ++i) {
        db::Dataset* q = queries[i];
        q->close();
        q->setParam(QStringLiteral("mnth"), month);
        q->setParam(QStringLiteral("yea"), year);
        q->open();
        auto& cols = FColumns[i];
        for (int d = 1; d <= n; ++d) {
            const int r = (w + d) % 7;
            const QColor c = (r == 1 || r == 2) ? kRed : windowText();
            cols[d] = {c, c, false};
        }
        for (int d = n + 1; d <= 31; ++d)
            cols[d] = {windowBackground(), kSilver, true};
        applyColumnLooks(i);
    }
}

TimesheetWindow::CellLook TimesheetWindow::cellLook(int column, const QVariant& value, const ColumnLook& look,
                                                 bool selected)
{
    CellLook cell{look.font, false, QColor()};
    if (column < 1 || column > 31 || selected)
        return cell;
    const qint64 v = value.isNull() ? 0 : value.toLongLong();
    if (v == 0) {
        if (cell.font != kRed)
            cell.font = kSilver;
        if (look.readOnly)
            cell.font = windowBackground();
    } else if (v == 8) {
        cell.bold = true;
        if (cell.font != kRed)
            cell.font = windowText();
    } else if (v > 8) {
        cell.bold = true;
        cell.background = kMoneyGreen;
    }
    return cell;
}

void TimesheetWindow::rereadMonth()
{
    for (db::Dataset* q : {database_->H_Tabel_1, database_->H_Tabel_2, database_->H_Tabel_3}) {
        q->close();
        q->open();
    }
}

void TimesheetWindow::rebuildMonth()
{
    Database* dm = database_;
    const int month = ui_->ComboBox1->currentIndex() + 1;
    const int year = ui_->ComboBox2->currentText().toInt();
    ui::WaitCursor wait;
    for (db::Dataset* q : {dm->H_Tabel_1, dm->H_Tabel_2, dm->H_Tabel_3})
        q->close();
    dt->close();
    ui_->PB->setMaximum(QDate(year, month, 1).daysInMonth());
    ui_->PB->setValue(1);
    ui_->PB->show();
    // The bar is hidden again and the grids reopened whether the rebuild went through or not; a failure has
    // left the month as it was.
    const auto restore = qScopeGuard([this] {
        ui_->PB->hide();
        ui::guarded([this] {
            for (db::Dataset* q : {database_->H_Tabel_1, database_->H_Tabel_2, database_->H_Tabel_3})
                q->open();
        });
    });
    timesheet::rebuildMonth(*dm, month, year, [this](int day) {
        ui_->PB->setValue(day);
        ui_->PB->repaint();
    });
}

db::Dataset& TimesheetWindow::openMonthReport()
{
    db::Dataset& q = monthReport_->query();
    q.close();
    q.setParam(QStringLiteral("mnth"), ui_->ComboBox1->currentIndex() + 1);
    q.setParam(QStringLiteral("yea"), ui_->ComboBox2->currentText().toInt());
    q.open();
    return q;
}

void TimesheetWindow::printMonth()
{
    const auto close = qScopeGuard([this] { monthReport_->close(); });
    openMonthReport();
    monthReport_->setTitle(ui_->ComboBox1->currentText() + u' ' + ui_->ComboBox2->currentText() + QStringLiteral(" г."));
    monthReport_->preview();
}

void TimesheetWindow::exportMonth()
{
    db::Dataset* q = &openMonthReport();
    const auto close = qScopeGuard([q] { q->close(); });
    ui::WaitCursor wait;
    exporting_ = true;
    const auto done = qScopeGuard([this] { exporting_ = false; });
    if (excel_.OpenWorkbook(QString()) == -1)
        return;
    excel_.SetAppVisible(false);
    timesheet::writeTimesheet(*q, excel_,
                              ui_->ComboBox1->currentText() + u' ' + QString::number(ui_->ComboBox2->currentText().toInt()),
                              [this](const QString& caption) {
                                  ui_->Button2->setText(caption);
                                  // The count is drawn as it grows; clicks wait until the export has finished,
                                  // so none starts another.
                                  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                              });
    excel_.SetAppVisible(true);
}

void TimesheetWindow::showMonthState()
{
    const int month = ui_->ComboBox1->currentIndex() + 1;
    const int year = ui_->ComboBox2->currentText().toInt();
    const db::months::Closed c = db::months::closedState(database_->ADO_DB.name(), month, year);
    setWindowTitle(c.closed ? QStringLiteral("Табель по времени — месяц закрыт %1 (%2)")
                                  .arg(c.at.toString(format::kDateFormat.toString() + QStringLiteral(" HH:mm")), c.by)
                            : QStringLiteral("Табель по времени"));
    ui_->ButtonClose->setText(c.closed ? QStringLiteral("Открыть месяц") : QStringLiteral("Закрыть месяц"));
    ui_->ButtonClose->setEnabled(FMayCloseMonths);
}

void TimesheetWindow::closeOrOpenMonth()
{
    if (!FMayCloseMonths)
        return;
    const int month = ui_->ComboBox1->currentIndex() + 1;
    const int year = ui_->ComboBox2->currentText().toInt();
    const QString cn = database_->ADO_DB.name();
    const QString name = ui_->ComboBox1->currentText() + u' ' + ui_->ComboBox2->currentText();
    if (db::months::closedState(cn, month, year).closed) {
        if (ui::Messages::question(QStringLiteral("Открыть месяц %1? Его записи журнала и табель снова можно будет "
                                                  "менять.")
                                       .arg(name),
                                   QStringLiteral("Закрытие месяца")))
            db::months::reopenMonth(cn, month, year);
    } else if (ui::Messages::question(
                   QStringLiteral("Закрыть месяц %1? Его записи журнала и табель больше нельзя будет "
                                  "менять, пока месяц не откроют снова.")
                       .arg(name),
                   QStringLiteral("Закрытие месяца"))) {
        db::months::closeMonth(cn, month, year);
    }
    showMonthState();
}

void TimesheetWindow::quit()
{
    reject();
}
