#include "timesheet/timesheet_window.h"

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
#include "ui/window_registry.h"

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
        const TimesheetWindow::ColumnLook& look = form_->FColumns[index_][column];
        if (column == 32) {
            option->font.setBold(true);
            if (!selected)
                option->backgroundBrush = kTotalBackground;
        }
        if (selected)
            return;
        const TimesheetWindow::CellLook cell = TimesheetWindow::DBGrid1DrawColumnCell(column, index.data(Qt::EditRole), look, selected);
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

TimesheetWindow::TimesheetWindow(Windows& windows, QWidget* parent)
    : QDialog(parent)
    , w_(windows)
{
    setupUi(this);
    // For a screen reader: the tabs are the shifts, each grid is its shift's hours.
    PageControl1->setAccessibleName(QStringLiteral("Смены"));
    for (int i = 0; i < PageControl1->count(); ++i)
        PageControl1->widget(i)->findChild<QTableView*>()->setAccessibleName(QStringLiteral("Часы: ") +
                                                                             PageControl1->tabText(i));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ComboBox2->addItems(yearItems(QDate::currentDate().year()));
    ComboBox1->setCurrentIndex(0);
    ComboBox2->setCurrentIndex(0);
    Button4->setShortcut(QKeySequence(Qt::Key_Escape));
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    ui::rememberPlace(this, {DBGrid1, DBGrid2, DBGrid3});

    monthReport_ = std::make_unique<reportengine::ReportRunner>(timesheet::monthReport(),
                                                                w_.database->reportConnectionName());
    dt = new db::Dataset(w_.database->ADO_DB.name(), QStringLiteral("dt"), this);
    dt->setSql(timesheet_sql::kDt);
    dt->setFieldDefs(
        {{"smena", db::FieldType::SmallInt}, {"w_id", db::FieldType::Integer}, {"tim", db::FieldType::BigInt}});

    for (auto& grid : FColumns)
        for (ColumnLook& c : grid)
            c = {windowText(), windowText(), false};
    db::Dataset* queries[] = {w_.database->H_Tabel_1, w_.database->H_Tabel_2, w_.database->H_Tabel_3};
    for (int i = 0; i < 3; ++i) {
        setUpGrid(grid(i + 1), i);
        grid(i + 1)->setDataset(queries[i]);
    }

    const auto on = [this](auto* sender, auto signal, void (TimesheetWindow::*handler)()) {
        connect(sender, signal, this, [this, handler] { ui::guarded([this, handler] { (this->*handler)(); }); });
    };
    on(ComboBox1, &QComboBox::activated, &TimesheetWindow::ComboBox1Change);
    on(ComboBox2, &QComboBox::activated, &TimesheetWindow::ComboBox1Change);
    on(Button5, &QPushButton::clicked, &TimesheetWindow::Button5Click);
    on(Button1, &QPushButton::clicked, &TimesheetWindow::Button1Click);
    on(Button6, &QPushButton::clicked, &TimesheetWindow::Button6Click);
    on(Button2, &QPushButton::clicked, &TimesheetWindow::Button2Click);
    on(Button4, &QPushButton::clicked, &TimesheetWindow::Button4Click);
    on(ButtonClose, &QPushButton::clicked, &TimesheetWindow::ButtonCloseClick);

    // Another workstation's change of the shown month (a save, a deletion, a rebuild) shows by itself.
    live_ = new ui::LiveRefresh(this, [this] { ComboBox1Change(); });
}

