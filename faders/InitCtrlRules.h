// The numbers of the "Init with Midi Controllers" settings as the dialog
// edits them. They live in the model (DeviceModel::InitValues and
// InitRanges), which the controller init reads whenever it runs, and keeps
// every data byte it gives within 0..127.
#pragma once

#include <string>

#include "model/DeviceModel.h"

namespace morvelant {

// A number typed into value edit `index` (6..11), kept within 0..127; text
// that is not a whole number leaves the numbers as they were. With the row's range
// on, the other number of the pair follows 23 apart where it fits, else it
// takes the same value. Returns the value the edit shows.
int TypeInitValue(DeviceModel& model, int index, const std::string& text);

// "Slider" on either edit of row `item`: both numbers become the live value
// and the row's range goes off.
void SetInitRowToSlider(DeviceModel& model, int item);

// What an edit shows for a number: "Sld" for the live value; the controller
// edits the controller name list entry, the value edits the decimal number.
std::string InitValueText(const DeviceModel& model, int index);

}  // namespace morvelant
