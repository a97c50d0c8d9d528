// What follows a save that could not be written: the session's work is
// never simply dropped.
//
// The user is asked: Yes tries again, No chooses another file, Cancel (and
// Escape, and a box that nobody answers) keeps the work in a new file in the
// first place that takes it: beside the file ("Config 2.MVR"), else the
// user's own data folder. The last message says where the work went.
#pragma once

#include <functional>
#include <string>

namespace morvelant {

struct RescueRequest {
    std::string path;  // the file that could not be written
    std::string what;  // what it holds, for the user: "presets", "settings"
    std::string filter;  // of the dialog for another file: "Morvelant Presets|*.MVR"
    std::string caption;  // of the boxes
    // Writes the work to a file; false, with the reason, when it could not.
    std::function<bool(const std::string& file, std::string* error)> write;
};

// The places tried when the user leaves the choice to the editor: a free
// name beside `path`, then a free name in the user's data folder.
std::string RescuePlaceBeside(const std::string& path);
std::string RescuePlaceInDataFolder(const std::string& path);

// After a save of request.path failed with `error`: asks and saves as
// described above. Returns the file that now holds the work (request.path
// after a retry that worked), or empty when no place could take it (then
// the user was told).
std::string RescueSave(const RescueRequest& request, std::string error);

}  // namespace morvelant
