// Standard MIDI Files in the driver library: the parser, the builder and the
// entry points OpenSMF ... WriteMetaEvent over a table of open files.
#include "driver/SmfFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>

#include "platform/FilePrimitives.h"

namespace morvelant::smf {

namespace {

// Largest value of a variable-length number (four 7-bit groups).
constexpr uint32_t MaxVarLen = 0x0FFFFFFF;
// Largest file the reader takes in; real files are a tiny fraction of this.
constexpr size_t MaxFileSize = size_t(256) << 20;

class Cursor {
public:
    Cursor(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    size_t Left() const { return size_ - pos_; }
    size_t Pos() const { return pos_; }
    bool AtEnd() const { return pos_ >= size_; }
    const uint8_t* Here() const { return data_ + pos_; }
    bool Byte(uint8_t& b) {
        if (pos_ >= size_) return false;
        b = data_[pos_++];
        return true;
    }
    bool Peek(uint8_t& b) const {
        if (pos_ >= size_) return false;
        b = data_[pos_];
        return true;
    }
    bool Skip(size_t n) {
        if (n > Left()) return false;
        pos_ += n;
        return true;
    }
    bool U16(uint16_t& v) {
        if (Left() < 2) return false;
        v = static_cast<uint16_t>((data_[pos_] << 8) | data_[pos_ + 1]);
        pos_ += 2;
        return true;
    }
    bool U32(uint32_t& v) {
        if (Left() < 4) return false;
        v = (uint32_t(data_[pos_]) << 24) | (uint32_t(data_[pos_ + 1]) << 16) | (uint32_t(data_[pos_ + 2]) << 8) |
            uint32_t(data_[pos_ + 3]);
        pos_ += 4;
        return true;
    }
    // A variable-length number: at most four bytes; a fourth byte that still
    // says "more follows" is a number that never ends.
    bool VarLen(uint32_t& v, std::string& why) {
        v = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b;
            if (!Byte(b)) {
                why = "number cut off by the end of its chunk";
                return false;
            }
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80)) return true;
        }
        why = "variable-length number does not end";
        return false;
    }

private:
    const uint8_t* data_;
    size_t size_;
    size_t pos_ = 0;
};

