#include "audio/AudioSource.h"

#include <algorithm>
#include <vector>

std::size_t AudioSource::Skip(std::size_t frames)
{
    constexpr std::size_t kBlockFrames = 1024;
    std::vector<float> scratch(kBlockFrames * Channels());
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t want = std::min(kBlockFrames, frames - done);
        const std::size_t got = Read(scratch.data(), want);
        done += got;
        if (got < want)
            break;
    }
    return done;
}
