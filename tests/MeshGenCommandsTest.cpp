#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "MeshGenFiles.h"

namespace {

class MeshGenCommands : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return (dir.path() / name).string(); }
    TempDir dir;
};

// The same arguments give the same bytes, run after run.
TEST_F(MeshGenCommands, SameArgumentsWriteTheSameBytes)
{
    const std::vector<std::vector<std::string>> commands = {
        {"mesh", "gen", "sphere"},
        {"mesh", "gen", "ground", "--seed", "9"},
        {"mesh", "gen", "tunnel", "--noise", "0.2", "--bend", "1"},
        {"mesh", "gen", "torusknot"},
        {"mesh", "gen", "discoball", "--gap", "0.1"},
        {"mesh", "text", "Orvala 2009", "--bevel", "0.02"},
    };
    for (const auto& command : commands) {
        SCOPED_TRACE(command[2]);
        // The same file name each time: the frame is named after it.
        const GeneratedMesh first = RunMeshTool(dir, command, "same.x");
        const GeneratedMesh second = RunMeshTool(dir, command, "same.x");
        if (!ReadBack(first) || !ReadBack(second))
            continue;
        EXPECT_FALSE(first.bytes.empty());
        EXPECT_TRUE(first.bytes == second.bytes) << "the two files differ";
    }
}

TEST_F(MeshGenCommands, MaterialOptionsAndNamesReachTheFile)
{
    const GeneratedMesh box = RunMeshTool(dir,
                                          {"mesh", "gen", "box", "--material", "1,0.5,0.25,0.75", "--power", "8",
                                           "--specular", "0.1,0.2,0.3", "--emissive", "0,0,0.5", "--texture",
                                           "tex\\wall 1.png"},
                                          "bigCube Shape.x");
    if (!ReadBack(box))
        return;
    const XFileMaterial& m = box.model.meshes[0].materials[0];
    EXPECT_EQ(m.faceColor, (std::array<float, 4>{1.0f, 0.5f, 0.25f, 0.75f}));
    EXPECT_EQ(m.power, 8.0f);
    EXPECT_EQ(m.specular, (std::array<float, 3>{0.1f, 0.2f, 0.3f}));
    EXPECT_EQ(m.emissive, (std::array<float, 3>{0.0f, 0.0f, 0.5f}));
    EXPECT_EQ(m.textureFilename, "tex\\wall 1.png");
    // The frame is named after the file, made into a valid name.
    EXPECT_NE(box.bytes.find("Frame bigCube_Shape {"), std::string::npos);
    EXPECT_EQ(box.bytes.compare(0, 16, "xof 0303txt 0032"), 0);

    const GeneratedMesh plain = RunMeshTool(dir, {"mesh", "gen", "cone", "--material", "0.2,0.4,0.6", "--name", "ucone"});
    if (!ReadBack(plain))
        return;
    const XFileMaterial& p = plain.model.meshes[0].materials[0];
    EXPECT_EQ(p.faceColor, (std::array<float, 4>{0.2f, 0.4f, 0.6f, 1.0f}));
    EXPECT_TRUE(p.textureFilename.empty());
    EXPECT_EQ(plain.bytes.find("TextureFilename"), std::string::npos);
    EXPECT_NE(plain.bytes.find("Frame ucone {"), std::string::npos);
    EXPECT_EQ(plain.model.meshes[0].name, "uconeMesh");
}

struct BadCommand {
    std::vector<std::string> args; // the output file is added at the end unless `noOutput`
    const char* message;
    bool noOutput = false;
};

