#include "journal/history_window.h"

#include "db/command.h"
#include "journal/journal_sql.h"
#include "ui/window_place.h"

#include <QDateTime>
#include <QHeaderView>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPushButton>
#include <QSqlQuery>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

// The journal's columns as the journal names them, in its order; the others are the enterprise's bookkeeping.
const std::pair<const char*, const char*> kColumns[] = {
    {"w_id", "Работник"}, {"i_id", "Изделие"}, {"o_id", "Операция"}, {"data", "Дата"},   {"smena", "Смена"},
    {"color", "Цвет"},    {"time", "Часы"},    {"kol_vo", "Кол-во"}, {"brak", "Брак"},  {"cena", "Цена"},
    {"ok", "OK"},         {"vvod", "Заведен"},
};

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

TForm24::TForm24(QWidget* parent)
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
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List);
    layout->addWidget(close, 0, Qt::AlignRight);
}

QString TForm24::changes(const QString& action, const QString& oldJson, const QString& newJson)
{
    const QJsonObject before = QJsonDocument::fromJson(oldJson.toUtf8()).object();
    const QJsonObject after = QJsonDocument::fromJson(newJson.toUtf8()).object();
    QStringList parts;
    for (const auto& [column, caption] : kColumns) {
        const QString c = QString::fromLatin1(column), name = QString::fromUtf8(caption);
        if (action == u"U") {
            if (before.value(c) != after.value(c))
                parts << name + QStringLiteral(": ") + shown(before.value(c)) + QStringLiteral(" → ") + shown(after.value(c));
        } else {
            parts << name + QStringLiteral(": ") + shown((action == u"D" ? before : after).value(c));
        }
    }
    return parts.join(QStringLiteral("; "));
}

void TForm24::fill(const QString& cn, const QString& statement)
{
    List->setRowCount(0);
    QSqlQuery q = db::execStatement(cn, statement);
    while (q.next()) {
        const int r = List->rowCount();
        List->insertRow(r);
        const QString action = q.value(1).toString();
        // What the program claimed, and beside it what the server saw (the login's group, its address).
        const auto claimed = [](const QVariant& said, const QVariant& seen) {
            return seen.toString().isEmpty() ? said.toString()
                                             : said.toString() + QStringLiteral(" (") + seen.toString() + u')';
        };
        const QStringList cells{q.value(0).toDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")),
                                actionText(action),
                                claimed(q.value(2), q.value(7)),
                                claimed(q.value(3), q.value(8)),
                                q.value(4).toString(),
                                changes(action, q.value(5).toString(), q.value(6).toString())};
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

void TForm24::showRow(const QString& cn, qint64 rowId)
{
    setWindowTitle(QStringLiteral("История записи"));
    fill(cn, journal_sql::rowHistory(rowId));
}

void TForm24::showDeletedOf(const QString& cn, const QDate& day)
{
    setWindowTitle(QStringLiteral("Удалённые записи за %1").arg(day.toString(QStringLiteral("dd.MM.yyyy"))));
    fill(cn, journal_sql::deletedOfDay(day));
}
