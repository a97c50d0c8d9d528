// Where this session's work is read from and kept.
//
// - A program folder that cannot be written (an installed copy) keeps the
//   working sets and the configuration in the user's data folder under
//   their own names: they are read from there at start (the program
//   folder's while the data folder holds none yet), written back there at
//   the end when they changed, and this is said once, at a start that
//   finds none of them there yet. The data folder is made at start; when
//   it cannot be made or written, the home folder keeps the session in the
//   same way, in files of the editor's own beside the user's (which its
//   marks name), and when that cannot either, it is said at every
//   start and the end asks where the session goes.
// - A configuration that cannot be read (a named pipe, a folder, binary
//   data) is said at start and left as it is; the settings go to one file
//   beside it ("Morvelant 2.cfg"), which later starts read and write again
//   (and say so), as the working sets do. Only a file the editor made for
//   this (it names itself inside) is taken: a copy of the user's own beside
//   it is never read for it, nor written over.
// - A configuration that cannot be written at the end goes through the same
//   rescue as the working sets: try again, another file, else beside it or
//   the data folder, and the user is told where.
#pragma once

#include <string>

namespace morvelant {

class IniFileHold;
class PendingRescues;

// The folder that keeps this session's work: the program folder ("." for
// the current one) when it takes new files, else the user's data folder,
// made now for this user alone, else the home folder; empty when none
// takes new files.
struct WorkPlace {
    std::string folder;
    bool installed = false;  // the program folder cannot be written
    bool home = false;  // the folder is the home folder
    std::string whyNotProgram;
    std::string whyNotData;  // why the data folder cannot take the work
};
WorkPlace FindWorkPlace(const std::string& programFolder);

// At start, once the configuration is held and before anything reads it:
// points it at the file this session reads and keeps, says what is not
// as usual in one box, and returns the folder of the working sets (empty:
// the program folder).
std::string ChooseSessionPlace(IniFileHold& config, const std::string& programFolder);
// At the end: writes the configuration if it changed. One that cannot be
// written is rescued: at once, or, given `later`, when that list is (the
// hold must live until then). False when it was not written where it
// belongs.
bool SaveConfiguration(IniFileHold& config, PendingRescues* later = nullptr);

}  // namespace morvelant
