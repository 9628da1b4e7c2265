// Start-up: every window of the program created once, in the fixed order.
#pragma once

struct Windows;

// Creates the windows into the registry (the journal window creates the data module, connects and creates
// the authorization window). After a failed connection the registry's termination is requested.
// paintFirstAtOnce (the program's own start): the authorization window is painted as soon as it is shown, before the
// other windows are built, with nothing done to the database meanwhile; its activation still follows them.
void createWindows(Windows& windows, bool paintFirstAtOnce = false);
// Deletes what createWindows made.
void destroyWindows(Windows& windows);
