#include "sync/PlayerDevice.h"

#include <cstdint>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

namespace orvala::sync {

namespace {

constexpr std::size_t kCountSize = 4;
constexpr std::size_t kRecordSize = 9;

std::uint32_t ReadU32(const unsigned char* p)
{
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 | std::uint32_t(p[3]) << 24;
}

} // namespace

PlayerDevice::PlayerDevice(const std::string& baseName, sTimer& timer, Host host)
    : Device(baseName), timer(timer), host(std::move(host)), data(this->host)
{
}

Track& PlayerDevice::getTrack(const std::string& name)
{
    const int index = data.getTrackIndex(name);
    if (index >= 0)
        return *data.getTrack(static_cast<unsigned>(index));

    // The track joins the registry only once its file has been read, so that a failed load
    // leaves no empty track behind that a later request would take for a loaded one.
    Track track(name);
    loadTrack(track, baseName + "_" + name + ".track");
    return *data.getTrack(static_cast<unsigned>(data.addTrack(std::move(track))));
}

bool PlayerDevice::update(float /*row*/)
{
    return true;
}

bool PlayerDevice::loadTrack(Track& track, std::string fileName)
{
    const std::string path = "Data\\" + fileName;
    const std::vector<unsigned char> buffer = host.read ? host.read(path) : std::vector<unsigned char>();
    if (buffer.empty())
        Fail(host, "loadTrack failed on " + path);
    const std::size_t size = buffer.size();

    const std::uint32_t count = size >= kCountSize ? ReadU32(buffer.data()) : 0;
    const std::size_t whole = size >= kCountSize ? (size - kCountSize) / kRecordSize : 0;
    if ((size < kCountSize || whole < count) && host.log)
        host.log("...track file " + path + " is cut short; reading its whole records only");
    const std::size_t records = count < whole ? count : whole;

    for (std::size_t i = 0; i < records; ++i) {
        const unsigned char* record = buffer.data() + kCountSize + kRecordSize * i;
        const std::uint32_t bits = ReadU32(record + 4);
        float value;
        std::memcpy(&value, &bits, sizeof value);
        // the code byte is signed and keeps its sign when widened
        const int interpolation = record[8] < 0x80 ? int(record[8]) : int(record[8]) - 0x100;
        track.setKeyFrame(ReadU32(record), Track::KeyFrame{value, interpolation});
    }
    return true;
}

void PlayerDevice::reloadTracks()
{
    std::vector<Track> fresh;
    fresh.reserve(data.getTrackCount());
    for (unsigned i = 0; i < data.getTrackCount(); ++i) {
        Track track(data.getTrack(i)->getName());
        loadTrack(track, baseName + "_" + track.getName() + ".track");
        fresh.push_back(std::move(track));
    }
    for (unsigned i = 0; i < data.getTrackCount(); ++i)
        *data.getTrack(i) = std::move(fresh[i]);
}

Device* createDevice(const std::string& baseName, sTimer& timer, Host host)
{
    return new (std::nothrow) PlayerDevice(baseName, timer, std::move(host));
}

} // namespace orvala::sync
