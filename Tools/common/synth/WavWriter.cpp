#include "common/synth/WavWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

#include "common/synth/SynthUnits.h"

namespace synth {

namespace {

void Put(std::vector<unsigned char>& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

} // namespace

std::vector<unsigned char> EncodeWav(const std::vector<float>& stereo)
{
    if (stereo.size() % 2 != 0)
        throw std::invalid_argument("stereo samples come in pairs");
    const std::uint64_t dataBytes = static_cast<std::uint64_t>(stereo.size()) * 2;
    if (dataBytes > 0xFFFFFFFFull - 36)
        throw std::runtime_error("too long for a WAVE file");
    std::vector<unsigned char> out;
    out.reserve(static_cast<std::size_t>(dataBytes) + 44);
    const auto text = [&out](const char* s) { out.insert(out.end(), s, s + 4); };
    text("RIFF");
    Put(out, static_cast<std::uint32_t>(36 + dataBytes), 4);
    text("WAVE");
    text("fmt ");
    Put(out, 16, 4);
    Put(out, 1, 2); // PCM
    Put(out, 2, 2);
    Put(out, kSampleRate, 4);
    Put(out, kSampleRate * 4, 4);
    Put(out, 4, 2);
    Put(out, 16, 2);
    text("data");
    Put(out, static_cast<std::uint32_t>(dataBytes), 4);
    for (float sample : stereo) {
        const long value = std::lround(std::clamp(sample, -1.0f, 1.0f) * 32767.0f);
        Put(out, static_cast<std::uint32_t>(static_cast<std::int32_t>(value)), 2);
    }
    return out;
}

} // namespace synth
