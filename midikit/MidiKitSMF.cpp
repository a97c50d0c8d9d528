#include "midikit/MidiKitSMF.h"

#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

#include "midikit/MidiKitDLL.h"
#include "midikit/MidiKitScore.h"
#include "midikit/MidiKitSync.h"
#include "midikit/MidiKitTrack.h"

namespace morvelant {

namespace {

// The library's checked close, when it has one: it tells whether a file open
// for writing reached the disk. Found in the library already loaded by the
// root component; older libraries without it get the plain close.
using TCloseSMFChecked = int32_t (*)(uint32_t);

TCloseSMFChecked FindCheckedClose(const TMidiKit* kit) {
    if (!kit || kit->LibraryPath().empty()) return nullptr;
    void* lib = ::dlopen(kit->LibraryPath().c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (!lib) return nullptr;
    auto fn = reinterpret_cast<TCloseSMFChecked>(::dlsym(lib, "CloseSMFChecked"));
    ::dlclose(lib);  // drops only the reference taken here
    return fn;
}

}  // namespace

TMidiKitSMF::TMidiKitSMF(QObject* Owner) : QObject(Owner) {}

TMidiKitSMF::~TMidiKitSMF() {
    if (open) {
        try {
            Close();
        } catch (...) {
            // A destructor cannot report; the file is closed all the same.
        }
    }
}

void TMidiKitSMF::Attach(TMidiKitScore* s) { score = s; }

bool TMidiKitSMF::Detach(TMidiKitScore* s) {
    if (score != s) return false;
    score = nullptr;
    return true;
}

bool TMidiKitSMF::Open(const std::string& fileName, char mode, int format) {
    if (!MidiKit) throw EMidiKitException("No MidiKit");
    if (open) Close();
    this->mode = mode;
    this->format = static_cast<uint32_t>(format);
    numTracks = 0;
    handle = MidiKit->pOpenSMF(fileName.c_str(), &this->format, mode, &numTracks);
    open = handle != 0;
    return open;
}

void TMidiKitSMF::Close() {
    if (!open) throw EMidiKitException("SMF not open");
    const uint32_t h = handle;
    const char m = mode;
    handle = 0;
    score = nullptr;
    numTracks = 0;
    open = false;
    bool written = true;
    int why = 0;
    if (TCloseSMFChecked checked = FindCheckedClose(MidiKit)) {
        written = checked(h) == 0;
        why = errno;
    } else if (MidiKit) {
        MidiKit->pCloseSMF(h);
    }
    // A file open for writing is complete only now: a failure to put it on
    // disk must not pass for success, and says why (a full disk) when the
    // library tells.
    if (m == 'w' && !written)
        throw EMidiKitException(why > 0 ? "SMF write failed: " + std::string(std::strerror(why)) : "SMF write failed");
}

bool TMidiKitSMF::Read(TMidiKitTrack* t) {
    if (!open) throw EMidiKitException("SMF not open");
    if (mode != 'r' || !score) throw EMidiKitException("SMF cant read");
    const int track = score->Find(t);
    if (track < 0) throw EMidiKitException("SMF bad track");

    // The block is filled in place, chunk by chunk; before each call it is
    // grown so that a whole chunk fits behind the events already read.
    std::vector<MidiEvent>& buffer = t->Buffer();
    size_t n = 0;
    for (;;) {
        if (buffer.size() - n < ReadChunk) {
            const size_t grown = std::max(buffer.size() + n, n + ReadChunk);
            if (grown > 0xFFFFFFFFu) break;
            buffer.resize(grown, MidiEvent{});
        }
        const uint32_t got = MidiKit->pReadSMF(handle, static_cast<uint32_t>(track), buffer.data() + n, ReadChunk);
        if (got == 0) break;
        n += std::min<uint32_t>(got, ReadChunk);
    }
    t->SetBufferSize(static_cast<uint32_t>(buffer.size()));
    t->SetNumEvents(static_cast<uint32_t>(n));
    t->GetTrackName();
    return n > 0;
}

bool TMidiKitSMF::Write(TMidiKitTrack* t) {
    if (mode != 'w' || !score) throw EMidiKitException("SMF cant write");
    const int track = score->Find(t);
    if (track < 0) throw EMidiKitException("SMF bad track");
    const std::string name = t->GetTrackName();
    if (!name.empty()) WriteMeta(t, 3, name.c_str(), 0);
    const uint32_t count = t->GetNumEvents();
    MidiEvent* first = t->GetBuffer();
    const uint32_t written = MidiKit ? MidiKit->pWriteSMF(handle, static_cast<uint32_t>(track), first, count) : 0;
    return written == count;
}

bool TMidiKitSMF::Save(TMidiKitSync* sync) {
    if (mode != 'w' || !score) throw EMidiKitException("SMF cant write");
    if (sync) Resolution(sync->Resolution());
    for (int i = 0; i < score->getCount(); ++i)
        if (!Write(score->Get(i))) throw EMidiKitException("SMF write failed");
    return true;
}

bool TMidiKitSMF::Load(TMidiKitSync* sync) {
    if (mode != 'r' || !score) throw EMidiKitException("SMF cant read");
    if (MidiKit) MidiKit->pRewindSMF(handle);
    for (int i = 0; i < score->getCount(); ++i) {
        TMidiKitTrack* t = score->Get(i);
        t->Flush();
        Read(t);
    }
    if (sync) sync->Resolution(Resolution());
    return true;
}

uint16_t TMidiKitSMF::Resolution() { return MidiKit ? static_cast<uint16_t>(MidiKit->pGetSMFResolution(handle)) : 0; }

void TMidiKitSMF::Resolution(uint16_t ticksPerQuarter) {
    if (MidiKit) MidiKit->pSetSMFResolution(handle, ticksPerQuarter);
}

int32_t TMidiKitSMF::ReadMeta(TMidiKitTrack* t, uint8_t type, std::string* data, uint32_t* length) {
    if (mode != 'r' || !score) throw EMidiKitException("SMF cant read");
    int32_t result = -1;
    if (!MidiKit) return result;
    for (int i = 0; i < score->getCount(); ++i) {
        if (score->Get(i) != t) continue;
        char* text = nullptr;
        uint32_t len = 0;
        result = MidiKit->pReadMetaEvent(handle, static_cast<uint32_t>(i), type, &text, &len);
        if (result != -1) {
            if (data) data->assign(text ? text : "", text ? len : 0);
            if (length) *length = text ? len : 0;
        }
    }
    return result;
}

bool TMidiKitSMF::WriteMeta(TMidiKitTrack* t, uint8_t type, const char* data, uint32_t length) {
    if (mode != 'w' || !score) throw EMidiKitException("SMF cant write");
    int32_t result = -1;
    if (!MidiKit) return false;
    for (int i = 0; i < score->getCount(); ++i)
        if (score->Get(i) == t) result = MidiKit->pWriteMetaEvent(handle, static_cast<uint32_t>(i), type, data, length);
    return result == 0;
}

}  // namespace morvelant
