#pragma once
#include <map>
#include <string>

#include "sync/SyncNamespace.h"

namespace orvala::sync {

// A named, key-framed float curve over the timeline, indexed by row. Between two key frames
// the earlier one's interpolation decides how the value moves; before the first key frame
// and after the last one the track holds that key frame's value.
class Track {
public:
    struct KeyFrame {
        // The interpolation codes; any other code holds the value like Step.
        enum Interpolation : int { Step = 0, Linear = 1, Smooth = 2, Ramp = 3 };

        float value;
        int interpolation;
    };

    explicit Track(std::string name = std::string()) : name(std::move(name)) {}

    // The value at a fractional row; 0 for a track without key frames. A negative (or NaN)
    // row lies before every key frame, a row of 2^32 or more after every key frame.
    float getValue(float row) const;

    // Inserts a key frame, or replaces value and interpolation of the one at that row.
    void setKeyFrame(unsigned row, const KeyFrame& key);

    const std::string& getName() const { return name; }
    const std::map<unsigned, KeyFrame>& getKeyFrames() const { return keyFrames; }

private:
    std::string name;
    std::map<unsigned, KeyFrame> keyFrames;
};

} // namespace orvala::sync
