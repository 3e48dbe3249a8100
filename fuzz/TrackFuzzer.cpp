// Any bytes stored as a track file either fill the track with the file's whole records (the
// later of two records for a row winning, codes widened with their sign) or, for an empty
// entry, fail with "loadTrack failed on" the entry. The filled track holds its key values at
// their rows, before the first key and after the last, and moves between two keys without
// leaving the range they span.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <string>

#include "FrameworkEx.h"
#include "FuzzArchive.h"
#include "SyncHost.h"
#include "sync/PlayerDevice.h"

namespace {

class StillTimer : public sync::sTimer {
public:
    float getRow() override { return 0.0f; }
};

const char kEntry[] = "Data\\sync_Fuzz.track";

std::uint32_t U32(const std::uint8_t* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

bool Same(float a, float b)
{
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

// The key frames the file describes: its whole records, the later one for a row winning.
std::map<unsigned, sync::Track::KeyFrame> Expected(const std::uint8_t* data, std::size_t size)
{
    std::map<unsigned, sync::Track::KeyFrame> keys;
    if (size < 4)
        return keys;
    const std::size_t count = std::min<std::size_t>(U32(data), (size - 4) / 9);
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t* record = data + 4 + 9 * i;
        float value;
        const std::uint32_t bits = U32(record + 4);
        std::memcpy(&value, &bits, sizeof value);
        keys[U32(record)] = {value, static_cast<std::int8_t>(record[8])};
    }
    return keys;
}

// A row as the track sees it: only rows a float holds exactly can be asked for.
bool Exact(unsigned row)
{
    return static_cast<double>(static_cast<float>(row)) == static_cast<double>(row);
}

void CheckBetween(const sync::Track& track, unsigned ra, const sync::Track::KeyFrame& a, unsigned rb, float b)
{
    if (!Exact(ra))
        return;
    // Exactly at a key its value, whatever the type (unless the step to the next key is no
    // number at all).
    if (std::isfinite(b - a.value) && track.getValue(static_cast<float>(ra)) != a.value)
        std::abort();
    const float x = static_cast<float>(ra + (rb - ra) / 2.0 + 0.25);
    if (!(x > static_cast<float>(ra)) || std::floor(static_cast<double>(x)) >= rb)
        return;
    const float value = track.getValue(x);
    const bool moves = a.interpolation >= sync::Track::KeyFrame::Linear && a.interpolation <= sync::Track::KeyFrame::Ramp;
    if (!moves) {
        if (!Same(value, a.value))
            std::abort(); // step and unknown codes hold
        return;
    }
    if (!std::isfinite(a.value) || !std::isfinite(b) || !std::isfinite(b - a.value))
        return;
    const float slack = (std::fabs(a.value) + std::fabs(b)) * 1e-5f;
    if (!(value >= std::min(a.value, b) - slack && value <= std::max(a.value, b) + slack))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    auto files = OpenFuzzEntry(kEntry, data, size);
    StillTimer timer;
    sync::PlayerDevice device("sync", timer, SyncHost());

    if (size == 0) {
        // An empty entry is no entry; asking again fails again.
        for (int attempt = 0; attempt < 2; ++attempt) {
            try {
                device.getTrack("Fuzz");
                std::abort();
            } catch (const FrameworkEx& failure) {
                if (failure.GetMessage() != std::string("loadTrack failed on ") + kEntry)
                    std::abort();
            }
        }
        return 0;
    }

    const sync::Track& track = device.getTrack("Fuzz");
    if (&device.getTrack("Fuzz") != &track)
        std::abort();

    const auto expected = Expected(data, size);
    const auto& keys = track.getKeyFrames();
    if (keys.size() != expected.size())
        std::abort();
    for (const auto& [row, key] : expected) {
        auto found = keys.find(row);
        if (found == keys.end() || !Same(found->second.value, key.value) ||
            found->second.interpolation != key.interpolation)
            std::abort();
    }

    if (keys.empty()) {
        if (track.getValue(0.0f) != 0.0f || track.getValue(1e6f) != 0.0f)
            std::abort();
        return 0;
    }
    const auto& first = *keys.begin();
    const auto& last = *keys.rbegin();
    if (first.first > 0 && !Same(track.getValue(0.0f), first.second.value))
        std::abort();
    if (!Same(track.getValue(-1.0f), first.second.value) || !Same(track.getValue(NAN), first.second.value))
        std::abort();
    if (!Same(track.getValue(4.5e9f), last.second.value))
        std::abort();
    if (Exact(last.first) && !Same(track.getValue(static_cast<float>(last.first)), last.second.value))
        std::abort();

    int pairs = 0;
    for (auto it = keys.begin(); std::next(it) != keys.end() && pairs < 256; ++it, ++pairs)
        CheckBetween(track, it->first, it->second, std::next(it)->first, std::next(it)->second.value);
    return 0;
}
