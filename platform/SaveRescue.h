// What follows a save that could not be written: the session's work is
// never simply dropped.
//
// The user is asked: Yes tries again, No chooses another file, Cancel (and
// Escape, and a box that nobody answers) keeps the work in a new file in the
// first place that takes it: beside the file ("Config 2.MVR"), else the
// user's own data folder. When neither takes it the question comes back,
// so that a user can choose another file; a second Cancel (an end that
// nobody watches answers every question so) tries the last places: the
// account's home folder, then a folder of the user's alone under $TMPDIR or
// /tmp. The last message says where the work went.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace morvelant {

struct RescueRequest {
    std::string path;  // the file that could not be written
    std::string what;  // what it holds, for the user: "presets", "settings"
    std::string filter;  // of the dialog for another file: "Morvelant Presets|*.MVR"
    std::string caption;  // of the boxes
    // Writes the work to a file; false, with the reason, when it could not.
    std::function<bool(const std::string& file, std::string* error)> write;
    // Told where the work went, once it is there (optional).
    std::function<void(const std::string& file)> saved;
};

// The places tried when the user leaves the choice to the editor: a free
// name beside `path`, then a free name in the user's data folder (empty
// when there is none).
std::string RescuePlaceBeside(const std::string& path);
std::string RescuePlaceInDataFolder(const std::string& path);

// After a save of request.path failed with `error`: asks and saves as
// described above. Returns the file that now holds the work (request.path
// after a retry that worked), or empty when no place could take it (then
// the user was told).
std::string RescueSave(const RescueRequest& request, std::string error);

// Where the last session of a program folder left its work of one kind
// ("Presets", "Patterns"): recorded by the user's own, in their state
// folder ($XDG_STATE_HOME/MorvelantEditor), else (a home that cannot be
// written) in their private temporary folder, where the next start finds
// it, wherever the work went (a rescue, another user's folder, a folder
// that was fixed since). Empty when nothing is recorded.
std::string LastPlaceOf(const std::string& programFolder, const std::string& what);
// Records `file` as that place; the records of program folders that are
// gone are dropped.
void RecordLastPlace(const std::string& programFolder, const std::string& what, const std::string& file);
// The file that the last print to a file went to, recorded in the same
// way, so that what a print cut short left beside it (its temporaries) is
// found at the next start or print.
std::string LastPrintFile();
void RecordPrintFile(const std::string& file);
// The file the record is kept in, in `folder` (a state or temporary one).
std::string LastPlaceRecordIn(const std::string& folder);

// Saves that failed at the end, whose questions wait until everything else
// that can be written is: a box that is never answered (the session killed
// while it shows) then loses only what it asks about.
class PendingRescues {
public:
    void Add(RescueRequest request, std::string error) { pending_.emplace_back(std::move(request), std::move(error)); }
    bool Empty() const { return pending_.empty(); }
    // Each in turn: tried once more (the user may have made room meanwhile),
    // else rescued as RescueSave does. False when one could be saved nowhere.
    bool Rescue();

private:
    std::vector<std::pair<RescueRequest, std::string>> pending_;
};

}  // namespace morvelant
