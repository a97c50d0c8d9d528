#include "platform/Dialogs.h"

#include <algorithm>
#include <atomic>

#include "platform/AsciiCase.h"

namespace morvelant {

namespace {

SilentDialogs g_silent;
std::atomic<Dialogs*> g_current{nullptr};

std::string Trim(const std::string& s) {
    auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    auto e = s.find_last_not_of(' ');
    return s.substr(b, e - b + 1);
}

// Glob match with '*' and '?', case-insensitive.
bool Glob(const char* name, const char* mask) {
    const char* star = nullptr;
    const char* retry = nullptr;
    while (*name) {
        if (*mask == '*') {
            star = mask++;
            retry = name;
        } else if (*mask == '?' ||
                   AsciiUpper(*mask) == AsciiUpper(*name)) {
            ++mask;
            ++name;
        } else if (star) {
            mask = star + 1;
            name = ++retry;
        } else {
            return false;
        }
    }
    while (*mask == '*') ++mask;
    return *mask == 0;
}

// The next queued answer, or `none` when the queue is empty.
template <typename T>
T Next(std::deque<T>& queue, T none) {
    if (queue.empty()) return none;
    T a = std::move(queue.front());
    queue.pop_front();
    return a;
}

std::optional<FileDialogAnswer> Answer(std::deque<std::optional<FileDialogAnswer>>& queue,
                                       const FileDialogRequest& request) {
    auto a = Next(queue, std::optional<FileDialogAnswer>{});
    if (a && a->filterIndex == 0) a->filterIndex = request.filterIndex;
    return a;
}

}  // namespace

Dialogs& CurrentDialogs() {
    Dialogs* d = g_current.load();
    return d ? *d : g_silent;
}

void SetCurrentDialogs(Dialogs* dialogs) { g_current.store(dialogs); }

ScopedDialogs::ScopedDialogs(Dialogs& dialogs) : previous_(g_current.load()) { SetCurrentDialogs(&dialogs); }
ScopedDialogs::~ScopedDialogs() { SetCurrentDialogs(previous_); }

bool Dialogs::RunWithProgress(const std::string&, const std::function<ProgressStep()>& step) {
    while (!step().finished) {}
    return true;
}

MessageResult SilentDialogs::MessageBox(const std::string&, const std::string&, MessageButtons buttons, MessageIcon) {
    switch (buttons) {
        case MessageButtons::YesNo:
        case MessageButtons::YesNoCancel: return MessageResult::Yes;
        default: return MessageResult::Ok;
    }
}

void ScriptedDialogs::QueueOpen(std::optional<std::string> fileName) {
    if (fileName)
        openAnswers.push_back(FileDialogAnswer{*fileName, 0});
    else
        openAnswers.push_back(std::nullopt);
}

void ScriptedDialogs::QueueSave(std::optional<std::string> fileName) {
    if (fileName)
        saveAnswers.push_back(FileDialogAnswer{*fileName, 0});
    else
        saveAnswers.push_back(std::nullopt);
}

std::vector<ScriptedDialogs::Call> ScriptedDialogs::CallsOf(Kind kind) const {
    std::vector<Call> out;
    for (const Call& c : calls)
        if (c.kind == kind) out.push_back(c);
    return out;
}

std::vector<std::string> ScriptedDialogs::Messages() const {
    std::vector<std::string> out;
    for (const Call& c : calls)
        if (c.kind == Kind::Message) out.push_back(c.text);
    return out;
}

MessageResult ScriptedDialogs::MessageBox(const std::string& text, const std::string& caption, MessageButtons buttons,
                                          MessageIcon icon) {
    Call c;
    c.kind = Kind::Message;
    c.text = text;
    c.caption = caption;
    c.buttons = buttons;
    c.icon = icon;
    calls.push_back(std::move(c));
    return Next(messageAnswers, g_silent.MessageBox(text, caption, buttons, icon));
}

std::optional<FileDialogAnswer> ScriptedDialogs::FileDialog(Kind kind, const FileDialogRequest& request,
                                                            std::deque<std::optional<FileDialogAnswer>>& answers) {
    Call c;
    c.kind = kind;
    c.caption = request.title;
    c.file = request;
    calls.push_back(std::move(c));
    return Answer(answers, request);
}

std::optional<FileDialogAnswer> ScriptedDialogs::OpenFile(const FileDialogRequest& request) {
    return FileDialog(Kind::Open, request, openAnswers);
}

std::optional<FileDialogAnswer> ScriptedDialogs::SaveFile(const FileDialogRequest& request) {
    return FileDialog(Kind::Save, request, saveAnswers);
}

std::optional<std::string> ScriptedDialogs::BrowseFolder(const std::string& title, const std::string& initialDir) {
    Call c;
    c.kind = Kind::Folder;
    c.caption = title;
    c.initialDir = initialDir;
    calls.push_back(std::move(c));
    return Next(folderAnswers, std::optional<std::string>{});
}

std::optional<uint32_t> ScriptedDialogs::ChooseColor(uint32_t initial) {
    Call c;
    c.kind = Kind::Color;
    c.color = initial;
    calls.push_back(std::move(c));
    return Next(colorAnswers, std::optional<uint32_t>{});
}

bool ScriptedDialogs::PrinterSetup() {
    Call c;
    c.kind = Kind::Printer;
    calls.push_back(std::move(c));
    return Next(printerAnswers, false);
}

bool ScriptedDialogs::RunWithProgress(const std::string& caption, const std::function<ProgressStep()>& step) {
    Call c;
    c.kind = Kind::Progress;
    c.caption = caption;
    const int cancelAfter = Next(progressCancelAfter, -1);
    bool finished = false;
    while (!finished && int(c.steps.size()) != cancelAfter) {
        c.steps.push_back(step());
        finished = c.steps.back().finished;
    }
    calls.push_back(std::move(c));
    return finished;
}

std::vector<FileFilterEntry> ParseFileFilter(const std::string& filter) {
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    for (;;) {
        auto bar = filter.find('|', start);
        parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) break;
        start = bar + 1;
    }
    std::vector<FileFilterEntry> entries;
    for (std::size_t i = 0; i + 1 < parts.size(); i += 2) {
        FileFilterEntry e;
        e.description = Trim(parts[i]);
        std::string::size_type s = 0;
        const std::string& pat = parts[i + 1];
        for (;;) {
            auto semi = pat.find(';', s);
            std::string mask = Trim(pat.substr(s, semi == std::string::npos ? std::string::npos : semi - s));
            if (!mask.empty()) e.masks.push_back(mask);
            if (semi == std::string::npos) break;
            s = semi + 1;
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

std::vector<std::string> FileFilterToNameFilters(const std::string& filter) {
    std::vector<std::string> out;
    for (const FileFilterEntry& e : ParseFileFilter(filter)) {
        std::vector<std::string> masks;
        for (const std::string& m : e.masks) {
            for (const std::string& v : {m, AsciiUpper(m), AsciiLower(m)})
                if (std::find(masks.begin(), masks.end(), v) == masks.end()) masks.push_back(v);
        }
        std::string line = e.description + " (";
        for (std::size_t i = 0; i < masks.size(); ++i) line += (i ? " " : "") + masks[i];
        line += ")";
        out.push_back(line);
    }
    return out;
}

bool MatchesFileMask(const std::string& fileName, const std::string& mask) {
    auto slash = fileName.find_last_of('/');
    std::string base = slash == std::string::npos ? fileName : fileName.substr(slash + 1);
    return Glob(base.c_str(), mask.c_str());
}

}  // namespace morvelant
