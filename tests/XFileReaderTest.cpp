#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <zlib.h>

#include "d3dx9/xfile/XFileReader.h"

namespace {

std::filesystem::path CorpusDir()
{
    return std::filesystem::path(ORVALA_SOURCE_DIR).parent_path() / "shared" / "corpus" / "x";
}

std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

XFileResult ReadText(const std::string& text, XFileModel& model)
{
    XFileReader reader;
    return reader.Read(text.data(), text.size(), model);
}

class XFileCorpusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!std::filesystem::is_directory(CorpusDir()))
            GTEST_SKIP() << "corpus folder " << CorpusDir() << " is absent";
    }

    XFileResult Load(const std::string& name, XFileModel& model)
    {
        const std::filesystem::path path = CorpusDir() / name;
        if (!std::filesystem::exists(path))
            return XFileResult::Failure("missing corpus file " + path.string());
        const std::vector<std::uint8_t> bytes = ReadBytes(path);
        XFileReader reader;
        return reader.Read(bytes.data(), bytes.size(), model);
    }
};

void ExpectSameMesh(const XFileMesh& a, const XFileMesh& b)
{
    // The text file stores six decimals, the binary files the exporter's floats.
    constexpr float kTolerance = 1e-5f;
    ASSERT_EQ(a.positions.size(), b.positions.size());
    for (std::size_t i = 0; i < a.positions.size(); ++i)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(a.positions[i][c], b.positions[i][c], kTolerance) << "vertex " << i;
    EXPECT_EQ(a.faces, b.faces);
    ASSERT_EQ(a.normals.size(), b.normals.size());
    for (std::size_t i = 0; i < a.normals.size(); ++i)
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(a.normals[i][c], b.normals[i][c], kTolerance) << "normal " << i;
    EXPECT_EQ(a.normalFaces, b.normalFaces);
    ASSERT_EQ(a.texCoords.size(), b.texCoords.size());
    for (std::size_t i = 0; i < a.texCoords.size(); ++i)
        for (int c = 0; c < 2; ++c)
            EXPECT_NEAR(a.texCoords[i][c], b.texCoords[i][c], kTolerance) << "uv " << i;
    EXPECT_EQ(a.faceMaterials, b.faceMaterials);
    ASSERT_EQ(a.materials.size(), b.materials.size());
    for (std::size_t m = 0; m < a.materials.size(); ++m) {
        for (int c = 0; c < 4; ++c)
            EXPECT_NEAR(a.materials[m].faceColor[c], b.materials[m].faceColor[c], kTolerance);
        EXPECT_NEAR(a.materials[m].power, b.materials[m].power, 1e-3f);
        for (int c = 0; c < 3; ++c) {
            EXPECT_NEAR(a.materials[m].specular[c], b.materials[m].specular[c], kTolerance);
            EXPECT_NEAR(a.materials[m].emissive[c], b.materials[m].emissive[c], kTolerance);
        }
        EXPECT_EQ(a.materials[m].textureFilename, b.materials[m].textureFilename);
    }
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(a.transform[i], b.transform[i], kTolerance);
}