// Bad command lines end with a usage error naming the fault, exit code 1 and no file.
TEST_F(MeshGenCommands, BadOptionsAreRefusedWithoutWritingAFile)
{
    const std::vector<BadCommand> cases = {
        {{"mesh", "gen"}, "mesh gen needs a kind and an output file", true},
        {{"mesh", "gen", "teapot"}, "unknown mesh kind \"teapot\""},
        {{"mesh", "gen", "sphere"}, "mesh gen needs an output file", true},
        {{"mesh", "gen", "sphere", "extra.x"}, "takes one output file, not 2 words"},
        {{"mesh", "gen", "sphere", "--sides", "8"}, "unknown option \"--sides\""},
        {{"mesh", "gen", "sphere", "--segments", "8", "--segments", "9"}, "--segments is given twice"},
        {{"mesh", "gen", "sphere", "--segments"}, "--segments needs a value", true},
        {{"mesh", "gen", "sphere", "--segments", "2"}, "--segments takes a whole number from 3 to 1024, not \"2\""},
        {{"mesh", "gen", "sphere", "--segments", "99999999999999"}, "--segments takes a whole number from 3"},
        {{"mesh", "gen", "sphere", "--segments", "8.5"}, "--segments takes a whole number, not \"8.5\""},
        {{"mesh", "gen", "sphere", "--radius", "-1"}, "--radius takes a number above 0, not \"-1\""},
        {{"mesh", "gen", "sphere", "--radius", "nan"}, "--radius takes a number, not \"nan\""},
        {{"mesh", "gen", "box", "--size", "1", "x", "1"}, "--size takes a number, not \"x\""},
        {{"mesh", "gen", "box", "--size", "1", "0", "1"}, "--size takes a number above 0, not \"0\""},
        {{"mesh", "gen", "box", "--size", "1", "2"}, "--size needs 3 values", true},
        {{"mesh", "gen", "plane", "--size", "1", "2", "3"}, "takes one output file, not 2 words"}, // x and z only
        {{"mesh", "gen", "openbox", "--open", "top"}, "--open must be none, +x, -x, +y, -y, +z or -z"},
        {{"mesh", "gen", "roundedcube", "--radius", "0.6"}, "--radius takes a number from 0 to 0.5, not \"0.6\""},
        {{"mesh", "gen", "torusknot", "--tube", "0.5"}, "--tube 0.5 is too thick"},
        {{"mesh", "gen", "torusknot", "--p", "2", "--q", "4"}, "share a factor"},
        {{"mesh", "gen", "discoball", "--gap", "0.7"}, "--gap takes a number from 0 to 0.5"},
        {{"mesh", "gen", "tube", "--noise", "0.9"}, "--noise takes a number from 0 to 0.5"},
        {{"mesh", "gen", "ground", "--seed", "-3"}, "--seed takes a whole number from 0 to 4294967295, not \"-3\""},
        {{"mesh", "gen", "box", "--material", "1,1"}, "--material takes 3 or 4 comma-separated numbers"},
        {{"mesh", "gen", "box", "--specular", "1,1,1,1"}, "--specular takes 3 comma-separated numbers"},
        {{"mesh", "gen", "box", "--power", "-2"}, "--power must not be negative"},
        {{"mesh", "gen", "box", "--texture", "a\"b.png"}, "--texture must be a file name"},
        {{"mesh", "gen", "box", "--name", "9lives"}, "--name must be letters, digits and '_'"},
        {{"mesh", "gen", "openbox", "--wall", "-x", "1,0,0", "--wall", "-x", "0,1,0"}, "--wall -x is given twice"},
        {{"mesh", "gen", "openbox", "--wall", "left", "1,0,0"},
         "--wall side must be +x, -x, +y, -y, +z or -z, not \"left\""},
        {{"mesh", "gen", "openbox", "--wall", "none", "1,0,0"}, "--wall side must be +x, -x, +y, -y, +z or -z"},
        {{"mesh", "gen", "openbox", "--open", "+z", "--wall", "+z", "1,0,0"}, "--wall +z is the open side"},
        {{"mesh", "gen", "openbox", "--wall", "-x", "red"}, "--wall takes numbers, not \"red\""},
        {{"mesh", "gen", "openbox", "--wall", "-x", "1,0"}, "--wall takes 3 or 4 comma-separated numbers"},
        {{"mesh", "gen", "openbox", "--wall", "-x", "1,0,0,1,1"}, "--wall takes 3 or 4 comma-separated numbers"},
        {{"mesh", "gen", "openbox", "--wall", "-x"}, "--wall needs 2 values", true},
        {{"mesh", "gen", "box", "--wall", "-x", "1,0,0"}, "unknown option \"--wall\""},
        {{"mesh", "text"}, "mesh text takes the text and an output file", true},
        {{"mesh", "text", "A", "--depth", "0"}, "--depth takes a number from 0.001 to 100, not \"0\""},
        {{"mesh", "text", "A", "--bevel", "0.2"}, "--bevel must be less than half of --depth"},
        {{"mesh", "text", "A", "--curve-steps", "0"}, "--curve-steps takes a whole number from 1 to 64, not \"0\""},
    };
    for (const BadCommand& bad : cases) {
        std::vector<std::string> args = bad.args;
        const std::string out = Path("never.x");
        if (!bad.noOutput)
            args.push_back(out);
        std::string line;
        for (const auto& a : args)
            line += a + " ";
        SCOPED_TRACE(line);
        const ToolResult result = RunTool(args);
        EXPECT_EQ(result.exitCode, 1);
        EXPECT_NE(result.err.find(bad.message), std::string::npos) << result.err;
        EXPECT_NE(result.err.find("usage:\norvala-tool mesh "), std::string::npos) << result.err;
        EXPECT_FALSE(std::filesystem::exists(out));
    }
}

