// Where this session's work is kept when the program folder cannot take it.
//
// - A configuration that cannot be read (a named pipe, a folder, binary
//   data) is said once at start and left as it is; this session's settings
//   go to a new file beside it ("Morvelant 2.cfg").
// - A program folder that cannot be written (an installed copy) is said at
//   start, with the folder where this session will be kept: the user's own
//   data folder.
// - A configuration that cannot be written at the end goes through the same
//   rescue as the working sets: try again, another file, else beside it or
//   the data folder, and the user is told where.
#pragma once

#include <string>

namespace morvelant {

class IniFileHold;
class DeviceModel;

// At start, once the configuration is held: an unreadable one is reported
// and this session's settings are sent beside it.
void KeepSettingsBesideAnUnreadableConfiguration(IniFileHold& config);
// At start, once the working sets are read: a program folder that cannot be
// written is reported, and the working sets and the settings are sent to
// the user's data folder.
void KeepSessionOutOfAReadOnlyFolder(IniFileHold& config, DeviceModel& model, const std::string& programFolder);
// At the end: writes the configuration if it changed, rescuing it when it
// cannot be written. False when it could be written nowhere.
bool SaveConfiguration(IniFileHold& config);

}  // namespace morvelant
