// Score: an ordered set of event tracks merged into one time-ordered stream.
//
// The stream is produced in batches of at most 512 events, merged by smallest
// next absolute time (ties go to the lower track), with a system-exclusive
// message kept in one piece, and converted back to delta times. An output
// component asks for more with MergeOut each time the driver reports room, so
// long tracks are never merged whole and never block the GUI thread.
// The score owns its tracks: a track handed to Add or Insert belongs to it.
#ifndef MIDIKITSCORE_H
#define MIDIKITSCORE_H

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "driver/MidiKit32.h"

namespace morvelant {

class TMidiKitTrack;
class TMidiKitOut;

class TMidiKitScore {
public:
    // Largest batch, and the largest chunk fetched from one track per batch.
    static constexpr uint32_t BatchSize = 512;

    // Takes an event; false when it was not accepted (offered again later).
    using EventSink = std::function<bool(MidiEvent*)>;

    explicit TMidiKitScore(int n = 0);
    ~TMidiKitScore();
    TMidiKitScore(const TMidiKitScore&) = delete;
    TMidiKitScore& operator=(const TMidiKitScore&) = delete;

    // Deletes every entry with its track.
    void Clear();
    int getCount() const;
    // Appends (inserts at i) an entry for t; a new empty track when t is null.
    void Add(TMidiKitTrack* t);
    void Insert(int i, TMidiKitTrack* t);
    // Track of entry i; null when i is out of range.
    TMidiKitTrack* Get(int i) const;
    // Entry i's track := t. The previous track is no longer owned by the
    // score and is returned to the caller (null when i is out of range).
    TMidiKitTrack* Put(int i, TMidiKitTrack* t);
    int Find(const TMidiKitTrack* t) const;
    // Takes t's entry out of the score and returns its former index, else -1.
    // The track is not deleted: it belongs to the caller again.
    int Remove(TMidiKitTrack* t);

    // Merges the next batch and returns it (MergedCount events).
    MidiEvent* MergeTracks();
    uint32_t MergedCount() const { return mergedCount; }

    // Hands events to out until it refuses one or the tracks are exhausted.
    void MergeOut(TMidiKitOut* out);
    // Rewinds every track to its start, then MergeOut.
    void StartOut(TMidiKitOut* out);
    // With a length, the tracks play again and again, pass k + 1 starting
    // `ticks` after pass k, so the next pass is queued ahead of the seam
    // instead of being started once the last one is out; 0 plays them once.
    void SetLoop(uint32_t ticks) { loopLength = ticks; }
    uint32_t Loop() const { return loopLength; }

    // The same two, feeding any sink (used by tests and by MergeOut itself).
    void MergeOut(const EventSink& sink);
    void StartOut(const EventSink& sink);

private:
    struct ScoreEntry {
        explicit ScoreEntry(TMidiKitTrack* t);
        ~ScoreEntry();
        TMidiKitTrack* track;  // owned
        std::vector<MidiEvent> chunk;  // next events, absolute times
        uint32_t chunkSize = BatchSize;
        uint32_t chunkPosition = 0;
        uint32_t trackPosition = 0;
        bool inSysex = false;
    };

    void Rewind();

    std::vector<std::unique_ptr<ScoreEntry>> entries;
    std::vector<MidiEvent> mergeBuffer;
    uint32_t mergedCount = 0;
    uint32_t sendPosition = 0;
    uint32_t lastAbsTime = 0;
    uint32_t loopLength = 0;
    uint32_t passStart = 0;  // absolute time of the current pass's start
};

}  // namespace morvelant

#endif
