/* A scripted stand-in for the driver library, built in several variants
 * (each with -DOMIT_<EntryPoint> leaving one entry point out) to drive the
 * toolkit's loading and failure paths. Besides the 35 entry points it exports
 * Stub* functions through which a test scripts results and reads what the
 * toolkit asked of it. Single-threaded use from the test, except the notify
 * targets, which a test may call from any thread. */
#include <string.h>

#include "driver/MidiKit32.h"

#define STUB_API __attribute__((visibility("default")))
#define STUB_QUEUE 64
#define STUB_LOG 4096

static uint16_t stubVersion = 0x0240;
static uint32_t stubOpenResult = 0x100;
static uint16_t stubPutResult = 0;
static MidiKitNotifyTarget* stubInTarget = 0;
static MidiKitNotifyTarget* stubOutTarget = 0;
static MidiKitNotifyTarget* stubSyncTarget = 0;
static uint32_t stubLastSync = 0;
static MidiEvent stubInQueue[STUB_QUEUE];
static int stubInHead = 0, stubInCount = 0;
static MidiEvent stubCurrent;
static MidiEvent stubOut[STUB_QUEUE];
static int stubOutCount = 0;
static char stubLog[STUB_LOG];
static uint32_t stubTempo = 500000, stubResolution = 96;

static void Log(const char* call) {
    size_t used = strlen(stubLog);
    size_t n = strlen(call);
    if (used + n + 2 < STUB_LOG) {
        memcpy(stubLog + used, call, n);
        stubLog[used + n] = ' ';
        stubLog[used + n + 1] = '\0';
    }
}

static void Name(const char* prefix, uint32_t port, char* buffer32) {
    /* "Stub In 0" ... written as the library would: NUL-terminated, <= 32 */
    size_t n = strlen(prefix);
    memcpy(buffer32, prefix, n);
    buffer32[n] = (char)('0' + (port % 10));
    buffer32[n + 1] = '\0';
}

/* ---- scripting ---- */
STUB_API void StubReset(void) {
    stubVersion = 0x0240;
    stubOpenResult = 0x100;
    stubPutResult = 0;
    stubInTarget = stubOutTarget = stubSyncTarget = 0;
    stubLastSync = 0;
    stubInHead = stubInCount = 0;
    stubOutCount = 0;
    stubLog[0] = '\0';
    stubTempo = 500000;
    stubResolution = 96;
}
STUB_API void StubSetVersion(uint16_t v) { stubVersion = v; }
STUB_API void StubSetOpenResult(uint32_t r) { stubOpenResult = r; }
STUB_API void StubSetPutResult(uint16_t r) { stubPutResult = r; }
STUB_API MidiKitNotifyTarget* StubInTarget(void) { return stubInTarget; }
STUB_API MidiKitNotifyTarget* StubOutTarget(void) { return stubOutTarget; }
STUB_API MidiKitNotifyTarget* StubSyncTarget(void) { return stubSyncTarget; }
STUB_API uint32_t StubLastSync(void) { return stubLastSync; }
STUB_API void StubPushIn(uint32_t time, uint8_t status, uint8_t d1, uint8_t d2) {
    if (stubInCount < STUB_QUEUE) {
        MidiEvent* e = &stubInQueue[(stubInHead + stubInCount) % STUB_QUEUE];
        e->time = time;
        e->status = status;
        e->data1 = d1;
        e->data2 = d2;
        e->data3 = 0;
        ++stubInCount;
    }
}
STUB_API int StubOutCount(void) { return stubOutCount; }
STUB_API const MidiEvent* StubOutEvents(void) { return stubOut; }
STUB_API const char* StubLog(void) { return stubLog; }

