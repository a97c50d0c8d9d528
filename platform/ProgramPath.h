// The program directory: the folder that holds the running executable, where
// the editor keeps its configuration file and working sets beside itself.
#pragma once

#include <string>

namespace morvelant {

// The folder of the executable with a trailing '/', or "" (the current
// directory) when it cannot be found.
std::string ProgramDirectory();

// A file in the program directory.
std::string ProgramFile(const std::string& name);

// The configuration file "Morvelant.cfg" in the program directory.
std::string ConfigFileName();
// "Morvelant.cfg" in the given program folder (with or without a trailing
// '/'); an empty folder: the executable's.
std::string ConfigFileIn(const std::string& folder);

// Puts the program directory somewhere else (tests use a temporary folder);
// an empty folder goes back to the executable's. A missing trailing '/' is
// added.
void SetProgramDirectory(const std::string& folder);

}  // namespace morvelant
