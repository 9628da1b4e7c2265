#include "app/login_check.h"

#include "app/window_registry.h"
#include "db/data_module.h"
#include "db/db_error.h"
#include "ui/messages.h"

#include <QStringList>

namespace {

struct RoleName {
    ui::Role role;
    const char* group;
    const char* caption;
};

constexpr RoleName kRoles[] = {
    {ui::Role::Reporting, "kesta_reporting", "отчёты"},
    {ui::Role::Foreman, "kesta_foreman", "мастер"},
    {ui::Role::Warehouse, "kesta_warehouse", "склад"},
    {ui::Role::FullAccess, "kesta_full", "полный доступ"},
};

QString captionOf(const QString& group)
{
    for (const RoleName& r : kRoles)
        if (group == QLatin1String(r.group))
            return QStringLiteral("«%1» (%2)").arg(QString::fromUtf8(r.caption), group);
    return group;
}

} // namespace

QString loginRoleWarning(ui::Role role, const db::LoginRights& rights)
{
    const RoleName* wanted = nullptr;
    for (const RoleName& r : kRoles)
        if (r.role == role)
            wanted = &r;
    if (!wanted || rights.has(QLatin1String(wanted->group)))
        return {};
    // The group roles below another one are part of it: name only the highest the login has.
    QStringList highest;
    for (const QString& g : rights.groups) {
        const bool below =
            (g == u"kesta_reporting" && rights.groups.size() > 1) ||
            ((g == u"kesta_foreman" || g == u"kesta_warehouse") && rights.groups.contains(u"kesta_full"));
        if (!below)
            highest.append(captionOf(g));
    }
    const QString given = highest.isEmpty()
                              ? QStringLiteral("не выдана ни одна из ролей программы")
                              : QStringLiteral("выданы права роли ") + highest.join(QStringLiteral(" и "));
    return QStringLiteral("Код доступа даёт роль «%1», а учётной записи базы данных «%2» %3. Окна откроются для роли "
                          "«%1», но то, на что у учётной записи нет прав, база данных не позволит записать.")
        .arg(QString::fromUtf8(wanted->caption), rights.login, given);
}

void warnWhenLoginLacksRole(Windows& windows, ui::Role role)
{
    if (windows.service.isEmpty() || !windows.database)
        return;
    db::LoginRights rights;
    try {
        rights = db::loginRights(windows.database->ADO_DB.name());
    } catch (const db::DbError&) {
        return;
    }
    const QString warning = loginRoleWarning(role, rights);
    if (!warning.isEmpty())
        ui::Messages::information(warning, QStringLiteral("Права учётной записи"));
}
