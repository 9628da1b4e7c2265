// A personal login and the role of the access code: the code decides the windows, the login's group roles what
// the database allows. When the code asks for more, the user hears it once, before the journal opens.
#pragma once

#include "db/service.h"
#include "ui/roles.h"

#include <QString>

// The warning for a role and what the login is given; empty when the login's group roles cover the role.
QString loginRoleWarning(ui::Role role, const db::LoginRights& rights);

struct Windows;
// With a personal login (a connection service), reads the login's group roles and shows the warning when there is
// one. A failure to read them warns of nothing: the database still refuses what the login may not do.
void warnWhenLoginLacksRole(Windows& windows, ui::Role role);
