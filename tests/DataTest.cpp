#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "FrameworkEx.h"
#include "sync/Data.h"

namespace {

std::string MessageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const FrameworkEx& e) {
        return e.GetMessage();
    }
    return "(no exception)";
}

TEST(DataTest, TracksAreIndexedInOrderOfCreation)
{
    sync::Data data;
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
    sync::Data data;
    sync::Track* first = data.getTrack(static_cast<unsigned>(data.createTrack("First")));
    for (int i = 0; i < 100; ++i)
        data.createTrack("T" + std::to_string(i));
    EXPECT_EQ(data.getTrack(0), first);
}

TEST(DataTest, TakenNamesAndMissingIndicesAreRefused)
{
    sync::Data data;
    data.createTrack("Scene");
    EXPECT_EQ(MessageOf([&] { data.createTrack("Scene"); }), "[Data::createTrack] Track \"Scene\" already exists.");
    EXPECT_EQ(MessageOf([&] { data.addTrack(sync::Track("Scene")); }),
              "[Data::addTrack] Track \"Scene\" already exists.");
    EXPECT_EQ(MessageOf([&] { data.getTrack(1); }), "[Data::getTrack] Could not find track #1");
    EXPECT_EQ(data.getTrackCount(), 1u);
}

} // namespace
