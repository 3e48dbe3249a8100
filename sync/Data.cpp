#include "sync/Data.h"

namespace orvala::sync {

int Data::getTrackIndex(const std::string& name) const
{
    for (std::size_t i = 0; i < tracks.size(); ++i)
        if (tracks[i]->getName() == name)
            return static_cast<int>(i);
    return -1;
}

int Data::createTrack(const std::string& name)
{
    if (getTrackIndex(name) >= 0)
        Fail(host, "[Data::createTrack] Track \"" + name + "\" already exists.");
    tracks.push_back(std::make_unique<Track>(name));
    return static_cast<int>(tracks.size() - 1);
}

int Data::addTrack(Track track)
{
    if (getTrackIndex(track.getName()) >= 0)
        Fail(host, "[Data::addTrack] Track \"" + track.getName() + "\" already exists.");
    tracks.push_back(std::make_unique<Track>(std::move(track)));
    return static_cast<int>(tracks.size() - 1);
}

Track* Data::getTrack(unsigned index) const
{
    if (index >= tracks.size())
        Fail(host, "[Data::getTrack] Could not find track #" + std::to_string(index));
    return tracks[index].get();
}

} // namespace orvala::sync
