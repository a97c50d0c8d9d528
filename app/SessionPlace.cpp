#include "app/SessionPlace.h"

#include "engine/FileCommands.h"
#include "model/DeviceModel.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
#include "platform/SafeFile.h"
#include "platform/SaveRescue.h"

namespace morvelant {

namespace {

constexpr char kSettingsCaption[] = "Warning !";
constexpr char kSettingsFilter[] = "Configuration|*.cfg";

}  // namespace

void KeepSettingsBesideAnUnreadableConfiguration(IniFileHold& config) {
    if (config.Readable()) return;
    const std::string beside = RescuePlaceBeside(config.SavedTo());
    const std::string text = "The configuration could not be read: " + config.ReadError() +
        ".\nThe editor starts with its default settings and leaves the file as it is. This session's settings will "
        "be saved to \"" + beside + "\".";
    config.SaveInstead(beside);  // (forgets why the file could not be read)
    CurrentDialogs().MessageBox(text, kSettingsCaption, MessageButtons::Ok, MessageIcon::Warning);
}

void KeepSessionOutOfAReadOnlyFolder(IniFileHold& config, DeviceModel& model, const std::string& programFolder) {
    std::string why;
    if (FolderTakesFiles(programFolder, &why)) return;
    std::string text = "The program folder cannot be written: " + why + ".\n";
    const std::string dataFolder = UserDataFolder(&why);
    if (dataFolder.empty()) {
        text += "There is no data folder of your own either (" + why +
            "): at the end you will be asked where to save this session.";
    } else {
        text += "This session's presets, patterns and settings will be kept in \"" + dataFolder +
            "\" when the editor ends.";
        config.SaveInstead(RescuePlaceInDataFolder(config.SavedTo()));
        std::string folder = model.ProgramPath;
        if (!folder.empty() && folder.back() != '/') folder += '/';
        model.PresetWorkingSetSaveAs = RescuePlaceInDataFolder(folder + kPresetWorkingSet);
        model.PatternWorkingSetSaveAs = RescuePlaceInDataFolder(folder + kPatternWorkingSet);
    }
    CurrentDialogs().MessageBox(text, kSettingsCaption, MessageButtons::Ok, MessageIcon::Warning);
}

bool SaveConfiguration(IniFileHold& config) {
    std::string error;
    if (config.Flush(&error)) return true;
    const std::string path = config.SavedTo();
    const auto write = [&config](const std::string& file, std::string* why) { return config.SaveTo(file, why); };
    return !RescueSave({path, "settings", kSettingsFilter, "Error", write}, error).empty();
}

}  // namespace morvelant