// One MSZIP block: sizes, "CK", raw deflate data that may refer back into the dictionary.
std::string MszipBlock(const std::string& plain, const std::string& dictionary)
{
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    if (!dictionary.empty())
        deflateSetDictionary(&stream, reinterpret_cast<const Bytef*>(dictionary.data()),
                             static_cast<uInt>(dictionary.size()));
    std::string packed(deflateBound(&stream, static_cast<uLong>(plain.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    stream.avail_in = static_cast<uInt>(plain.size());
    stream.next_out = reinterpret_cast<Bytef*>(packed.data());
    stream.avail_out = static_cast<uInt>(packed.size());
    deflate(&stream, Z_FINISH);
    packed.resize(stream.total_out);
    deflateEnd(&stream);
    const std::size_t sizes[] = {plain.size(), packed.size() + 2};
    std::string block;
    for (std::size_t size : sizes) {
        block += static_cast<char>(size & 0xFF);
        block += static_cast<char>(size >> 8);
    }
    return block + "CK" + packed;
}

bool IsIdentity(const std::array<float, 16>& m)
{
    for (int i = 0; i < 16; ++i)
        if (std::fabs(m[i] - ((i % 5 == 0) ? 1.0f : 0.0f)) > 1e-6f)
            return false;
    return true;
}

}  // namespace

TEST_F(XFileCorpusTest, CubeLoadsIdenticallyFromTextBinaryAndCompressed)
{
    XFileModel text;
    const XFileResult textResult = Load("test_cube_text.x", text);
    ASSERT_TRUE(textResult.ok) << textResult.message;
    ASSERT_EQ(text.meshes.size(), 1u);
    EXPECT_EQ(text.meshes[0].TriangleCount(), 12u);
    EXPECT_EQ(text.meshes[0].materials.size(), 1u);
    EXPECT_EQ(text.meshes[0].faceMaterials.size(), text.meshes[0].faces.size());
    // The root frame turns Y up into Z up: its rows are (1,0,0), (0,0,1), (0,1,0).
    EXPECT_FLOAT_EQ(text.meshes[0].transform[6], 1.0f);
    EXPECT_FLOAT_EQ(text.meshes[0].transform[9], 1.0f);
    EXPECT_FLOAT_EQ(text.meshes[0].transform[5], 0.0f);

    for (const char* name : {"test_cube_binary.x", "test_cube_compressed.x"}) {
        SCOPED_TRACE(name);
        XFileModel other;
        const XFileResult result = Load(name, other);
        ASSERT_TRUE(result.ok) << result.message;
        ASSERT_EQ(other.meshes.size(), 1u);
        ExpectSameMesh(text.meshes[0], other.meshes[0]);
    }
}

TEST_F(XFileCorpusTest, VertexColoursAndMaterialsByReference)
{
    XFileModel model;
    const XFileResult result = Load("kwxport_test_cubewithvcolors.x", model);
    ASSERT_TRUE(result.ok) << result.message;
    ASSERT_EQ(model.meshes.size(), 1u);
    const XFileMesh& mesh = model.meshes[0];
    EXPECT_EQ(mesh.vertexColors.size(), mesh.positions.size());
    EXPECT_GT(mesh.materials.size(), 1u);
    ASSERT_EQ(mesh.faceMaterials.size(), mesh.faces.size());
    // The materials come from distinct top-level objects, so at least two differ in colour.
    bool differ = false;
    for (const XFileMaterial& material : mesh.materials)
        differ = differ || material.faceColor != mesh.materials[0].faceColor;
    EXPECT_TRUE(differ);
}

TEST_F(XFileCorpusTest, MayaExportWithTextureLoadsUnderAnyName)
{
    XFileModel first;
    for (const char* name : {"test.x", "TestFormatDetection"}) {
        SCOPED_TRACE(name);
        XFileModel model;
        const XFileResult result = Load(name, model);
        ASSERT_TRUE(result.ok) << result.message;
        ASSERT_FALSE(model.meshes.empty());
        ASSERT_FALSE(model.meshes[0].materials.empty());
        // The name is kept as written (".\\test.png"); resolving it is the loader's business.
        const std::string& texture = model.meshes[0].materials[0].textureFilename;
        ASSERT_GE(texture.size(), 8u);
        EXPECT_EQ(texture.substr(texture.size() - 8), "test.png");
        EXPECT_GT(model.meshes[0].TriangleCount(), 0u);
        if (first.meshes.empty())
            first = model;
        else
            ExpectSameMesh(first.meshes[0], model.meshes[0]);
    }
}

TEST_F(XFileCorpusTest, LargeExportsLoadTheirStaticMesh)
{
    for (const char* name : {"fromtruespace_bin32.x", "anim_test.x", "Testwuson.X", "malformed_skinweights_oob.x"}) {
        SCOPED_TRACE(name);
        XFileModel model;
        const XFileResult result = Load(name, model);
        ASSERT_TRUE(result.ok) << result.message;
        ASSERT_FALSE(model.meshes.empty());
        for (const XFileMesh& mesh : model.meshes) {
            EXPECT_GT(mesh.TriangleCount(), 0u);
            for (const auto& face : mesh.faces)
                for (std::uint32_t index : face)
                    ASSERT_LT(index, mesh.positions.size());
        }
    }
}

TEST_F(XFileCorpusTest, BoneHierarchyMeshesCarryTheirFrameTransforms)
{
    XFileModel model;
    const XFileResult result = Load("BCN_Epileptic.X", model);
    ASSERT_TRUE(result.ok) << result.message;
    ASSERT_EQ(model.meshes.size(), 3u);
    bool transformed = false;
    for (const XFileMesh& mesh : model.meshes) {
        EXPECT_TRUE(mesh.materials.empty());
        EXPECT_GT(mesh.TriangleCount(), 0u);
        transformed = transformed || !IsIdentity(mesh.transform);
    }
    EXPECT_TRUE(transformed);
}

TEST_F(XFileCorpusTest, DamagedAndEmptyFilesFailWithAMessage)
{
    for (const char* name : {"OV_GetNextToken", "empty.x"}) {
        SCOPED_TRACE(name);
        XFileModel model;
        const XFileResult result = Load(name, model);
        EXPECT_FALSE(result.ok);
        EXPECT_FALSE(result.message.empty());
        EXPECT_TRUE(model.meshes.empty());
    }
}

TEST(XFileReaderTest, NestedFramesAccumulateChildTimesParent)
{
    // Parent scales by 2, child translates by (1, 0, 0): a vertex at the origin ends at (2, 0, 0).
    const std::string file = R"(xof 0302txt 0032
Frame Parent {
  FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 0,0,0,1;; }
  Frame Child {
    FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 1,0,0,1;; }
    Mesh Tri { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }
  }
  Mesh Flat { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }
}
)";
    XFileModel model;
    const XFileResult result = ReadText(file, model);
    ASSERT_TRUE(result.ok) << result.message;
    ASSERT_EQ(model.meshes.size(), 2u);
    const std::array<float, 16>& child = model.meshes[0].transform;
    EXPECT_FLOAT_EQ(child[0], 2.0f);
    EXPECT_FLOAT_EQ(child[12], 2.0f);  // translation scaled by the parent
    EXPECT_FLOAT_EQ(child[15], 1.0f);
    const std::array<float, 16>& parent = model.meshes[1].transform;
    EXPECT_FLOAT_EQ(parent[0], 2.0f);
    EXPECT_FLOAT_EQ(parent[12], 0.0f);
}

