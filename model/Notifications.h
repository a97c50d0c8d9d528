// Changes that several windows show, each as one topic with any number of
// listeners. The engine and the windows publish; a window subscribes when it
// is created and keeps the Subscription for its lifetime, so it is removed
// again when it goes. The publisher never knows who listens: a window that
// does not exist simply does not hear anything.
//
// Listeners run on the GUI thread, in the order they subscribed. A listener
// may subscribe or unsubscribe others (or itself) while a topic is being
// published: a listener removed meanwhile is not called any more, one added
// meanwhile is first called on the next publication.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "driver/MidiKit32.h"

namespace morvelant {

// Ends a subscription when destroyed (or reset). Movable, not copyable.
class Subscription {
public:
    Subscription() = default;
    explicit Subscription(std::function<void()> cancel) : cancel_(std::move(cancel)) {}
    Subscription(Subscription&& other) noexcept : cancel_(std::exchange(other.cancel_, nullptr)) {}
    Subscription& operator=(Subscription&& other) noexcept {
        if (this != &other) {
            Reset();
            cancel_ = std::exchange(other.cancel_, nullptr);
        }
        return *this;
    }
    Subscription(const Subscription&) = delete;
    Subscription& operator=(const Subscription&) = delete;
    ~Subscription() { Reset(); }

    void Reset() {
        if (auto cancel = std::exchange(cancel_, nullptr)) cancel();
    }
    bool Active() const { return static_cast<bool>(cancel_); }

private:
    std::function<void()> cancel_;
};

// One topic: Publish(args...) calls every subscribed handler with args.
template <typename... Args>
class Topic {
public:
    using Handler = std::function<void(Args...)>;

    Topic() = default;
    Topic(const Topic&) = delete;
    Topic& operator=(const Topic&) = delete;

    [[nodiscard]] Subscription Subscribe(Handler handler) {
        auto entry = std::make_shared<Entry>(Entry{std::move(handler), true});
        state_->entries.push_back(entry);
        std::weak_ptr<State> state = state_;
        return Subscription([state, entry] {
            entry->alive = false;
            auto s = state.lock();
            if (!s) return;
            // While the topic publishes, the entry stays (marked dead) until
            // the publication is over: its handler may be the one running.
            if (s->publishing > 0)
                s->dirty = true;
            else
                std::erase(s->entries, entry);
        });
    }

    void Publish(Args... args) const {
        // No copy of the list (a fader move publishes several topics per
        // event): handlers added meanwhile are appended and first called on
        // the next publication, removed ones are skipped and erased after.
        const std::shared_ptr<State> state = state_;
        const std::size_t count = state->entries.size();
        ++state->publishing;
        for (std::size_t i = 0; i < count && i < state->entries.size(); ++i) {
            Entry* entry = state->entries[i].get();
            if (entry->alive) entry->handler(args...);
        }
        if (--state->publishing == 0 && state->dirty) {
            std::erase_if(state->entries, [](const std::shared_ptr<Entry>& e) { return !e->alive; });
            state->dirty = false;
        }
    }

    std::size_t ListenerCount() const {
        std::size_t n = 0;
        for (const auto& entry : state_->entries) n += entry->alive ? 1 : 0;
        return n;
    }

private:
    struct Entry {
        Handler handler;
        bool alive;
    };
    struct State {
        std::vector<std::shared_ptr<Entry>> entries;
        int publishing = 0;  // nested publications under way
        bool dirty = false;  // dead entries wait for the end of one
    };
    // Shared so that a Subscription outliving the topic cancels harmlessly.
    std::shared_ptr<State> state_ = std::make_shared<State>();
};

// Every topic of the editor. One instance is created by the composition root
// and handed to the model, the engine and each window that publishes or
// listens.
struct Notifications {
    // ---- The current preset, fader and pattern ------------------------------
    // The current preset (DeviceModel::SelectedPreset) was selected, reloaded
    // or replaced: every view of it shows it anew. The live faders and keys
    // have already been reset and, where asked, its "Preset" key string sent.
    Topic<> CurrentPresetChanged;
    // The selected fader (DeviceModel::SelectedFader, already set) changed
    // from `previous`, or was chosen anew (`previous` == `fader`): select
    // lamps and descriptions follow it.
    Topic<int /*previous*/, int /*fader*/> CurrentFaderChanged;
    // The current pattern (DeviceModel::SelectedPattern) changed or its
    // content did: every pattern view shows it anew.
    Topic<> CurrentPatternChanged;
    // The track the pattern editors work on (DeviceModel::SelectedTrack) changed.
    Topic<int /*track*/> SelectedTrackChanged;
    // Single steps of the current pattern were edited (lamp, drag, picker):
    // the piano roll redraws; the playback keeps its render.
    Topic<> PatternStepsEdited;
    // Settings of track 1..8 (0: all eight) of the current pattern changed in
    // place: their views show them anew and the playback renders again.
    Topic<int /*track*/> TrackSettingsChanged;
    // The mute bit of track 1..8 (0: all eight) of the current pattern changed.
    Topic<int /*track*/> TrackMuteChanged;

    // ---- Data ---------------------------------------------------------------
    // Preset / pattern `slot` changed (a dump came in, a file was loaded, a
    // paste or an init wrote it); -1: any number of slots.
    Topic<int /*slot*/> PresetDataChanged;
    Topic<int /*slot*/> PatternDataChanged;
    // The notes of preset / pattern `slot` were replaced (MIDI file import).
    Topic<int /*slot*/> PresetNotesLoaded;
    Topic<int /*slot*/> PatternNotesLoaded;

    // ---- MIDI ---------------------------------------------------------------
    Topic<> MidiInActivity;
    Topic<> MidiOutActivity;
    // One row of the MIDI monitor: an event put to (incoming false) or
    // received from (incoming true) port 0..49; one put is passed thru from
    // input port `source`, or is the program's own (-1).
    Topic<int /*port*/, const MidiEvent&, bool /*incoming*/, int /*source*/> MonitorLine;
    // A row of the MIDI monitor that says what became of a received message
    // which the editor recognised but did not take (a damaged knob preset).
    Topic<const std::string& /*status*/, const std::string& /*detail*/> MonitorNote;

    // ---- Lamps and live controls ----------------------------------------------
    // The lamp of key `key` (0..23) was switched on or off.
    Topic<int /*key*/, bool /*on*/> KeyLamp;
    // On-screen fader `fader` takes position 0..127 (0 at the top); published
    // with the model's updating guard set.
    Topic<int /*fader*/, int /*position*/> FaderPosition;
    // The selected fader's live value changed (fader parameter window).
    Topic<int /*position*/> ParameterFaderPosition;
    Topic<int /*value*/> ParameterFaderValue;

    // ---- Learn and import ----------------------------------------------------------
    // Learn ended by itself: the learn indicator stops blinking.
    Topic<> LearnEnded;
    // A whole knob preset of the sibling controller (one byte per event, F0
    // to F7) to be converted into preset `slot`. The listener converts it and
    // then makes the slot current and shows it; nothing happens while nobody
    // listens. The bytes are lent for the call only.
    Topic<int /*slot*/, std::span<const MidiEvent> /*dump*/> ImportVellixaPreset;

    // ---- Requests to show windows ---------------------------------------------
    // A received preset dump: the preset list window comes forward.
    Topic<> ShowPresetList;
    // A received pattern dump: the pattern editors come forward.
    Topic<> ShowPatternEditors;
};

}  // namespace morvelant