// Data bytes that follow a status byte.
int DataLength(uint8_t status) {
    if (status < 0xF0) {
        const uint8_t kind = status & 0xF0;
        return (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
    }
    switch (status) {
        case 0xF1:
        case 0xF3: return 1;
        case 0xF2: return 2;
        default: return 0;
    }
}

// Whether an F7 packet holds one whole message other than system exclusive
// (an escaped message), rather than system-exclusive bytes: a status byte
// other than F0 and F7 followed by exactly its data bytes.
bool IsEscapedMessage(const uint8_t* bytes, size_t n) {
    if (n == 0 || n > 3 || bytes[0] < 0x80 || bytes[0] == 0xF0 || bytes[0] == 0xF7) return false;
    if (n != size_t(1 + DataLength(bytes[0]))) return false;
    for (size_t i = 1; i < n; ++i)
        if (bytes[i] & 0x80) return false;
    return true;
}

uint32_t AddSaturating(uint32_t a, uint32_t b) { return (b > 0xFFFFFFFFu - a) ? 0xFFFFFFFFu : a + b; }

bool ParseTrack(const uint8_t* data, size_t size, SmfTrack& track, std::string& why) {
    Cursor c(data, size);
    uint8_t running = 0;
    uint32_t pending = 0;  // delta of events not kept (meta events)

    auto sysexBytes = [&](const uint8_t* bytes, uint32_t n) {
        for (uint32_t i = 0; i < n; ++i) {
            track.events.push_back(MidiEvent{pending, 0xF0, bytes[i], 0, 0});
            pending = 0;
        }
    };

    while (!c.AtEnd()) {
        uint32_t delta;
        if (!c.VarLen(delta, why)) return false;
        pending = AddSaturating(pending, delta);
        uint8_t b;
        if (!c.Peek(b)) {
            why = "event cut off by the end of its chunk";
            return false;
        }
        if (b == 0xFF) {
            c.Skip(1);
            uint8_t type;
            uint32_t len;
            if (!c.Byte(type) || !c.VarLen(len, why)) {
                if (why.empty()) why = "meta event cut off";
                return false;
            }
            if (len > c.Left()) {
                why = "meta event longer than its chunk";
                return false;
            }
            if (type == 0x2F) return true;  // end of track: the rest of the chunk is ignored
            track.metas.emplace_back(type, std::string(reinterpret_cast<const char*>(c.Here()), len));
            c.Skip(len);
            continue;
        }
        if (b == 0xF0 || b == 0xF7) {
            c.Skip(1);
            uint32_t len;
            if (!c.VarLen(len, why)) return false;
            if (len > c.Left()) {
                why = "system-exclusive packet longer than its chunk";
                return false;
            }
            const uint8_t* bytes = c.Here();
            c.Skip(len);
            if (b == 0xF0) {
                track.events.push_back(MidiEvent{pending, 0xF0, 0xF0, 0, 0});
                pending = 0;
                sysexBytes(bytes, len);
            } else if (IsEscapedMessage(bytes, len)) {
                // A message other than system exclusive (a real-time byte
                // may come in the middle of a divided message).
                MidiEvent e{pending, bytes[0], 0, 0, 0};
                if (len > 1) e.data1 = bytes[1];
                if (len > 2) e.data2 = bytes[2];
                track.events.push_back(e);
                pending = 0;
            } else {
                // A continuation of a divided message, or bytes on their own.
                sysexBytes(bytes, len);
            }
            continue;
        }
        uint8_t status;
        if (b & 0x80) {
            c.Skip(1);
            status = b;
            if (status < 0xF0) running = status;
        } else {
            if (running == 0) {
                why = "data byte without a status";
                return false;
            }
            status = running;
        }
        const int n = DataLength(status);
        uint8_t d[2] = {0, 0};
        for (int i = 0; i < n; ++i) {
            if (!c.Byte(d[i])) {
                why = "event cut off by the end of its chunk";
                return false;
            }
            if (d[i] & 0x80) {
                why = "status byte where a data byte belongs";
                return false;
            }
        }
        track.events.push_back(MidiEvent{pending, status, d[0], d[1], 0});
        pending = 0;
    }
    return true;
}

void PutVarLen(std::vector<uint8_t>& out, uint32_t v) {
    v = std::min(v, MaxVarLen);
    uint8_t tmp[4];
    int n = 0;
    tmp[n++] = v & 0x7F;
    while ((v >>= 7) != 0) tmp[n++] = static_cast<uint8_t>((v & 0x7F) | 0x80);
    while (n > 0) out.push_back(tmp[--n]);
}

void PutU16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void PutU32(std::vector<uint8_t>& out, uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<uint8_t>(v >> s));
}

