#include "model/SlotLists.h"

#include <algorithm>
#include <utility>

namespace morvelant {

namespace {

constexpr int kMaxBuffers = kPresetCount - kDeviceSlots;

bool Presets(SlotKind kind) { return kind == SlotKind::Presets; }

// The names the file readers keep for buffers 1 .. count - 1.
void SyncBufferNames(DeviceModel& model, SlotKind kind) {
    auto& names = Presets(kind) ? model.PresetEditBufferNames : model.PatternEditBufferNames;
    names.clear();
    for (int b = 1; b < EditBufferCount(model, kind); ++b) names.push_back(SlotName(model, kind, kDeviceSlots + b));
}

int ClampedCount(DeviceModel& model, SlotKind kind) {
    int& count = EditBufferCount(model, kind);
    count = std::clamp(count, 1, kMaxBuffers);
    return count;
}

}  // namespace

int& EditBufferCount(DeviceModel& model, SlotKind kind) {
    return Presets(kind) ? model.PresetEditBufferCount : model.PatternEditBufferCount;
}

int EditBufferCount(const DeviceModel& model, SlotKind kind) {
    return std::clamp(Presets(kind) ? model.PresetEditBufferCount : model.PatternEditBufferCount, 1, kMaxBuffers);
}

std::array<bool, kDeviceSlots>& SlotMarks(DeviceModel& model, SlotKind kind) {
    return Presets(kind) ? model.PresetSlotSelected : model.PatternSlotSelected;
}

int& CurrentSlot(DeviceModel& model, SlotKind kind) {
    return Presets(kind) ? model.SelectedPreset : model.SelectedPattern;
}

std::string SlotName(const DeviceModel& model, SlotKind kind, int slot) {
    return Presets(kind) ? model.GetPresetDeviceName(slot) : model.GetPatternName(slot);
}

void SetSlotName(DeviceModel& model, SlotKind kind, int slot, const std::string& name) {
    if (Presets(kind))
        model.SetPresetDeviceName(slot, name);
    else
        model.SetPatternName(slot, name);
}

std::string* CurrentSlotNotes(DeviceModel& model, SlotKind kind) {
    const int slot = CurrentSlot(model, kind);
    if (Presets(kind)) return DeviceModel::ValidPreset(slot) ? &model.Presets[std::size_t(slot)].PresetNotes : nullptr;
    return DeviceModel::ValidPattern(slot) ? &model.Patterns[std::size_t(slot)].PatternNotes : nullptr;
}

void CopySlot(DeviceModel& model, SlotKind kind, int from, int to) {
    if (!DeviceModel::ValidPreset(from) || !DeviceModel::ValidPreset(to) || from == to) return;
    if (Presets(kind))
        model.CopyPresetTo(from, to);
    else
        model.Patterns[std::size_t(to)] = model.Patterns[std::size_t(from)];
}

void InitSlot(DeviceModel& model, SlotKind kind, int slot) {
    if (Presets(kind))
        model.InitPreset(slot);
    else
        model.InitPattern(slot);
}

bool NameTakes(char ch, NameKind kind) {
    const auto c = static_cast<unsigned char>(ch);
    if (kind == NameKind::Fader) return c >= ' ' && c <= 'z';
    // 0x81, 0x8D, 0x8F, 0x90 and 0x9D are no characters of the code page.
    return (c >= ' ' && c <= 'z') || (c >= 0x80 && c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D);
}

FilteredName FilterSlotName(const std::string& typed, int caret, NameKind kind) {
    FilteredName out;
    out.caret = 0;
    for (std::size_t i = 0; i < typed.size(); ++i) {
        if (!NameTakes(typed[i], kind)) {
            if (out.dropped.find(typed[i]) == std::string::npos) out.dropped += typed[i];
            continue;
        }
        out.name += typed[i];
        if (int(i) < caret) ++out.caret;
    }
    std::string& name = out.name;
    while (name.size() > std::size_t(kNameLength) && int(name.size()) > out.caret && name.back() == ' ') name.pop_back();
    if (name.size() > std::size_t(kNameLength)) {
        const std::size_t excess = std::min(name.size() - kNameLength, std::size_t(out.caret));
        name.erase(std::size_t(out.caret) - excess, excess);
        out.caret -= int(excess);
    }
    if (kind == NameKind::Slot) name.resize(kNameLength, ' ');
    name.resize(std::min(name.size(), std::size_t(kNameLength)));
    out.caret = std::min(out.caret, int(name.size()));
    return out;
}

int BufferSlot(const DeviceModel& model, SlotKind kind, int buffer) {
    return buffer >= 0 && buffer < EditBufferCount(model, kind) ? kDeviceSlots + buffer : -1;
}

int AppendEditBuffer(DeviceModel& model, SlotKind kind, int source) {
    const int count = ClampedCount(model, kind);
    if (count >= kMaxBuffers || !DeviceModel::ValidPreset(source)) return -1;
    CopySlot(model, kind, source, kDeviceSlots + count);
    EditBufferCount(model, kind) = count + 1;
    SyncBufferNames(model, kind);
    return count;
}

int DeleteEditBuffer(DeviceModel& model, SlotKind kind, int buffer) {
    const int count = ClampedCount(model, kind);
    if (count == 1) {
        InitSlot(model, kind, kDeviceSlots);
        SyncBufferNames(model, kind);
        return 0;
    }
    buffer = std::clamp(buffer, 0, count - 1);
    const int left = count - 1;
    for (int k = buffer; k < left; ++k) CopySlot(model, kind, kDeviceSlots + k + 1, kDeviceSlots + k);
    EditBufferCount(model, kind) = left;
    SyncBufferNames(model, kind);
    return std::min(buffer, left - 1);
}

void ClearEditBuffers(DeviceModel& model, SlotKind kind) {
    InitSlot(model, kind, kDeviceSlots);
    EditBufferCount(model, kind) = 1;
    SyncBufferNames(model, kind);
}

int CountMarked(const std::array<bool, kDeviceSlots>& marks) {
    return int(std::count(marks.begin(), marks.end(), true));
}

int NextMarkedSlot(const std::array<bool, kDeviceSlots>& marks, int from) {
    for (int i = std::max(from, 0); i < kDeviceSlots; ++i)
        if (marks[std::size_t(i)]) return i;
    return -1;
}

int SeriesDelay(int milliseconds) { return milliseconds > 0 ? milliseconds : kDefaultSeriesDelay; }

bool SlotMarked(const DeviceModel& model, SlotKind kind, int slot) {
    const auto& marks = Presets(kind) ? model.PresetSlotSelected : model.PatternSlotSelected;
    return slot >= 0 && slot < kDeviceSlots && marks[std::size_t(slot)];
}

void MarkSlot(DeviceModel& model, SlotKind kind, int slot, bool marked) {
    if (slot >= 0 && slot < kDeviceSlots) SlotMarks(model, kind)[std::size_t(slot)] = marked;
}

int ApplyToScope(DeviceModel& model, SlotKind kind, int scope, const std::function<void(int)>& apply) {
    const int current = CurrentSlot(model, kind);
    if (scope == 0) {
        apply(current);
        return current;
    }
    int last = scope == 2 ? 0 : current;
    for (int slot = 0; slot < kDeviceSlots; ++slot)
        if (scope == 2 || SlotMarks(model, kind)[std::size_t(slot)]) {
            apply(slot);
            if (scope == 1) last = slot;
        }
    return last;
}

void DropOnSlot(DeviceModel& model, SlotKind kind, int source, int target, bool exchange) {
    if (exchange && source != target) {
        CopySlotToClipboard(model, kind, target);
        CopySlot(model, kind, source, target);
        PasteSlotFromClipboard(model, kind, source);
    } else {
        CopySlot(model, kind, source, target);
    }
}

int DropOnEditBuffers(DeviceModel& model, SlotKind kind, int source, int selected, bool exchange) {
    if (!exchange) return AppendEditBuffer(model, kind, source);
    CopySlot(model, kind, source, kDeviceSlots + selected);
    return selected;
}

std::string RoomForCopy(const DeviceModel& model, SlotKind kind, int source, int target, const std::string& what) {
    if (!DeviceModel::ValidPreset(target) || (source != kClipboardSource && !DeviceModel::ValidPreset(source)))
        return {};
    const bool clip = source == kClipboardSource;
    const std::string why = Presets(kind)
        ? WorkingSetRoom(model, target, clip ? model.PresetClipboard : model.Presets[std::size_t(source)], what)
        : WorkingSetRoom(model, target, clip ? model.PatternClipboard : model.Patterns[std::size_t(source)], what);
    return why.empty() ? why : why + " Nothing was changed.";
}

void CopyPatternToClipboard(DeviceModel& model, int slot) {
    if (DeviceModel::ValidPattern(slot)) model.PatternClipboard = model.Patterns[std::size_t(slot)];
}

void PastePatternFromClipboard(DeviceModel& model, int slot) {
    if (DeviceModel::ValidPattern(slot)) model.Patterns[std::size_t(slot)] = model.PatternClipboard;
}

void ExchangePatternWithClipboard(DeviceModel& model, int slot) {
    if (DeviceModel::ValidPattern(slot)) std::swap(model.Patterns[std::size_t(slot)], model.PatternClipboard);
}

void CopySlotToClipboard(DeviceModel& model, SlotKind kind, int slot) {
    if (Presets(kind))
        model.CopyPreset(slot);
    else
        CopyPatternToClipboard(model, slot);
}

void PasteSlotFromClipboard(DeviceModel& model, SlotKind kind, int slot) {
    if (Presets(kind))
        model.PastePreset(slot);
    else
        PastePatternFromClipboard(model, slot);
}

void ExchangeSlotWithClipboard(DeviceModel& model, SlotKind kind, int slot) {
    if (Presets(kind))
        model.ExchangePresetWithClipboard(slot);
    else
        ExchangePatternWithClipboard(model, slot);
}

}  // namespace morvelant
