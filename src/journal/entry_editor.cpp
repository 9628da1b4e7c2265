#include "journal/entry_editor.h"

#include "ui_entry_editor.h"

#include "db/command.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "db/sql_text.h"
#include "db/transaction.h"
#include "format/values.h"
#include "journal/journal_changes.h"
#include "journal/journal_sql.h"
#include "journal/journal_host.h"
#include "ui/catalogue_window.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>

#include <algorithm>

namespace {

const QString kAllFields = QStringLiteral("Все поля должны быть заполнены!");

QString kindText(int naimen)
{
    return naimen == 0 ? QStringLiteral("Готовая продукция") : QStringLiteral("Заготовки");
}

// StrToInt: a whole number of 32 bits or the conversion error.
int wholeNumber(const QString& text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok)
        throw db::ConversionError(QStringLiteral("'%1' не является целым числом").arg(text));
    return n;
}

// StrToFloat of a box's text.
double floatNumber(const QString& text)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok)
        throw db::ConversionError(QStringLiteral("'%1' не является числом").arg(text));
    return v;
}

} // namespace

EntryEditor::EntryEditor(Database* database, journal::Host& host, QWidget* centreOver, QWidget* parent)
    : ui::Dialog(parent)
    , database_(database)
    , host_(host)
    , centreOver_(centreOver)
{
    ui_ = std::make_unique<Ui::EntryEditor>();
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    ui::boldCaptionOnly(ui_->GroupBox1);

    for (QLineEdit* box : {ui_->Edit3, ui_->Edit5, ui_->Edit4, ui_->Edit6})
        ui::digitsOnly(box);
    // Leaving the quantity or the hours recalculates the price boxes.
    ui_->Edit3->installEventFilter(this);
    ui_->Edit6->installEventFilter(this);
    ui_->Edit1->installEventFilter(this);
    ui_->Edit2->installEventFilter(this);
    ui_->Edit5->setEnabled(false);
    ui_->Label6->setEnabled(false);
    // Enter saves from every box: only "Запись" is the default, whichever button had the focus before (a "..." that
    // had it would otherwise stay the default and open its chooser). Enter on a focused button still presses it.
    for (QPushButton* b : {ui_->Button3, ui_->Button4, ui_->Button2}) {
        b->setAutoDefault(false);
        b->installEventFilter(this);
    }

    if (database_) {
        SmenaIU = new db::Command(database_->ADO_DB.name(), QStringLiteral("SmenaIU"), this);
    }

    ui::connectGuarded(ui_->Button3, &QPushButton::clicked, this, &EntryEditor::chooseWorker);
    ui::connectGuarded(ui_->Button4, &QPushButton::clicked, this, &EntryEditor::chooseOperation);
    ui::connectGuarded(ui_->Button1, &QPushButton::clicked, this, &EntryEditor::saveRow);
    ui::connectGuarded(ui_->Button2, &QPushButton::clicked, this, &QDialog::reject);
}

EntryEditor::~EntryEditor() = default;

// ---- openings ----

void EntryEditor::prepareNew(const QDate& date, int shift, bool dayOff, const QDate& shownDay)
{
    FShift = shift;
    FDayOff = dayOff;
    expectedDay_ = shownDay.isValid() ? shownDay : date;
    rowBasePrice_ = 0;
    ui_->DTimeP->setDate(date);
    ui_->Edit1->clear();
    ui_->Edit2->clear();
    ui_->Edit3->clear();
    ui_->Edit5->clear();
    ui_->Edit4->setText(QStringLiteral("0"));
    ui_->Edit6->setText(QStringLiteral("0"));
    setWindowTitle(QStringLiteral("Заведение новой позиции"));
    Tag = 1;
}

