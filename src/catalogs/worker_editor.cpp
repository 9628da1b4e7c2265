#include "catalogs/worker_editor.h"

#include "ui_worker_editor.h"

#include "catalogs/catalogs_sql.h"
#include "catalogs/catalogue_changes.h"
#include "catalogs/catalogue_save.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "ui/catalogue_window.h"
#include "ui/messages.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWheelEvent>

namespace {

// The column that holds a worker's name.
constexpr int kNameLength = 254;

} // namespace

WorkerEditor::WorkerEditor(Database* database, QWidget* parent)
    : ui::Dialog(parent)
    , database_(database)
{
    ui_ = std::make_unique<Ui::WorkerEditor>();
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(size());
    ui::boldCaptionOnly(ui_->GroupBox1);

    const QString cn = database_ ? database_->ADO_DB.name() : QString();
    staffpos = new db::Dataset(cn, QStringLiteral("staffpos"), this);
    staffpos->setSql(catalogs_sql::kStaffpos);
    department = new db::Dataset(cn, QStringLiteral("department"), this);
    department->setSql(catalogs_sql::kDepartment);
    roles = new db::Dataset(cn, QStringLiteral("roles"), this);
    roles->setSql(catalogs_sql::kRoles);

    const QString key = QStringLiteral("id"), shown = QStringLiteral("s_caption");
    ui_->LCB_staffpos->setList(staffpos, key, shown);
    ui_->LCB_department->setList(department, key, shown);
    ui_->LCB_roles->setList(roles, key, shown);

    ui::connectGuarded(ui_->Button1, &QPushButton::clicked, this, &WorkerEditor::save);
    ui::connectGuarded(ui_->Button2, &QPushButton::clicked, this, &QDialog::reject);

    // Wheel turns that no control takes reach the window; the lookup boxes' own wheel handling is replaced.
    installEventFilter(this);
    for (QWidget* box : {ui_->LCB_staffpos, ui_->LCB_department, ui_->LCB_roles})
        box->installEventFilter(this);
}

WorkerEditor::~WorkerEditor() = default;

void WorkerEditor::FormActivate()
{
    ui_->Edit1->setFocus();
}

void WorkerEditor::reopenLookups()
{
    for (db::Dataset* list : {staffpos, roles, department}) {
        list->close();
        list->open();
    }
}

bool WorkerEditor::openForAdd(ui::Activatable* returnTo)
{
    prepareAdd();
    return ui::showModal(this, returnTo) == QDialog::Accepted;
}

void WorkerEditor::prepareAdd()
{
    ui_->Edit1->clear();
    setWindowTitle(QStringLiteral("Заведение данных нового работника"));
    Tag = 1;
    reopenLookups();
}

bool WorkerEditor::openForChange(qint32 id, const QString& name, const QString& position, ui::Activatable* returnTo)
{
    prepareChange(id, name, position);
    return ui::showModal(this, returnTo) == QDialog::Accepted;
}

void WorkerEditor::prepareChange(qint32 id, const QString& name, const QString& position)
{
    setWindowTitle(QStringLiteral("Изменение данных работника"));
    Tag = 2;
    reopenLookups();
    ui_->Edit1->setText(name);
    FPersonId = id;
    showStoredPosition(position);
    FOpened = catalogs::openedVersion(database_->ADO_DB.name(), catalogs_sql::Row::Worker, FPersonId);
}

void WorkerEditor::showStoredPosition(const QString& position)
{
    FPosition = position;
    ui_->LCB_department->setDisplayText(position);
    ui_->LCB_staffpos->setDisplayText(QString());
    ui_->LCB_roles->setDisplayText(QString());
}

void WorkerEditor::save()
{
    const QString name = ui_->Edit1->text().trimmed();
    if (name.isEmpty()) {
        ui::Messages::error(QStringLiteral("ФИО нужно заполнить!"));
        ui_->Edit1->setFocus();
        return;
    }
    // Counted as the server counts: characters, not the two halves of an emoji.
    if (name.toUcs4().size() > kNameLength) {
        ui::Messages::error(QStringLiteral("ФИО не может быть длиннее %1 символов!").arg(kNameLength));
        return;
    }
    // A change without a department chosen keeps the stored position, whatever it says.
    const bool keepStored = Tag != 1 && !ui_->LCB_department->keyValue().isValid();
    const QString departmentText = keepStored ? FPosition : ui_->LCB_department->displayText();
    const QString cn = database_->ADO_DB.name();
    catalogs::Change change{FPersonId, FOpened};
    const catalogs::Outcome outcome =
        catalogs::saveAsking(Tag == 1 ? nullptr : &change, [&](const catalogs::Change* c) {
            return catalogs::saveWorker(cn, name, departmentText, c);
        });
    if (outcome == catalogs::Outcome::Written)
        accept();
}

void WorkerEditor::stepFocusedLookup(bool down)
{
    for (ui::LookupBox* box : {ui_->LCB_roles, ui_->LCB_staffpos, ui_->LCB_department}) {
        if (box->hasFocus()) {
            QKeyEvent press(QEvent::KeyPress, down ? Qt::Key_Down : Qt::Key_Up, Qt::NoModifier);
            QApplication::sendEvent(box, &press);
            return;
        }
    }
}

bool WorkerEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Wheel) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        const int delta = wheel->angleDelta().y();
        if (delta != 0)
            ui::guarded([&] { stepFocusedLookup(delta < 0); });
        // A lookup box under the pointer would otherwise move once more by itself.
        return watched != this;
    }
    return QDialog::eventFilter(watched, event);
}
