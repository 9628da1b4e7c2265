#include "catalogs/worker_editor.h"

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
    setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(size());
    ui::boldCaptionOnly(GroupBox1);

    const QString cn = database_ ? database_->ADO_DB.name() : QString();
    staffpos = new db::Dataset(cn, QStringLiteral("staffpos"), this);
    staffpos->setSql(catalogs_sql::kStaffpos);
    department = new db::Dataset(cn, QStringLiteral("department"), this);
    department->setSql(catalogs_sql::kDepartment);
    roles = new db::Dataset(cn, QStringLiteral("roles"), this);
    roles->setSql(catalogs_sql::kRoles);

    const QString key = QStringLiteral("id"), shown = QStringLiteral("s_caption");
    LCB_staffpos->setList(staffpos, key, shown);
    LCB_department->setList(department, key, shown);
    LCB_roles->setList(roles, key, shown);

    ui::connectGuarded(Button1, &QPushButton::clicked, this, &WorkerEditor::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    // Wheel turns that no control takes reach the window; the lookup boxes' own wheel handling is replaced.
    installEventFilter(this);
    for (QWidget* box : {LCB_staffpos, LCB_department, LCB_roles})
        box->installEventFilter(this);
}

void WorkerEditor::FormActivate()
{
    Edit1->setFocus();
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
    Edit1->clear();
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
    Edit1->setText(name);
    FPersonId = id;
    showStoredPosition(position);
    FOpened = catalogs::openedVersion(database_->ADO_DB.name(), catalogs_sql::Row::Worker, FPersonId);
}

void WorkerEditor::showStoredPosition(const QString& position)
{
    FPosition = position;
    LCB_department->setDisplayText(position);
    LCB_staffpos->setDisplayText(QString());
    LCB_roles->setDisplayText(QString());
}

void WorkerEditor::Button1Click()
{
    const QString name = Edit1->text().trimmed();
    if (name.isEmpty()) {
        ui::Messages::error(QStringLiteral("ФИО нужно заполнить!"));
        Edit1->setFocus();
        return;
    }
    // Counted as the server counts: characters, not the two halves of an emoji.
    if (name.toUcs4().size() > kNameLength) {
        ui::Messages::error(QStringLiteral("ФИО не может быть длиннее %1 символов!").arg(kNameLength));
        return;
    }
    // A change without a department chosen keeps the stored position, whatever it says.
    const bool keepStored = Tag != 1 && !LCB_department->keyValue().isValid();
    const QString departmentText = keepStored ? FPosition : LCB_department->displayText();
    const QString cn = database_->ADO_DB.name();
    catalogs::Change change{FPersonId, FOpened};
    const catalogs::Outcome outcome =
        catalogs::saveAsking(Tag == 1 ? nullptr : &change, [&](const catalogs::Change* c) {
            return catalogs::saveWorker(cn, name, departmentText, c);
        });
    if (outcome == catalogs::Outcome::Written)
        accept();
}

void WorkerEditor::FormMouseWheel(bool down)
{
    for (ui::LookupBox* box : {LCB_roles, LCB_staffpos, LCB_department}) {
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
            ui::guarded([&] { FormMouseWheel(delta < 0); });
        // A lookup box under the pointer would otherwise move once more by itself.
        return watched != this;
    }
    return QDialog::eventFilter(watched, event);
}