void EntryEditor::prepareChange(db::Dataset* journal, int shift, bool dayOff)
{
    FShift = shift;
    FDayOff = dayOff;
    setWindowTitle(QStringLiteral("Изменение данных о позиции"));
    Tag = 2;
    opened_ = journal::ShownRow::current(*journal);
    expectedDay_ = opened_.date;
    FPrice = journal->asDouble(QStringLiteral("cena"));
    ui_->Edit7->setText(shown(FPrice));
    ui_->Edit9->setText(shown(journal->asDouble(QStringLiteral("kol_vo")) * FPrice));
    ui_->DTimeP->setDate(journal->value(QStringLiteral("data")).toDate());
    ui_->Edit1->setText(journal->asString(QStringLiteral("fio")).trimmed());
    const QString vid = journal->asString(QStringLiteral("vid")).trimmed();
    ui_->Edit2->setText(journal->asString(QStringLiteral("marka")).trimmed() + QStringLiteral("; ") + vid +
                   QStringLiteral("; ") + kindText(journal->asInt(QStringLiteral("naimen"))));
    ui_->Edit3->setText(journal->asString(QStringLiteral("kol_vo")).trimmed());
    ui_->Edit4->setText(journal->asString(QStringLiteral("brak")).trimmed());
    FWorkerId = journal->asInt(QStringLiteral("w_id"));
    FProductId = journal->asInt(QStringLiteral("i_id"));
    FOperId = journal->asInt(QStringLiteral("o_id"));
    ui_->Edit6->setText(QString::number(journal->asInt(QStringLiteral("time"))));

    // The price list is closed while the editor is open; the base price box shows the row's operation's base price,
    // read while the list stands on it.
    db::Dataset* oper = database_->Oper;
    oper->setFilter(QStringLiteral("id=") + QString::number(FOperId));
    oper->setFiltered(true);
    oper->open();
    rowBasePrice_ = oper->isEmpty() ? 0.0 : oper->asDouble(QStringLiteral("cena"));
    oper->setFiltered(false);
    oper->close();
    ui_->Edit8->setText(shown(rowBasePrice_));

    // On opening only the operation kind decides whether the row is a painting one.
    setPaint(isPaint(vid));
    if (isPaint(vid))
        ui_->Edit5->setText(journal->asString(QStringLiteral("color")).trimmed());
}

void EntryEditor::placeOnShow(bool)
{
    if (parentWidget() == nullptr && centreOver_)
        move(centreOver_->geometry().center() - rect().center());
}

void EntryEditor::FormActivate()
{
    ui_->Button3->setFocus();
}

bool EntryEditor::eventFilter(QObject* watched, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonRelease:
        if (watched == ui_->Edit1 && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            ui::guarded([this] { chooseWorker(); });
        else if (watched == ui_->Edit2 && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            ui::guarded([this] { chooseOperation(); });
        break;
    case QEvent::KeyPress:
        if (watched == ui_->Button3 || watched == ui_->Button4 || watched == ui_->Button2) {
            const auto* key = static_cast<QKeyEvent*>(event);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !key->modifiers()) {
                static_cast<QPushButton*>(watched)->click();
                return true;
            }
        }
        break;
    case QEvent::FocusOut:
        // Leaving the box for another control of the editor; not a message box or another window coming up.
        if (watched == ui_->Edit3 || watched == ui_->Edit6) {
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                ui::guarded([this] { recalculatePrices(); });
        }
        break;
    default:
        break;
    }
    return QDialog::eventFilter(watched, event);
}

// ---- choosers ----

void EntryEditor::chooseWorker()
{
    ui::CatalogueWindow* list = host_.catalogue(journal::Catalogue::Workers);
    const ui::CatalogueChoice choice = list->choose(this);
    if (choice.made)
        takeWorker(choice.id, choice.name.trimmed());
    focusAfterChooser(ui_->Button3, choice.made);
}