std::vector<uint8_t> BuildTrack(const SmfTrack& track) {
    std::vector<uint8_t> out;
    for (const auto& [type, text] : track.metas) {
        if (type == 0x2F) continue;
        out.push_back(0);
        out.push_back(0xFF);
        out.push_back(type);
        const uint32_t len = static_cast<uint32_t>(std::min<size_t>(text.size(), MaxVarLen));
        PutVarLen(out, len);
        out.insert(out.end(), text.begin(), text.begin() + len);
    }

    uint8_t running = 0;
    uint32_t carry = 0;  // delta of events that cannot be stored
    bool packetOpen = false;
    uint8_t packetKind = 0;
    uint32_t packetDelta = 0;
    std::vector<uint8_t> packet;

    auto flush = [&]() {
        if (!packetOpen) return;
        size_t first = 0;
        if (packetKind == 0xF7 && packet.size() > 1 && IsEscapedMessage(packet.data(), packet.size())) {
            // These bytes would read back as one escaped message: the first
            // goes in a packet of its own, the rest follow at delta 0.
            PutVarLen(out, packetDelta);
            out.push_back(0xF7);
            PutVarLen(out, 1);
            out.push_back(packet[0]);
            packetDelta = 0;
            first = 1;
        }
        PutVarLen(out, packetDelta);
        out.push_back(packetKind);
        PutVarLen(out, static_cast<uint32_t>(packet.size() - first));
        out.insert(out.end(), packet.begin() + static_cast<std::ptrdiff_t>(first), packet.end());
        packet.clear();
        packetOpen = false;
        running = 0;
    };
    auto start = [&](uint8_t kind, uint32_t delta) {
        flush();
        packetOpen = true;
        packetKind = kind;
        packetDelta = delta;
    };

    for (const MidiEvent& e : track.events) {
        const uint32_t delta = AddSaturating(carry, e.time);
        carry = 0;
        if (e.status == 0xF0) {
            // One byte of a system-exclusive message. A byte that comes later
            // than the one before it opens a continuation packet with its
            // own delta time, so the timing survives the round trip.
            const uint8_t b = e.data1;
            if (b == 0xF0) {
                start(0xF0, delta);
            } else {
                if (!packetOpen || delta != 0 || packet.size() >= MaxVarLen) start(0xF7, delta);
                packet.push_back(b);
            }
            if (b == 0xF7) flush();
            continue;
        }
        flush();
        if (e.status < 0x80) {
            carry = delta;  // no status: nothing a file can hold
            continue;
        }
        const int n = DataLength(e.status);
        if (e.status < 0xF0) {
            PutVarLen(out, delta);
            if (e.status != running) {
                out.push_back(e.status);
                running = e.status;
            }
            out.push_back(e.data1 & 0x7F);
            if (n > 1) out.push_back(e.data2 & 0x7F);
        } else {
            // Other system messages travel as escaped packets.
            PutVarLen(out, delta);
            out.push_back(0xF7);
            PutVarLen(out, static_cast<uint32_t>(1 + n));
            out.push_back(e.status);
            if (n > 0) out.push_back(e.data1 & 0x7F);
            if (n > 1) out.push_back(e.data2 & 0x7F);
            running = 0;
        }
    }
    flush();
    PutVarLen(out, carry);
    out.push_back(0xFF);
    out.push_back(0x2F);
    out.push_back(0x00);
    return out;
}

}  // namespace

bool ParseSmf(const uint8_t* data, size_t size, SmfData& out, std::string* error) {
    std::string why;
    auto fail = [&](const char* reason) {
        if (error) *error = why.empty() ? reason : why;
        return false;
    };
    out = SmfData{};
    if (!data && size) return fail("no data");
    Cursor c(data, size);
    uint32_t headerLength;
    uint16_t ntracks;
    if (size < 14 || std::memcmp(data, "MThd", 4) != 0) return fail("missing header");
    c.Skip(4);
    c.U32(headerLength);
    if (headerLength < 6 || headerLength > c.Left()) return fail("bad header length");
    c.U16(out.format);
    c.U16(ntracks);
    c.U16(out.division);
    c.Skip(headerLength - 6);
    if (out.format > 2) return fail("unknown format");

    out.tracks.reserve(ntracks);
    while (out.tracks.size() < ntracks) {
        if (c.Left() < 8) return fail("track missing");
        char id[4];
        std::memcpy(id, c.Here(), 4);
        c.Skip(4);
        uint32_t length = 0;
        c.U32(length);
        if (length > c.Left()) return fail("chunk longer than the file");
        const uint8_t* body = c.Here();
        c.Skip(length);
        if (std::memcmp(id, "MTrk", 4) != 0) continue;  // unknown chunks are skipped
        SmfTrack track;
        if (!ParseTrack(body, length, track, why)) return fail("damaged track");
        out.tracks.push_back(std::move(track));
    }
    return true;
}

// Appends a four-character chunk id.
static void PutTag(std::vector<uint8_t>& out, const char (&tag)[5]) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(tag[i]));
}

