// A window's bounds with the window manager's frame, as the configuration
// keeps them: the stored place is the frame's outer corner and the stored
// size its outer size, frame included. TForm::SetBounds takes them so: once
// the window manager has framed a window shown from its stored place, its
// client area becomes the stored size less the frame (a fixed size stays as
// it is), it is moved wholly onto the screen, and below the menu strip if
// its title bar would lie under it.
#pragma once

#include <QSize>

#include "platform/QtFormBase.h"

namespace morvelant {

// The window's outer size: the size SetBounds asked for until the window has
// been framed (a window never shown keeps what it read), then its frame's.
QSize OuterSize(const TForm& form);

// The window's frame as it stands now (its client area where the window
// system knows of no frame), as the configuration keeps its place.
QRect OuterBounds(const TForm& form);

// The menu window: a window shown from its stored place whose title bar
// would lie under it comes up just below it instead (null: none), and so
// does every dialog of the toolkit's (message boxes, file dialogs).
void SetMenuStrip(const TForm* strip);

// Gives the keys back when a dialog or box has gone: to `had` (the window
// that had them when it came) while it is shown, else to the menu strip.
// Where the window manager hands them on itself this changes nothing; with
// none they would fall to the screen's root window, where no key does
// anything.
void HandKeysBack(QWidget* had);

// The window keeps this outer height, frame included, whatever the frame's.
void KeepOuterHeight(TForm& form, int height);

}  // namespace morvelant
