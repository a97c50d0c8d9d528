#include "midikit/MidiKitTrack.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "midikit/MidiKitIn.h"
#include "midikit/MidiKitSMF.h"

namespace morvelant {

TMidiKitTrack::TMidiKitTrack() { CreateBuffer(GrowStep); }

TMidiKitTrack::~TMidiKitTrack() {
    // Tell a recording input that this track goes away; the file link is not
    // ours to touch.
    Detach();
    FreeBuffer();
}

bool TMidiKitTrack::CreateBuffer(uint32_t n) {
    if (hasBuffer) return false;
    buffer.assign(n, MidiEvent{});
    hasBuffer = true;
    return true;
}

void TMidiKitTrack::FreeBuffer() {
    // Without a buffer nothing can be held: count and read index follow, so
    // that no later call indexes a block that is gone.
    buffer.clear();
    buffer.shrink_to_fit();
    hasBuffer = false;
    count = 0;
    readIndex = 0;
}

MidiEvent* TMidiKitTrack::GetBuffer() { return hasBuffer ? buffer.data() : nullptr; }

void TMidiKitTrack::SetBuffer(std::vector<MidiEvent> block) {
    buffer = std::move(block);
    hasBuffer = true;
    count = std::min(count, static_cast<uint32_t>(buffer.size()));
    readIndex = std::min(readIndex, count);
}

uint32_t TMidiKitTrack::GetBufferSize() const { return static_cast<uint32_t>(buffer.size()); }

void TMidiKitTrack::SetBufferSize(uint32_t n) {
    n = std::max(n, count);
    buffer.resize(n, MidiEvent{});
    hasBuffer = true;
}

uint32_t TMidiKitTrack::GetNumEvents() const { return count - readIndex; }

void TMidiKitTrack::SetNumEvents(uint32_t n) {
    Flush();
    count = std::min(n, GetBufferSize());
}

void TMidiKitTrack::Flush() {
    count = 0;
    readIndex = 0;
}

MidiEvent* TMidiKitTrack::GetEvent(uint32_t i) { return i < buffer.size() ? &buffer[i] : nullptr; }

void TMidiKitTrack::SetEvent(const MidiEvent* e, uint32_t i) {
    if (e && i < buffer.size()) buffer[i] = *e;
}

bool TMidiKitTrack::InsertEvent(const MidiEvent* e, uint32_t index) {
    if (!e) return false;
    // An index past the count would leave a hole of stale slots counted as
    // events (or write past the block): refuse it.
    if (index != LastIndex && index > count) return false;
    if (count == LastIndex) return false;
    const MidiEvent ev = *e;  // e may point into our own buffer
    if (count >= buffer.size()) {
        const size_t grown = static_cast<size_t>(buffer.size()) + GrowStep;
        buffer.resize(std::min<size_t>(grown, LastIndex), MidiEvent{});
        hasBuffer = true;
    }
    if (index == LastIndex || index == count) {
        buffer[count] = ev;
    } else {
        std::memmove(&buffer[index + 1], &buffer[index], (count - index) * sizeof(MidiEvent));
        buffer[index] = ev;
    }
    ++count;
    return true;
}

bool TMidiKitTrack::DeleteEvent(uint32_t index) {
    // Decrementing an empty count would wrap to 0xFFFFFFFF events.
    if (count == 0) return false;
    --count;
    if (index < count) std::memmove(&buffer[index], &buffer[index + 1], (count - index) * sizeof(MidiEvent));
    if (readIndex > count) readIndex = count;
    return true;
}

void TMidiKitTrack::Write(const MidiEvent* e) {
    if (recording) InsertEvent(e, LastIndex);
}

MidiEvent* TMidiKitTrack::Read() {
    if (readIndex >= count || muted || recording) return nullptr;
    return &buffer[readIndex++];
}

void TMidiKitTrack::IsRecording(bool on) { recording = on; }

void TMidiKitTrack::Mute(bool on) { muted = on; }

void TMidiKitTrack::Attach(TMidiKitSMF* f) { file = f; }

void TMidiKitTrack::Detach(TMidiKitSMF* f) {
    if (file == f) file = nullptr;
}

void TMidiKitTrack::Attach(TMidiKitIn* in) { input = in; }

void TMidiKitTrack::Detach(TMidiKitIn* in) {
    if (input == in) input = nullptr;
}

void TMidiKitTrack::Detach() {
    if (input) {
        TMidiKitIn* in = input;
        input = nullptr;
        try {
            in->Detach(this);
        } catch (...) {
            // The input had another track: nothing of ours to undo there.
        }
    }
    recording = false;
}

std::string TMidiKitTrack::GetTrackName() {
    if (!trackName.empty()) return trackName;
    if (file && file->GetMode() == 'r') {
        std::string data;
        uint32_t length = 0;
        if (file->ReadMeta(this, 3, &data, &length) != -1) {
            trackName = data.substr(0, length);
            return trackName;
        }
    }
    return std::string();
}

void TMidiKitTrack::SetTrackName(const std::string& name) { trackName = name; }

std::vector<MidiEvent> TMidiKitTrack::GetAbsBuffer(uint32_t start, uint32_t* n) {
    std::vector<MidiEvent> block;
    if (!n) return block;
    if (start >= count || muted || recording) {
        *n = 0;
        return block;
    }
    *n = std::min(*n, count - start);
    block.assign(buffer.begin() + start, buffer.begin() + start + *n);
    DeltaToAbs(block.data(), start, *n);
    return block;
}

uint32_t TMidiKitTrack::AbsNow(uint32_t i) const {
    if (i >= count) return 0;
    uint32_t t = 0;
    for (uint32_t k = 0; k <= i; ++k) t += buffer[k].time;
    return t;
}

void TMidiKitTrack::DeltaToAbs(MidiEvent* dst, uint32_t start, uint32_t n) const {
    if (!dst || n == 0) return;
    dst[0].time = AbsNow(start);
    for (uint32_t k = 1; k < n; ++k) dst[k].time = dst[k - 1].time + dst[k].time;
}

void TMidiKitTrack::AbsToDelta(MidiEvent* dst, uint32_t start, uint32_t n) const {
    if (!dst) return;
    uint32_t previous = start == 0 ? 0 : AbsNow(start - 1);
    for (uint32_t k = 0; k < n; ++k) {
        const uint32_t abs = dst[k].time;
        dst[k].time = abs - previous;
        previous = abs;
    }
}

uint32_t TMidiKitTrack::GetTime(uint32_t i) const { return i < count ? buffer[i].time : 0; }

void TMidiKitTrack::SlideTrack(uint32_t i, int32_t delta) {
    if (i >= count) return;
    const int64_t t = static_cast<int64_t>(static_cast<int32_t>(buffer[i].time)) + delta;
    buffer[i].time = t < 0 ? 0 : static_cast<uint32_t>(t);
}

bool TMidiKitTrack::Load() { return file ? file->Read(this) : false; }

bool TMidiKitTrack::Save() {
    if (!file || muted) return false;
    if (!trackName.empty()) file->WriteMeta(this, 3, trackName.c_str(), 0);
    return file->Write(this);
}

}  // namespace morvelant
