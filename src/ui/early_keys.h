// Keys typed into a window shown modally before the window manager has given it the focus. Until then the X server
// still sends them to the window under it, which the new window blocks, and the toolkit drops them: a name typed
// at once into a chooser lost its first letters. They are held and sent again to the new window once it has the
// focus (or after a second, whatever has it then). Only on X11; elsewhere nothing is done.
#pragma once

class QDialog;

namespace ui {

// Holds the keys meant for the given window from now until it has the focus.
void keepEarlyKeysFor(QDialog* window);

} // namespace ui
