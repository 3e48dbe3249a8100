#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "MeshGenFiles.h"
#include "MeshRaster.h"
#include "image/PngFile.h"

using namespace meshgen;

namespace {

struct Extent {
    Vec3 min{1e30, 1e30, 1e30};
    Vec3 max{-1e30, -1e30, -1e30};
};

Extent ExtentOf(const CheckMesh& mesh)
{
    Extent e;
    for (const Vec3& p : mesh.positions) {
        e.min = {std::min(e.min.x, p.x), std::min(e.min.y, p.y), std::min(e.min.z, p.z)};
        e.max = {std::max(e.max.x, p.x), std::max(e.max.y, p.y), std::max(e.max.z, p.z)};
    }
    return e;
}

class MeshText : public ::testing::Test {
protected:
    GeneratedMesh Text(const std::string& word, const std::vector<std::string>& options = {})
    {
        std::vector<std::string> args{"mesh", "text", word};
        args.insert(args.end(), options.begin(), options.end());
        return RunMeshTool(dir, args);
    }

    // The word seen from the front, 0.01 units a pixel, written where a person can look at it
    // (the folder in MESHTEXT_PNG_DIR when set, else the test's own folder).
    MeshRaster Render(const CheckMesh& mesh, const std::string& pngName)
    {
        const Extent e = ExtentOf(mesh);
        const double margin = 0.1;
        const double left = e.min.x - margin, right = e.max.x + margin, bottom = e.min.y - margin, top = e.max.y + margin;
        MeshRaster raster(static_cast<unsigned>(std::lround((right - left) * 100.0)),
                          static_cast<unsigned>(std::lround((top - bottom) * 100.0)), left, right, bottom, top);
        raster.Draw(mesh);
        const char* folder = std::getenv("MESHTEXT_PNG_DIR");
        const std::filesystem::path path = (folder ? std::filesystem::path(folder) : dir.path()) / pngName;
        EXPECT_TRUE(WritePngBGRA(path.string(), raster.Pixels().data(), raster.Width(), raster.Height(),
                                 raster.Width() * 4));
        return raster;
    }