void TimesheetWindow::listenOnce()
{
    // The windows are made before the connection is; the first showing connects to the announcements.
    if (listening_ || !w_.database->ADO_DB.isOpen())
        return;
    listening_ = true;
    {
        db::Listener* listener = w_.database->announcements();
        connect(listener, &db::Listener::changed, this, [this](const QString& channel, const QString& payload) {
            const QString shown = QStringLiteral("%1-%2")
                                      .arg(ComboBox2->currentText())
                                      .arg(ComboBox1->currentIndex() + 1, 2, 10, QLatin1Char('0'));
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
    return shift == 2 ? DBGrid2 : (shift == 3 ? DBGrid3 : DBGrid1);
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

void TimesheetWindow::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    ui::restorePlace(this);
    if (!event->spontaneous())
        ui::guarded([this] { FormActivate(); });
}

void TimesheetWindow::FormActivate()
{
    listenOnce();
    live_->activated();
    Button2->setText(QStringLiteral("Excel"));
}

// Back in the window after an export, its button no longer counts the rows of the last one.
void TimesheetWindow::changeEvent(QEvent* event)
{
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && !exporting_)
        Button2->setText(QStringLiteral("Excel"));
}

void TimesheetWindow::showMonthOf(const QDate& date, ui::Activatable* returnTo)
{
    SelectMonthOf(date);
    ComboBox1Change();
    ui::showModal(this, returnTo);
}

void TimesheetWindow::SelectMonthOf(const QDate& date)
{
    ComboBox1->setCurrentIndex(date.month() - 1);
    // The year is looked for in the list; a year outside it takes the nearest end of the list.
    const QString year = QString::number(date.year());
    int found = -1;
    for (int i = 0; i < ComboBox2->count(); ++i)
        if (ComboBox2->itemText(i) == year)
            found = i;
    if (found < 0)
        found = date.year() < ComboBox2->itemText(0).toInt() ? 0 : ComboBox2->count() - 1;
    ComboBox2->setCurrentIndex(found);
}

void TimesheetWindow::ComboBox1Change()
{
    live_->readAll();
    showMonthState();
    const int month = ComboBox1->currentIndex() + 1;
    const int year = ComboBox2->currentText().toInt();
    db::Dataset* queries[] = {w_.database->H_Tabel_1, w_.database->H_Tabel_2, w_.database->H_Tabel_3};
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

TimesheetWindow::CellLook TimesheetWindow::DBGrid1DrawColumnCell(int column, const QVariant& value, const ColumnLook& look,
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

void TimesheetWindow::Button5Click()
{
    for (db::Dataset* q : {w_.database->H_Tabel_1, w_.database->H_Tabel_2, w_.database->H_Tabel_3}) {
        q->close();
        q->open();
    }
}

void TimesheetWindow::Button1Click()
{
    Database* dm = w_.database;
    const int month = ComboBox1->currentIndex() + 1;
    const int year = ComboBox2->currentText().toInt();
    ui::WaitCursor wait;
    for (db::Dataset* q : {dm->H_Tabel_1, dm->H_Tabel_2, dm->H_Tabel_3})
        q->close();
    dt->close();
    PB->setMaximum(QDate(year, month, 1).daysInMonth());
    PB->setValue(1);
    PB->show();
    // The bar is hidden again and the grids reopened whether the rebuild went through or not; a failure has
    // left the month as it was.
    const auto restore = qScopeGuard([this] {
        PB->hide();
        ui::guarded([this] {
            for (db::Dataset* q : {w_.database->H_Tabel_1, w_.database->H_Tabel_2, w_.database->H_Tabel_3})
                q->open();
        });
    });
    timesheet::rebuildMonth(*dm, month, year, [this](int day) {
        PB->setValue(day);
        PB->repaint();
    });
}

TimesheetWindow::~TimesheetWindow() = default;

db::Dataset& TimesheetWindow::openMonthReport()
{
    db::Dataset& q = monthReport_->query();
    q.close();
    q.setParam(QStringLiteral("mnth"), ComboBox1->currentIndex() + 1);
    q.setParam(QStringLiteral("yea"), ComboBox2->currentText().toInt());
    q.open();
    return q;
}

void TimesheetWindow::Button6Click()
{
    const auto close = qScopeGuard([this] { monthReport_->close(); });
    openMonthReport();
    monthReport_->setTitle(ComboBox1->currentText() + u' ' + ComboBox2->currentText() + QStringLiteral(" г."));
    monthReport_->preview();
}

void TimesheetWindow::Button2Click()
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
                              ComboBox1->currentText() + u' ' + QString::number(ComboBox2->currentText().toInt()),
                              [this](const QString& caption) {
                                  Button2->setText(caption);
                                  // The count is drawn as it grows; clicks wait until the export has finished,
                                  // so none starts another.
                                  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                              });
    excel_.SetAppVisible(true);
}

void TimesheetWindow::showMonthState()
{
    const int month = ComboBox1->currentIndex() + 1;
    const int year = ComboBox2->currentText().toInt();
    const db::months::Closed c = db::months::closedState(w_.database->ADO_DB.name(), month, year);
    setWindowTitle(c.closed ? QStringLiteral("Табель по времени — месяц закрыт %1 (%2)")
                                  .arg(c.at.toString(format::kDateFormat.toString() + QStringLiteral(" HH:mm")), c.by)
                            : QStringLiteral("Табель по времени"));
    ButtonClose->setText(c.closed ? QStringLiteral("Открыть месяц") : QStringLiteral("Закрыть месяц"));
    ButtonClose->setEnabled(FMayCloseMonths);
}

void TimesheetWindow::ButtonCloseClick()
{
    if (!FMayCloseMonths)
        return;
    const int month = ComboBox1->currentIndex() + 1;
    const int year = ComboBox2->currentText().toInt();
    const QString cn = w_.database->ADO_DB.name();
    const QString name = ComboBox1->currentText() + u' ' + ComboBox2->currentText();
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

void TimesheetWindow::Button4Click()
{
    reject();
}
