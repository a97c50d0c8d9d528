// What the MIDI settings window needs of the preview sequencer: the clock it
// owns drives the beat counter and the loop of the pattern preview, and both
// are shown and decided by the sequencer window. The sequencer window
// implements this; until it exists nothing is connected and the clock's
// notifications only count.
#pragma once

#include <string>

namespace morvelant {

class SequencerLink {
public:
    virtual ~SequencerLink() = default;

    // Starts the preview from the start of the pattern (flushes and attaches
    // the outputs of virtual output 1, resets the counter, starts the clock).
    virtual void StartPlayback() = 0;
    virtual bool Playing() const = 0;
    virtual void SetPlaying(bool playing) = 0;
    // Whether a finished run starts again.
    virtual bool LoopPlayback() const = 0;

    // The bar.beat counter ("2.1").
    virtual void ShowCount(const std::string& text) = 0;
    // The hidden count of finished runs.
    virtual void ShowSyncDoneCount(const std::string& text) = 0;
    // Puts the stop or the play button down (one group: the other goes up).
    virtual void ShowStopped() = 0;
    virtual void ShowPlaying() = 0;

    // Number of unmuted tracks (0..8) of the current pattern.
    virtual int CountActiveTracks() const = 0;
};

}  // namespace morvelant
