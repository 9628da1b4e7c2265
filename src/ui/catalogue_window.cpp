#include "ui/catalogue_window.h"

#include "db/data_module.h"
#include "db/dataset.h"
#include "db/listener.h"
#include "db/sql_text.h"
#include "ui/dataset_grid.h"
#include "ui/live_refresh.h"
#include "ui/window_place.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>

namespace ui {

CatalogueWindow::CatalogueWindow(QWidget* parent)
    : Dialog(parent)
{
}

void CatalogueWindow::setUpCatalogue(const Setup& setup)
{
    setup_ = setup;
    if (!setup_.liveName.isEmpty() && setup_.query)
        live_ = new LiveRefresh(this, [this] { liveReread(); });

    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    // Resizable, the list growing with the window; it opens where and as large as it was left, within the screen.
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    // Enter goes to the one default button the mode chooses, never to the button that has the focus.
    for (QPushButton* b : {setup_.add, setup_.second, setup_.remove, setup_.exit})
        if (b)
            b->setAutoDefault(false);
    if (setup_.add)
        setup_.add->setDefault(true);
    if (setup_.grid) {
        // A screen reader names the list after its window.
        if (setup_.grid->accessibleName().isEmpty())
            setup_.grid->setAccessibleName(windowTitle());
        setup_.grid->setDataset(setup_.query);
        setup_.grid->setSelectionMode(QAbstractItemView::ExtendedSelection);
        connectGuarded(setup_.grid, &QAbstractItemView::doubleClicked, this, &CatalogueWindow::rowActivated);
    }
    if (setup_.search) {
        setup_.search->setAccessibleName(QStringLiteral("Поиск"));
        setup_.search->setToolTip(QStringLiteral("Поиск по началу; Up и Down — по списку"));
        connectGuarded(setup_.search, &QLineEdit::textChanged, this, &CatalogueWindow::applySearch);
        setup_.search->installEventFilter(this);
        setup_.search->setVisible(setup_.searchInCatalogueMode);
    }
    connectGuarded(setup_.second, &QPushButton::clicked, this, &CatalogueWindow::changeOrChoose);
    if (setup_.exit)
        connectGuarded(setup_.exit, &QPushButton::clicked, this, &QDialog::reject);
    setUpKeys();
    rememberPlace(this, setup_.grid ? QList<QTableView*>{setup_.grid} : QList<QTableView*>{});
}

// The keys of a desktop list: Insert adds, F2 (or Enter in the list) changes or chooses, Delete in the list
// deletes, Escape closes. A key acts only where its button is shown. Enter in the search box stays the default
// button's.
void CatalogueWindow::setUpKeys()
{
    const auto pressIfShown = [](QPushButton* b) {
        if (b && b->isVisible() && b->isEnabled())
            b->click();
    };
    if (setup_.add) {
        auto* insert = new QShortcut(QKeySequence(Qt::Key_Insert), this);
        connect(insert, &QShortcut::activated, this, [this, pressIfShown] { pressIfShown(setup_.add); });
        setup_.add->setToolTip(QStringLiteral("Insert"));
    }
    auto* f2 = new QShortcut(QKeySequence(Qt::Key_F2), this);
    connect(f2, &QShortcut::activated, this, [this, pressIfShown] { pressIfShown(setup_.second); });
    setup_.second->setToolTip(QStringLiteral("F2 или Enter в списке"));
    if (setup_.remove)
        setup_.remove->setToolTip(QStringLiteral("Delete в списке"));
    if (setup_.exit)
        setup_.exit->setToolTip(QStringLiteral("Escape"));
    if (setup_.grid)
        setup_.grid->installEventFilter(this);
}

bool CatalogueWindow::gridKey(QKeyEvent* key)
{
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    QPushButton* button = nullptr;
    if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
        // Enter in the list does what a double click does (the norms of an operation, where the list has them).
        if (setup_.second->isVisible() && setup_.second->isEnabled())
            guarded([this] { rowActivated(); });
        return true;
    }
    if (key->key() == Qt::Key_Delete)
        button = setup_.remove;
    else
        return false;
    if (button && button->isVisible() && button->isEnabled())
        button->click();
    return true;
}

// ---- openers ----

void CatalogueWindow::openCatalogue(Activatable* returnTo)
{
    Tag = 0;
    setup_.query->open();
    setup_.second->setDefault(false);
    setup_.second->setText(QStringLiteral("Изменить"));
    setup_.second->setVisible(true);
    // A list once used for a choice looks as it always does in catalogue mode.
    if (setup_.add) {
        setup_.add->setVisible(true);
        setup_.add->setDefault(true);
    }
    if (setup_.remove)
        setup_.remove->setVisible(true);
    if (setup_.search) {
        setup_.search->setVisible(setup_.searchInCatalogueMode);
        // A chooser's search is not the catalogue's: opened from the menu the list shows every row, unless its
        // own search box, visible here, still narrows it.
        if (!setup_.searchInCatalogueMode || searchFromChoice_)
            setup_.search->clear();
        applySearch(); // the filter follows the box, whatever a chooser left on the shared query
    }
    searchFromChoice_ = false;
    try {
        showModal(this, returnTo);
    } catch (...) {
        setup_.query->close();
        throw;
    }
    setup_.query->close();
}

