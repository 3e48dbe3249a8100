#include <gtest/gtest.h>

#include "DemoWorld.h"
#include "FrameworkExMessage.h"
#include "Scene.h"
#include "SceneHandler.h"

namespace {

// A scene that writes down what the handler asks of it.
class LogScene : public Scene {
public:
    LogScene(const std::string& name, std::vector<std::string>& log, bool* deleted = nullptr)
        : Scene(name), log(log), deleted(deleted)
    {
    }
    ~LogScene() override
    {
        if (deleted)
            *deleted = true;
    }
    void Update() override { Note("Update"); }
    void AcquireTargets() override { Note("Acquire"); }
    void ReleaseTargets() override { Note("Release"); }
    void CreateResources() override { Note("Create"); }
    void ReleaseResources() override { Note("Free"); }
    void SetConstants() override { Note("Constants"); }

private:
    void Note(const char* what) { log.push_back(GetName() + ":" + what); }
    std::vector<std::string>& log;
    bool* deleted;
};

// The "Scene" track steps through the given values, one per second (17.07 rows apart).
class SceneHandlerTest : public ::testing::Test {
protected:
    void Open(const std::vector<float>& values, int scenes)
    {
        std::vector<TrackKey> keys;
        for (std::size_t i = 0; i < values.size(); ++i)
            keys.push_back({static_cast<unsigned>(i * 256 / 15), values[i], 0});
        world.Track("Scene", keys);
        world.Open();
        handler = std::make_unique<SceneHandler>();
        for (int i = 0; i < scenes; ++i)
            SceneHandler::AddScene(new LogScene("s" + std::to_string(i), log));
    }
    // Draws the frame at the given second of playback and returns what the scenes did.
    std::vector<std::string> FrameAt(double seconds)
    {
        log.clear();
        world.SetTime(seconds);
        SceneHandler::Idle();
        return log;
    }

    DemoWorld world;
    std::vector<std::string> log;
    std::unique_ptr<SceneHandler> handler;
};

using Log = std::vector<std::string>;

TEST_F(SceneHandlerTest, SwitchesOnlyWhenTheIndexChanges)
{
    Open({3, 3, 5, 3}, 6);
    EXPECT_EQ(SceneHandler::GetCurrent()->GetName(), "s5"); // the last registered
    // the first frame always switches, leaving the last registered scene
    EXPECT_EQ(FrameAt(0.1), (Log{"s5:Release", "s3:Acquire", "s3:Constants", "s3:Update"}));
    EXPECT_EQ(FrameAt(1.1), (Log{"s3:Update"}));
    EXPECT_EQ(FrameAt(2.1), (Log{"s3:Release", "s5:Acquire", "s5:Constants", "s5:Update"}));
    EXPECT_EQ(FrameAt(3.1), (Log{"s5:Release", "s3:Acquire", "s3:Constants", "s3:Update"}));
    EXPECT_TRUE(world.boxes.empty());
}

TEST_F(SceneHandlerTest, TrackValuesTruncateTowardZero)
{
    Open({2.9f, -0.5f}, 4);
    FrameAt(0.1);
    EXPECT_EQ(SceneHandler::GetCurrent()->GetName(), "s2");
    FrameAt(1.1);
    EXPECT_EQ(SceneHandler::GetCurrent()->GetName(), "s0");
    EXPECT_TRUE(world.boxes.empty());
}

TEST_F(SceneHandlerTest, OutOfRangeIndexShowsTheInvalidBoxEveryFrameAndUsesSceneZero)
{
    Open({-1.0f, 8.0f}, 8);
    const struct {
        double second;
        const char* text;
    } frames[] = {{0.1, "[SceneHandler::Idle] Invalid Scene index: 4294967295"},
                  {0.2, "[SceneHandler::Idle] Invalid Scene index: 4294967295"},
                  {1.1, "[SceneHandler::Idle] Invalid Scene index: 8"}};
    for (const auto& f : frames) {
        world.boxes.clear();
        FrameAt(f.second);
        ASSERT_EQ(world.boxes.size(), 1u);
        EXPECT_EQ(world.boxes[0].text, f.text);
        EXPECT_EQ(world.boxes[0].caption, "Invalid");
        EXPECT_EQ(world.boxes[0].type, MB_OK);
        EXPECT_EQ(world.boxes[0].owner, nullptr);
        EXPECT_EQ(SceneHandler::GetCurrent()->GetName(), "s0");
    }
}

TEST_F(SceneHandlerTest, RegistrationLookupAndTheirMessages)
{
    Open({0}, 2);
    EXPECT_EQ(SceneHandler::FindScene("s1")->GetName(), "s1");
    EXPECT_EQ(FrameworkExMessage([] { SceneHandler::FindScene("S1"); }),
              "[SceneHandler::FindScene]  Could not find scene \"S1\"");
    bool freed = false;
    EXPECT_EQ(FrameworkExMessage([&] { SceneHandler::AddScene(new LogScene("s0", log, &freed)); }),
              "[SceneHandler::AddScene]: Scene \"s0\" already added.");
    EXPECT_TRUE(freed);
    EXPECT_EQ(SceneHandler::GetScenes().size(), 2u);
    EXPECT_EQ(FrameworkExMessage([] { SceneHandler second; }), "SceneHandler is a singleton!");
}

TEST_F(SceneHandlerTest, StartUpPassesSkipOnlyTheLoaderScene)
{
    Open({0}, 0);
    for (const char* name : {"a", "LoaderBarScene", "b"})
        SceneHandler::AddScene(new LogScene(name, log));
    SceneHandler::PrepareTargets();
    EXPECT_EQ(log, (Log{"a:Acquire", "a:Release", "LoaderBarScene:Acquire", "LoaderBarScene:Release", "b:Acquire",
                        "b:Release"}));
    log.clear();
    SceneHandler::CreateSceneResources();
    EXPECT_EQ(log, (Log{"a:Create", "b:Create"}));
    log.clear();
    SceneHandler::ReleaseSceneResources();
    EXPECT_EQ(log, (Log{"a:Free", "LoaderBarScene:Free", "b:Free"}));
}

TEST_F(SceneHandlerTest, DestroyingTheHandlerDeletesItsScenes)
{
    Open({0}, 0);
    bool deleted = false;
    SceneHandler::AddScene(new LogScene("only", log, &deleted));
    handler.reset();
    EXPECT_TRUE(deleted);
    EXPECT_TRUE(SceneHandler::GetScenes().empty());
    SceneHandler fresh; // the instance is forgotten with the old one
    SceneHandler::Idle(); // nothing registered: nothing to show
    EXPECT_EQ(SceneHandler::GetCurrent(), nullptr);
}

} // namespace
