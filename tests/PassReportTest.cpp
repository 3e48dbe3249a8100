#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "show/PassReport.h"

namespace {

PassTarget Target(const char* name, D3DFORMAT format)
{
    PassTarget target;
    target.name = name;
    target.width = 640;
    target.height = 360;
    target.format = format;
    return target;
}

PassRecord Timed(const char* technique, double ms, const char* target = "Light")
{
    PassRecord pass;
    pass.effect = "PostEffects";
    pass.technique = technique;
    pass.pass = "P0";
    pass.targets.push_back(Target(target, D3DFMT_A16B16G16R16F));
    pass.ms = ms;
    return pass;
}

// The runs of a frame become one list: each pass's median over the runs that drew the same
// passes into the same targets; a run that drew another list does not count.
TEST(PassReportTest, MedianFrameTakesEachPassesMedianOverMatchingRuns)
{
    const std::vector<PassFrame> runs = {
        {{Timed("A", 1.0), Timed("B", 5.0)}, 7.0},
        {{Timed("A", 3.0), Timed("B", 4.0)}, 9.0},
        {{Timed("A", 2.0), Timed("B", 6.0)}, 8.0},
        {{Timed("A", 100.0), Timed("B", 100.0, "Blur1")}, 300.0}, // other targets
        {{Timed("A", 100.0)}, 300.0},                             // fewer passes
    };
    const PassFrame median = MedianFrame(runs);
    ASSERT_EQ(median.passes.size(), 2u);
    EXPECT_DOUBLE_EQ(median.passes[0].ms, 2.0);
    EXPECT_DOUBLE_EQ(median.passes[1].ms, 5.0);
    EXPECT_DOUBLE_EQ(median.ms, 8.0);
    // An even number of runs takes the mean of the middle two; runs without times give none.
    const PassFrame even = MedianFrame({runs[0], runs[1]});
    EXPECT_DOUBLE_EQ(even.passes[0].ms, 2.0);
    EXPECT_DOUBLE_EQ(even.ms, 8.0);
    EXPECT_LT(MedianFrame({{{Timed("A", -1.0)}, -1.0}}).passes[0].ms, 0.0);
}

// The JSON holds every field of every pass, null where a time is missing, and names survive
// whatever characters they hold.
TEST(PassReportTest, JsonHoldsEveryPassAndEscapesNames)
{
    PassReport report;
    report.frame = 2280;
    report.time = 38.0;
    report.scene = "Cornell";
    report.width = 640;
    report.height = 360;
    report.fps = 60;
    report.runs = 5;
    PassRecord light = Timed("DirectLight", 2.5);
    light.effect = "DefLight";
    light.targets = {Target("Light", D3DFMT_A16B16G16R16F), Target("Odd \"name\"\n", D3DFMT_A8R8G8B8)};
    light.targets[1].samples = 4;
    light.reads = {"NormalDepth", "noise.png"};
    light.draws = 13;
    light.primitives = 26;
    PassRecord untimed = Timed("TwitchBlur", -1.0, "BackBuffer");
    report.list = {{light, untimed}, 4.0};
    report.floorMs = {0.5, -1.0};

    const nlohmann::json json = nlohmann::json::parse(PassReportJson(report));
    EXPECT_DOUBLE_EQ(json.at("frame_ms").get<double>(), 4.0);
    EXPECT_EQ(json.at("scene"), "Cornell");
    const nlohmann::json& passes = json.at("passes");
    ASSERT_EQ(passes.size(), 2u);
    const nlohmann::json& first = passes[0];
    EXPECT_EQ(first.at("effect"), "DefLight");
    EXPECT_EQ(first.at("technique"), "DirectLight");
    EXPECT_EQ(first.at("pass"), "P0");
    ASSERT_EQ(first.at("targets").size(), 2u);
    EXPECT_EQ(first.at("targets")[0].at("name"), "Light");
    EXPECT_EQ(first.at("targets")[0].at("width"), 640);
    EXPECT_EQ(first.at("targets")[0].at("height"), 360);
    EXPECT_EQ(first.at("targets")[0].at("format"), "A16B16G16R16F");
    EXPECT_EQ(first.at("targets")[1].at("name"), "Odd \"name\"\n");
    EXPECT_EQ(first.at("targets")[1].at("samples"), 4);
    EXPECT_EQ(first.at("reads"), (nlohmann::json{"NormalDepth", "noise.png"}));
    EXPECT_EQ(first.at("draws"), 13);
    EXPECT_EQ(first.at("primitives"), 26);
    EXPECT_DOUBLE_EQ(first.at("ms").get<double>(), 2.5);
    EXPECT_DOUBLE_EQ(first.at("floor_ms").get<double>(), 0.5);
    EXPECT_DOUBLE_EQ(first.at("ratio").get<double>(), 5.0);
    EXPECT_TRUE(passes[1].at("ms").is_null());
    EXPECT_TRUE(passes[1].at("floor_ms").is_null());
    EXPECT_TRUE(passes[1].at("reads").empty());
    EXPECT_EQ(json.at("heaviest"), (nlohmann::json{0, 1}));

    // The text for people names the heaviest pass with its ratio to its floor.
    const std::string text = PassReportText(report);
    EXPECT_NE(text.find("1. #1 DefLight/DirectLight/P0 -> Light,Odd"), std::string::npos) << text;
    EXPECT_NE(text.find("5.0 x its floor"), std::string::npos) << text;
}

} // namespace
