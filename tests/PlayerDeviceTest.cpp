#include <gtest/gtest.h>

#include <iterator>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "FileSys.h"
#include "FrameworkExMessage.h"
#include "SyncHost.h"
#include "SyncTimer.h"
#include "TempDir.h"
#include "TrackBytes.h"
#include "common/ArchiveWriter.h"
#include "sync/PlayerDevice.h"

namespace {

class PlayerDeviceTest : public ::testing::Test {
protected:
    TempDir dir;
    SyncTimer timer;
    std::optional<FileSys> archive;
    std::unique_ptr<sync::Device> device{createDevice("sync", timer)};

    void Open(const ArchiveWriter& writer)
    {
        const std::string path = (dir.path() / "basefile.dat").string();
        writer.Write(path);
        archive.emplace(path.c_str());
    }

    std::string LoadFailure(const std::string& name)
    {
        return FrameworkExMessage([&] { device->getTrack(name); });
    }
};

TEST_F(PlayerDeviceTest, ReadsTheTrackFileUnderItsBaseName)
{
    ArchiveWriter writer;
    writer.Add("Data\\sync_Fade.track", U32(2) + Record(0, 0.0f, 1) + Record(10, 1.0f, 0));
    Open(writer);
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(device->getBaseName(), "sync");
    const sync::Track& fade = device->getTrack("Fade");
    EXPECT_EQ(fade.getName(), "Fade");
    EXPECT_FLOAT_EQ(fade.getValue(2.5f), 0.25f);
    EXPECT_FLOAT_EQ(fade.getValue(1000.0f), 1.0f);
    EXPECT_TRUE(device->update(3.0f));
}

TEST_F(PlayerDeviceTest, SameNameGivesTheSameTrackWithoutReadingAgain)
{
    ArchiveWriter writer;
    writer.Add("Data\\sync_Scene.track", U32(1) + Record(0, 3.0f, 0));
    Open(writer);
    sync::Track& first = device->getTrack("Scene");
    archive.reset(); // with the archive closed, a second read would fail
    sync::Track& second = device->getTrack("Scene");
    EXPECT_EQ(&first, &second);
    EXPECT_FLOAT_EQ(second.getValue(0.0f), 3.0f);
}

TEST_F(PlayerDeviceTest, NamesDifferingInCaseAreTwoTracksWithTwoFiles)
{
    ArchiveWriter writer;
    writer.Add("Data\\sync_Scene.track", U32(1) + Record(0, 1.0f, 0));
    writer.Add("Data\\sync_scene.track", U32(1) + Record(0, 2.0f, 0));
    Open(writer);
    const sync::Track& upper = device->getTrack("Scene");
    const sync::Track& lower = device->getTrack("scene");
    EXPECT_NE(&upper, &lower);
    EXPECT_FLOAT_EQ(upper.getValue(0.0f), 1.0f);
    EXPECT_FLOAT_EQ(lower.getValue(0.0f), 2.0f);
}

TEST_F(PlayerDeviceTest, FileContents)
{
    struct Case {
        const char* what;
        std::string file;
        std::map<unsigned, sync::Track::KeyFrame> expected;
    };
    const Case cases[] = {
        {"no key frames", U32(0), {}},
        {"code byte 0xFF is -1", U32(1) + Record(4, 2.0f, 0xff), {{4, {2.0f, -1}}}},
        {"code byte 0x80 is -128", U32(1) + Record(4, 2.0f, 0x80), {{4, {2.0f, -128}}}},
        {"code byte 0x7F is 127", U32(1) + Record(4, 2.0f, 0x7f), {{4, {2.0f, 127}}}},
        {"unsorted records", U32(2) + Record(9, 1.0f, 2) + Record(3, 5.0f, 3), {{3, {5.0f, 3}}, {9, {1.0f, 2}}}},
        {"the later record of a row wins",
         U32(3) + Record(5, 1.0f, 1) + Record(7, 4.0f, 0) + Record(5, 2.0f, 3),
         {{5, {2.0f, 3}}, {7, {4.0f, 0}}}},
        {"bytes after the last record are ignored", U32(1) + Record(1, 6.0f, 0) + "junk", {{1, {6.0f, 0}}}},
        {"a file cut inside a record gives its whole records",
         U32(3) + Record(0, 1.0f, 1) + Record(8, 2.0f, 0) + Record(16, 3.0f, 0).substr(0, 5),
         {{0, {1.0f, 1}}, {8, {2.0f, 0}}}},
        {"a count far beyond the file", U32(0xffffffffu) + Record(2, 1.5f, 0), {{2, {1.5f, 0}}}},
        {"a file too short for its count", std::string("\x01\x00", 2), {}},
    };
    ArchiveWriter writer;
    for (std::size_t i = 0; i < std::size(cases); ++i)
        writer.Add("Data\\sync_T" + std::to_string(i) + ".track", cases[i].file);
    Open(writer);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].what);
        const sync::Track& track = device->getTrack("T" + std::to_string(i));
        const auto& keys = track.getKeyFrames();
        ASSERT_EQ(keys.size(), cases[i].expected.size());
        for (const auto& [row, key] : cases[i].expected) {
            ASSERT_EQ(keys.count(row), 1u) << "row " << row;
            EXPECT_EQ(keys.at(row).value, key.value) << "row " << row;
            EXPECT_EQ(keys.at(row).interpolation, key.interpolation) << "row " << row;
        }
    }
}

TEST_F(PlayerDeviceTest, NegativeCodeEvaluatesAsStep)
{
    ArchiveWriter writer;
    writer.Add("Data\\sync_Hold.track", U32(2) + Record(0, 1.0f, 0xff) + Record(10, 3.0f, 1));
    writer.Add("Data\\sync_Empty.track", U32(0));
    Open(writer);
    EXPECT_FLOAT_EQ(device->getTrack("Hold").getValue(9.5f), 1.0f);
    EXPECT_FLOAT_EQ(device->getTrack("Empty").getValue(42.0f), 0.0f);
}

TEST_F(PlayerDeviceTest, MissingFileIsReportedEveryTimeItIsAskedFor)
{
    ArchiveWriter writer;
    writer.Add("Data\\sync_Scene.track", U32(0));
    writer.Add("Data\\sync_Blank.track", std::string());
    Open(writer);
    EXPECT_EQ(LoadFailure("Missing"), "loadTrack failed on Data\\sync_Missing.track");
    // a failed request leaves no empty track behind
    EXPECT_EQ(LoadFailure("Missing"), "loadTrack failed on Data\\sync_Missing.track");
    // an empty entry cannot be told from a missing one
    EXPECT_EQ(LoadFailure("Blank"), "loadTrack failed on Data\\sync_Blank.track");
    EXPECT_EQ(LoadFailure("Scene"), "(no exception)");
}

TEST_F(PlayerDeviceTest, LoadTrackAddsToTheGivenTrack)
{
    ArchiveWriter writer;
    writer.Add("Data\\curve.track", U32(1) + Record(6, 0.5f, 2));
    Open(writer);
    sync::PlayerDevice player("other", timer, SyncHost());
    EXPECT_EQ(&player.getTimer(), &timer);
    sync::Track track("Own");
    track.setKeyFrame(1, {9.0f, 0});
    EXPECT_TRUE(player.loadTrack(track, "curve.track"));
    EXPECT_EQ(track.getKeyFrames().size(), 2u);
    EXPECT_FLOAT_EQ(track.getValue(6.0f), 0.5f);
    EXPECT_EQ(FrameworkExMessage([&] { player.loadTrack(track, "sync_curve.track"); }),
              "loadTrack failed on Data\\sync_curve.track");
}

} // namespace