// The side of an open box of half extents `half` that a face lies on ("+x" ... "-z").
std::string SideOfFace(const XFileMesh& mesh, const std::vector<std::uint32_t>& face, const std::array<double, 3>& half)
{
    std::array<double, 3> centre{};
    for (std::uint32_t v : face)
        for (std::size_t a = 0; a < 3; ++a)
            centre[a] += mesh.positions[v][a] / static_cast<double>(face.size());
    for (std::size_t a = 0; a < 3; ++a)
        if (std::fabs(std::fabs(centre[a]) - half[a]) < 1e-5)
            return std::string(centre[a] > 0 ? "+" : "-") + "xyz"[a];
    return "inside";
}

struct WallCase {
    const char* name;
    std::vector<std::string> args; // after "mesh gen openbox"
    std::array<double, 3> half;
    std::vector<std::array<float, 4>> diffuse; // every material's, in index order
    std::map<std::string, std::uint32_t> sides; // the material of each closed side
};

// Each wall named by --wall gets a material of its own, the others stay on material 0; every
// face carries the material of the side it lies on.
TEST_F(MeshGenCommands, OpenBoxWallsTakeMaterialsOfTheirOwn)
{
    const std::vector<WallCase> cases = {
        {"cornell_box",
         {"--size", "6", "6", "6", "--open", "+z", "--segments", "4", "--material", "0.8,0.8,0.8", "--wall", "-x",
          "0.75,0.08,0.06", "--wall", "+x", "0.1,0.6,0.12"},
         {3, 3, 3},
         {{0.8f, 0.8f, 0.8f, 1.0f}, {0.1f, 0.6f, 0.12f, 1.0f}, {0.75f, 0.08f, 0.06f, 1.0f}},
         {{"+x", 1}, {"-x", 2}, {"+y", 0}, {"-y", 0}, {"-z", 0}}},
        // Numbered by side, not by the order of the options; no alpha keeps --material's.
        {"closed_room",
         {"--size", "4", "2", "6", "--material", "1,1,1,0.5", "--wall", "-z", "1,1,0,1", "--wall", "+y", "0,0,1",
          "--wall", "-y", "0.2,0.3,0.4,0.25"},
         {2, 1, 3},
         {{1, 1, 1, 0.5f}, {0, 0, 1, 0.5f}, {0.2f, 0.3f, 0.4f, 0.25f}, {1, 1, 0, 1}},
         {{"+x", 0}, {"-x", 0}, {"+y", 1}, {"-y", 2}, {"+z", 0}, {"-z", 3}}},
        {"one_wall_open_floor",
         {"--open", "-y", "--wall", "+y", "0.5,0.5,0.5"},
         {1, 1, 1},
         {{1, 1, 1, 1}, {0.5f, 0.5f, 0.5f, 1}},
         {{"+x", 0}, {"-x", 0}, {"+y", 1}, {"+z", 0}, {"-z", 0}}},
    };
    for (const WallCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args = {"mesh", "gen", "openbox"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const GeneratedMesh box = RunMeshTool(dir, args);
        if (!ReadBack(box))
            continue;
        const XFileMesh& mesh = box.model.meshes[0];
        ASSERT_EQ(mesh.materials.size(), c.diffuse.size());
        for (std::size_t i = 0; i < c.diffuse.size(); ++i)
            EXPECT_EQ(mesh.materials[i].faceColor, c.diffuse[i]) << "material " << i;
        ASSERT_EQ(mesh.faceMaterials.size(), mesh.faces.size());
        std::map<std::string, std::size_t> facesOnSide;
        for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
            const std::string side = SideOfFace(mesh, mesh.faces[f], c.half);
            ++facesOnSide[side];
            ASSERT_EQ(c.sides.count(side), 1u) << "face " << f << " lies on " << side;
            EXPECT_EQ(mesh.faceMaterials[f], c.sides.at(side)) << "face " << f << " on " << side;
        }
        EXPECT_EQ(facesOnSide.size(), c.sides.size()) << "a closed side has no faces";
    }
}

