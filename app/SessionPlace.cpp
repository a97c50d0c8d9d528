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

std::string NamePart(const std::string& path) { return path.substr(path.find_last_of('/') + 1); }

// A configuration that the editor made to keep a session's settings names
// itself in it; a copy the user made (under another name, or of a
// configuration of their own) does not.
KeptKind OwnConfiguration(const std::string& file) {
    const bool ours = TIniFile(file).ReadString(kKeptFilesSection, kKeptSettingsKey, "") == NamePart(file);
    return ours ? KeptKind::Ours : KeptKind::NotOurs;
}

// Among `path` (given `pathItself`) and the numbered names beside it: the
// configuration of the editor's own, read now; else the document starts
// with what it holds (all defaults when it could not be read) and is kept
// in the first free name, which it names from now on.
KeptBeside KeepConfiguration(IniFileHold& config, const std::string& programFolder, const std::string& path,
                             bool pathItself) {
    const KeptBeside place =
        KeepBeside(path, [](const std::string& name, std::string*) { return OwnConfiguration(name); }, pathItself);
    if (place.readBack) {
        config.ReadFrom(place.path);
    } else {
        config.SaveInstead(place.path);
        // What another place's configuration recorded is no file of this one.
        TIniFile held(programFolder + kConfigurationName);
        held.EraseSection(kKeptFilesSection);
        held.WriteString(kKeptFilesSection, kKeptSettingsKey, NamePart(place.path));
    }
    return place;
}

// After a configuration that cannot be read: the one file beside it that
// keeps the settings instead ("Morvelant 2.cfg"), read back at every later
// start. Returns what to tell.
std::string KeepSettingsBeside(IniFileHold& config, const std::string& programFolder) {
    const std::string unreadable = config.SavedTo();
    const std::string text = "The configuration \"" + unreadable + "\" could not be read: " + config.ReadError() +
        ".\nIt is left as it is. ";
    const KeptBeside place = KeepConfiguration(config, programFolder, unreadable, false);
    if (place.readBack)
        return text + PassedOverText(place) + "The settings are read from \"" + place.path +
            "\", where an earlier session kept them, and this session's are saved there too.";
    return text + PassedOverText(place) +
        "The editor starts with its default settings. This session's settings will be saved to \"" + place.path + "\".";
}

}  // namespace

WorkPlace FindWorkPlace(const std::string& programFolder) {
    WorkPlace place;
    if (FolderTakesFiles(programFolder, &place.whyNotProgram)) {
        place.folder = programFolder.empty() ? std::string(".") : programFolder;
        return place;
    }
    place.installed = true;
    const std::string data = UserDataFolder(&place.whyNotData);
    // Made now, so that what the start says of it is true and its lock can
    // keep a second copy off it.
    if (!data.empty() && MakeDataFolderFor(data + "/" + kConfigurationName, &place.whyNotData) &&
        FolderTakesFiles(data, &place.whyNotData)) {
        place.folder = data;
        return place;
    }
    // The last folder that keeps a session from one start to the next.
    if (const std::string home = AccountHome(); !home.empty() && FolderTakesFiles(home)) {
        place.folder = home;
        place.home = true;
    }
    return place;
}

std::string ChooseSessionPlace(IniFileHold& config, const std::string& programFolder) {
    const WorkPlace place = FindWorkPlace(programFolder);
    std::string text;
    if (place.installed) {
        text = "The program folder cannot be written: " + place.whyNotProgram + ".\n";
        const std::string& folder = place.folder;
        bool found = false;
        if (place.home) {
            // The home folder holds the user's own files: the session's are
            // files of the editor's own there, which name themselves (the
            // configuration) or a mark beside them names (the working sets).
            found = KeepConfiguration(config, programFolder, folder + "/" + kConfigurationName, true).readBack;
        } else if (!folder.empty()) {
            const std::string kept = folder + "/" + kConfigurationName;
            for (const char* name : {kPresetWorkingSet, kPatternWorkingSet, kConfigurationName})
                found = found || Occupied(folder + "/" + name);
            if (Occupied(kept))
                config.ReadFrom(kept);
            else
                config.SaveInstead(kept);
        }
        if (place.home)
            text += "Your data folder cannot take this session either (" + place.whyNotData + ").\n";
        if (folder.empty()) {
            text += "Your data folder cannot take this session either (" + place.whyNotData +
                "): at the end you will be asked where to save it.";
        } else if (found) {
            // Said once: from the next start on, they are simply there.
            text.clear();
        } else {
            text += "This session's presets, patterns and settings will be kept in \"" + folder +
                "\" when the editor ends, and read from there at the next start.";
        }
    }
    if (!config.Readable()) {
        if (!text.empty()) text += "\n\n";
        text += KeepSettingsBeside(config, programFolder);
    }
    if (!text.empty()) CurrentDialogs().MessageBox(text, kSettingsCaption, MessageButtons::Ok, MessageIcon::Warning);
    return place.installed ? place.folder : std::string();
}

bool SaveConfiguration(IniFileHold& config, PendingRescues* later) {
    std::string error;
    if (config.Flush(&error)) return true;
    const auto write = [&config](const std::string& file, std::string* why) { return config.SaveTo(file, why); };
    RescueRequest request{config.SavedTo(), "settings", kSettingsFilter, "Error", write, {}};
    if (later != nullptr) {
        later->Add(std::move(request), error);
        return false;
    }
    RescueSave(request, error);
    return false;
}

}  // namespace morvelant
