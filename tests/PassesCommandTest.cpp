#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "TempDir.h"
#include "ToolRun.h"

namespace {

// Command lines `passes` refuses before it draws anything: exit 1 and the reason.
TEST(PassesCommandTest, RefusedCommandLinesSayWhy)
{
    TempDir folder;
    struct Case {
        std::vector<std::string> args;
        const char* reason;
    } const cases[] = {
        {{"passes", ORVALA_CONTENT_ARCHIVE}, "passes needs an archive and a time in seconds"},
        {{"passes", ORVALA_CONTENT_ARCHIVE, "38", "extra"}, "extra"},
        {{"passes", ORVALA_CONTENT_ARCHIVE, "150"}, "within the show"},
        {{"passes", ORVALA_CONTENT_ARCHIVE, "soon"}, "number of seconds"},
        {{"passes", ORVALA_CONTENT_ARCHIVE, "38", "--size", "160"}, "--size takes WIDTHxHEIGHT"},
        {{"passes", ORVALA_CONTENT_ARCHIVE, "38", "--json", "--json"}, "--json is given twice"},
        {{"passes", (folder.path() / "none.dat").string(), "38"}, "cannot read the archive"},
    };
    for (const Case& c : cases) {
        const ToolResult run = RunTool(c.args);
        EXPECT_EQ(run.exitCode, 1) << c.reason;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
    }
}

// The cornell box at 38 s as JSON: every pass with its targets, reads, draws and GPU time against
// its floor; the lit scene's passes write "Light" and the frame ends with the twitch pass into
// the back buffer. The passes' times lie within the frame's.
TEST(PassesCommandTest, JsonListsTheFramesPassesWithTheirTimes)
{
    const ToolResult run = RunTool({"passes", ORVALA_CONTENT_ARCHIVE, "38", "--size", "160x90", "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const nlohmann::json json = nlohmann::json::parse(run.out);
    EXPECT_EQ(json.at("scene"), "CornellScene");
    const double frameMs = json.at("frame_ms").get<double>();
    EXPECT_GT(frameMs, 0.0);
    const nlohmann::json& passes = json.at("passes");
    ASSERT_GT(passes.size(), 5u);

    bool light = false;
    double sum = 0.0;
    for (const nlohmann::json& pass : passes) {
        SCOPED_TRACE(pass.dump());
        for (const char* key : {"effect", "technique", "pass"})
            EXPECT_FALSE(pass.at(key).get<std::string>().empty()) << key;
        ASSERT_FALSE(pass.at("targets").empty());
        for (const nlohmann::json& target : pass.at("targets")) {
            light = light || target.at("name") == "Light";
            EXPECT_GT(target.at("width").get<int>(), 0);
            EXPECT_GT(target.at("height").get<int>(), 0);
            EXPECT_FALSE(target.at("format").get<std::string>().empty());
        }
        EXPECT_TRUE(pass.at("reads").is_array());
        EXPECT_GE(pass.at("draws").get<int>(), 1);
        EXPECT_GE(pass.at("primitives").get<int>(), 1);
        EXPECT_GE(pass.at("ms").get<double>(), 0.0);
        EXPECT_GT(pass.at("floor_ms").get<double>(), 0.0);
        sum += pass.at("ms").get<double>();
    }
    EXPECT_TRUE(light) << "no pass writes the target \"Light\"";
    EXPECT_LE(sum, frameMs * 1.0001);
    const nlohmann::json& last = passes.back();
    EXPECT_EQ(last.at("effect"), "PostEffects");
    EXPECT_EQ(last.at("technique"), "TwitchBlur");
    EXPECT_EQ(last.at("targets")[0].at("name"), "BackBuffer");
    EXPECT_EQ(last.at("targets")[0].at("width"), 160);
    EXPECT_EQ(last.at("targets")[0].at("height"), 90);
    EXPECT_EQ(json.at("heaviest").size(), 5u);
}

} // namespace
