// What the step editor and the track grid need of the modal pickers (and
// of the track tools window): each
// call places a picker, stores the target, shows it modally and returns the
// picker's result (1: picked with Shift held, go on to the next step or
// track; 0: anything else). The pickers arrive later than these windows; a
// window given no pickers leaves the menu items that open them without
// effect.
#pragma once

namespace morvelant {

class PatternPickers {
public:
    virtual ~PatternPickers() = default;

    // The value pickers by target code (1000 + ... step notes, 2000 + ...
    // step velocities, 200 + c / 300 + c / 400 + c track data).
    virtual int PianoKeyboard(int code, int left, int top) { return 0; }
    virtual int NumericalValues(int code) { return 0; }
    virtual int MidiControllers(int code) { return 0; }
    // The time picker (mode 3 note time, 4 gate time, 5 delay) and the
    // channel picker (mode 0 channel, 1 start step, 2 end step) for track c
    // (0 = all eight), placed at screen point (x, y).
    virtual int TimePicker(int mode, int track, int x, int y) { return 0; }
    virtual int ChannelPicker(int mode, int track, int x, int y) { return 0; }
    // Closes the time picker when it is showing.
    virtual void CloseTimePicker() {}

    // The track tools window, which works on the same tracks.
    virtual void ShowTrackTools() {}
    virtual bool TrackToolsVisible() const { return false; }
};

}  // namespace morvelant