TEST(XFileReaderTest, MaterialsInlineAndByReferenceWithQuirkySeparators)
{
    const std::string file = R"(xof 0303txt 0032
template Dummy { <00000000-0000-0000-0000-000000000000> DWORD x; }
# exporters write non-finite values the Windows way
Material Red { 1.0;0.0;0.0;1.0;; 5.0; 5e-1;.5;+0.5;; -1.#IND00;0;0;; TextureFilename { "red.png"; } }
Mesh Quad {
  4; -1;-1;0;, 1;-1;0;, 1;1;0;, -1;1;0;;
  2; 4;0,1,2,3;, 3;0,2,3;;
  MeshMaterialList { 2; 2; 1,0;;
    { Red }
    Material { 0;1;0;1;; 1; 0;0;0;; 0;0;0;; }
  }
  // exporters put ";," between records
  MeshTextureCoords { 4; 0;0;, 1;0;, 1;1;, 0;1;; }
}
)";
    XFileModel model;
    const XFileResult result = ReadText(file, model);
    ASSERT_TRUE(result.ok) << result.message;
    ASSERT_EQ(model.meshes.size(), 1u);
    const XFileMesh& mesh = model.meshes[0];
    EXPECT_EQ(mesh.TriangleCount(), 3u);
    ASSERT_EQ(mesh.materials.size(), 2u);
    EXPECT_EQ(mesh.materials[0].textureFilename, "red.png");
    EXPECT_FLOAT_EQ(mesh.materials[0].power, 5.0f);
    EXPECT_EQ(mesh.materials[0].specular, (std::array<float, 3>{0.5f, 0.5f, 0.5f}));
    EXPECT_FLOAT_EQ(mesh.materials[0].emissive[0], 0.0f);
    EXPECT_FLOAT_EQ(mesh.materials[1].faceColor[1], 1.0f);
    EXPECT_EQ(mesh.faceMaterials, (std::vector<std::uint32_t>{1, 0}));
    EXPECT_FLOAT_EQ(mesh.texCoords[2][1], 1.0f);
}

// Little-endian binary token writer for hand-made binary .x fixtures.
struct BinaryTokens {
    std::string bytes;
    void Word(std::uint16_t v) { Raw(&v, 2); }
    void Dword(std::uint32_t v) { Raw(&v, 4); }
    void Raw(const void* p, std::size_t n)
    {
        const auto* b = static_cast<const unsigned char*>(p);
        for (std::size_t i = 0; i < n; ++i)  // the test machines are little-endian, like the format
            bytes += static_cast<char>(b[i]);
    }
    void Name(const std::string& text)
    {
        Word(1);
        Dword(static_cast<std::uint32_t>(text.size()));
        bytes += text;
    }
    void Integers(const std::vector<std::uint32_t>& values)
    {
        Word(6);
        Dword(static_cast<std::uint32_t>(values.size()));
        for (std::uint32_t v : values)
            Dword(v);
    }
    void Doubles(const std::vector<double>& values)
    {
        Word(7);
        Dword(static_cast<std::uint32_t>(values.size()));
        for (double v : values)
            Raw(&v, 8);
    }
};