std::vector<uint8_t> BuildSmf(const SmfData& in) {
    std::vector<uint8_t> out;
    const size_t ntracks = std::min<size_t>(in.tracks.size(), 0xFFFF);
    uint16_t format = in.format;
    if (format == 0 && ntracks > 1) format = 1;  // one track is all that format 0 can hold
    PutTag(out, "MThd");
    PutU32(out, 6);
    PutU16(out, format);
    PutU16(out, static_cast<uint16_t>(ntracks));
    PutU16(out, in.division);
    for (size_t i = 0; i < ntracks; ++i) {
        const std::vector<uint8_t> body = BuildTrack(in.tracks[i]);
        PutTag(out, "MTrk");
        PutU32(out, static_cast<uint32_t>(body.size()));
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

bool WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    // The editor's own save: what a killed write leaves behind goes at the
    // next save of the file.
    return files::ReplaceFile(path, bytes.data(), bytes.size(), error);
}

namespace {

// One open file of the entry points.
struct OpenFile {
    char mode = 'r';
    std::string path;
    SmfData data;
    std::vector<uint32_t> readPositions;
};

// Handles of MIDI files come from their own range, above every port and sync
// handle, and are not reused before the range wraps (some three billion
// opens later): a stale handle finds nothing.
constexpr uint32_t FirstHandle = 0x40000000u;

std::mutex tableMutex;
std::map<uint32_t, std::unique_ptr<OpenFile>>& Table() {
    static std::map<uint32_t, std::unique_ptr<OpenFile>> table;
    return table;
}
uint32_t nextHandle = FirstHandle;

OpenFile* Find(uint32_t handle) {
    auto& table = Table();
    auto it = table.find(handle);
    return it == table.end() ? nullptr : it->second.get();
}

// Never waits: a named pipe, a device or a folder is refused at once.
bool ReadWholeFile(const std::string& path, std::vector<uint8_t>& bytes) {
    const int fd = files::OpenRegularFileForReading(path, nullptr);
    if (fd < 0) return false;
    bool ok = true;
    uint8_t chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        bytes.insert(bytes.end(), chunk, chunk + n);
        if (bytes.size() > MaxFileSize) {
            ok = false;
            break;
        }
    }
    ::close(fd);
    return ok;
}

// The folder of path takes new files (the temporary one of the close).
bool FolderWritable(const std::string& path) {
    std::string temp;
    const int fd = files::CreateTemporaryFile(path, temp);
    if (fd < 0) return false;
    ::close(fd);
    ::unlink(temp.c_str());
    return true;
}

// Closes the file; a file open for writing is written now. False when it
// could not be written (the old file, if any, is left as it was).
bool CloseFile(uint32_t handle) {
    std::unique_ptr<OpenFile> file;
    {
        std::lock_guard<std::mutex> lock(tableMutex);
        auto it = Table().find(handle);
        if (it == Table().end()) return false;
        file = std::move(it->second);
        Table().erase(it);
    }
    if (file->mode != 'w') return true;
    std::string error;
    if (!WriteFileReplacing(file->path, BuildSmf(file->data), &error)) {
        const int err = errno;
        std::fprintf(stderr, "MidiKit32: MIDI file \"%s\" not written: %s\n", file->path.c_str(), error.c_str());
        errno = err;
        return false;
    }
    return true;
}

}  // namespace

}  // namespace morvelant::smf

using namespace morvelant::smf;

