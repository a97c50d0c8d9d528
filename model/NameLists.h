// The fixed name lists: the index of an entry is the value it names, so a
// combo box filled from a list reads the chosen value back as its item index.
// The three data-byte lists carry a 129th entry "Slider" for the value 128,
// the fader's live value.
#pragma once

#include <string>
#include <vector>

namespace morvelant {

using NameList = std::vector<std::string>;

inline constexpr const char* kSliderName = "Slider";

NameList FillControllerNames();  // 129: "  0:Bank Select MSB" .. "127:Controller 127", "Slider"
NameList FillNumberNames();  // 129: "  0" .. "127", "Slider"
NameList FillNumbers1to8();  // 8: "  1" .. "  8"
NameList FillNoteNames();  // 129: "  0:  C -1" .. "127:  G  9", "Slider"
NameList FillFaderNames();  // 24: "Fader001" .. "Fader024"

// Entry `index` of a list; a value the list does not cover (a byte from a
// dump, a file or the wire) shows as its decimal number instead.
std::string NameOf(const NameList& list, int index);

}  // namespace morvelant
