// The library's state: the backend, the fixed port lists and the handle table.
#include "driver/DriverInternal.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <set>

#include "platform/AsciiCase.h"

namespace morvelant::driver {

// ---------------------------------------------------------------- names

namespace {

// The editor keeps every text as Windows-1252 bytes; the backends name their
// ports in UTF-8. Characters the code page lacks become '?'; bytes that are
// no UTF-8 are taken as they are.
std::string toWindows1252(const std::string& utf8) {
    static const char16_t kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                       0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                       0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                       0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};
    std::string out;
    size_t i = 0;
    while (i < utf8.size()) {
        const uint8_t b = uint8_t(utf8[i]);
        const size_t len = b < 0xC2 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : b < 0xF5 ? 4 : 1;
        if (len == 1 || i + len > utf8.size()) {
            out += char(b);
            ++i;
            continue;
        }
        uint32_t cp = b & (0x7F >> len);
        bool valid = true;
        for (size_t k = 1; k < len; ++k) {
            const uint8_t c = uint8_t(utf8[i + k]);
            valid = valid && (c & 0xC0) == 0x80;
            cp = (cp << 6) | (c & 0x3F);
        }
        if (!valid) {
            out += char(b);
            ++i;
            continue;
        }
        i += len;
        if (cp >= 0xA0 && cp <= 0xFF) {
            out += char(cp);
            continue;
        }
        char mapped = '?';
        for (int k = 0; k < 32; ++k)
            if (kHigh[k] != 0 && kHigh[k] == cp) mapped = char(0x80 + k);
        out += mapped;
    }
    return out;
}

// Without the blanks around it: the configuration file does not keep them.
std::string trimmed(const std::string& s) {
    size_t b = 0, e = s.size();
    while (b < e && s[b] == ' ') ++b;
    while (e > b && s[e - 1] == ' ') --e;
    return s.substr(b, e - b);
}

// The ALSA sequencer's names end in " client:port" numbers, which change
// with the order in which devices appear; they are dropped so that the
// stored configuration keeps finding the port. "Client:Client Port" becomes
// "Client Port".
std::string tidy(std::string s) {
    size_t sp = s.rfind(' ');
    if (sp != std::string::npos && sp + 1 < s.size()) {
        std::string tail = s.substr(sp + 1);
        size_t colon = tail.find(':');
        bool numeric = colon != std::string::npos && colon > 0 && colon + 1 < tail.size();
        for (size_t i = 0; numeric && i < tail.size(); ++i)
            if (i != colon && !std::isdigit(uint8_t(tail[i]))) numeric = false;
        if (numeric) s.erase(sp);
    }
    size_t colon = s.find(':');
    if (colon != std::string::npos && colon > 0) {
        std::string client = s.substr(0, colon);
        std::string port = s.substr(colon + 1);
        if (port.rfind(client, 0) == 0) s = port;
    }
    for (char& c : s) {
        if (c == '=')
            c = '-';
        else if (uint8_t(c) < 0x20)
            c = ' ';
    }
    s = trimmed(s);
    // The editor keeps port names as keys of its configuration file, where a
    // line starting with these is a section or a comment.
    if (!s.empty() && s[0] == '[')
        s[0] = '(';
    else if (!s.empty() && s[0] == ';')
        s[0] = '_';
    return s;
}

// Names that the configuration file, which ignores the case of its keys,
// would take for one.
std::string folded(const std::string& s) {
    std::string lower;
    for (char c : s) lower += AsciiLower(c);
    return lower;
}

bool isReserved(const std::string& s) { return folded(s) == "no device"; }

}  // namespace

namespace {

// The listed name of a raw port name, unique among the names taken.
std::string listedName(const std::string& r, std::set<std::string>& taken, size_t maxBytes = kMaxNameBytes) {
    std::string base = trimmed(toWindows1252(tidy(r)).substr(0, maxBytes));
    if (base.empty()) base = "MIDI port";
    std::string name = base;
    for (int k = 2; isReserved(name) || taken.count(folded(name)); ++k) {
        std::string suffix = " #" + std::to_string(k);
        name = trimmed(base.substr(0, maxBytes - suffix.size())) + suffix;
    }
    taken.insert(folded(name));
    return name;
}

}  // namespace

std::vector<PortEntry> makePortList(const std::vector<std::string>& raw) {
    std::vector<PortEntry> list;
    mergePortList(list, raw);
    return list;
}