void EntryEditor::chooseOperation()
{
    ui::CatalogueWindow* list = host_.catalogue(journal::Catalogue::OperationPrices);
    db::Dataset* oper = database_->Oper;
    list->prepareChoice();
    oper->first();
    if (Tag != 1 && !oper->locate(QStringLiteral("id"), opened_.operId))
        oper->first();
    const ui::CatalogueChoice choice = list->runChoice(this);
    // A list that shows no row hands nothing over: the editor keeps the operation it had.
    const bool onRow = oper->isOpen() && !oper->isEmpty();
    if (choice.made && onRow) {
        takeOperation();
        rowBasePrice_ = oper->asDouble(QStringLiteral("cena"));
    }
    // Switching the search's filter off moves the list to its first row; it stays on the row it was left on
    // (the chosen one), whose base price the recalculation shows.
    const qint32 leftOn = onRow ? oper->asInt(QStringLiteral("id")) : 0;
    oper->setFiltered(false);
    // Without a choice, a changed row keeps its operation, whose base price the box goes on showing.
    const bool keepsOwn = Tag != 1 && !(choice.made && onRow);
    if (keepsOwn)
        oper->locate(QStringLiteral("id"), FOperId);
    else if (onRow)
        oper->locate(QStringLiteral("id"), leftOn);

    setPaint(isPaint(ui_->Edit2->text()));
    recalculatePrices();
    focusAfterChooser(ui_->Button4, choice.made && onRow);
}

void EntryEditor::focusAfterChooser(QPushButton* chooser, bool chosen)
{
    if (!chosen) {
        focusOn(chooser);
        return;
    }
    const QList<QWidget*> road{ui_->Button3, ui_->Button4, ui_->Edit3, ui_->Edit6, ui_->Edit5, ui_->DTimeP, ui_->Edit4, ui_->Button1};
    const auto needsValue = [this](QWidget* w) {
        if (w == ui_->Button3)
            return ui_->Edit1->text().trimmed().isEmpty();
        if (w == ui_->Button4)
            return ui_->Edit2->text().trimmed().isEmpty();
        auto* box = qobject_cast<QLineEdit*>(w);
        return box && box->isEnabled() && box->text().trimmed().isEmpty();
    };
    const int from = static_cast<int>(road.indexOf(chooser));
    for (int i = 1; i < road.size(); ++i) {
        QWidget* w = road[(from + i) % road.size()];
        if (needsValue(w)) {
            focusOn(w);
            return;
        }
    }
    for (int i = from + 1; i < road.size(); ++i)
        if (road[i]->isEnabled()) {
            focusOn(road[i]);
            return;
        }
}

void EntryEditor::focusOn(QWidget* control)
{
    // Given now, it is the editor's focus also when the editor is made active again only afterwards.
    control->setFocus(Qt::TabFocusReason);
    if (auto* box = qobject_cast<QLineEdit*>(control))
        box->selectAll();
}

void EntryEditor::takeWorker(qint32 id, const QString& name)
{
    ui_->Edit1->setText(name);
    FWorkerId = id;
}

void EntryEditor::takeOperation(qint32 operId, qint32 productId, double price, const QString& shownText)
{
    FOperId = operId;
    FProductId = productId;
    FPrice = price;
    ui_->Edit2->setText(shownText);
}

void EntryEditor::takeOperation()
{
    Database* dm = database_;
    db::Dataset* oper = dm->Oper;
    const qint32 productId = oper->asInt(QStringLiteral("i_id"));
    db::Dataset product(dm->ADO_DB.name(), QStringLiteral("Control"));
    product.setSqlLines({journal_sql::productMark(productId)});
    product.open();
    const QString mark = product.isEmpty() ? QString() : product.asString(QStringLiteral("marka"));
    takeOperation(oper->asInt(QStringLiteral("id")), productId,
                  finalPrice(oper->asDouble(QStringLiteral("cena")), FDayOff, FShift),
                  mark.trimmed() + QStringLiteral("; ") + oper->asString(QStringLiteral("VID")).trimmed() +
                      QStringLiteral("; ") + kindText(oper->asInt(QStringLiteral("NAIMEN"))));
}

