#include "TuneAudio.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "FileSys.h"
#include "FrameworkEx.h"
#include "audio/OggDecoder.h"
#include "audio/bass.h"

namespace {

constexpr const char* kTuneName = "Data\\tune.ogg";

std::string Quoted(const std::filesystem::path& path)
{
    return "\"" + path.string() + "\"";
}

std::string Trimmed(std::string text)
{
    while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

void TuneAudio::AppendFrames(std::int64_t first, std::int64_t count, std::vector<std::int16_t>& out) const
{
    if (count <= 0)
        return;
    const std::size_t start = out.size();
    out.resize(start + static_cast<std::size_t>(count) * channels, 0);
    // The part of [first, first + count) that lies inside the tune; the rest stays silent.
    const std::int64_t from = std::clamp<std::int64_t>(first, 0, Frames());
    const std::int64_t to = std::clamp<std::int64_t>(first + count, 0, Frames());
    if (from < to)
        std::copy(samples.begin() + from * channels, samples.begin() + to * channels,
                  out.begin() + static_cast<std::ptrdiff_t>(start + static_cast<std::size_t>(from - first) * channels));
}

TuneAudio ReadTune(const std::filesystem::path& archive)
{
    if (!std::filesystem::is_regular_file(archive))
        throw std::runtime_error("cannot read the archive " + Quoted(archive));
    std::vector<unsigned char> file;
    try {
        FileSys files(archive.string().c_str());
        file.resize(FileSys::GetFileSize(kTuneName));
        if (file.empty())
            throw std::runtime_error("the archive " + Quoted(archive) + " holds no \"Data\\tune.ogg\"");
        FileSys::ReadFile(kTuneName, file.data());
    } catch (const FrameworkEx& e) {
        throw std::runtime_error("cannot read the archive " + Quoted(archive) + ": " + Trimmed(e.GetMessage()));
    }
    DecodedAudio decoded = OggDecoder::Decode(file.data(), file.size());
    if (decoded.error != BASS_OK || decoded.rate == 0 || decoded.channels == 0)
        throw std::runtime_error("\"Data\\tune.ogg\" in " + Quoted(archive) + " is no Ogg Vorbis tune that can be played (error " +
                                 std::to_string(decoded.error) + ")");
    TuneAudio tune;
    tune.rate = decoded.rate;
    tune.channels = decoded.channels;
    tune.samples = std::move(decoded.samples);
    return tune;
}