/* ---- the library's entry points ---- */
#ifndef OMIT_GetMidiKitVersion
MIDIKIT_API uint16_t GetMidiKitVersion(void) { return stubVersion; }
#endif
#ifndef OMIT_GetNumInDevices
MIDIKIT_API uint32_t GetNumInDevices(void) { return 2; }
#endif
#ifndef OMIT_GetNumOutDevices
MIDIKIT_API uint32_t GetNumOutDevices(void) { return 3; }
#endif
#ifndef OMIT_GetMidiInDescription
MIDIKIT_API void GetMidiInDescription(uint32_t port, char* b) { Name("Stub In ", port, b); }
#endif
#ifndef OMIT_GetMidiOutDescription
MIDIKIT_API void GetMidiOutDescription(uint32_t port, char* b) { Name("Stub Out ", port, b); }
#endif
#ifndef OMIT_OpenMidiIn
MIDIKIT_API uint32_t OpenMidiIn(MidiKitNotifyTarget* n, uint32_t port, uint32_t sync, uint32_t arg) {
    Log("OpenMidiIn");
    stubInTarget = n;
    stubLastSync = sync;
    return stubOpenResult;
}
#endif
#ifndef OMIT_StartMidiIn
MIDIKIT_API void StartMidiIn(uint32_t h) { Log("StartMidiIn"); }
#endif
#ifndef OMIT_StopMidiIn
MIDIKIT_API void StopMidiIn(uint32_t h) { Log("StopMidiIn"); }
#endif
#ifndef OMIT_CloseMidiIn
MIDIKIT_API void CloseMidiIn(uint32_t h) { Log("CloseMidiIn"); }
#endif
#ifndef OMIT_GetMidiIn
MIDIKIT_API LPMIDIEVENT GetMidiIn(uint32_t h) {
    if (stubInCount == 0) return 0;
    stubCurrent = stubInQueue[stubInHead];
    stubInHead = (stubInHead + 1) % STUB_QUEUE;
    --stubInCount;
    return &stubCurrent;
}
#endif
#ifndef OMIT_OpenMidiOut
MIDIKIT_API uint32_t OpenMidiOut(MidiKitNotifyTarget* n, uint32_t port, uint32_t sync, uint32_t arg) {
    Log("OpenMidiOut");
    stubOutTarget = n;
    stubLastSync = sync;
    return stubOpenResult;
}
#endif
#ifndef OMIT_PutMidiOut
MIDIKIT_API uint16_t PutMidiOut(uint32_t h, LPMIDIEVENT e) {
    if (stubPutResult != 0) return stubPutResult;
    if (stubOutCount < STUB_QUEUE) stubOut[stubOutCount++] = *e;
    return 0;
}
#endif
#ifndef OMIT_FlushMidiOut
MIDIKIT_API void FlushMidiOut(uint32_t h) { Log("FlushMidiOut"); }
#endif
#ifndef OMIT_ResetMidiOut
MIDIKIT_API void ResetMidiOut(uint32_t h) { Log("ResetMidiOut"); }
#endif
#ifndef OMIT_CloseMidiOut
MIDIKIT_API void CloseMidiOut(uint32_t h) { Log("CloseMidiOut"); }
#endif
#ifndef OMIT_OpenSync
MIDIKIT_API uint32_t OpenSync(uint32_t h, MidiKitNotifyTarget* n, uint32_t mode, uint32_t period) {
    Log("OpenSync");
    stubSyncTarget = n;
    return stubOpenResult;
}
#endif
#ifndef OMIT_StartSync
MIDIKIT_API void StartSync(uint32_t h) { Log("StartSync"); }
#endif
#ifndef OMIT_ReStartSync
MIDIKIT_API void ReStartSync(uint32_t h) { Log("ReStartSync"); }
#endif
#ifndef OMIT_StopSync
MIDIKIT_API void StopSync(uint32_t h) { Log("StopSync"); }
#endif
#ifndef OMIT_CloseSync
MIDIKIT_API void CloseSync(uint32_t h) { Log("CloseSync"); }
#endif
#ifndef OMIT_PauseSync
MIDIKIT_API void PauseSync(uint32_t h, uint32_t p) { Log(p ? "PauseSync1" : "PauseSync0"); }
#endif
#ifndef OMIT_SetTempo
MIDIKIT_API uint16_t SetTempo(uint32_t h, uint32_t t) {
    stubTempo = t;
    return 0;
}
#endif
#ifndef OMIT_GetTempo
MIDIKIT_API uint32_t GetTempo(uint32_t h) { return stubTempo; }
#endif
#ifndef OMIT_SetResolution
MIDIKIT_API void SetResolution(uint32_t h, uint32_t r) { stubResolution = r; }
#endif
#ifndef OMIT_GetResolution
MIDIKIT_API uint32_t GetResolution(uint32_t h) { return stubResolution; }
#endif
#ifndef OMIT_GetPosition
MIDIKIT_API uint32_t GetPosition(uint32_t h, uint32_t* p) { return 0; }
#endif
#ifndef OMIT_OpenSMF
MIDIKIT_API uint32_t OpenSMF(const char* f, uint32_t* fmt, char mode, uint32_t* n) { return 0; }
#endif
#ifndef OMIT_CloseSMF
MIDIKIT_API void CloseSMF(uint32_t h) {}
#endif
#ifndef OMIT_RewindSMF
MIDIKIT_API void RewindSMF(uint32_t h) {}
#endif
#ifndef OMIT_ReadSMF
MIDIKIT_API uint32_t ReadSMF(uint32_t h, uint32_t t, LPMIDIEVENT e, uint32_t m) { return 0; }
#endif
#ifndef OMIT_WriteSMF
MIDIKIT_API uint32_t WriteSMF(uint32_t h, uint32_t t, LPMIDIEVENT e, uint32_t c) { return 0; }
#endif
#ifndef OMIT_GetSMFResolution
MIDIKIT_API uint32_t GetSMFResolution(uint32_t h) { return 96; }
#endif
#ifndef OMIT_SetSMFResolution
MIDIKIT_API void SetSMFResolution(uint32_t h, uint32_t r) {}
#endif
#ifndef OMIT_ReadMetaEvent
MIDIKIT_API int32_t ReadMetaEvent(uint32_t h, uint32_t t, uint8_t type, char** d, uint32_t* l) { return -1; }
#endif
#ifndef OMIT_WriteMetaEvent
MIDIKIT_API int32_t WriteMetaEvent(uint32_t h, uint32_t t, uint8_t type, const char* s, uint32_t l) { return 0; }
#endif