TEST(XFileReaderTest, BinaryWithDoubleFloatLists)
{
    BinaryTokens t;
    t.Name("Mesh");
    t.Name("Tri");
    t.Word(10);
    t.Integers({3});
    t.Doubles({0.5, 0, 0, 1, 0, 0, 0, 1.25, 0});
    t.Integers({1, 3, 0, 1, 2});
    t.Word(11);

    XFileModel model;
    XFileResult result = ReadText("xof 0303bin 0064" + t.bytes, model);
    ASSERT_TRUE(result.ok) << result.message;
    ASSERT_EQ(model.meshes.size(), 1u);
    EXPECT_EQ(model.meshes[0].name, "Tri");
    EXPECT_EQ(model.meshes[0].positions,
              (std::vector<std::array<float, 3>>{{0.5f, 0, 0}, {1, 0, 0}, {0, 1.25f, 0}}));

    // The same list cut short: its element count now runs past the end of the data.
    t.bytes.resize(t.bytes.size() - 30);
    result = ReadText("xof 0303bin 0064" + t.bytes, model);
    EXPECT_FALSE(result.ok);
}

TEST(XFileReaderTest, CompressedBlocksChainTheirDictionaries)
{
    // The second block repeats the first, so its deflate data only makes sense with the first block's
    // output as the preset dictionary.
    const std::string mesh = "Mesh Tri { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n";
    const std::string body = mesh + mesh;
    const std::string first = body.substr(0, mesh.size());
    const std::string second = body.substr(mesh.size());
    const std::uint32_t total = static_cast<std::uint32_t>(16 + body.size());
    std::string file = "xof 0302tzip0032";
    for (int shift = 0; shift < 32; shift += 8)
        file += static_cast<char>((total >> shift) & 0xFF);
    file += MszipBlock(first, "") + MszipBlock(second, first);

    XFileModel model;
    const XFileResult result = ReadText(file, model);
    ASSERT_TRUE(result.ok) << result.message;
    ASSERT_EQ(model.meshes.size(), 2u);
    EXPECT_EQ(model.meshes[1].positions, model.meshes[0].positions);
    EXPECT_EQ(model.meshes[1].faces, (std::vector<std::vector<std::uint32_t>>{{0, 1, 2}}));

    // A stated total that disagrees with the blocks is refused.
    file[16] = static_cast<char>(file[16] + 1);
    EXPECT_FALSE(ReadText(file, model).ok);
}

TEST(XFileReaderTest, HostileInputFailsWithAMessage)
{
    const std::string deep = [] {
        std::string text = "xof 0302txt 0032\n";
        for (int i = 0; i < XFileReader::kMaxDepth + 1; ++i)
            text += "Frame {\n";
        for (int i = 0; i < XFileReader::kMaxDepth + 1; ++i)
            text += "}\n";
        return text;
    }();
    struct Case {
        const char* name;
        std::string file;
        const char* messagePart;
    };
    const Case cases[] = {
        {"face index out of range", "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,3;; }\n",
         "out of range"},
        {"vertex count larger than the data", "xof 0302txt 0032\nMesh { 4000000000; 0;0;0;; 1; 3;0,1,2;; }\n",
         "larger than the data"},
        {"face count larger than the data", "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 99999; 3;0,1,2;; }\n",
         "larger than the data"},
        {"unterminated string",
         "xof 0302txt 0032\nMaterial M { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"never.png; } }\n",
         "unterminated string"},
        {"unterminated object", "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n", "unterminated"},
        {"too deep nesting", deep, "nested deeper"},
        {"material index past the list",
         "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1; 4;; "
         "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }\n",
         "uses material"},
        {"unknown material reference",
         "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; MeshMaterialList { 1; 1; 0;; { Nope } } }\n",
         "unknown material"},
        {"bad signature", "xyz 0302txt 0032\n", "signature"},
        {"unknown format", "xof 0302abcd0032\n", "unknown format"},
        {"no mesh", "xof 0302txt 0032\n", "no mesh"},
        {"binary list longer than the data", std::string("xof 0302bin 0032\x07\x00\xff\xff\xff\x00", 22),
         "longer than the data"},
        {"compressed size out of range", std::string("xof 0302bzip0032\xff\xff\xff\xff", 20), "out of range"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        XFileModel model;
        const XFileResult result = ReadText(c.file, model);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.message.find(c.messagePart), std::string::npos) << result.message;
        EXPECT_TRUE(model.meshes.empty());
    }
}
