#include <gtest/gtest.h>

#include <string>

#include "FrameworkExMessage.h"
#include "SyncHost.h"
#include "sync/Data.h"

namespace {

TEST(DataTest, TracksAreIndexedInOrderOfCreation)
{
    sync::Data data{SyncHost()};
    EXPECT_EQ(data.getTrackIndex("Scene"), -1);
    EXPECT_EQ(data.createTrack("Scene"), 0);
    EXPECT_EQ(data.createTrack("scene"), 1);
    EXPECT_EQ(data.addTrack(sync::Track("ActiveCam")), 2);
    EXPECT_EQ(data.getTrackIndex("Scene"), 0);
    EXPECT_EQ(data.getTrackIndex("scene"), 1);
    EXPECT_EQ(data.getTrackIndex("ActiveCam"), 2);
    EXPECT_EQ(data.getTrack(1)->getName(), "scene");
    EXPECT_EQ(data.getTrackCount(), 3u);
}

TEST(DataTest, ATrackKeepsItsAddressAsTheRegistryGrows)
{
    sync::Data data{SyncHost()};
    sync::Track* first = data.getTrack(static_cast<unsigned>(data.createTrack("First")));
    for (int i = 0; i < 100; ++i)
        data.createTrack("T" + std::to_string(i));
    EXPECT_EQ(data.getTrack(0), first);
}

TEST(DataTest, TakenNamesAndMissingIndicesAreRefused)
{
    sync::Data data{SyncHost()};
    data.createTrack("Scene");
    EXPECT_EQ(FrameworkExMessage([&] { data.createTrack("Scene"); }),
              "[Data::createTrack] Track \"Scene\" already exists.");
    EXPECT_EQ(FrameworkExMessage([&] { data.addTrack(sync::Track("Scene")); }),
              "[Data::addTrack] Track \"Scene\" already exists.");
    EXPECT_EQ(FrameworkExMessage([&] { data.getTrack(1); }), "[Data::getTrack] Could not find track #1");
    EXPECT_EQ(data.getTrackCount(), 1u);
}

} // namespace
