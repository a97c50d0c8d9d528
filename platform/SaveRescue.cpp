#include "platform/SaveRescue.h"

#include <filesystem>

#include "platform/AsciiCase.h"
#include "platform/Dialogs.h"
#include "platform/IniFile.h"
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

// A free name for `path`'s file in `folder` (empty: none).
std::string PlaceIn(const std::string& folder, const std::string& path) {
    if (folder.empty()) return {};
    const std::string name = folder + "/" + NamePart(path);
    return Occupied(name) ? FreeNameBeside(name) : name;
}

void TellSaved(const RescueRequest& r, const std::string& file, const std::string& why) {
    CurrentDialogs().MessageBox("This session's " + r.what + " were saved to \"" + file + "\".\n\"" + r.path +
                                    "\" was left as it was" + why + ".",
                                r.caption, MessageButtons::Ok, MessageIcon::Information);
}

// Writes to the first of `places` that takes the work and says so; the
// reasons of those that did not are added to `reasons`.
std::string SaveInFirstPlace(const RescueRequest& r, const std::vector<std::string>& places,
                             const std::string& firstError, std::string& reasons) {
    for (const std::string& place : places) {
        if (place.empty()) continue;
        std::string why;
        if (r.write(place, &why)) {
            TellSaved(r, place, " (" + firstError + ")");
            return place;
        }
        reasons += "\n\"" + place + "\": " + why;
    }
    return {};
}

}  // namespace

std::string RescuePlaceBeside(const std::string& path) { return FreeNameBeside(path); }

std::string RescuePlaceInDataFolder(const std::string& path) {
    // A file of the data folder has its place beside it there already.
    const std::string folder = UserDataFolder();
    return folder.empty() || FolderPart(path) == folder + "/" ? std::string() : PlaceIn(folder, path);
}

namespace {

std::string AskAndRescue(const RescueRequest& r, std::string error) {
    std::string dataFolder = UserDataFolder();
    if (dataFolder.empty()) dataFolder = "the data folder (there is none)";
    const std::string elsewhere = FolderPart(r.path) == dataFolder + "/" ? "" : ", else in \"" + dataFolder + "\"";
    const std::string firstError = error;
    std::string failed = r.path;  // the last file that could not be written
    std::string reasons;  // why the places tried did not take the work
    bool placesTried = false;
    for (int question = 0; question < kMostQuestions; ++question) {
        const std::string cancel = placesTried
            ? "Cancel: keep them in your home folder, else in a folder of your own for temporary files."
            : "Cancel: keep them in a new file beside \"" + r.path + "\"" + elsewhere + ".";
        std::string text = "Could not save \"" + failed + "\": " + error + ".";
        if (placesTried) text += "\nNor could they be kept there:" + reasons;
        text += "\n\nThis session's " + r.what + " are not saved yet.\nYes: try again.\nNo: choose another file.\n" + cancel;
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
        } else if (!placesTried) {
            // The first places that take the work; when none does, the
            // question comes back, with the last places behind its Cancel.
            placesTried = true;
            reasons.clear();
            const std::string place =
                SaveInFirstPlace(r, {RescuePlaceBeside(r.path), RescuePlaceInDataFolder(r.path)}, firstError, reasons);
            if (!place.empty()) return place;
        } else {
            break;
        }
    }
    if (!placesTried) {
        const std::string place =
            SaveInFirstPlace(r, {RescuePlaceBeside(r.path), RescuePlaceInDataFolder(r.path)}, firstError, reasons);
        if (!place.empty()) return place;
    }
    // The last places: the home folder, then a private temporary folder
    // (made only when the home folder does not take the work).
    std::string place = SaveInFirstPlace(r, {PlaceIn(AccountHome(), r.path)}, firstError, reasons);
    if (!place.empty()) return place;
    std::string why;
    const std::string temporary = PrivateTemporaryFolder(&why);
    if (temporary.empty()) reasons += "\n" + why;
    place = SaveInFirstPlace(r, {PlaceIn(temporary, r.path)}, firstError, reasons);
    if (!place.empty()) return place;
    CurrentDialogs().MessageBox("This session's " + r.what + " could not be saved anywhere:\n\"" + failed + "\": " +
                                    error + reasons,
                                r.caption, MessageButtons::Ok, MessageIcon::Error);
    return {};
}

}  // namespace

