// What the composition root keeps for the pickers: the target-code dispatch
// with the code families of the windows that exist, the picker windows as
// the editor windows reach them, the refreshes the pickers call in the
// pattern windows, and the fader window's popup menus.
#pragma once

#include <random>
#include <vector>

#include "engine/DeviceContext.h"
#include "faders/FaderPopups.h"
#include "patterns/PickerProtocol.h"
#include "patterns/PickerWindows.h"
#include "patterns/TrackEdit.h"

namespace morvelant {

struct PickerSupport {
    explicit PickerSupport(DeviceContext& context);
    PickerSupport(const PickerSupport&) = delete;
    PickerSupport& operator=(const PickerSupport&) = delete;

    DeviceContext& Context;
    PickerDispatch Dispatch;
    PickerWindows Windows;
    PatternTargetHooks Hooks;
    FaderPopupMenus FaderPopups;
    // The track tools' row operations, done by the step editor.
    TrackRowOps TrackOps;
    // The random fills' numbers; one generator for the run.
    std::minstd_rand Random{std::random_device{}()};
    std::vector<Subscription> Families;
};

}  // namespace morvelant
