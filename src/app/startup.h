// Start-up: every window of the program created once, in the fixed order.
#pragma once

struct Windows;

// Creates the windows into the registry (the journal window creates the data module, connects and creates
// the authorization window). After a failed connection the registry's termination is requested.
void createWindows(Windows& windows);
// Deletes what createWindows made.
void destroyWindows(Windows& windows);
