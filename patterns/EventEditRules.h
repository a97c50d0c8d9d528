// What a mouse does to the pattern in the piano roll, as functions on the
// model: a click in the note area sets, moves, switches off or rebases a
// step of the selected track; a stroke in the velocity area paints step
// velocities; the cursor tells what a click at a point would do.
//
// A point left of the track's first slot (its delay) lies on no slot and
// edits nothing; every step written is one of 1..16.
#pragma once

#include "model/DeviceModel.h"
#include "patterns/EventEditGeometry.h"

namespace morvelant {

enum class NoteClickResult {
    None,  // nothing under the point, or below the written octave
    SwitchedOff,  // the click hit the note itself
    Moved,  // the step now plays the clicked pitch
    SwitchedOn,  // an off step takes the clicked pitch and plays
    Rebased,  // the track's note offset came down to the clicked pitch
    Refused  // a rebase would have raised a step note above 127
};

// A click at slot n (from SlotAt) and value row r (from RowAt) on track t
// of pattern p. The octave shift of the clicked slot is taken off first, so
// a note drawn in a raised pass edits its step at the written pitch.
NoteClickResult NoteClick(DeviceModel& model, int p, int t, int slot, int row);

// Velocity painting at slot n, height y of a velocity area h high: the
// step under it, when on, takes the velocity of that height. True when a
// velocity was stored.
bool PaintVelocity(DeviceModel& model, int p, int t, int slot, int y, int h);

// The cursor over the note area.
enum class NoteCursor { Pencil, NotAllowed, ResizeValueArea, ResizeKeyColumn };
NoteCursor NoteAreaCursor(const Pattern_Parameters& pattern, int t, int slot, int row, int x, int y,
                          int noteAreaHeight);

// Whether the step under a slot of the velocity area is on (the pencil shows).
bool VelocityEditable(const DeviceModel& model, int p, int t, int slot);

}  // namespace morvelant