    TempDir dir;
};

// Solid, closed, outward text whose letters keep their counters: a closed surface with g
// holes through it has V - E + F = 2 - 2g, so each letter adds 2 minus 2 per counter.
TEST_F(MeshText, WordsAreClosedSolidsThatKeepTheirCounters)
{
    const std::vector<std::pair<std::string, long>> words = {
        {"I", 2}, {"A", 0}, {"O", 0}, {"B", -2}, {"8", -2}, {"i", 4}, {"Orvala", 6}, {"2009", 2}, {"%", 2},
    };
    for (const auto& [word, euler] : words) {
        for (const std::string bevel : {"0", "0.02"}) {
            SCOPED_TRACE("\"" + word + "\" bevel " + bevel);
            const GeneratedMesh text = Text(word, {"--bevel", bevel});
            if (!ReadBack(text))
                continue;
            const EdgeReport edges = CheckEdges(text.mesh);
            EXPECT_TRUE(edges.Watertight()) << edges.firstProblem;
            EXPECT_EQ(EulerCharacteristic(text.mesh), euler);
            EXPECT_GT(SignedVolume(text.mesh), 0.0);
            const CheckProblems normals = CheckNormalsAgreeWithWinding(text.mesh);
            EXPECT_EQ(normals.count, 0u) << normals.first;
            const CheckProblems degenerate = CheckDegenerateTriangles(text.mesh);
            EXPECT_EQ(degenerate.count, 0u) << degenerate.first;
            ASSERT_EQ(text.model.meshes[0].materials.size(), 1u);
        }
    }
}

TEST_F(MeshText, CapitalHeightIsOneAndTheWordIsCentred)
{
    const GeneratedMesh h = Text("H", {"--depth", "0.4"});
    if (!ReadBack(h))
        return;
    const Extent e = ExtentOf(h.mesh);
    EXPECT_NEAR(e.max.y - e.min.y, 1.0, 1e-5);
    EXPECT_NEAR(e.max.x + e.min.x, 0.0, 1e-5);
    EXPECT_NEAR(e.max.y + e.min.y, 0.0, 1e-5);
    EXPECT_NEAR(e.max.z, 0.2, 1e-6);
    EXPECT_NEAR(e.min.z, -0.2, 1e-6);

    // A descender makes the box taller and moves it, the capital height keeps the scale.
    const GeneratedMesh hp = Text("Hp");
    if (!ReadBack(hp))
        return;
    const Extent f = ExtentOf(hp.mesh);
    EXPECT_GT(f.max.y - f.min.y, 1.15);
    EXPECT_NEAR(f.max.y + f.min.y, 0.0, 1e-5);
}

TEST_F(MeshText, KerningPullsPairsTogether)
{
    // The font's side bearings leave a small gap between "A" and "V"; its kerning pair for
    // them pulls the "V" in under the "A", closing that gap and more.
    const GeneratedMesh av = Text("AV"), a = Text("A"), v = Text("V");
    if (!ReadBack(av) || !ReadBack(a) || !ReadBack(v))
        return;
    const double together = ExtentOf(av.mesh).max.x - ExtentOf(av.mesh).min.x;
    const double apart = (ExtentOf(a.mesh).max.x - ExtentOf(a.mesh).min.x) + (ExtentOf(v.mesh).max.x - ExtentOf(v.mesh).min.x);
    // Unkerned, the pair would be at least as wide as its letters side by side.
    EXPECT_LT(together, apart);
}

TEST_F(MeshText, BevelNarrowsTheFrontFace)
{
    const GeneratedMesh flat = Text("I", {"--depth", "0.3"});
    const GeneratedMesh bevelled = Text("I", {"--depth", "0.3", "--bevel", "0.03"});
    if (!ReadBack(flat) || !ReadBack(bevelled))
        return;
    const auto frontWidth = [](const CheckMesh& mesh) {
        double lo = 1e30, hi = -1e30;
        for (const Vec3& p : mesh.positions)
            if (std::fabs(p.z - 0.15) < 1e-6) {
                lo = std::min(lo, p.x);
                hi = std::max(hi, p.x);
            }
        return hi - lo;
    };
    EXPECT_NEAR(frontWidth(flat.mesh) - frontWidth(bevelled.mesh), 0.06, 1e-5);
    EXPECT_NEAR(ExtentOf(flat.mesh).max.x, ExtentOf(bevelled.mesh).max.x, 1e-6);
}

// The word drawn as the demo's cameras see it: readable, not mirrored, not upside down, and
// with open counters. Probe points are fractions of the word's box from its lower left.
TEST_F(MeshText, RenderedFromTheFrontTheWordReads)
{
    struct Probe {
        double fx, fy;
        bool ink;
    };
    const std::vector<std::pair<std::string, std::vector<Probe>>> words = {
        // The counter of "O" is empty, its ring is not.
        {"O", {{0.5, 0.5, false}, {0.04, 0.5, true}, {0.96, 0.5, true}, {0.5, 0.03, true}, {0.5, 0.97, true}}},
        // "F": stem on the left, the top bar reaches right, nothing at the lower right.
        {"F", {{0.1, 0.5, true}, {0.1, 0.05, true}, {0.95, 0.95, true}, {0.9, 0.1, false}, {0.9, 0.3, false}}},
        // "L": the foot reaches right at the bottom, nothing at the upper right.
        {"L", {{0.1, 0.9, true}, {0.95, 0.05, true}, {0.9, 0.9, false}}},
    };
    for (const auto& [word, probes] : words) {
        SCOPED_TRACE(word);
        const GeneratedMesh text = Text(word);
        if (!ReadBack(text))
            continue;
        const MeshRaster raster = Render(text.mesh, "text-" + word + ".png");
        const Extent e = ExtentOf(text.mesh);
        for (const Probe& probe : probes) {
            const double x = e.min.x + probe.fx * (e.max.x - e.min.x), y = e.min.y + probe.fy * (e.max.y - e.min.y);
            EXPECT_EQ(raster.Inked(x, y), probe.ink) << "at " << probe.fx << ", " << probe.fy;
        }
    }
    // A whole word for people to look at.
    const GeneratedMesh word = Text("Orvala 2009", {"--bevel", "0.02"});
    if (ReadBack(word))
        Render(word.mesh, "text-Orvala-2009.png");
}

TEST_F(MeshText, TextThatCannotBeDrawnIsRefused)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"", }, "the text has nothing to draw"},
        {{"   "}, "the text has nothing to draw"},
        {{"a\tb"}, "the text holds the control character U+0009"},
        {{"caf\xC3"}, "the text is not valid UTF-8"},
        {{"\xED\xA0\x80"}, "the text is not valid UTF-8"},
        {{"A\xEE\x80\x80"}, "the font has no glyph for U+E000"},
        {{"W", "--bevel", "0.12", "--depth", "1"}, "--bevel 0.12 is too wide for the outline of 'W'"},
        {{"A", "--font", "/no/such/font.ttf"}, "cannot read the font \"/no/such/font.ttf\""},
    };
    for (const auto& [args, message] : cases) {
        SCOPED_TRACE(message);
        std::vector<std::string> full{"mesh", "text"};
        full.insert(full.end(), args.begin(), args.end());
        const std::string out = (dir.path() / "never.x").string();
        full.push_back(out);
        const ToolResult result = RunTool(full);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find(message), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
    // A file that is not a font at all.
    const std::string notFont = (dir.path() / "font.ttf").string();
    WriteFileBytes(notFont, "not a font");
    const ToolResult result = RunTool({"mesh", "text", "A", "--font", notFont, (dir.path() / "never.x").string()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("cannot read the font"), std::string::npos) << result.err;
}

} // namespace
