#include "app/SessionPlace.h"

#include "engine/FileCommands.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/SafeFile.h"
#include "platform/SaveRescue.h"

namespace morvelant {

namespace {

constexpr char kSettingsCaption[] = "Warning !";
constexpr char kSettingsFilter[] = "Configuration|*.cfg";
constexpr char kConfigurationName[] = "Morvelant.cfg";

// After a configuration that cannot be read: the file beside it that keeps
// the settings instead, one for every start ("Morvelant 2.cfg"): the first
// such file that reads, else the first free name. Returns what to tell.
std::string KeepSettingsBeside(IniFileHold& config) {
    const std::string unreadable = config.SavedTo();
    const std::string text = "The configuration \"" + unreadable + "\" could not be read: " + config.ReadError() +
        ".\nIt is left as it is. ";
    // Numbered names from 2 on: a regular file among them is an earlier
    // start's settings.
    const std::size_t dot = unreadable.find_last_of('.');
    const std::string stem = unreadable.substr(0, dot), extension = unreadable.substr(dot);
    for (int n = 2; n < 100; ++n) {
        const std::string name = stem + " " + std::to_string(n) + extension;
        if (!Occupied(name)) {
            config.SaveInstead(name);
            return text + "The editor starts with its default settings. This session's settings will be saved to \"" +
                name + "\".";
        }
        if (!NotAFileReason(name).empty()) continue;
        config.ReadFrom(name);
        if (config.Readable())
            return text + "The settings are read from \"" + name +
                "\", where an earlier session kept them, and this session's are saved there too.";
    }
    const std::string place = FreeNameBeside(unreadable);
    config.SaveInstead(place);
    return text + "The editor starts with its default settings. This session's settings will be saved to \"" + place +
        "\".";
}

}  // namespace

std::string ChooseSessionPlace(IniFileHold& config, const std::string& programFolder) {
    std::string text, folder, why;
    if (!FolderTakesFiles(programFolder, &why)) {
        text = "The program folder cannot be written: " + why + ".\n";
        folder = UserDataFolder(&why);
        if (folder.empty()) {
            text += "There is no data folder of your own either (" + why +
                "): at the end you will be asked where to save this session.";
        } else {
            const std::string kept = folder + "/" + kConfigurationName;
            bool found = false;
            for (const char* name : {kPresetWorkingSet, kPatternWorkingSet, kConfigurationName})
                found = found || Occupied(folder + "/" + name);
            if (Occupied(kept))
                config.ReadFrom(kept);
            else
                config.SaveInstead(kept);
            // Said once: from the next start on, they are simply there.
            if (found)
                text.clear();
            else
                text += "This session's presets, patterns and settings will be kept in \"" + folder +
                    "\" when the editor ends, and read from there at the next start.";
        }
    }
    if (!config.Readable()) {
        if (!text.empty()) text += "\n\n";
        text += KeepSettingsBeside(config);
    }
    if (!text.empty()) CurrentDialogs().MessageBox(text, kSettingsCaption, MessageButtons::Ok, MessageIcon::Warning);
    return folder;
}

bool SaveConfiguration(IniFileHold& config, PendingRescues* later) {
    std::string error;
    if (config.Flush(&error)) return true;
    const auto write = [&config](const std::string& file, std::string* why) { return config.SaveTo(file, why); };
    RescueRequest request{config.SavedTo(), "settings", kSettingsFilter, "Error", write};
    if (later != nullptr) {
        later->Add(std::move(request), error);
        return false;
    }
    RescueSave(request, error);
    return false;
}

}  // namespace morvelant
