#include "sync/Track.h"

#include <cmath>
#include <iterator>

namespace orvala::sync {

namespace {
constexpr double kPi = 3.141592653589793;
// The first float that no unsigned 32-bit row can reach.
constexpr float kRowLimit = 4294967296.0f;
} // namespace

float Track::getValue(float row) const
{
    if (keyFrames.empty())
        return 0.0f;
    // Rows are never negative in use; a negative or NaN row counts as lying before the first
    // key frame, and a row beyond the last representable one as lying after the last, so
    // that the conversion to an integer row below is always defined.
    if (!(row >= 0.0f))
        return keyFrames.begin()->second.value;
    if (row >= kRowLimit)
        return keyFrames.rbegin()->second.value;

    const unsigned r = static_cast<unsigned>(std::floor(row));
    const auto upper = keyFrames.upper_bound(r);
    if (upper == keyFrames.begin())
        return upper->second.value; // before the first key frame
    const auto lower = std::prev(upper);
    if (upper == keyFrames.end())
        return lower->second.value; // at or after the last key frame

    const unsigned ra = lower->first;
    const unsigned rb = upper->first;
    const float a = lower->second.value;
    const float b = upper->second.value;
    float t = (row - static_cast<float>(ra)) / static_cast<float>(rb - ra);
    switch (lower->second.interpolation) {
    case KeyFrame::Linear:
        return a + (b - a) * t;
    case KeyFrame::Smooth:
        t = static_cast<float>((1.0 - std::cos(t * kPi)) * 0.5);
        return a + (b - a) * t;
    case KeyFrame::Ramp:
        t = static_cast<float>(std::pow(t, 2.0));
        return a + (b - a) * t;
    default: // Step and every unknown code hold the earlier value
        return a;
    }
}

void Track::setKeyFrame(unsigned row, const KeyFrame& key)
{
    keyFrames[row] = key;
}

} // namespace orvala::sync
