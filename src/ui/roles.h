// The four roles of the access codes and what each may use in the windows; each window applies the table to
// itself (applyRole), so no window switches off another's controls.
#pragma once

namespace ui {

enum class Role { None, Reporting, Foreman, Warehouse, FullAccess };

struct RoleRights {
    // The journal
    bool changesDays = true;      // the day, its shifts and the day-off flag, the list and "Обновить"
    bool addsRows = true;         // "Добавить"
    bool changesRows = true;      // "Изменить" and "Удалить"
    bool opensCatalogues = true;  // "Справочники"
    bool opensTimesheet = true;   // "Табель по времени"
    bool readsHistory = false;    // "История"
    // The timesheet
    bool closesMonths = false;    // "Закрыть месяц" / "Открыть месяц"
    // The reports window
    bool allReports = true;       // every report; otherwise only the detailed report by product
    bool finishedGoodsOnly = false; // the product class fixed to "Готовая продукция"
};

// The table: what a role may use.
constexpr RoleRights rightsOf(Role role)
{
    RoleRights r;
    switch (role) {
    case Role::Reporting:
        r.changesDays = r.addsRows = r.changesRows = r.opensCatalogues = r.opensTimesheet = false;
        break;
    case Role::Foreman:
        r.changesRows = r.opensCatalogues = r.opensTimesheet = r.allReports = false;
        break;
    case Role::Warehouse:
        r.addsRows = r.changesRows = r.opensCatalogues = r.opensTimesheet = r.allReports = false;
        r.finishedGoodsOnly = true;
        break;
    case Role::FullAccess:
        r.readsHistory = r.closesMonths = true;
        break;
    case Role::None:
        break;
    }
    return r;
}

} // namespace ui