extern "C" {

MIDIKIT_API uint32_t OpenSMF(const char* fileName, uint32_t* format, char mode, uint32_t* trackCount) {
    try {
        if (!fileName || !*fileName || (mode != 'r' && mode != 'w')) return 0;
        auto file = std::make_unique<OpenFile>();
        file->mode = mode;
        file->path = fileName;
        if (mode == 'r') {
            std::vector<uint8_t> bytes;
            if (!ReadWholeFile(file->path, bytes)) return 0;
            std::string error;
            if (!ParseSmf(bytes.data(), bytes.size(), file->data, &error)) return 0;
            file->readPositions.assign(file->data.tracks.size(), 0);
        } else {
            if (!FolderWritable(file->path)) return 0;
            file->data.format = format ? static_cast<uint16_t>(std::min<uint32_t>(*format, 2)) : 0;
        }
        const uint32_t formatOut = file->data.format;
        const uint32_t tracksOut = static_cast<uint32_t>(file->data.tracks.size());
        uint32_t handle;
        {
            std::lock_guard<std::mutex> lock(tableMutex);
            do {
                handle = nextHandle++;
                if (nextHandle == 0) nextHandle = FirstHandle;
            } while (Table().count(handle));
            Table()[handle] = std::move(file);
        }
        if (format) *format = formatOut;
        if (trackCount) *trackCount = tracksOut;
        return handle;
    } catch (...) { return 0; }
}

MIDIKIT_API void CloseSMF(uint32_t handle) {
    try {
        CloseFile(handle);
    } catch (...) {}
}

MIDIKIT_API int32_t CloseSMFChecked(uint32_t handle) {
    try {
        errno = EBADF;
        return CloseFile(handle) ? 0 : -1;
    } catch (...) {
        errno = ENOMEM;
        return -1;
    }
}

MIDIKIT_API void RewindSMF(uint32_t handle) {
    try {
        std::lock_guard<std::mutex> lock(tableMutex);
        if (OpenFile* f = Find(handle)) std::fill(f->readPositions.begin(), f->readPositions.end(), 0);
    } catch (...) {}
}

MIDIKIT_API uint32_t ReadSMF(uint32_t handle, uint32_t track, LPMIDIEVENT events, uint32_t maximum) {
    try {
        std::lock_guard<std::mutex> lock(tableMutex);
        OpenFile* f = Find(handle);
        if (!f || f->mode != 'r' || !events || track >= f->data.tracks.size()) return 0;
        const auto& list = f->data.tracks[track].events;
        uint32_t& pos = f->readPositions[track];
        const uint32_t n =
            static_cast<uint32_t>(std::min<size_t>(maximum, list.size() - std::min<size_t>(pos, list.size())));
        if (n) std::memcpy(events, list.data() + pos, n * sizeof(MidiEvent));
        pos += n;
        return n;
    } catch (...) { return 0; }
}

MIDIKIT_API uint32_t WriteSMF(uint32_t handle, uint32_t track, LPMIDIEVENT events, uint32_t count) {
    try {
        std::lock_guard<std::mutex> lock(tableMutex);
        OpenFile* f = Find(handle);
        if (!f || f->mode != 'w' || track >= 0xFFFF || (!events && count)) return 0;
        if (track >= f->data.tracks.size()) f->data.tracks.resize(track + 1);
        auto& list = f->data.tracks[track].events;
        list.insert(list.end(), events, events + count);
        return count;
    } catch (...) { return 0; }
}

MIDIKIT_API uint32_t GetSMFResolution(uint32_t handle) {
    try {
        std::lock_guard<std::mutex> lock(tableMutex);
        OpenFile* f = Find(handle);
        return f ? f->data.division : 0;
    } catch (...) { return 0; }
}

MIDIKIT_API void SetSMFResolution(uint32_t handle, uint32_t ticksPerQuarter) {
    try {
        std::lock_guard<std::mutex> lock(tableMutex);
        OpenFile* f = Find(handle);
        const uint16_t value = static_cast<uint16_t>(ticksPerQuarter);
        if (f && value != 0) f->data.division = value;
    } catch (...) {}
}

MIDIKIT_API int32_t ReadMetaEvent(uint32_t handle, uint32_t track, uint8_t type, char** data, uint32_t* length) {
    try {
        std::lock_guard<std::mutex> lock(tableMutex);
        OpenFile* f = Find(handle);
        if (!f || track >= f->data.tracks.size()) return -1;
        for (auto& [t, text] : f->data.tracks[track].metas) {
            if (t != type) continue;
            // The data stays valid until the file is closed.
            if (data) *data = text.data();
            if (length) *length = static_cast<uint32_t>(text.size());
            return 0;
        }
    } catch (...) {}
    return -1;
}

MIDIKIT_API int32_t WriteMetaEvent(uint32_t handle, uint32_t track, uint8_t type, const char* text, uint32_t length) {
    try {
        std::lock_guard<std::mutex> lock(tableMutex);
        OpenFile* f = Find(handle);
        if (!f || f->mode != 'w' || track >= 0xFFFF || type == 0x2F) return -1;
        if (length == 0 && text) length = static_cast<uint32_t>(std::strlen(text));
        if (length > 0x0FFFFFFF || (!text && length)) return -1;
        if (track >= f->data.tracks.size()) f->data.tracks.resize(track + 1);
        std::string value(text ? text : "", length);
        auto& metas = f->data.tracks[track].metas;
        // A track has one name: a second one replaces the first.
        if (type == 3) {
            for (auto& [t, old] : metas)
                if (t == 3) {
                    old = std::move(value);
                    return 0;
                }
        }
        metas.emplace_back(type, std::move(value));
        return 0;
    } catch (...) { return -1; }
}

}  // extern "C"