std::string RescueSave(const RescueRequest& r, std::string error) {
    std::string place = AskAndRescue(r, std::move(error));
    if (!place.empty() && r.saved) r.saved(place);
    return place;
}

bool PendingRescues::Rescue() {
    bool all = true;
    for (auto& [request, error] : pending_) {
        if (!request.write(request.path, &error))
            all = !RescueSave(request, error).empty() && all;
        else if (request.saved)
            request.saved(request.path);
    }
    pending_.clear();
    return all;
}

// ---- Where the last session left its work -------------------------------------------

namespace {

constexpr char kLastPlaceName[] = "last-session.ini";

std::string Absolute(const std::string& path) {
    std::error_code ec;
    std::filesystem::path whole = std::filesystem::absolute(path, ec);
    if (ec) return path;
    std::string text = whole.lexically_normal().string();
    while (text.size() > 1 && text.back() == '/') text.pop_back();
    return text;
}

std::vector<std::string> LastPlaceRecords() {
    std::vector<std::string> records;
    if (const std::string state = UserStateFolder(); !state.empty()) records.push_back(LastPlaceRecordIn(state));
    if (const std::string temporary = ExistingPrivateTemporaryFolder(); !temporary.empty())
        records.push_back(LastPlaceRecordIn(temporary));
    return records;
}

}  // namespace

std::string LastPlaceRecordIn(const std::string& folder) { return folder + "/" + kLastPlaceName; }

namespace {

// What the records hold under `section`, `key`: the later of those that
// name a file.
std::string ReadRecord(const std::string& section, const std::string& key) {
    std::string place;
    std::filesystem::file_time_type latest{};
    for (const std::string& record : LastPlaceRecords()) {
        std::error_code ec;
        const auto written = std::filesystem::last_write_time(record, ec);
        if (ec || !NotAFileReason(record).empty()) continue;
        std::string named = TIniFile(record).ReadString(section, key, "");
        if (!named.empty() && named.front() == '/' && (place.empty() || written > latest)) {
            place = std::move(named);
            latest = written;
        }
    }
    return place;
}

void WriteRecord(const std::string& section, const std::string& key, const std::string& file) {
    const std::string place = Absolute(file);
    const auto record = [&](const std::string& name) {
        TIniFile ini(name);
        if (ini.ReadString(section, key, "") == place) return true;
        if (!ini.WriteString(section, key, place)) return false;
        // Program folders that are gone have no next start.
        for (const std::string& other : ini.ReadSections())
            if (!other.empty() && other.front() == '/' && !Occupied(other)) ini.EraseSection(other);
        return true;
    };
    const std::string state = UserStateFolder();
    if (!state.empty() && MakePrivateFolder(state) && record(LastPlaceRecordIn(state))) return;
    // A home that cannot be written: the temporary folder that took the
    // work keeps the record.
    if (const std::string temporary = ExistingPrivateTemporaryFolder(); !temporary.empty())
        record(LastPlaceRecordIn(temporary));
}

constexpr char kPrintSection[] = "Print";
constexpr char kPrintFileKey[] = "File";

}  // namespace

std::string LastPlaceOf(const std::string& programFolder, const std::string& what) {
    return ReadRecord(Absolute(programFolder), what);
}

void RecordLastPlace(const std::string& programFolder, const std::string& what, const std::string& file) {
    WriteRecord(Absolute(programFolder), what, file);
}

std::string LastPrintFile() { return ReadRecord(kPrintSection, kPrintFileKey); }

void RecordPrintFile(const std::string& file) { WriteRecord(kPrintSection, kPrintFileKey, file); }

}  // namespace morvelant
