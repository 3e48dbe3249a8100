#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

// One key of an animation curve, as stored in the curve files: four little-endian IEEE-754
// singles in this order, 16 bytes, no padding. Tangents are slopes (value units per time
// unit); the incoming one belongs to the segment ending at the key, the outgoing one to the
// segment starting there. Step curves use time and value only.
struct ANIMCURVEKEY {
    float time;
    float value;
    float inTangent;
    float outTangent;
};
static_assert(sizeof(ANIMCURVEKEY) == 16, "curve keys are 16-byte records");

// Size of one key record in a curve file.
constexpr std::size_t kAnimCurveKeyBytes = 16;

// Turns the bytes of a curve file into keys, in file order. The key count is size / 16
// rounded down: a trailing partial record is ignored.
std::vector<ANIMCURVEKEY> DecodeAnimCurveKeys(const unsigned char* bytes, std::size_t size);

// A smooth segment: the cubic Hermite curve between two keys with slope tangents. Holds the
// coefficients of the segment last evaluated, value = ((A*t + B)*t + C)*t + D with t the
// time since the segment's first key.
template <typename T>
struct HERMITESEGMENT {
    T A = 0, B = 0, C = 0, D = 0;

    // Value of the segment starting at keys[index] at the given time. The last key's segment
    // runs to time 200000 and ends where it starts, with the last key's incoming slope.
    T Evaluate(const std::vector<ANIMCURVEKEY>& keys, int index, T time);
};

// A step segment: holds the value of the key it starts at.
template <typename T>
struct CONSTSEGMENT {
    T Evaluate(const std::vector<ANIMCURVEKEY>& keys, int index, T time) const;
};

// The keys of one named curve and how to evaluate them. Evaluation is stateful: the index of
// the segment last found is where the next search starts, so slowly moving times cost one
// step at most.
template <typename SEGMENT>
class InterpolatorBase {
public:
    using KEY = ANIMCURVEKEY;

    explicit InterpolatorBase(std::string name);

    // Reads the keys from the archive entry "Data\\anim\\" + name. Returns false, with no
    // keys, when there is no such entry (or it is empty).
    bool Load();
    // Replaces the keys, which must be ascending by time, and restarts the segment search.
    void SetKeys(std::vector<KEY> newKeys);

    // The index of the last key whose time is <= time, 0 when time lies before the first
    // key, -1 without keys.
    int FindSegment(float time);
    // The curve's value at time. Throws FrameworkEx when the curve has no keys.
    float Evaluate(float time);

    const std::string& GetName() const { return name; }
    const std::vector<KEY>& GetKeys() const { return keys; }

private:
    std::string name;
    std::vector<KEY> keys;
    int cachedSegment = 0;
    SEGMENT segment;
};

// The curve handle that transforms and cameras hold: an interpolator and the value of the
// last evaluation.
template <typename SEGMENT>
class AnimCurve {
public:
    explicit AnimCurve(std::string name);
    AnimCurve(const AnimCurve&) = delete;
    AnimCurve& operator=(const AnimCurve&) = delete;

    // Loads the keys from the archive. When the curve file is missing, the first failure of
    // this kind of curve in the run shows a "File not found" box; the curve then holds two
    // zero keys (at 0 and 10000), so it reads 0 everywhere, and false is returned.
    bool Load();
    void Evaluate(float time);
    float GetValue() const { return value; }

    const InterpolatorBase<SEGMENT>& GetInterpolator() const { return *interpolator; }

private:
    std::unique_ptr<InterpolatorBase<SEGMENT>> interpolator;
    float value = 0.0f;
};

// Starts a new run as far as the missing-curve boxes go: the next missing smooth curve and
// the next missing step curve each show their box again. The demo runs once per process and
// never calls this; a process that plays several runs (the test program) does.
void ResetAnimCurveMessages();

extern template struct HERMITESEGMENT<float>;
extern template struct CONSTSEGMENT<float>;
extern template class InterpolatorBase<HERMITESEGMENT<float>>;
extern template class InterpolatorBase<CONSTSEGMENT<float>>;
extern template class AnimCurve<HERMITESEGMENT<float>>;
extern template class AnimCurve<CONSTSEGMENT<float>>;
