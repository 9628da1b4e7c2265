#include "catalogs/product_editor.h"

#include "ui_product_editor.h"

#include "catalogs/catalogs_sql.h"
#include "catalogs/catalogue_changes.h"
#include "catalogs/catalogue_save.h"
#include "db/command.h"
#include "db/data_module.h"
#include "db/dataset.h"
#include "db/sql_text.h"
#include "db/transaction.h"
#include "ui/catalogue_window.h"
#include "ui/messages.h"

#include <QKeyEvent>
#include <QRegularExpression>
#include <QScopeGuard>

namespace {

// The goods caption that holds a grade code.
constexpr int kCodeLength = 254;

// "12", "12.5", "12." and ".5": what the box lets through and the server reads as a number.
bool isRate(const QString& text)
{
    static const QRegularExpression number(QStringLiteral("^\\s*([0-9]+\\.?[0-9]*|\\.[0-9]+)\\s*$"));
    return number.match(text).hasMatch();
}

// The rate's column holds 22 digits before the point and 6 after it.
constexpr int kRateIntegerDigits = 22;
constexpr int kRateScale = 6;

// Why a rate (a checked number) cannot be stored as typed; empty when it can. The server would refuse a longer
// whole part in its own words, and would store a rate below the last decimal as 0 without a word.
QString rateProblem(const QString& text)
{
    const QString t = text.trimmed();
    const qsizetype point = t.indexOf(u'.');
    QString whole = point < 0 ? t : t.left(point);
    const QString fraction = point < 0 ? QString() : t.mid(point + 1);
    while (whole.startsWith(u'0'))
        whole.remove(0, 1);
    if (whole.size() > kRateIntegerDigits)
        return QStringLiteral("Расценка слишком велика: не больше %1 цифр до точки.").arg(kRateIntegerDigits);
    const bool nonZero = !whole.isEmpty() || fraction.contains(QRegularExpression(QStringLiteral("[1-9]")));
    const bool keptDigitsZero =
        whole.isEmpty() && !fraction.left(kRateScale).contains(QRegularExpression(QStringLiteral("[1-9]")));
    const bool roundsUp = fraction.size() > kRateScale && fraction.at(kRateScale) >= u'5';
    if (nonZero && keptDigitsZero && !roundsUp)
        return QStringLiteral("Расценка слишком мала: наименьшее значение больше нуля 0.000001.");
    return {};
}

} // namespace

ProductEditor::ProductEditor(Database* database, QWidget* parent)
    : ui::Dialog(parent)
    , database_(database)
{
    ui_ = std::make_unique<Ui::ProductEditor>();
    ui_->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setFixedSize(size());
    ui::boldCaptionOnly(ui_->GroupBox1);

    item = new db::Dataset(database_ ? database_->ADO_DB.name() : QString(), QStringLiteral("item"), this);
    item->setSql(catalogs_sql::kItem);
    ui_->cb_item->setList(item, QStringLiteral("id"), QStringLiteral("s_caption"));

    ui_->Edit2->installEventFilter(this);
    ui::connectGuarded(ui_->Button1, &QPushButton::clicked, this, &ProductEditor::save);
    ui::connectGuarded(ui_->Button2, &QPushButton::clicked, this, &QDialog::reject);
}

ProductEditor::~ProductEditor() = default;

void ProductEditor::FormActivate()
{
    ui_->Edit1->setFocus();
}

bool ProductEditor::rateKey(const QString& typed)
{
    if (typed.isEmpty() || !typed.at(0).isPrint())
        return false; // Backspace, Enter, the caret keys and the like keep their meaning
    const QChar c = typed.at(0);
    if (c.isDigit() && c.unicode() < 128)
        return false;
    if (c == u'.' || c == u',')
        ui_->Edit2->insert(QStringLiteral("."));
    return true;
}

bool ProductEditor::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui_->Edit2 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->modifiers() & (Qt::ControlModifier | Qt::AltModifier))
            return false;
        bool taken = false;
        ui::guarded([&] { taken = rateKey(key->text()); });
        return taken;
    }
    return QDialog::eventFilter(watched, event);
}

void ProductEditor::openForAdd(ui::Activatable* returnTo)
{
    ui_->Edit1->clear();
    ui_->Edit2->clear();
    setWindowTitle(QStringLiteral("Заведение нового изделия"));
    Tag = 1;
    item->open();
    const auto closeGroups = qScopeGuard([this] { item->close(); });
    ui::showModal(this, returnTo);
}

void ProductEditor::openForChange(qint64 id, const QString& code, const QString& rate, qint64 group, ui::Activatable* returnTo)
{
    setWindowTitle(QStringLiteral("Изменение данных изделия"));
    Tag = 2;
    ui_->Edit1->setText(code);
    ui_->Edit2->setText(rate);
    item->open();
    const auto closeGroups = qScopeGuard([this] { item->close(); });
    ui_->cb_item->setKeyValue(group);
    FOpened = catalogs::openedVersion(database_->ADO_DB.name(), catalogs_sql::Row::Product, id);
    ui::showModal(this, returnTo);
}

void ProductEditor::save()
{
    Database* dm = database_;
    const QString code = ui_->Edit1->text().trimmed();
    const QVariant group = ui_->cb_item->keyValue();
    const bool noGroup = !group.isValid() || group.isNull() || group.toLongLong() == 0;
    if (code.isEmpty() || ui_->Edit2->text().trimmed().isEmpty() || noGroup) {
        ui::Messages::error(QStringLiteral("Все поля должны быть заполнены!"));
        // on the first box still empty
        (code.isEmpty()                      ? static_cast<QWidget*>(ui_->Edit1)
         : ui_->Edit2->text().trimmed().isEmpty() ? static_cast<QWidget*>(ui_->Edit2)
                                             : static_cast<QWidget*>(ui_->cb_item))
            ->setFocus();
        return;
    }
    // The text goes into the statement as a number: anything else is refused here, not by the server.
    if (!isRate(ui_->Edit2->text())) {
        ui::Messages::error(QStringLiteral("Расценка должна быть числом, например 12 или 12.5!"));
        return;
    }
    if (const QString problem = rateProblem(ui_->Edit2->text()); !problem.isEmpty()) {
        ui::Messages::error(problem);
        return;
    }
    // Counted as the server counts: characters, not the two halves of an emoji.
    if (code.toUcs4().size() > kCodeLength) {
        ui::Messages::error(QStringLiteral("Марка изделия не может быть длиннее %1 символов!").arg(kCodeLength));
        return;
    }
    // The group the box shows is the group written.
    catalogs::Change change{Tag == 1 ? 0 : dm->Izdel->asLongLong(QStringLiteral("id")), FOpened};
    const QString rate = ui_->Edit2->text();
    const catalogs::Outcome outcome =
        catalogs::saveAsking(Tag == 1 ? nullptr : &change, [&](const catalogs::Change* c) {
            return catalogs::saveProduct(dm->ADO_DB.name(), code, rate, group.toLongLong(), c);
        });
    if (outcome == catalogs::Outcome::Duplicate)
        ui::Messages::error(QStringLiteral("Такая марка изделия уже заведена!"));
    if (outcome != catalogs::Outcome::Written)
        return;
    // Written: a failed re-read says so and the editor closes all the same, so that nothing is written twice.
    ui::guarded([dm] {
        db::rereadAfterCommit([dm] {
            dm->Izdel->close();
            dm->Izdel->open();
        });
    });
    accept();
}
