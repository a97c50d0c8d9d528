#include "patterns/TrackTools.h"

#include <algorithm>

#include "model/PatternSteps.h"
#include "patterns/PickerProtocol.h"

namespace morvelant {

namespace {

struct BoundRef {
    int32_t* field;
    int32_t low;  // the lowest and highest value it may take
    int32_t high;
};

std::optional<BoundRef> RefOf(TrackToolRanges& r, int code) {
    switch (code) {
        case kMinNoteCode: return BoundRef{&r.MinNote, 0, r.MaxNote};
        case kMaxNoteCode: return BoundRef{&r.MaxNote, r.MinNote, 127};
        case kMinVelocityCode: return BoundRef{&r.MinVelocity, 0, r.MaxVelocity};
        case kMaxVelocityCode: return BoundRef{&r.MaxVelocity, r.MinVelocity, 127};
        default: return std::nullopt;
    }
}

}  // namespace

bool TrackToolRanges::SetBound(int code, int value) {
    const auto ref = RefOf(*this, code);
    if (!ref || value < ref->low || value > ref->high) return false;
    *ref->field = value;
    return true;
}

void TrackToolRanges::SetBoundClamped(int code, int value) {
    if (const auto ref = RefOf(*this, code)) SetBound(code, std::clamp(value, ref->low, ref->high));
}

bool TrackToolRanges::StepBound(int code, int delta) {
    const auto ref = RefOf(*this, code);
    return ref && SetBound(code, *ref->field + delta);
}

std::optional<int32_t> TrackToolRanges::Bound(int code) const {
    const auto ref = RefOf(const_cast<TrackToolRanges&>(*this), code);
    if (!ref) return std::nullopt;
    return *ref->field;
}

void RandomFill(Pattern_Parameters& pattern, int t, bool notes, int32_t min, int32_t max, const RandomSource& random) {
    if (t < 0 || t >= kTrackCount) return;
    min = std::clamp<int32_t>(min, 0, 127);
    max = std::clamp<int32_t>(max, 0, 127);
    if (max < min) std::swap(min, max);
    const StepRange steps = TrackStepRange(pattern, t + 1);
    const uint32_t span = static_cast<uint32_t>(max - min + 1);
    for (int s = steps.First; s <= steps.Last; ++s) {
        const int32_t v = min + static_cast<int32_t>(random() % span);
        (notes ? pattern.StepNote(t, s - 1) : pattern.StepVelocity(t, s - 1)) = v;
    }
}

}  // namespace morvelant
