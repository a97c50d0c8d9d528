// The setters of one key event of a fader, key on or key off, so that code
// writing either key is written once. Private to the device model's sources.
#ifndef MODEL_KEYSETTERS_H
#define MODEL_KEYSETTERS_H

#include <cstdint>
#include <string>

#include "model/DeviceModel.h"

namespace morvelant {

struct KeySetters {
    void (DeviceModel::*off)(int, int, int32_t);  // the demute or mute value
    void (DeviceModel::*status)(int, int, int32_t);
    void (DeviceModel::*data1)(int, int, int32_t);
    void (DeviceModel::*data2)(int, int, int32_t);
    void (DeviceModel::*text)(int, int, const std::string&);
    void (DeviceModel::*name)(int, int, const std::string&);
};

inline constexpr KeySetters kKeyOnSetters{&DeviceModel::SetDemuteVal,      &DeviceModel::SetKeyOnStatus,
                                          &DeviceModel::SetKeyOnMidiData1, &DeviceModel::SetKeyOnMidiData2,
                                          &DeviceModel::SetKeyOnString,    &DeviceModel::SetKeyOnName};
inline constexpr KeySetters kKeyOffSetters{&DeviceModel::SetMuteVal,         &DeviceModel::SetKeyOffStatus,
                                           &DeviceModel::SetKeyOffMidiData1, &DeviceModel::SetKeyOffMidiData2,
                                           &DeviceModel::SetKeyOffString,    &DeviceModel::SetKeyOffName};

}  // namespace morvelant

#endif