// The walls' materials copy everything but the colour from the material options, and the same
// walls give the same bytes in whatever order they are named.
TEST_F(MeshGenCommands, WallMaterialsFollowTheMaterialOptions)
{
    const std::vector<std::string> material = {"--material", "0.9,0.9,0.9", "--power", "7",      "--specular",
                                               "0.1,0.2,0.3", "--emissive", "0,0.5,0", "--texture", "wall.png"};
    std::vector<std::string> redGreen = {"mesh", "gen", "openbox", "--wall", "-x", "1,0,0", "--wall", "+x", "0,1,0"};
    std::vector<std::string> greenRed = {"mesh", "gen", "openbox", "--wall", "+x", "0,1,0", "--wall", "-x", "1,0,0"};
    redGreen.insert(redGreen.end(), material.begin(), material.end());
    greenRed.insert(greenRed.end(), material.begin(), material.end());
    const GeneratedMesh first = RunMeshTool(dir, redGreen, "walls.x");
    const GeneratedMesh second = RunMeshTool(dir, greenRed, "walls.x");
    if (!ReadBack(first) || !ReadBack(second))
        return;
    EXPECT_TRUE(first.bytes == second.bytes) << "the order of the --wall options changed the file";
    const auto& materials = first.model.meshes[0].materials;
    ASSERT_EQ(materials.size(), 3u);
    const std::array<std::array<float, 4>, 3> diffuse = {{{0.9f, 0.9f, 0.9f, 1}, {0, 1, 0, 1}, {1, 0, 0, 1}}};
    for (std::size_t i = 0; i < materials.size(); ++i) {
        SCOPED_TRACE("material " + std::to_string(i));
        EXPECT_EQ(materials[i].faceColor, diffuse[i]);
        EXPECT_EQ(materials[i].power, 7.0f);
        EXPECT_EQ(materials[i].specular, (std::array<float, 3>{0.1f, 0.2f, 0.3f}));
        EXPECT_EQ(materials[i].emissive, (std::array<float, 3>{0.0f, 0.5f, 0.0f}));
        EXPECT_EQ(materials[i].textureFilename, "wall.png");
    }
}

TEST_F(MeshGenCommands, AnUnwritableOutputFailsWithoutAUsage)
{
    const std::string out = Path("no-such-folder/sphere.x");
    const ToolResult result = RunTool({"mesh", "gen", "sphere", out});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_NE(result.err.find("cannot write \"" + out + "\""), std::string::npos) << result.err;
    EXPECT_FALSE(std::filesystem::exists(out));
}

TEST_F(MeshGenCommands, OptionsChangeTheGeometry)
{
    const GeneratedMesh small = RunMeshTool(dir, {"mesh", "gen", "sphere", "--segments", "6", "--rings", "3"});
    const GeneratedMesh large = RunMeshTool(dir, {"mesh", "gen", "sphere", "--segments", "12", "--rings", "5", "--radius", "3"});
    if (!ReadBack(small) || !ReadBack(large))
        return;
    // Columns and rows of vertices, one column repeated at the seam.
    EXPECT_EQ(small.model.meshes[0].positions.size(), 7u * 4u);
    EXPECT_EQ(large.model.meshes[0].positions.size(), 13u * 6u);
    EXPECT_GE(meshgen::DistanceToSurface(large.mesh, {0, 0, 0}), 3.0);
}

} // namespace
