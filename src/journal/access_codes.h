// The access codes of the four roles. The program keeps only their digests; a typed code is compared by its
// digest, which is exact and case-sensitive like comparing the texts themselves.
#pragma once

#include "ui/roles.h"

#include <QByteArray>
#include <QString>

using ui::Role;

// The typed text without leading and trailing blanks and control characters.
QString trimCode(const QString& text);
// The role of a trimmed code, codes compared in the order reporting, foreman, warehouse, full access.
Role roleForCode(const QByteArray& trimmedCode);
bool isForemanCode(const QByteArray& code);
