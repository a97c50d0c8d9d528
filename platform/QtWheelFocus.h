// A drop-down list or spin box in an editor window holds a stored choice,
// which a wheel passing over it must not change. Such a control takes the
// wheel only while it has the keyboard focus the user gave it (a click, Tab);
// over one without focus the wheel goes on to what lies beneath (a scrolled
// area, the window's own wheel action), and a wheel never gives it focus.
//
// One filter on the application does this for every window built on TForm,
// so that no window and no control added later is missed; TForm installs it.
#pragma once

namespace morvelant {

// Installs the filter once; later calls do nothing. Needs the application.
void GuardChoicesFromPassingWheel();

}  // namespace morvelant
