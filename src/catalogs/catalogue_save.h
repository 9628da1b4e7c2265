// The window side of a catalogue change: the outcome shown after the transaction has ended, and the question
// before overwriting another workstation's change.
#pragma once

#include "catalogs/catalogue_changes.h"

#include <functional>

namespace catalogs {

// Runs save (given the change, or nullptr for a new row). When the row was changed on another workstation since the
// editor opened it, asks whether to overwrite and, on Yes, runs it again. Shows the message of every refusal except
// Duplicate and InUse, which are returned for the window's own words. Returns the last outcome.
Outcome saveAsking(Change* change, const std::function<Outcome(const Change*)>& save);

} // namespace catalogs