std::string listedAlias(const std::string& raw) {
    std::set<std::string> none;
    return listedName(raw, none, kMaxFullNameBytes);
}

namespace {

// Which port holds a place in a list: a new number for every port that
// takes a place, kept when the port is renamed.
uint32_t nextSerial() {
    static std::atomic<uint32_t> serial{0};
    return ++serial;
}

}  // namespace

bool mergePortList(std::vector<PortEntry>& list, const std::vector<std::string>& raw,
                   const std::vector<std::string>& opened, size_t* leftOut) {
    std::set<std::string> taken, takenFull;
    for (const PortEntry& e : list) {
        taken.insert(folded(e.display));
        takenFull.insert(folded(e.full));
    }
    std::vector<bool> seen(list.size(), false);
    std::vector<std::string> fresh;
    for (const std::string& r : raw) {
        // Ports of this library (here or in another process) are not offered.
        if (r.empty() || r.rfind(kOwnClientPrefix, 0) == 0) continue;
        // The k-th port of a raw name is the k-th entry of that name: a
        // system may offer two ports of one name.
        size_t i = 0;
        while (i < list.size() && (seen[i] || list[i].raw != r)) ++i;
        if (i < list.size())
            seen[i] = true;
        else
            fresh.push_back(r);
    }
    bool changed = false;
    size_t left = 0;
    const auto isOpen = [&](const std::string& r) { return std::find(opened.begin(), opened.end(), r) != opened.end(); };
    for (const std::string& r : fresh) {
        size_t place = list.size();
        if (list.size() >= kMaxPorts) {
            // The lists are full: a port that went gives its place, unless
            // something holds it open (it has a role, and waits for it).
            for (size_t i = 0; i < list.size() && place == list.size(); ++i)
                if (!seen[i] && !isOpen(list[i].raw)) place = i;
            if (place == list.size()) {
                ++left;
                continue;
            }
            taken.erase(folded(list[place].display));
            takenFull.erase(folded(list[place].full));
        } else {
            list.emplace_back();
            seen.push_back(false);
        }
        std::string display = listedName(r, taken);
        list[place] = {r, std::move(display), listedName(r, takenFull, kMaxFullNameBytes), true, nextSerial()};
        seen[place] = true;
        changed = true;
    }
    for (size_t i = 0; i < list.size(); ++i) {
        if (list[i].present != seen[i]) changed = true;
        list[i].present = seen[i];
    }
    if (leftOut) {
        changed = changed || *leftOut != left;
        *leftOut = left;
    }
    return changed;
}

bool renamePorts(std::vector<PortEntry>& list, const std::vector<std::pair<std::string, std::string>>& renames) {
    bool changed = false;
    for (const auto& [from, to] : renames)
        for (PortEntry& e : list) {
            if (e.raw != from) continue;
            // Lists read before the rename was told may have taken the new
            // name for a new port: the renamed port keeps its place and
            // name, that place goes back to the name that went.
            if (const auto twin = std::find_if(list.begin(), list.end(),
                                               [&newName = to](const PortEntry& o) { return o.raw == newName; });
                twin != list.end()) {
                std::swap(e.raw, twin->raw);
                std::swap(e.display, twin->display);
                std::swap(e.full, twin->full);
                changed = true;
                break;
            }
            std::set<std::string> taken, takenFull;
            for (const PortEntry& other : list)
                if (&other != &e) {
                    taken.insert(folded(other.display));
                    takenFull.insert(folded(other.full));
                }
            e.raw = to;
            e.display = listedName(to, taken);
            e.full = listedName(to, takenFull, kMaxFullNameBytes);
            changed = true;
            break;
        }
    return changed;
}

// ---------------------------------------------------------------- notify

void Notifier::set(const MidiKitNotifyTarget* target) {
    std::lock_guard lock(gate_);
    if (target)
        target_ = *target;
    else
        target_ = MidiKitNotifyTarget{nullptr, nullptr};
}

void Notifier::post(uint32_t message) {
    if (closed_) return;
    std::lock_guard lock(gate_);
    if (closed_ || !target_.Notify) return;
    posting_ = std::this_thread::get_id();
    try {
        target_.Notify(target_.context, message);
    } catch (...) {}
    posting_ = std::thread::id{};
}

void Notifier::close() {
    closed_ = true;
    if (posting_.load() == std::this_thread::get_id()) return;  // closed from inside the notification itself
    std::lock_guard lock(gate_);  // waits for a notification in progress
}

