#include "model/SysexCodec.h"

#include <algorithm>
#include <cstdio>

namespace morvelant {

namespace {

// A 16-bit size field holds at most this many byte pairs.
constexpr std::size_t kMaxPairs = 0xFFFF;

MidiEvent SysexEvent(uint8_t byte) {
    MidiEvent e{};
    e.time = 0;
    e.status = 0xF0;
    e.data1 = byte;
    return e;
}

// Reads a pair; the caller has checked that both bytes are there.
uint32_t PairAt(std::span<const MidiEvent> ev, std::size_t p) {
    return uint32_t(ev[p].data1) + (uint32_t(ev[p + 1].data1) << 7);
}

uint32_t WordAt(std::span<const MidiEvent> ev, std::size_t p) { return PairAt(ev, p) + (PairAt(ev, p + 2) << 8); }

void PutHeader(SysexBuffer& events, uint8_t command, uint8_t slot) {
    for (uint8_t b : kDumpHeader) PutSysexByte(events, b);
    PutSysexByte(events, command);
    PutSysexByte(events, slot);
}

std::size_t BuildWordDump(SysexBuffer& events, uint8_t command, uint8_t slot, const Words& words) {
    const std::size_t start = events.size();
    events.resize(start + kValueDumpSize);  // zero-filled; every event is set below
    MidiEvent* out = events.data() + start;
    std::size_t j = 0;
    for (uint8_t b : kDumpHeader) out[j++] = SysexEvent(b);
    out[j++] = SysexEvent(command);
    out[j++] = SysexEvent(slot);
    for (int32_t w : words) {
        out[j++] = SysexEvent(uint8_t(w & 0x7F));
        out[j++] = SysexEvent(uint8_t((w & 0x80) >> 7));
    }
    out[j] = SysexEvent(0xF7);
    return events.size();
}

void DecodeWords(std::span<const MidiEvent> events, Words& words) {
    for (std::size_t i = 0; i < words.size(); ++i) words[i] = int32_t(PairAt(events, 9 + 2 * i));
}

// Upper-case hexadecimal, at least two digits.
void AppendHex(std::string& s, uint32_t v) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    char buf[8];
    int n = 0;
    do {
        buf[n++] = kDigits[v & 0xF];
        v >>= 4;
    } while (v != 0);
    if (n < 2) buf[n++] = '0';
    while (n > 0) s += buf[--n];
}

// Joins the entry's values as hex tokens; token `live` (if in range) reads "XX".
std::string EventText(const std::vector<uint32_t>& values, int64_t live) {
    std::string s;
    s.reserve(values.size() * 3);
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (k) s += ' ';
        if (int64_t(k) == live)
            s += "XX";
        else
            AppendHex(s, values[k]);
    }
    return s;
}

void StoreEntry(Morvelant_Parameters& p, uint32_t index, const std::vector<uint32_t>& values) {
    if (index < 24) {
        p.FaderString[index] = EventText(values, p.FaderMidiData1(int(index)));
    } else if (index < 48) {
        int f = int(index) - 24;
        p.KeyOnString[f] = EventText(values, p.KeyOnMidiData1(f));
    } else if (index < 72) {
        int f = int(index) - 48;
        p.KeyOffString[f] = EventText(values, p.KeyOffMidiData1(f));
    } else if (index <= 75) {
        p.SpecialKeyString[index - 72] = EventText(values, -1);
    } else if (index == 77 || index == 78) {
        p.SpecialKeyString[index - 73] = EventText(values, -1);
    } else if (index >= 96 && index < 120) {
        // A name keeps at most its 8 characters; anything outside 32..122
        // (taken as a signed byte) reads as a blank.
        std::string name;
        for (std::size_t k = 0; k < values.size() && k < std::size_t(kNameLength); ++k) {
            int c = int(int8_t(uint8_t(values[k] & 0xFF)));
            name += (c < 32 || c > 122) ? ' ' : char(c);
        }
        p.SliderName[index - 96] = name;
    }
    // Any other index names no field; the entry is skipped.
}

// The data pairs of an event string's text-dump entry: one per three
// characters, as many as the entry's 16-bit size (n + 3 pairs) can hold.
std::size_t EntryDataPairs(std::string_view s) { return std::min((s.size() + 1) / 3, kMaxPairs - 3); }

