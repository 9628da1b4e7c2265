// Where a window stood and how large it was when it was last closed, and the widths of its grids' columns: kept per
// user in the platform's settings file (~/.config/kesta/kesta_tabel.ini on Linux) and restored when the window
// opens, always inside the screen it opens on. A window never opens larger than the screen's free area.
#pragma once

#include <QList>

class QTableView;
class QWidget;

namespace ui {

// Kept from now on: the window's place when it hides, the grids' column widths with it.
void rememberPlace(QWidget* window, const QList<QTableView*>& grids = {});
// Both: kept, and restored each time the program shows the window (for windows without a showing step of their own).
void keepPlace(QWidget* window, const QList<QTableView*>& grids = {});
// Called when the window is about to show (instead of centring it): the kept place and widths, or the window
// centred at a size that fits the screen when nothing is kept yet.
void restorePlace(QWidget* window);
// Shrinks a window larger than its screen's free area to fit it, and moves it back inside.
void fitToScreen(QWidget* window);
// For every window the application shows from now on (once per application): it is fitted to the screen when it
// shows, and its focus is drawn from the start (styles otherwise draw it only once the user has pressed Tab, so a
// user who starts with the arrows cannot tell where the focus is).
void installWindowRules();

} // namespace ui