// ---------------------------------------------------------------- driver

Driver& Driver::instance() {
    static Driver driver;
    return driver;
}

Driver::Driver() {
    // libjack (loaded with this library) keeps process-wide state of its own,
    // memory it never frees among it, for as long as it is mapped: it stays
    // in the process even when this library is unloaded and loaded again.
    ::dlopen("libjack.so.0", RTLD_NOW | RTLD_NOLOAD | RTLD_NODELETE);
    try {
        backend_ = chooseBackend();
    } catch (...) { backend_.reset(); }
    if (!backend_) backend_ = makeLoopbackBackend(0);
    refresh();
    backend_->setListener([this](BackendEvent e) { onBackend(e); });
}

std::vector<PortEntry> Driver::inputs() {
    std::lock_guard lock(listMx_);
    return inputs_;
}

std::vector<PortEntry> Driver::outputs() {
    std::lock_guard lock(listMx_);
    return outputs_;
}

std::optional<PortEntry> Driver::input(uint32_t port) {
    std::lock_guard lock(listMx_);
    if (port >= inputs_.size()) return std::nullopt;
    return inputs_[port];
}

std::optional<PortEntry> Driver::output(uint32_t port) {
    std::lock_guard lock(listMx_);
    if (port >= outputs_.size()) return std::nullopt;
    return outputs_[port];
}

void Driver::setNotify(const MidiKitNotifyTarget* target) { notifier_.set(target); }

bool Driver::refresh() {
    std::vector<std::string> in, out, opened;
    std::vector<std::pair<std::string, std::string>> renames;
    try {
        in = backend_->inputNames();
        out = backend_->outputNames();
        renames = backend_->takeRenames();
        opened = backend_->opened();
    } catch (...) { return false; }
    std::lock_guard lock(listMx_);
    const bool inRenamed = renamePorts(inputs_, renames);
    const bool outRenamed = renamePorts(outputs_, renames);
    const bool a = mergePortList(inputs_, in, opened, &inLeftOut_);
    const bool b = mergePortList(outputs_, out, opened, &outLeftOut_);
    return inRenamed || outRenamed || a || b;
}

size_t Driver::leftOut(bool output) {
    std::lock_guard lock(listMx_);
    return output ? outLeftOut_ : inLeftOut_;
}

void Driver::onBackend(BackendEvent e) {
    switch (e) {
        case BackendEvent::PortsChanged:
            if (refresh()) notifier_.post(MIDIKIT_MSG_PORTS_CHANGED);
            break;
        case BackendEvent::ServerGone:
            refresh();  // every port absent
            notifier_.post(MIDIKIT_MSG_SERVER_GONE);
            break;
        case BackendEvent::ServerBack:
            refresh();
            notifier_.post(MIDIKIT_MSG_SERVER_BACK);
            break;
    }
}

Driver::~Driver() {
    backend_->setListener(nullptr);
    notifier_.close();
    // Whatever the program left open is ended without notifications; the
    // outputs do not wait for pending bytes.
    std::unordered_map<uint32_t, std::shared_ptr<Object>> left;
    {
        std::lock_guard lock(mx_);
        left.swap(table_);
    }
    for (auto& [h, object] : left) {
        try {
            object->shutdown(false);
        } catch (...) {}
    }
    left.clear();
}

uint32_t Driver::add(std::shared_ptr<Object> object) {
    std::lock_guard lock(mx_);
    for (uint32_t tries = 0; tries < kHandleLimit; ++tries) {
        uint32_t h = next_++;
        if (next_ >= kHandleLimit) next_ = kFirstHandle;
        if (!table_.count(h)) {
            table_.emplace(h, std::move(object));
            return h;
        }
    }
    return 0;
}

std::shared_ptr<Object> Driver::find(uint32_t handle, Object::Kind kind) {
    std::lock_guard lock(mx_);
    auto it = table_.find(handle);
    if (it == table_.end() || it->second->kind != kind) return nullptr;
    return it->second;
}

std::shared_ptr<Object> Driver::remove(uint32_t handle, Object::Kind kind) {
    std::lock_guard lock(mx_);
    auto it = table_.find(handle);
    if (it == table_.end() || it->second->kind != kind) return nullptr;
    auto object = std::move(it->second);
    table_.erase(it);
    return object;
}

}  // namespace morvelant::driver