// name == DefaultSliderName(f), without building the string.
bool IsDefaultSliderName(const std::string& name, int f) {
    const int n = f + 1;
    return name.size() == 8 && name.compare(0, 5, "Fader") == 0 && name[5] == char('0' + n / 100) &&
        name[6] == char('0' + n / 10 % 10) && name[7] == char('0' + n % 10);
}

}  // namespace

uint8_t HexToByte(std::string_view s) {
    auto digit = [](char c) -> int {
        if (c >= '1' && c <= '9') return c - '0';
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return 0;
    };
    int hi = s.size() > 0 ? digit(s[0]) : 0;
    int lo = s.size() > 1 ? digit(s[1]) : 0;
    return uint8_t(hi * 16 + lo);
}

std::size_t PutSysexByte(SysexBuffer& events, uint8_t byte) {
    events.push_back(SysexEvent(byte));
    return events.size();
}

std::size_t PutSysexValue(SysexBuffer& events, int32_t value) {
    PutSysexByte(events, uint8_t(value & 0x7F));
    return PutSysexByte(events, uint8_t((value & 0x80) >> 7));
}

std::size_t PutSysexWord(SysexBuffer& events, int32_t value) {
    PutSysexValue(events, value & 0xFF);
    return PutSysexValue(events, (value >> 8) & 0xFF);
}

std::size_t PutTextDumpEntry(SysexBuffer& events, int index, std::string_view s) {
    const std::size_t n = EntryDataPairs(s);
    if (n == 0) return events.size();
    PutSysexWord(events, int32_t(n + 3));
    PutSysexValue(events, index);
    for (std::size_t j = 0; j < n; ++j) PutSysexValue(events, HexToByte(s.substr(3 * j)));
    return events.size();
}

std::string DefaultSliderName(int fader) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "Fader%03d", fader + 1);
    return buf;
}

std::size_t BuildPresetValueDump(SysexBuffer& events, uint8_t slot, const Morvelant_Parameters& preset) {
    return BuildWordDump(events, kPresetValueDumpCommand, slot, preset.W);
}

std::size_t BuildPatternDump(SysexBuffer& events, uint8_t slot, const Pattern_Parameters& pattern) {
    return BuildWordDump(events, kPatternDumpCommand, slot, pattern.W);
}

std::size_t BuildPresetTextDump(SysexBuffer& events, uint8_t slot, const Morvelant_Parameters& p) {
    events.reserve(events.size() + 512);
    PutHeader(events, kPresetTextDumpCommand, slot);
    const std::size_t sizeAt = events.size();
    for (int i = 0; i < 4; ++i) PutSysexByte(events, 0);  // size, filled in below
    PutSysexValue(events, slot);

    // The block's size is a 16-bit count of pairs: an entry that would push it
    // past that is left out rather than corrupting the dump. Event strings of
    // the device's length (60 characters) never come near it.
    auto fits = [&](std::size_t entryPairs) {
        std::size_t used = (events.size() - sizeAt) / 2;  // pairs so far
        return used + entryPairs + 3 /* end entry */ + 1 /* F7, rounded */ <= kMaxPairs;
    };
    auto putString = [&](int index, const std::string& s) {
        const std::size_t n = EntryDataPairs(s);
        if (n && fits(n + 3)) PutTextDumpEntry(events, index, s);
    };

    for (int f = 0; f < kFaderCount; ++f) putString(kTextIndexFaderString + f, p.FaderString[f]);
    for (int f = 0; f < kFaderCount; ++f) putString(kTextIndexKeyOnString + f, p.KeyOnString[f]);
    for (int f = 0; f < kFaderCount; ++f) putString(kTextIndexKeyOffString + f, p.KeyOffString[f]);
    for (int k = 0; k < kSpecialKeyCount; ++k) putString(kTextIndexSpecialKey[k], p.SpecialKeyString[k]);

    for (int f = 0; f < kFaderCount; ++f) {
        const std::string& name = p.SliderName[f];
        if (name.empty() || IsDefaultSliderName(name, f) || !fits(11)) continue;
        PutSysexWord(events, 11);
        PutSysexValue(events, kTextIndexSliderName + f);
        for (int k = 0; k < kNameLength; ++k) {
            int32_t c = k < int(name.size()) ? CharToWord(name[std::size_t(k)]) : 0x20;
            PutSysexValue(events, c);
        }
    }

    PutSysexWord(events, 0);
    PutSysexValue(events, kTextIndexEnd);
    std::size_t end = PutSysexByte(events, 0xF7);

    // S: pairs from the size field up to the F7, the odd F7 dropped.
    int32_t s = int32_t((end - sizeAt) / 2);
    events[sizeAt + 0].data1 = uint8_t(s & 0x7F);
    events[sizeAt + 1].data1 = uint8_t((s & 0x80) >> 7);
    events[sizeAt + 2].data1 = uint8_t((s >> 8) & 0x7F);
    events[sizeAt + 3].data1 = uint8_t(((s >> 8) & 0x80) >> 7);
    return end;
}

