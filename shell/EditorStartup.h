// The editor's windows as one set: created in their fixed order, each global
// pointing at its window from creation until destruction, destroyed in
// reverse order. The program's main() and the start-up benchmark share it,
// so what is measured is what runs.
#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace morvelant {

class DumpSMF;
class TMidiDeviceForm;
class TMidiKitSMF;
struct OtherWindowHooks;

// The hidden MIDI input object (its unit declares no global of its own).
extern TMidiDeviceForm* MidiDeviceForm;

class EditorWindowSet {
public:
    EditorWindowSet();
    ~EditorWindowSet();
    EditorWindowSet(const EditorWindowSet&) = delete;
    EditorWindowSet& operator=(const EditorWindowSet&) = delete;

    // Creates every window in order, wires them together and reads the
    // working sets (and the file named first among the arguments). The menu
    // window's ProgramEnd is left for the caller to set.
    void Create(const std::string& programDirectory, std::vector<std::string> arguments);
    // Saves the working sets, but only when they were read: a failed start
    // never overwrites the user's files with defaults.
    void WriteWorkingSets();
    // Destroys the windows in reverse creation order; each writes its
    // configuration as it goes.
    void DestroyAll();

private:
    template <typename T>
    void Add(T*& global, T* object) {
        global = object;
        entries_.push_back({std::unique_ptr<QObject>(object), [&global] { global = nullptr; }});
    }
    struct Entry {
        std::unique_ptr<QObject> object;
        std::function<void()> clearGlobal;
    };
    std::vector<Entry> entries_;
    std::unique_ptr<OtherWindowHooks> otherHooks_;
    // The MIDI file component and the ".MID" route of the file commands.
    std::unique_ptr<TMidiKitSMF> midiKitSMF_;
    std::unique_ptr<DumpSMF> dumpSMF_;
    bool workingSetsRead_ = false;
};

}  // namespace morvelant