void CatalogueWindow::prepareChoice()
{
    Tag = 1;
    setup_.query->open();
    setup_.second->setText(QStringLiteral("Выбрать"));
    setup_.second->setVisible(true);
    setup_.second->setDefault(true);
    if (setup_.add)
        setup_.add->setVisible(false);
    if (setup_.remove)
        setup_.remove->setVisible(false);
    if (setup_.search) {
        searchFromChoice_ = true;
        setup_.search->setVisible(true);
        setup_.search->clear();
        applySearch(); // an unchanged empty box sends no signal, and the filter must be off
    }
}

CatalogueChoice CatalogueWindow::runChoice(Activatable* returnTo)
{
    choice_ = {};
    showModal(this, returnTo);
    setup_.second->setDefault(false);
    if (setup_.search)
        setup_.search->setVisible(false);
    return choice_;
}

CatalogueChoice CatalogueWindow::choose(Activatable* returnTo)
{
    prepareChoice();
    CatalogueChoice c;
    try {
        c = runChoice(returnTo);
    } catch (...) {
        setup_.query->close();
        throw;
    }
    setup_.query->close();
    return c;
}

// ---- handlers ----

void CatalogueWindow::liveReread()
{
    db::Dataset* q = setup_.query;
    if (!q->isOpen())
        return;
    const bool keyed = q->hasField(QStringLiteral("id"));
    const QVariant id = keyed && !q->isEmpty() ? q->value(QStringLiteral("id")) : QVariant();
    const int recNo = q->recNo();
    q->rereadKeepingRows(); // a failure keeps the rows shown; tried again
    if (!id.isValid() || !q->locate(QStringLiteral("id"), id))
        if (!q->isEmpty())
            q->setRecNo(recNo);
}

void CatalogueWindow::listenOnce()
{
    // The windows are made before the connection is; the first showing connects to the announcements.
    if (!live_ || listening_)
        return;
    auto* dm = qobject_cast<Database*>(setup_.query->parent());
    if (!dm || !dm->ADO_DB.isOpen())
        return;
    listening_ = true;
    db::Listener* listener = dm->announcements();
    connect(listener, &db::Listener::changed, this, [this](const QString& channel, const QString& payload) {
        if (channel == QLatin1String(db::kCatalogueChannel) && payload == setup_.liveName)
            live_->changed();
    });
    connect(listener, &db::Listener::reconnected, live_, &LiveRefresh::changed);
}

void CatalogueWindow::FormActivate()
{
    listenOnce();
    if (live_)
        live_->activated();
    if (setup_.search && !setup_.search->isHidden())
        setup_.search->setFocus();
}

QString CatalogueWindow::searchFilter(const QString& field, const QString& text)
{
    return field + QStringLiteral(" like ") + db::sql::quote(text + u'%');
}

void CatalogueWindow::applySearch()
{
    const QString text = setup_.search->text();
    const bool empty = setup_.blankSearchShowsAll ? text.trimmed().isEmpty() : text.isEmpty();
    if (empty) {
        setup_.query->setFiltered(false);
        return;
    }
    setup_.query->setFilter(searchFilter(setup_.searchField, text));
    setup_.query->setFiltered(true);
}

bool CatalogueWindow::searchKey(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Up) {
        setup_.query->prior();
        return true;
    }
    if (key == Qt::Key_Down) {
        setup_.query->next();
        return true;
    }
    if (setup_.keys == SearchKeys::OnlyUpDown)
        return false;
    // What acts when a key goes down is discarded; typing, Backspace and the window's keys still work.
    switch (key) {
    case Qt::Key_Backspace:
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Shift:
    case Qt::Key_Control:
    case Qt::Key_Alt:
    case Qt::Key_Meta:
    case Qt::Key_AltGr:
        return false;
    case Qt::Key_Delete:
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_Insert:
        return true;
    default:
        break;
    }
    // Clipboard and undo come as typed control characters on the desktop this was designed for: they stay.
    for (auto k : {QKeySequence::Paste, QKeySequence::Copy, QKeySequence::Cut, QKeySequence::Undo, QKeySequence::Redo,
                   QKeySequence::SelectAll})
        if (event->matches(k))
            return false;
    const QString text = event->text();
    return text.isEmpty() || !text.at(0).isPrint();
}

void CatalogueWindow::handOver(const CatalogueChoice& choice)
{
    choice_ = choice;
    choice_.made = true;
    accept();
}

bool CatalogueWindow::emptyChoiceRefused()
{
    if (!setup_.query->isOpen() || !setup_.query->isEmpty())
        return false;
    Messages::error(QStringLiteral("В списке нет ни одной строки: выбрать нечего. Измените текст поиска или нажмите "
                                   "«%1».")
                        .arg(setup_.exit ? setup_.exit->text().remove(u'&') : QStringLiteral("Выход")));
    if (setup_.search && setup_.search->isVisible())
        setup_.search->setFocus();
    return true;
}

void CatalogueWindow::reloadAt(int recNo)
{
    if (live_)
        live_->readAll();
    setup_.query->close();
    setup_.query->open();
    if (!setup_.query->isEmpty())
        setup_.query->setRecNo(recNo);
}

void CatalogueWindow::placeOnShow(bool spontaneous)
{
    if (!spontaneous)
        restorePlace(this);
}

bool CatalogueWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (setup_.grid && watched == setup_.grid && event->type() == QEvent::KeyPress)
        return gridKey(static_cast<QKeyEvent*>(event));
    if (watched == setup_.search && event->type() == QEvent::KeyPress) {
        bool discard = false;
        guarded([&] { discard = searchKey(static_cast<QKeyEvent*>(event)); });
        return discard;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace ui