void EntryEditor::setPaint(bool on)
{
    if (!on)
        ui_->Edit5->clear(); // no colour for an operation without paint
    ui_->Edit5->setEnabled(on);
    ui_->Label6->setEnabled(on);
}

// ---- prices ----

double EntryEditor::finalPrice(double base, bool dayOff, int shift)
{
    double price = base;
    if (dayOff)
        price *= 2;
    if (shift == 3)
        price *= 1.2;
    else if (shift == 4)
        price *= 1.5;
    return price;
}

QString EntryEditor::shown(double value)
{
    const QString point = QLocale().decimalPoint();
    return db::sql::general(db::sql::round4(value), point.isEmpty() ? QChar(u'.') : point.front());
}

bool EntryEditor::isPaint(const QString& text)
{
    return text.toUpper().contains(QStringLiteral("КРАСКА"));
}

void EntryEditor::recalculatePrices()
{
    if (ui_->Edit6->text().isEmpty())
        ui_->Edit6->setText(QStringLiteral("0"));
    wholeNumber(ui_->Edit6->text());
    if (ui_->Edit3->text().isEmpty())
        ui_->Edit3->setText(QStringLiteral("0"));
    ui_->Edit7->setText(shown(FPrice));
    db::Dataset* oper = database_->Oper;
    const bool hasRow = oper->isOpen() && !oper->isEmpty();
    // A changed row not priced again: the base price of its own operation, not 0 or another row's.
    ui_->Edit8->setText(shown(hasRow ? oper->asDouble(QStringLiteral("cena")) : rowBasePrice_));
    ui_->Edit9->setText(shown(floatNumber(ui_->Edit3->text()) * FPrice));
}

// ---- save ----

