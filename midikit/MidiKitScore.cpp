#include "midikit/MidiKitScore.h"

#include "midikit/MidiKitOut.h"
#include "midikit/MidiKitTrack.h"

namespace morvelant {

namespace {

// A byte of a system-exclusive message travels as one event of status 0xF0
// with the byte in data1; only such events open or close a message. A note
// or controller whose data byte happens to be 0xF0 or 0xF7 is not one.
bool IsSysexByte(const MidiEvent& e, uint8_t byte) { return e.status == 0xF0 && e.data1 == byte; }

}  // namespace

TMidiKitScore::ScoreEntry::ScoreEntry(TMidiKitTrack* t) : track(t ? t : new TMidiKitTrack) {}

TMidiKitScore::ScoreEntry::~ScoreEntry() { delete track; }

TMidiKitScore::TMidiKitScore(int n) {
    if (n > 0) {
        entries.reserve(static_cast<size_t>(n));
        for (int i = 0; i < n; ++i) Add(nullptr);
    }
}

TMidiKitScore::~TMidiKitScore() { Clear(); }

void TMidiKitScore::Clear() { entries.clear(); }

int TMidiKitScore::getCount() const { return static_cast<int>(entries.size()); }

void TMidiKitScore::Add(TMidiKitTrack* t) { entries.push_back(std::make_unique<ScoreEntry>(t)); }

void TMidiKitScore::Insert(int i, TMidiKitTrack* t) {
    // The list index check: a position outside 0..count is refused; the
    // track is still taken (the score owns what it was handed) and appended.
    if (i < 0 || i > getCount()) i = getCount();
    entries.insert(entries.begin() + i, std::make_unique<ScoreEntry>(t));
}

TMidiKitTrack* TMidiKitScore::Get(int i) const {
    if (i < 0 || i >= getCount()) return nullptr;
    return entries[static_cast<size_t>(i)]->track;
}

TMidiKitTrack* TMidiKitScore::Put(int i, TMidiKitTrack* t) {
    if (i < 0 || i >= getCount()) return nullptr;
    ScoreEntry& e = *entries[static_cast<size_t>(i)];
    TMidiKitTrack* previous = e.track;
    e.track = t ? t : new TMidiKitTrack;
    return previous;
}

int TMidiKitScore::Find(const TMidiKitTrack* t) const {
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i]->track == t) return static_cast<int>(i);
    return -1;
}

int TMidiKitScore::Remove(TMidiKitTrack* t) {
    const int i = Find(t);
    if (i < 0) return -1;
    entries[static_cast<size_t>(i)]->track = nullptr;  // the caller owns it again
    entries.erase(entries.begin() + i);
    return i;
}

MidiEvent* TMidiKitScore::MergeTracks() {
    if (mergeBuffer.empty()) mergeBuffer.assign(BatchSize, MidiEvent{});

    ScoreEntry* sysexEntry = nullptr;
    bool any = false;
    auto fetch = [&] {
        for (auto& e : entries) {
            e->chunkSize = BatchSize;
            e->chunk = e->track->GetAbsBuffer(e->trackPosition, &e->chunkSize);
            e->chunkPosition = 0;
            if (e->chunk.empty())
                e->chunkSize = 0;
            else if (e->inSysex)
                sysexEntry = e.get();
            any = any || !e->chunk.empty();
        }
    };
    fetch();
    // A looping score begins its next pass once the last one is merged; a
    // batch never spans two passes. Tracks with nothing to play stay silent.
    if (!any && loopLength > 0) {
        for (auto& e : entries) e->trackPosition = 0, e->inSysex = false;
        passStart += loopLength;
        fetch();
    }

    uint32_t n = 0;
    while (n < BatchSize) {
        ScoreEntry* candidate = nullptr;
        if (sysexEntry) {
            // The message is kept in one piece: the other tracks wait.
            if (sysexEntry->chunkPosition >= sysexEntry->chunkSize) break;
            candidate = sysexEntry;
        } else {
            for (auto& e : entries) {
                if (e->chunkPosition >= e->chunkSize) continue;
                if (!candidate || e->chunk[e->chunkPosition].time < candidate->chunk[candidate->chunkPosition].time)
                    candidate = e.get();
            }
            if (!candidate) break;
        }

        const MidiEvent& ev = candidate->chunk[candidate->chunkPosition++];
        mergeBuffer[n] = ev;
        mergeBuffer[n].time += passStart;
        if (IsSysexByte(ev, 0xF0)) {
            candidate->inSysex = true;
            sysexEntry = candidate;
        } else if (IsSysexByte(ev, 0xF7)) {
            candidate->inSysex = false;
            sysexEntry = nullptr;
        }
        ++n;
    }

    for (auto& e : entries) {
        e->trackPosition += e->chunkPosition;
        e->chunk.clear();
        e->chunk.shrink_to_fit();
    }

    // Back to delta times. Each event counts from the latest time already
    // sent: an event that waited behind a system-exclusive message goes out
    // at once (delta 0), and the ones after it keep their places in time
    // instead of being pushed later by the wait.
    uint32_t sent = lastAbsTime;
    for (uint32_t k = 0; k < n; ++k) {
        const uint32_t abs = mergeBuffer[k].time;
        const int32_t d = static_cast<int32_t>(abs - sent);
        if (d > 0) {
            mergeBuffer[k].time = static_cast<uint32_t>(d);
            sent = abs;
        } else {
            mergeBuffer[k].time = 0;
        }
    }
    lastAbsTime = sent;
    mergedCount = n;
    return mergeBuffer.data();
}

void TMidiKitScore::MergeOut(const EventSink& sink) {
    if (entries.empty() || !sink) return;
    if (sendPosition >= mergedCount) {
        MergeTracks();
        sendPosition = 0;
    }
    while (sendPosition < mergedCount) {
        // Offer a copy: the receiver may keep or change what it is given.
        MidiEvent ev = mergeBuffer[sendPosition];
        if (!sink(&ev)) return;  // the same event is offered again on the next call
        if (++sendPosition == mergedCount) {
            MergeTracks();
            sendPosition = 0;
        }
    }
}

void TMidiKitScore::MergeOut(TMidiKitOut* out) {
    if (!out) return;
    MergeOut([out](MidiEvent* e) { return out->Put(e); });
}

void TMidiKitScore::Rewind() {
    for (auto& e : entries) {
        e->trackPosition = 0;
        e->inSysex = false;
        e->chunkSize = BatchSize;
        e->chunkPosition = 0;
    }
    lastAbsTime = 0;
    passStart = 0;
    sendPosition = 0;
    mergedCount = 0;
}

void TMidiKitScore::StartOut(TMidiKitOut* out) {
    Rewind();
    MergeOut(out);
}

void TMidiKitScore::StartOut(const EventSink& sink) {
    Rewind();
    MergeOut(sink);
}

}  // namespace morvelant
