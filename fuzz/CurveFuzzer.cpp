// Any bytes stored as an animation curve file load as its whole 16-byte keys in file order
// (an empty entry is a missing curve: two zero keys, reading 0 everywhere). A curve without a
// whole key fails to evaluate with "No Keys in animation curve". For keys in ascending time the
// search finds the last key at or before the time whatever was asked before, a step curve
// gives that key's value, and a smooth curve gives the same value as a freshly loaded one.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "AnimCurve.h"
#include "FrameworkEx.h"
#include "FuzzArchive.h"

namespace {

using Smooth = HERMITESEGMENT<float>;
using Step = CONSTSEGMENT<float>;

const char kName[] = "fuzz.translateX";

bool Same(float a, float b)
{
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

bool Ascending(const std::vector<ANIMCURVEKEY>& keys)
{
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (std::isnan(keys[i].time))
            return false;
        if (i > 0 && keys[i].time < keys[i - 1].time)
            return false;
    }
    return true;
}

// The last key whose time is <= time, or 0 before the first key.
int LastKeyAtOrBefore(const std::vector<ANIMCURVEKEY>& keys, float time)
{
    int found = 0;
    for (std::size_t i = 0; i < keys.size(); ++i)
        if (keys[i].time <= time)
            found = static_cast<int>(i);
    return found;
}

// The times to ask for: every key time (and just past it), a time before and after all keys,
// forward and then backward, so that the cached search walks both ways.
std::vector<float> Times(const std::vector<ANIMCURVEKEY>& keys)
{
    std::vector<float> times{-1e30f, 0.0f};
    for (std::size_t i = 0; i < keys.size() && i < 64; ++i) {
        times.push_back(keys[i].time);
        times.push_back(std::nextafter(keys[i].time, INFINITY));
    }
    times.push_back(1e30f);
    const std::size_t forward = times.size();
    for (std::size_t i = forward; i-- > 0;)
        times.push_back(times[i]);
    return times;
}

void ExpectNoKeys(AnimCurve<Smooth>& smooth, AnimCurve<Step>& step)
{
    for (int kind = 0; kind < 2; ++kind) {
        try {
            kind == 0 ? smooth.Evaluate(1.0f) : step.Evaluate(1.0f);
            std::abort();
        } catch (const FrameworkEx& failure) {
            if (failure.GetMessage() != std::string("No Keys in animation curve \"") + kName + "\".")
                std::abort();
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto files = OpenFuzzEntry(std::string("Data\\anim\\") + kName, data, size);
    AnimCurve<Smooth> smooth(kName);
    AnimCurve<Step> step(kName);
    const bool loaded = smooth.Load();
    if (step.Load() != loaded || loaded != (size != 0))
        std::abort();

    if (!loaded) {
        // The stand-in for a missing curve reads 0 everywhere.
        for (float time : {-5.0f, 0.0f, 3.0f, 10000.0f, 1e9f}) {
            smooth.Evaluate(time);
            step.Evaluate(time);
            if (smooth.GetValue() != 0.0f || step.GetValue() != 0.0f)
                std::abort();
        }
        return 0;
    }

    const std::vector<ANIMCURVEKEY>& keys = smooth.GetInterpolator().GetKeys();
    if (keys.size() != size / 16 || step.GetInterpolator().GetKeys().size() != keys.size())
        std::abort();
    if (!keys.empty() && std::memcmp(keys.data(), data, keys.size() * 16) != 0)
        std::abort(); // the keys are the file's records, little-endian, in order
    if (keys.empty()) {
        ExpectNoKeys(smooth, step);
        return 0;
    }

    InterpolatorBase<Smooth> search(kName);
    if (!search.Load())
        std::abort();
    const bool ascending = Ascending(keys);
    for (float time : Times(keys)) {
        const int segment = search.FindSegment(time);
        if (segment < 0 || segment >= static_cast<int>(keys.size()))
            std::abort();
        smooth.Evaluate(time);
        step.Evaluate(time);
        if (!ascending)
            continue; // unsorted files are not detected, only read safely
        if (segment != LastKeyAtOrBefore(keys, time))
            std::abort();
        if (!Same(step.GetValue(), keys[static_cast<std::size_t>(segment)].value))
            std::abort();
        InterpolatorBase<Smooth> fresh(kName);
        fresh.SetKeys(keys);
        if (!Same(fresh.Evaluate(time), smooth.GetValue()))
            std::abort();
    }
    return 0;
}