bool EntryEditor::numbersFit()
{
    // The largest value each box's column holds. The quantity is read back as a floating number, exact to
    // 15 digits; rejects are a smallint; the colour an integer; the hours go into the timesheet's day cell, a
    // smallint.
    struct Limit {
        QLineEdit* box;
        const char* caption;
        const char* max;
    };
    const Limit limits[] = {
        {ui_->Edit3, "Кол-во", "999999999999999"},
        {ui_->Edit4, "Брак", "32767"},
        {ui_->Edit5, "Цвет", "2147483647"},
        {ui_->Edit6, "Время", "32767"},
    };
    for (const Limit& l : limits) {
        QString digits = l.box->text().trimmed();
        while (digits.size() > 1 && digits.front() == u'0')
            digits.remove(0, 1);
        const QString max = QString::fromLatin1(l.max);
        const bool allDigits =
            std::all_of(digits.begin(), digits.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
        if (!allDigits)
            continue; // not a number at all: the conversion further on says so
        if (digits.size() > max.size() || (digits.size() == max.size() && digits > max)) {
            ui::Messages::error(QStringLiteral("Число в поле \"%1\" слишком велико: наибольшее допустимое значение %2.")
                                    .arg(QString::fromUtf8(l.caption), max));
            return false;
        }
    }
    return true;
}

void EntryEditor::saveRow()
{
    const QString worker = ui_->Edit1->text().trimmed();
    const QString operation = ui_->Edit2->text().trimmed();
    const QString quantity = ui_->Edit3->text().trimmed();
    const QString rejects = ui_->Edit4->text().trimmed();
    const QString color = ui_->Edit5->text().trimmed();
    const QString hours = ui_->Edit6->text().trimmed();
    // The first empty field, in the order of the checks; the focus goes there once the message is read (the
    // worker and the operation through their "...").
    QWidget* empty = nullptr;
    if (worker.isEmpty())
        empty = ui_->Button3;
    else if (operation.isEmpty())
        empty = ui_->Button4;
    else if (quantity.isEmpty())
        empty = ui_->Edit3;
    else if (rejects.isEmpty())
        empty = ui_->Edit4;
    else if (isPaint(ui_->Edit2->text()) && color.isEmpty())
        empty = ui_->Edit5;
    else if (hours.isEmpty())
        empty = ui_->Edit6;
    if (empty) {
        ui::Messages::error(kAllFields);
        focusOn(empty);
        return;
    }
    if (!numbersFit())
        return;
    // The row's sum is (quantity - rejects) x price: more rejects than pieces would pay a negative sum.
    if (rejects.toLongLong() > quantity.toLongLong()) {
        ui::Messages::error(QStringLiteral("Брак (%1) не может быть больше количества (%2)!").arg(rejects, quantity));
        return;
    }

    if (!otherDayConfirmed(ui_->DTimeP->date(), Tag != 1))
        return;

    journal_sql::EntryRow row;
    row.workerId = FWorkerId;
    row.operId = FOperId;
    row.productId = FProductId;
    row.price = FPrice;
    row.quantity = quantity;
    row.rejects = rejects;
    row.hours = hours;
    row.shift = FShift;
    row.color = color.isEmpty() ? 0 : wholeNumber(color);
    row.date = ui_->DTimeP->date();
    row.today = QDate::currentDate();
    const bool change = Tag != 1;
    if (change)
        row.rowId = QString::number(opened_.id);
    save(row, change);
}

bool EntryEditor::otherDayConfirmed(const QDate& day, bool change)
{
    if (!expectedDay_.isValid() || day == expectedDay_)
        return true;
    const QString to = day.toString(format::kDateFormat), from = expectedDay_.toString(format::kDateFormat);
    const QString text =
        change ? QStringLiteral("Дата записи меняется с %1 на %2: в списке за %1 её больше не будет.\n"
                                "Сохранить запись на %2?")
                     .arg(from, to)
               : QStringLiteral("Журнал показывает %1, а запись будет сохранена на %2.\nСохранить запись на %2?")
                     .arg(from, to);
    if (ui::Messages::question(text, QStringLiteral("Другой день")))
        return true;
    ui_->DTimeP->setFocus(Qt::OtherFocusReason);
    return false;
}

void EntryEditor::save(const journal_sql::EntryRow& row, bool change)
{
    Database* dm = database_;
    journal_sql::EntryRow written = row;
    if (!change)
        written.rowId.clear();
    // Nothing is shown while the transaction is open: a refusal comes back as the outcome, after the rollback.
    const journal::Outcome outcome = journal::saveRow(*dm, written, change ? &opened_ : nullptr);
    if (outcome != journal::Outcome::Done) {
        if (outcome == journal::Outcome::RowChanged || outcome == journal::Outcome::RowGone) {
            // The list behind the editor shows the row as it is now; the user's values stay in the editor.
            ui::guarded([&] {
                db::Dataset* journal = dm->smenaQuery(row.shift);
                if (journal->isOpen()) {
                    journal->requery();
                    journal->locate(QStringLiteral("id"), opened_.id);
                }
            });
        }
        ui::Messages::error(journal::message(outcome));
        return;
    }

    // Written; what follows only shows it, and a failure there must not read as a failed save.
    ui::guarded([&] {
        db::rereadAfterCommit([&] {
            db::Dataset* journal = dm->smenaQuery(row.shift);
            const int recNo = journal->recNo();
            journal->close();
            journal->open();
            if (!journal->isEmpty() && recNo >= 1)
                journal->setRecNo(recNo);
        });
    });
    dm->H_Tabel_1->close();
    dm->H_Tabel_2->close();
    dm->H_Tabel_3->close();
    for (QLineEdit* box : {ui_->Edit1, ui_->Edit2, ui_->Edit3, ui_->Edit4, ui_->Edit5, ui_->Edit6, ui_->Edit7, ui_->Edit8, ui_->Edit9})
        box->clear();
    accept();
}
