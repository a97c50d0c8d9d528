// Menu commands as data: each menu item is known by its name (the item's
// component name, "LoadPreset1"), and the window that carries out the command
// registers a handler for that name when it is created. The menu window only
// looks names up, so a window built later adds its commands without touching
// the menu window's code. An item nobody registered does nothing.
//
// Besides the handler, a window may set an item's enabled and checked state;
// the menu window listens and mirrors it on the item.
//
// A fallback is what an item does while no window has registered a handler
// for it (the model's own operation where there is one); a registered
// handler takes precedence whatever the order of registration.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace morvelant {

class CommandRegistry {
public:
    using Handler = std::function<void()>;
    // Called with the item's name after its enabled or checked state changed.
    using StateListener = std::function<void(const std::string& item)>;

    // A second registration of one name replaces the first.
    void Register(const std::string& item, Handler handler) { handlers_[item] = std::move(handler); }
    void Unregister(const std::string& item) { handlers_.erase(item); }
    bool Has(const std::string& item) const { return handlers_.count(item) != 0; }
    void RegisterFallback(const std::string& item, Handler handler) { fallbacks_[item] = std::move(handler); }
    void UnregisterFallback(const std::string& item) { fallbacks_.erase(item); }
    // Runs the item's handler, else its fallback; false when it has neither.
    bool Execute(const std::string& item) const {
        auto it = handlers_.find(item);
        if (it == handlers_.end() || !it->second) {
            it = fallbacks_.find(item);
            if (it == fallbacks_.end() || !it->second) return false;
        }
        // A copy: the handler may re-register its own name.
        Handler handler = it->second;
        handler();
        return true;
    }

    void SetEnabled(const std::string& item, bool enabled) { SetState(enabled_, item, enabled); }
    void SetChecked(const std::string& item, bool checked) { SetState(checked_, item, checked); }
    // An item whose state was never set is enabled and unchecked.
    bool Enabled(const std::string& item) const { return Get(enabled_, item, true); }
    bool Checked(const std::string& item) const { return Get(checked_, item, false); }
    bool HasEnabledState(const std::string& item) const { return enabled_.count(item) != 0; }
    bool HasCheckedState(const std::string& item) const { return checked_.count(item) != 0; }

    void SetStateListener(StateListener listener) { stateListener_ = std::move(listener); }

private:
    // The listener hears every setting, a repeated value too: the item itself
    // may have changed meanwhile (a click ticks it) and is set right again.
    void SetState(std::map<std::string, bool>& states, const std::string& item, bool value) {
        states[item] = value;
        if (stateListener_) stateListener_(item);
    }
    static bool Get(const std::map<std::string, bool>& states, const std::string& item, bool fallback) {
        auto it = states.find(item);
        return it == states.end() ? fallback : it->second;
    }

    std::map<std::string, Handler> handlers_;
    std::map<std::string, Handler> fallbacks_;
    std::map<std::string, bool> enabled_;
    std::map<std::string, bool> checked_;
    StateListener stateListener_;
};

}  // namespace morvelant
