#include "journal/history_window.h"

#include "db/command.h"
#include "format/values.h"
#include "journal/journal_sql.h"
#include "ui/messages.h"
#include "ui/window_place.h"

#include <QDateTime>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QSet>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// The journal's columns as the journal names them, in its order; the others are the enterprise's bookkeeping.
const std::pair<const char*, const char*> kColumns[] = {
    {"w_id", "Работник"}, {"i_id", "Изделие"}, {"o_id", "Операция"}, {"data", "Дата"},   {"smena", "Смена"},
    {"color", "Цвет"},    {"time", "Часы"},    {"kol_vo", "Кол-во"}, {"brak", "Брак"},  {"cena", "Цена"},
    {"ok", "OK"},         {"vvod", "Заведен"},
};

// An id by its name; an id no longer in the catalogue as it is.
QString named(const QJsonValue& v, const QHash<qint64, QString>* names)
{
    if (!names || !v.isDouble())
        return {};
    const auto it = names->constFind(static_cast<qint64>(v.toDouble()));
    return it == names->cend() ? QString() : it->trimmed();
}

QString shown(const QJsonValue& v)
{
    if (v.isNull() || v.isUndefined())
        return QStringLiteral("—");
    if (v.isDouble())
        return QString::number(v.toDouble(), 'g', 15);
    return v.toVariant().toString();
}

QString actionText(const QString& action)
{
    if (action == u"I")
        return QStringLiteral("Добавлена");
    if (action == u"D")
        return QStringLiteral("Удалена");
    return QStringLiteral("Изменена");
}

} // namespace

HistoryWindow::HistoryWindow(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("TForm24"));
    setWindowTitle(QStringLiteral("История записи"));
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    resize(900, 360);
    List = new QTableWidget(0, 6, this);
    List->setObjectName(QStringLiteral("List"));
    List->setHorizontalHeaderLabels({QStringLiteral("Когда"), QStringLiteral("Что"), QStringLiteral("Роль"),
                                     QStringLiteral("Рабочее место"), QStringLiteral("Логин"),
                                     QStringLiteral("Изменения")});
    List->horizontalHeader()->setStretchLastSection(true);
    List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    List->setSelectionBehavior(QAbstractItemView::SelectRows);
    List->verticalHeader()->hide();
    ui::keepPlace(this, {List});
    List->setAccessibleName(QStringLiteral("История"));
    auto* close = new QPushButton(QStringLiteral("Выход"), this);
    close->setObjectName(QStringLiteral("Button1"));
    ui::connectGuarded(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List);
    layout->addWidget(close, 0, Qt::AlignRight);
}

QString HistoryWindow::changes(const QString& action, const QString& oldJson, const QString& newJson, const Names& names)
{
    const QJsonObject before = QJsonDocument::fromJson(oldJson.toUtf8()).object();
    const QJsonObject after = QJsonDocument::fromJson(newJson.toUtf8()).object();
    QStringList parts;
    for (const auto& [column, caption] : kColumns) {
        const QString c = QString::fromLatin1(column), name = QString::fromUtf8(caption);
        const QHash<qint64, QString>* catalogue = c == u"w_id"   ? &names.workers
                                                  : c == u"i_id" ? &names.products
                                                  : c == u"o_id" ? &names.operations
                                                                 : nullptr;
        const auto text = [&](const QJsonValue& v) {
            const QString n = named(v, catalogue);
            return n.isEmpty() ? shown(v) : n;
        };
        if (action == u"U") {
            if (before.value(c) != after.value(c))
                parts << name + QStringLiteral(": ") + text(before.value(c)) + QStringLiteral(" → ") + text(after.value(c));
        } else {
            parts << name + QStringLiteral(": ") + text((action == u"D" ? before : after).value(c));
        }
    }
    return parts.join(QStringLiteral("; "));
}

void HistoryWindow::fill(const QString& cn, const QString& statement)
{
    List->setRowCount(0);
    struct Entry {
        QDateTime at;
        QString action, role, host, login, oldRow, newRow, loginGroup, address;
    };
    QList<Entry> entries;
    QSet<qint64> workers, products, operations;
    {
        db::Result q = db::execStatement(cn, statement);
        while (q.next()) {
            entries.append({q.value(0).toDateTime(), q.value(1).toString(), q.value(2).toString(),
                            q.value(3).toString(), q.value(4).toString(), q.value(5).toString(),
                            q.value(6).toString(), q.value(7).toString(), q.value(8).toString()});
            for (const QString& json : {entries.last().oldRow, entries.last().newRow}) {
                const QJsonObject row = QJsonDocument::fromJson(json.toUtf8()).object();
                for (const auto& [column, ids] : {std::pair{"w_id", &workers}, std::pair{"i_id", &products},
                                                  std::pair{"o_id", &operations}})
                    if (row.value(QLatin1String(column)).isDouble())
                        ids->insert(static_cast<qint64>(row.value(QLatin1String(column)).toDouble()));
            }
        }
    }
    // The ids the rows hold, by their names: one statement per catalogue.
    Names names;
    const auto read = [&cn](const QSet<qint64>& ids, const auto& statement, QHash<qint64, QString>& into) {
        if (ids.isEmpty())
            return;
        db::Result q = db::execStatement(cn, statement(QList<qint64>(ids.begin(), ids.end())));
        while (q.next())
            into.insert(q.value(0).toLongLong(), q.value(1).toString());
    };
    read(workers, journal_sql::workerNames, names.workers);
    read(products, journal_sql::productNames, names.products);
    read(operations, journal_sql::operationNames, names.operations);
    for (const Entry& e : entries) {
        const int r = List->rowCount();
        List->insertRow(r);
        const QString& action = e.action;
        // What the program claimed, and beside it what the server saw (the login's group, its address).
        const auto claimed = [](const QString& said, const QString& seen) {
            return seen.isEmpty() ? said : said + QStringLiteral(" (") + seen + u')';
        };
        const QStringList cells{e.at.toString(format::kDateTimeFormat), actionText(action),
                                claimed(e.role, e.loginGroup), claimed(e.host, e.address), e.login,
                                changes(action, e.oldRow, e.newRow, names)};
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            if (c == 5 && action == u"U") { // the changed values stand out
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
            }
            List->setItem(r, c, item);
        }
    }
    List->resizeColumnsToContents();
}

void HistoryWindow::showRow(const QString& cn, qint64 rowId)
{
    setWindowTitle(QStringLiteral("История записи"));
    fill(cn, journal_sql::rowHistory(rowId));
}

void HistoryWindow::showDeletedOf(const QString& cn, const QDate& day)
{
    setWindowTitle(QStringLiteral("Удалённые записи за %1").arg(day.toString(format::kDateFormat)));
    fill(cn, journal_sql::deletedOfDay(day));
}
