// The composition root's window set: the device context (model,
// notifications, routing tables, engine) and the menu command registry,
// then every window in its fixed creation order, each handed what it uses.
// Each global window pointer is set from the window's creation until its
// destruction; windows are destroyed in reverse order. The program's main()
// and the start-up benchmark share it, so what is measured is what runs.
//
// Adding a window is one function in EditorWindowSet.cpp and one row in its
// creation table, at the window's place in the order.
#pragma once

#include <QObject>

class QMenu;
class QWidget;

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "engine/DeviceContext.h"
#include "platform/CommandRegistry.h"
#include "platform/SaveRescue.h"

namespace morvelant {

class DumpSMF;
class IniFileHold;
class TMidiDeviceForm;
class TMidiKitSMF;
class MidiPortSet;
struct PickerSupport;

// The hidden MIDI input object (its unit declares no global of its own).
extern TMidiDeviceForm* MidiDeviceForm;
// The engine's MIDI ports (toolkit root, inputs, outputs, clock).
extern MidiPortSet* MidiPorts;

class EditorWindowSet {
public:
    EditorWindowSet();
    ~EditorWindowSet();
    EditorWindowSet(const EditorWindowSet&) = delete;
    EditorWindowSet& operator=(const EditorWindowSet&) = delete;

    // Reads the configuration into memory (a file that cannot be read is
    // reported and left alone), creates the device context and every window
    // in order, and reads the working sets (and the file named first among
    // the arguments). The menu window's ProgramEnd is left for the caller to
    // set.
    void Create(const std::string& programDirectory, std::vector<std::string> arguments);
    // Saves the working sets, but only when they were read: a failed start
    // never overwrites the user's files with defaults. One that cannot be
    // written is asked about in DestroyAll, once everything else is written.
    void WriteWorkingSets();
    // Destroys the windows in reverse creation order; each writes its
    // configuration as it goes. Then the configuration is written to disk,
    // once, if it changed, and whatever could not be written (working sets,
    // configuration) is rescued, asking the user. The MIDI system (port
    // set, input object) goes last, between MidiClosing and MidiClosed,
    // then the device context.
    void DestroyAll();
    // Called around the close of the MIDI system (main bounds its time).
    std::function<void()> MidiClosing;
    std::function<void()> MidiClosed;
    // Writes the configuration now, if it changed, else to the first place
    // beside it or in the data folder that takes it, without a question
    // (`error` then says where). False when nothing took it. Callable from
    // another thread while the MIDI system closes.
    bool FlushConfiguration(std::string* error = nullptr);

    // What the windows are handed (valid after Create).
    DeviceContext& Context() { return *context_; }
    CommandRegistry& Commands() { return commands_; }
    // The pickers' dispatch, windows and refreshes (valid after Create).
    PickerSupport& Pickers() { return *pickers_; }
    // The program directory with a trailing '/' (or empty: the current folder).
    const std::string& ProgramPath() const { return programPath_; }
    const std::vector<std::string>& Arguments() const { return arguments_; }

    // The MIDI file component and, over it, the ".MID" route of the file
    // commands; it uses the driver library that the MIDI settings window
    // loaded and the MIDI input object's dump dispatch.
    void CreateMidiFileRoute();

    // Runs `make` once, the first time one of `menus` is about to show: for
    // a window made when it is first needed.
    void WhenFirstShown(const std::vector<QMenu*>& menus, std::function<void()> make);

    // Makes `object` the window behind `global` until it is destroyed.
    // `step`: the name of its place in the creation order, when it is made
    // outside of it (by default the place being made).
    template <typename T>
    T* Add(T*& global, T* object, const char* step = nullptr) {
        global = object;
        Place({std::unique_ptr<QObject>(object), [&global] { global = nullptr; }}, step);
        return object;
    }

    // Makes the windows that StartAsTheProgram left for later (in their
    // order); DestroyAll does first if nobody did. Create makes every window.
    void CreateRest();
    bool RestPending() const;

    // Starts as the program does, so that its first window comes up as soon
    // as it can: the menu window (the main window) is made and shown on its
    // own. Once it has painted its first frame, or at the first input before
    // that, the other windows that the start shows are made in their order
    // (each reading its configuration as with Create), the working sets are
    // read, ShownWindowsMade runs and the device window comes up with the
    // windows open at the last exit; the windows that the start does not
    // show follow the device window's first frame. What each window reads,
    // shows and writes is the same as with Create.
    void StartAsTheProgram(const std::string& programDirectory, std::vector<std::string> arguments);
    std::function<void()> ShownWindowsMade;
    // Set before the start: it cannot be sure that it is the only copy, so
    // the session goes to files beside the working sets, which are read
    // before the file named on the command line.
    bool WorkingSetsBeside = false;
    // An exception while the start makes windows from the message loop
    // (without it, the exception goes on to the loop).
    std::function<void(const char* what)> StartFailed;
    // After a start that failed (a window that could not be made): the end
    // makes no more windows and writes nothing, neither the working sets
    // nor the configuration.
    void AbandonStart();
    bool StartAbandoned() const { return abandoned_; }
    // True while only the menu window is made.
    bool MenuWindowAlone() const { return menuAlone_; }

private:
    struct Entry {
        std::unique_ptr<QObject> object;
        std::function<void()> clearGlobal;
        size_t step = 0;  // its place in the creation order
    };
    void Place(Entry entry, const char* step);
    void Prepare(const std::string& programDirectory, std::vector<std::string> arguments);
    void MakeShownWindows();
    void FinishStart();
    void WatchFirstFrame(QWidget* window);
    void ChooseLaterWindows();
    void CreateStep(size_t step);
    std::unique_ptr<IniFileHold> config_;  // "Morvelant.cfg", in memory for the run
    PendingRescues rescues_;  // saves of the end that failed, asked about once all are tried
    std::unique_ptr<DeviceContext> context_;
    std::unique_ptr<PickerSupport> pickers_;
    CommandRegistry commands_;
    std::string programPath_;
    std::vector<std::string> arguments_;
    std::vector<Entry> entries_;
    std::unique_ptr<TMidiKitSMF> midiKitSMF_;
    std::unique_ptr<DumpSMF> dumpSMF_;
    bool workingSetsRead_ = false;
    Subscription showPatternEditors_;
    std::vector<QMetaObject::Connection> waiting_;  // menus whose first opening makes a window
    std::vector<bool> later_;  // per creation step: left for after the first frame
    std::vector<bool> made_;  // per creation step
    size_t creating_ = 0;
    bool makingRest_ = false;
    bool menuAlone_ = false;
    bool deferHidden_ = false;
    bool abandoned_ = false;  // StartAsTheProgram: hidden windows come after the first frame
    std::unique_ptr<QObject> firstInput_, firstFrame_;
};

}  // namespace morvelant
