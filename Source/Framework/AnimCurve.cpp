#include "AnimCurve.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <utility>

#include "FileSys.h"
#include "FrameworkEx.h"
#include "win32/MessageBox.h"

namespace {

// The time at which the segment after the last key ends.
constexpr float kLastSegmentEnd = 200000.0f;

float DecodeFloat(const unsigned char* p)
{
    const std::uint32_t bits = std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
                               std::uint32_t(p[3]) << 24;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Whether a missing curve of this kind has been reported in this run.
template <typename SEGMENT>
bool& MissingMessageShown()
{
    static bool shown = false;
    return shown;
}

} // namespace

std::vector<ANIMCURVEKEY> DecodeAnimCurveKeys(const unsigned char* bytes, std::size_t size)
{
    std::vector<ANIMCURVEKEY> keys;
    keys.reserve(size / kAnimCurveKeyBytes);
    for (std::size_t offset = 0; offset + kAnimCurveKeyBytes <= size; offset += kAnimCurveKeyBytes) {
        const unsigned char* p = bytes + offset;
        keys.push_back({DecodeFloat(p), DecodeFloat(p + 4), DecodeFloat(p + 8), DecodeFloat(p + 12)});
    }
    return keys;
}

template <typename T>
T HERMITESEGMENT<T>::Evaluate(const std::vector<ANIMCURVEKEY>& keys, int index, T time)
{
    const ANIMCURVEKEY& k0 = keys[static_cast<std::size_t>(index)];
    const bool last = static_cast<std::size_t>(index) + 1 == keys.size();
    const ANIMCURVEKEY& k1 = last ? k0 : keys[static_cast<std::size_t>(index) + 1];
    const T d = last ? T(kLastSegmentEnd) - T(k0.time) : T(k1.time) - T(k0.time);
    const T delta = T(k1.value) - T(k0.value);
    const T m0 = T(k0.outTangent);
    const T m1 = T(k1.inTangent);

    if (d == T(0)) {
        // A segment of no length (two keys at the same time, met only before the first key,
        // or a last key at the very end) has no cubic; rather than dividing by zero it
        // continues along the outgoing slope.
        A = 0;
        B = 0;
    } else {
        const T d2 = d * d;
        const T d3 = d2 * d;
        A = (m0 + m1) / d2 - T(2) * delta / d3;
        B = T(3) * delta / d2 - (T(2) * m0 + m1) / d;
    }
    C = m0;
    D = T(k0.value);

    const T t = time - T(k0.time);
    return ((A * t + B) * t + C) * t + D;
}

template <typename T>
T CONSTSEGMENT<T>::Evaluate(const std::vector<ANIMCURVEKEY>& keys, int index, T) const
{
    return T(keys[static_cast<std::size_t>(index)].value);
}

template <typename SEGMENT>
InterpolatorBase<SEGMENT>::InterpolatorBase(std::string name) : name(std::move(name))
{
}

template <typename SEGMENT>
bool InterpolatorBase<SEGMENT>::Load()
{
    keys.clear();
    cachedSegment = 0;
    const std::string entry = "Data\\anim\\" + name;
    const unsigned size = FileSys::GetFileSize(entry.c_str());
    if (size == 0)
        return false;
    std::vector<unsigned char> buffer(size);
    FileSys::ReadFile(entry.c_str(), buffer.data());
    keys = DecodeAnimCurveKeys(buffer.data(), buffer.size());
    return true;
}

template <typename SEGMENT>
void InterpolatorBase<SEGMENT>::SetKeys(std::vector<KEY> newKeys)
{
    keys = std::move(newKeys);
    cachedSegment = 0;
}

template <typename SEGMENT>
int InterpolatorBase<SEGMENT>::FindSegment(float time)
{
    const int count = static_cast<int>(keys.size());
    if (count == 0)
        return -1;
    int i = cachedSegment < count ? cachedSegment : count - 1;
    if (keys[static_cast<std::size_t>(i)].time <= time) {
        while (i + 1 < count && time >= keys[static_cast<std::size_t>(i) + 1].time)
            ++i;
    } else {
        while (i > 0) {
            --i;
            if (time >= keys[static_cast<std::size_t>(i)].time)
                break;
        }
    }
    cachedSegment = i;
    return i;
}

template <typename SEGMENT>
float InterpolatorBase<SEGMENT>::Evaluate(float time)
{
    if (keys.empty())
        throw FrameworkEx("No Keys in animation curve \"" + name + "\".");
    const float value = segment.Evaluate(keys, FindSegment(time), time);
    if (std::isfinite(value))
        return value;
    // Far outside its keys (a damaged clock can ask for any time) the extended cubic overflows;
    // there the curve holds its nearest end key's value rather than handing on infinities. Inside
    // them the value stands as the keys give it.
    if (time < keys.front().time)
        return keys.front().value;
    if (time > keys.back().time)
        return keys.back().value;
    return value;
}

template <typename SEGMENT>
AnimCurve<SEGMENT>::AnimCurve(std::string name)
    : interpolator(std::make_unique<InterpolatorBase<SEGMENT>>(std::move(name)))
{
}

template <typename SEGMENT>
bool AnimCurve<SEGMENT>::Load()
{
    if (interpolator->Load())
        return true;
    bool& shown = MissingMessageShown<SEGMENT>();
    if (!shown) {
        const std::string text = "No animCurve found in filesystem corresponding to registered curve: \"" +
                                 interpolator->GetName() + "\".\n(Skipping further error messages)";
        MessageBoxA(nullptr, text.c_str(), "File not found", MB_OK);
        shown = true;
    }
    interpolator->SetKeys({{0.0f, 0.0f, 0.0f, 0.0f}, {10000.0f, 0.0f, 0.0f, 0.0f}});
    return false;
}

template <typename SEGMENT>
void AnimCurve<SEGMENT>::Evaluate(float time)
{
    value = interpolator->Evaluate(time);
}

void ResetAnimCurveMessages()
{
    MissingMessageShown<HERMITESEGMENT<float>>() = false;
    MissingMessageShown<CONSTSEGMENT<float>>() = false;
}

template struct HERMITESEGMENT<float>;
template struct CONSTSEGMENT<float>;
template class InterpolatorBase<HERMITESEGMENT<float>>;
template class InterpolatorBase<CONSTSEGMENT<float>>;
template class AnimCurve<HERMITESEGMENT<float>>;
template class AnimCurve<CONSTSEGMENT<float>>;
