// The value and event popups of the fader parameter window come from the
// pickers: the window asks this interface for a popup when a list is
// right-clicked. Without pickers (the default) the lists carry no popup.
#pragma once

#include "faders/FaderEventTables.h"

class QPoint;

namespace morvelant {

class TAllFaderP;

// The three event rows of the window.
enum class EventRowKind { Fader, KeyOn, KeyOff };

class FaderPickers {
public:
    virtual ~FaderPickers() = default;
    // A right-click on data list `tag` (the lists' Tags 0..5) whose row
    // layout gives it `popup` (never DataPopup::None).
    virtual void DataListPopup(TAllFaderP& window, int tag, DataPopup popup, const QPoint& globalPos) {}
    // A right-click on the event list of a row.
    virtual void EventListPopup(TAllFaderP& window, EventRowKind row, const QPoint& globalPos) {}
    // A right-click on the MIDI-mode list.
    virtual void MidiModePopup(TAllFaderP& window, const QPoint& globalPos) {}
};

}  // namespace morvelant
