// Standard MIDI File component: opens one file for reading ('r') or writing
// ('w') through the driver library, and moves the events of an attached
// score's tracks between the tracks and the file. Score track i is file
// track i. Misuse throws EMidiKitException; a file the driver cannot open is
// reported by Open returning false.
#ifndef MIDIKITSMF_H
#define MIDIKITSMF_H

#include <QObject>

#include <cstdint>
#include <string>

#include "driver/MidiKit32.h"

namespace morvelant {

class TMidiKit;
class TMidiKitScore;
class TMidiKitSync;
class TMidiKitTrack;

class TMidiKitSMF : public QObject {
public:
    // Events asked of the driver per read call.
    static constexpr uint32_t ReadChunk = 0x2000;

    explicit TMidiKitSMF(QObject* Owner = nullptr);
    ~TMidiKitSMF() override;

    // The loaded driver library; must be set before Open.
    TMidiKit* MidiKit = nullptr;

    bool IsOpen() const { return open; }
    uint32_t NumTracks() const { return numTracks; }
    char GetMode() const { return mode; }
    uint32_t Format() const { return format; }

    void Attach(TMidiKitScore* s);
    bool Detach(TMidiKitScore* s);

    // Closes an open file first. False when the driver refused the file.
    bool Open(const std::string& fileName, char mode, int format);
    void Close();

    virtual bool Read(TMidiKitTrack* t);
    virtual bool Write(TMidiKitTrack* t);
    bool Load(TMidiKitSync* sync);
    bool Save(TMidiKitSync* sync);

    uint16_t Resolution();
    void Resolution(uint16_t ticksPerQuarter);

    // Copies the track's meta event of the given type into *data and its
    // length into *length; -1 (and both untouched) when there is none.
    int32_t ReadMeta(TMidiKitTrack* t, uint8_t type, std::string* data, uint32_t* length);
    // length 0 means a NUL-terminated text.
    bool WriteMeta(TMidiKitTrack* t, uint8_t type, const char* data, uint32_t length);

private:
    uint32_t handle = 0;
    bool open = false;
    char mode = 0;
    uint32_t format = 0;
    uint32_t numTracks = 0;
    TMidiKitScore* score = nullptr;
};

}  // namespace morvelant

#endif
