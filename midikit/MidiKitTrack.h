// Event track: a growable list of MidiEvent records holding delta times.
//
// A track is what the score merges for playback, what the MIDI file component
// reads and writes, and what a MIDI input fills while recording. The events
// live in one contiguous block so that it can be handed to the driver library
// whole when a file is written, and filled by it in chunks when one is read.
#ifndef MIDIKITTRACK_H
#define MIDIKITTRACK_H

#include <cstdint>
#include <string>
#include <vector>

#include "driver/MidiKit32.h"

namespace morvelant {

class TMidiKitSMF;
class TMidiKitIn;

class TMidiKitTrack {
public:
    // Initial size of the buffer and the step by which it grows, in events.
    static constexpr uint32_t GrowStep = 8192;
    // Index that appends (InsertEvent) or drops the last event (DeleteEvent).
    static constexpr uint32_t LastIndex = 0xFFFFFFFFu;

    TMidiKitTrack();
    ~TMidiKitTrack();
    TMidiKitTrack(const TMidiKitTrack&) = delete;
    TMidiKitTrack& operator=(const TMidiKitTrack&) = delete;

    // Buffer management. CreateBuffer refuses when a buffer exists.
    bool CreateBuffer(uint32_t n);
    void FreeBuffer();
    // Raw access to the block; null while there is no buffer. The pointer is
    // valid until the buffer grows or is freed.
    MidiEvent* GetBuffer();
    uint32_t GetBufferSize() const;
    // Resizes the block to n slots, keeping the content and zero-filling new
    // room. Never drops below count (events held are kept).
    void SetBufferSize(uint32_t n);
    // The block itself, for the file reader which grows it while filling it.
    std::vector<MidiEvent>& Buffer() { return buffer; }
    // Replaces the block with another one (its size becomes the buffer
    // size). Events held beyond the new block are dropped from the count.
    void SetBuffer(std::vector<MidiEvent> block);

    // Events not yet read (count - read index).
    uint32_t GetNumEvents() const;
    // Flush, then count := n (capped at the buffer size).
    void SetNumEvents(uint32_t n);
    // Count and read index to 0; the buffer stays.
    void Flush();
    // Count of events held, regardless of the read index.
    uint32_t Count() const { return count; }

    MidiEvent* GetEvent(uint32_t i);
    void SetEvent(const MidiEvent* e, uint32_t i);
    // Inserts *e before slot index, or appends for LastIndex. An index past
    // the count is refused (returns false) instead of corrupting the track.
    bool InsertEvent(const MidiEvent* e, uint32_t index);
    // Removes the event at index; an index at or past the last event (LastIndex
    // included) drops the last one. Refused (false) on an empty track.
    bool DeleteEvent(uint32_t index);

    // Appends *e while recording; otherwise ignored.
    void Write(const MidiEvent* e);
    // Next unread event, or null when all are read or the track is muted or
    // recording.
    MidiEvent* Read();
    // Sets the recording flag (a setter despite its name).
    void IsRecording(bool on);
    bool Recording() const { return recording; }
    void Mute(bool on);
    bool Muted() const { return muted; }

    void Attach(TMidiKitSMF* f);
    void Detach(TMidiKitSMF* f);
    void Attach(TMidiKitIn* in);
    void Detach(TMidiKitIn* in);
    // Detaches the input (not the file) and stops recording.
    void Detach();
    TMidiKitSMF* File() const { return file; }
    TMidiKitIn* Input() const { return input; }

    // The cached name, else the name from an attached file open for reading.
    std::string GetTrackName();
    void SetTrackName(const std::string& name);

    // Copies up to *n events from start with absolute times into a new block.
    // Sets *n to the number delivered; empty (and *n = 0) when there is none
    // or the track is muted or recording.
    std::vector<MidiEvent> GetAbsBuffer(uint32_t start, uint32_t* n);
    // Absolute time of event i (sum of deltas 0..i); 0 when i >= count.
    uint32_t AbsNow(uint32_t i) const;
    void DeltaToAbs(MidiEvent* dst, uint32_t start, uint32_t n) const;
    void AbsToDelta(MidiEvent* dst, uint32_t start, uint32_t n) const;
    // Delta time of event i; 0 when i >= count.
    uint32_t GetTime(uint32_t i) const;
    // Moves event i by delta ticks, never below 0.
    void SlideTrack(uint32_t i, int32_t delta);

    // Read from / write to the attached file; false without one.
    bool Load();
    bool Save();

private:
    TMidiKitSMF* file = nullptr;
    TMidiKitIn* input = nullptr;
    std::vector<MidiEvent> buffer;
    bool hasBuffer = false;
    uint32_t count = 0;
    uint32_t readIndex = 0;
    bool recording = false;
    bool muted = false;
    std::string trackName;
};

}  // namespace morvelant

#endif