int FirstBadValuePair(std::span<const MidiEvent> events) {
    if (events.size() < kValueDumpSize) return -1;
    for (std::size_t i = 0; i < std::size_t(kWordCount); ++i) {
        const MidiEvent* pair = &events[9 + 2 * i];
        if (pair[0].data1 > 0x7F || pair[1].data1 > 1) return int(i);
    }
    return -1;
}

bool DecodePresetDump(std::span<const MidiEvent> events, Morvelant_Parameters& preset) {
    if (events.size() < kValueDumpSize || FirstBadValuePair(events) >= 0) return false;
    DecodeWords(events, preset.W);
    for (auto& name : preset.SliderName) name.clear();
    return true;
}

bool DecodePatternDump(std::span<const MidiEvent> events, Pattern_Parameters& pattern) {
    if (events.size() < kPatternDumpSize || FirstBadValuePair(events) >= 0) return false;
    DecodeWords(events, pattern.W);
    return true;
}

namespace {

// The block walk of a text dump. `store(index, first, end)` is called for
// every entry with the positions of its data pairs; returns true when the walk
// ended at an F7 on a block boundary.
template <typename Store>
bool WalkTextDump(std::span<const MidiEvent> events, Store&& store) {
    const std::size_t size = events.size();
    std::size_t pos = 9;
    for (;;) {
        if (pos >= size) return false;  // ended without F7
        if (events[pos].data1 == 0xF7) return true;  // clean end
        if (pos + 6 > size) return false;  // no room for size and slot pair
        const std::size_t blockPairs = WordAt(events, pos);
        // A block of size 0 would never advance; one that runs past the data
        // cannot be walked to its end.
        if (blockPairs == 0) return false;
        const std::size_t blockEnd = pos + 2 * blockPairs;

        // Entries, each lying wholly inside the data.
        std::size_t q = pos + 6;
        bool endEntry = false;
        while (q + 4 <= size) {
            const std::size_t entryPairs = WordAt(events, q);
            if (entryPairs == 0) {
                endEntry = true;
                break;
            }
            const std::size_t e = q + 2 * entryPairs;
            if (e > size || q + 6 > size) break;
            store(PairAt(events, q + 4), q + 6, e);
            q = e;
        }
        if (!endEntry) return false;
        if (blockEnd > size) return false;
        // The next block must start after this one's end entry: a block that
        // claims to end inside its own entries would have the walk go over
        // the same entries again for every few bytes of data.
        if (blockEnd < q + 4) return false;
        pos = blockEnd;
    }
}

}  // namespace

bool TextDumpIsComplete(std::span<const MidiEvent> events) {
    return WalkTextDump(events, [](uint32_t, std::size_t, std::size_t) {});
}

bool DecodePresetTextDump(std::span<const MidiEvent> events, Morvelant_Parameters& p) {
    for (int f = 0; f < kFaderCount; ++f) {
        p.FaderString[f].clear();
        p.KeyOnString[f].clear();
        p.KeyOffString[f].clear();
        p.SliderName[f].clear();
    }
    for (auto& s : p.SpecialKeyString) s.clear();

    std::vector<uint32_t> values;
    return WalkTextDump(events, [&](uint32_t index, std::size_t first, std::size_t end) {
        values.clear();
        for (std::size_t d = first; d + 1 < end; d += 2) values.push_back(PairAt(events, d));
        StoreEntry(p, index, values);
    });
}

std::vector<uint8_t> DumpBytes(std::span<const MidiEvent> events) {
    std::vector<uint8_t> bytes;
    bytes.reserve(events.size());
    for (const MidiEvent& e : events) bytes.push_back(e.data1);
    return bytes;
}

SysexBuffer DumpFromBytes(std::span<const uint8_t> bytes) {
    SysexBuffer events;
    events.reserve(bytes.size());
    for (uint8_t b : bytes) events.push_back(SysexEvent(b));
    return events;
}

}  // namespace morvelant
