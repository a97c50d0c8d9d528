#include "platform/SaveRescue.h"

#include "platform/AsciiCase.h"
#include "platform/Dialogs.h"
#include "platform/SafeFile.h"

namespace morvelant {

namespace {

// A box that always answers "try again" (nobody is there to change
// anything) still ends, in the places that take the work.
constexpr int kMostQuestions = 20;

std::string FolderPart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string NamePart(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

void TellSaved(const RescueRequest& r, const std::string& file, const std::string& why) {
    CurrentDialogs().MessageBox("This session's " + r.what + " were saved to \"" + file + "\".\n\"" + r.path +
                                    "\" was left as it was" + why + ".",
                                r.caption, MessageButtons::Ok, MessageIcon::Information);
}

}  // namespace

std::string RescuePlaceBeside(const std::string& path) { return FreeNameBeside(path); }

std::string RescuePlaceInDataFolder(const std::string& path) {
    const std::string folder = UserDataFolder();
    if (folder.empty()) return {};
    const std::string name = folder + "/" + NamePart(path);
    return Occupied(name) ? FreeNameBeside(name) : name;
}

std::string RescueSave(const RescueRequest& r, std::string error) {
    std::string dataFolder = UserDataFolder();
    if (dataFolder.empty()) dataFolder = "the data folder (there is none)";
    std::string failed = r.path;  // the last file that could not be written
    for (int question = 0; question < kMostQuestions; ++question) {
        const std::string text = "Could not save \"" + failed + "\": " + error + ".\n\nThis session's " + r.what +
            " are not saved yet.\nYes: try again.\nNo: choose another file.\nCancel: keep them in a new file beside \"" +
            r.path + "\", else in \"" + dataFolder + "\".";
        const MessageResult answer =
            CurrentDialogs().MessageBox(text, r.caption, MessageButtons::YesNoCancel, MessageIcon::Error);
        if (answer == MessageResult::Yes) {
            failed = r.path;
            if (r.write(r.path, &error)) return r.path;
        } else if (answer == MessageResult::No) {
            FileDialogRequest request;
            request.filter = r.filter;
            request.initialDir = FolderPart(r.path);
            request.fileName = NamePart(r.path);
            const std::string_view extension = FileExtension(request.fileName);  // with its dot
            request.defaultExt = std::string(extension.substr(extension.empty() ? 0 : 1));
            const auto chosen = CurrentDialogs().SaveFile(request);
            if (!chosen || chosen->fileName.empty()) continue;
            failed = chosen->fileName;
            if (r.write(failed, &error)) {
                TellSaved(r, failed, "");
                return failed;
            }
        } else {
            break;
        }
    }
    // The first place that takes the work.
    const std::string firstError = error;
    std::string reasons = "\"" + failed + "\": " + error;
    for (const std::string& place : {RescuePlaceBeside(r.path), RescuePlaceInDataFolder(r.path)}) {
        if (place.empty()) continue;
        std::string why;
        if (r.write(place, &why)) {
            TellSaved(r, place, " (" + firstError + ")");
            return place;
        }
        reasons += "\n\"" + place + "\": " + why;
    }
    CurrentDialogs().MessageBox("This session's " + r.what + " could not be saved anywhere:\n" + reasons, r.caption,
                                MessageButtons::Ok, MessageIcon::Error);
    return {};
}

}  // namespace morvelant
