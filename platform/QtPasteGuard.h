// A text box of the editor takes a paste only when it brings text. The
// text controls of the toolkit in use read the first format of the
// clipboard without checking that there is one, so a paste from an empty
// clipboard (or a selection that holds nothing) ended the program; a
// clipboard holding only an image gives them nothing to insert either.
// (A drop is checked by the controls themselves before they insert it.)
// A one-line box takes of a paste only what typing could enter: control
// characters (a NUL, an escape) are left out, and the user is told.
//
// One filter on the application does this for every text box of every
// window and dialog, so that no text box added later is missed; TForm
// installs it.
#pragma once

namespace morvelant {

// Installs the filter once; later calls do nothing. Needs the application.
void GuardTextBoxesFromPastesWithoutText();

}  // namespace morvelant
