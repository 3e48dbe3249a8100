#include <gtest/gtest.h>

#include <string>

#include "D3DXMeshTestSupport.h"
#include "TempDir.h"
#include "ToolRun.h"

namespace {

class MeshCommandsTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes)
    {
        const std::filesystem::path path = temp.path() / name;
        WriteFileBytes(path, bytes);
        return path.string();
    }

    TempDir temp;
};

TEST_F(MeshCommandsTest, InfoDescribesTheLoadedMesh)
{
    XTextMesh mesh = CubeMesh();
    mesh.uvs.assign(8, {0.5f, 0.5f});
    mesh.materials.resize(2);
    mesh.materials[0] = {{1, 0, 0, 1}, 8, {0.5f, 0.5f, 0.5f}, {0, 0, 0}, "bricks.png"};
    mesh.materials[1].color = {0, 0.5f, 1, 1};
    mesh.faceMaterials = {0, 0, 0, 0, 1, 1};
    const std::string path = Write("cube.x", XFileText(mesh.Text()));
    const ToolResult result = RunTool({"mesh", "info", path});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, "");
    const std::string expected = "file: " + path +
                                 "\n"
                                 "vertices: 24\n"
                                 "faces: 12\n"
                                 "bytes per vertex: 32\n"
                                 "fvf: 0x112\n"
                                 "declaration:\n"
                                 "  offset 0: FLOAT3 POSITION0\n"
                                 "  offset 12: FLOAT3 NORMAL0\n"
                                 "  offset 24: FLOAT2 TEXCOORD0\n"
                                 "bounding box: min 0 0 0 max 1 1 1\n"
                                 "subsets: 2\n"
                                 "  subset 0: 8 faces from face 0, vertices 0 to 15\n"
                                 "  subset 1: 4 faces from face 8, vertices 16 to 23\n"
                                 "materials: 2\n"
                                 "  material 0: diffuse 1 0 0 1 specular 0.5 0.5 0.5 1 emissive 0 0 0 1 power 8 "
                                 "texture \"bricks.png\"\n"
                                 "  material 1: diffuse 0 0.5 1 1 specular 0 0 0 1 emissive 0 0 0 1 power 0 "
                                 "texture none\n";
    EXPECT_EQ(result.out, expected);
}

TEST_F(MeshCommandsTest, BadFilesAndCommandLinesFailWithAMessage)
{
    const std::string damaged = Write("damaged.x", XFileText("Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0;1;9;; }"));
    const std::string missing = (temp.path() / "missing.x").string();
    const struct {
        std::vector<std::string> args;
        std::string errorStart;
    } cases[] = {
        {{"mesh", "info", damaged}, "orvala-tool: cannot load \"" + damaged + "\": .x file: Mesh faces: face 0 index 9"},
        {{"mesh", "info", missing}, "cannot read \"" + missing + "\": No such file or directory\n"},
        {{"mesh", "info"}, "orvala-tool: mesh info takes one .x file"},
        {{"mesh", "info", damaged, damaged}, "orvala-tool: mesh info takes one .x file"},
    };
    for (const auto& c : cases) {
        const ToolResult result = RunTool(c.args);
        EXPECT_EQ(result.exitCode, 1) << c.errorStart;
        EXPECT_EQ(result.out, "") << c.errorStart;
        EXPECT_EQ(result.err.compare(0, c.errorStart.size(), c.errorStart), 0) << result.err;
    }
}

TEST_F(MeshCommandsTest, InfoReadsCorpusFilesWithoutAGraphicsSystem)
{
    if (!std::filesystem::is_directory(MeshCorpusDir()))
        GTEST_SKIP() << "corpus folder " << MeshCorpusDir() << " is absent";
    const ToolResult cube = RunTool({"mesh", "info", (MeshCorpusDir() / "test_cube_compressed.x").string()});
    ASSERT_EQ(cube.exitCode, 0) << cube.err;
    EXPECT_NE(cube.out.find("\nfaces: 12\n"), std::string::npos) << cube.out;
    EXPECT_NE(cube.out.find("\nbounding box: min -1 -1 -1 max 1 1 1\n"), std::string::npos) << cube.out;
    const ToolResult empty = RunTool({"mesh", "info", (MeshCorpusDir() / "empty.x").string()});
    EXPECT_EQ(empty.exitCode, 1);
    EXPECT_NE(empty.err.find("cannot load"), std::string::npos) << empty.err;
}

} // namespace
