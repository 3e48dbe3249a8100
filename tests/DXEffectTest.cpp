#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "D3D9DeviceTestFixture.h"
#include "D3DXTextureTestSupport.h"
#include "DXEffect/DXEffect.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "DXMesh/BaseRenderObject.h"
#include "FileSys.h"
#include "FrameworkEx.h"
#include "FrameworkExMessage.h"
#include "TempDir.h"
#include "common/ArchiveWriter.h"
#include "d3d9/DeviceFactory.h"
#include "win32/MessageBox.h"

namespace {

std::vector<unsigned char> Text(const std::string& text)
{
    return std::vector<unsigned char>(text.begin(), text.end());
}

// A 4 x 4 A8R8G8B8 DDS, or a cube of six such faces.
std::vector<unsigned char> Dds(bool cube)
{
    DdsHeaderFields fields;
    std::vector<std::uint8_t> payload(64 * (cube ? 6 : 1), 0x80);
    if (cube)
        fields.caps2 = 0xFE00;
    const std::vector<std::uint8_t> file = MakeDds(fields, payload);
    return std::vector<unsigned char>(file.begin(), file.end());
}

const char* kTextured = R"(
texture Plain : TEXTURE0 < string ResourceName = "plain.dds"; >;
texture Sharp : TEXTURE1 < string ResourceName = "plain.dds"; string Filter = "NONE"; >;
texture Sky : TEXTURE2 < string ResourceName = "sky.dds"; string Type = "CUBE"; >;
texture Volume : TEXTURE5 < string ResourceName = "plain.dds"; string Type = "3D"; >;
texture Nameless : TEXTURE6;
texture Missing : TEXTURE7 < string ResourceName = "missing.dds"; >;
texture TooFar : TEXTURE32 < string ResourceName = "plain.dds"; >;
float4x4 World : LOCAL;
float4 Diffuse : DIFFUSE;
float Power : SPECULARPOW;
float Level;
vertexshader VS { in vec4 POSITION0; void main() { gl_Position = World * POSITION0; } }
pixelshader PS { out vec4 COLOR0; void main() { COLOR0 = Diffuse * Power * Level; } }
technique Default { pass P0 { VertexShader = VS; PixelShader = PS; } }
technique Twice { pass A { VertexShader = VS; PixelShader = PS; } pass B { VertexShader = VS; PixelShader = PS; } }
)";

// An effect's life on the recording device, its files read from a test archive; boxes captured.
class DXEffectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ArchiveWriter archive;
        archive.Add("OShaders\\textured.fxo", Text(kTextured));
        archive.Add("OShaders\\bare.fxo", Text("float Level : LEVEL;\n"));
        archive.Add("OShaders\\broken.fxo", Text("float Level : LEVEL\ntechnique { nonsense"));
        archive.Add("Data\\plain.dds", Dds(false));
        archive.Add("Data\\sky.dds", Dds(true));
        archive.Write((folder.path() / "basefile.dat").string());
        files = std::make_unique<FileSys>((folder.path() / "basefile.dat").string().c_str());
        ASSERT_EQ(MakeRecordingDevice(&device), D3D_OK);
        DXFramework::SetDevice(device);
        ASSERT_EQ(D3DXCreateEffectPool(&pool), D3D_OK);
        SetMessageBoxPresenter([this](const MessageBoxRecord& box) {
            boxes.push_back(box.caption + ": " + box.text);
            return IDOK;
        });
    }
    void TearDown() override
    {
        effect.reset();
        SetMessageBoxPresenter(nullptr);
        if (pool)
            pool->Release();
        DXFramework::SetDevice(nullptr);
        if (device) {
            EXPECT_EQ(device->Release(), 0u) << "something the effect made is still alive";
        }
        files.reset();
    }

    TempDir folder;
    std::unique_ptr<FileSys> files;
    IDirect3DDevice9* device = nullptr;
    ID3DXEffectPool* pool = nullptr;
    std::vector<std::string> boxes;
    std::unique_ptr<DXEffect> effect = std::make_unique<DXEffect>();
};

// Counts how often an effect pass draws it.
class CountingObject : public BASERENDEROBJECT {
public:
    CountingObject() : BASERENDEROBJECT(nullptr) {}
    void Draw() override { ++draws; }
    int draws = 0;
};

} // namespace

TEST_F(DXEffectTest, LoadingFailuresSayWhatWasWrong)
{
    EXPECT_EQ(FrameworkExMessage([&] { effect->LoadEffect("", pool); }),
              "Empty filename supplied to DXEffect::LoadEffect");
    EXPECT_EQ(FrameworkExMessage([&] { effect->LoadEffect("missing.fx", pool); }),
              "[DXFramework::CreateEffectFromFile]: can't find file \"OShaders\\missing.fxo\".");
    const std::string broken = FrameworkExMessage([&] { effect->LoadEffect("broken.fx", pool); });
    const std::string prefix = "Could not Create effect from: broken.fx\n\n";
    ASSERT_EQ(broken.rfind(prefix, 0), 0u) << broken;
    // The compiler's own message follows, naming the line it stopped at.
    EXPECT_NE(broken.find("(2)"), std::string::npos) << broken;
    EXPECT_FALSE(effect->IsLoaded());
    EXPECT_EQ(effect->GetD3DXEffect(), nullptr);
}

TEST_F(DXEffectTest, TextureParametersLoadWhatTheirAnnotationsName)
{
    effect->LoadEffect("textured.fx", pool);
    ASSERT_TRUE(effect->IsLoaded());
    ID3DXEffect* fx = effect->GetD3DXEffect();
    ASSERT_NE(fx, nullptr);
    // TEXTURE0, 1, 2, 5 and 7 in ascending order: a parameter without a file name is passed over,
    // one past TEXTURE31 is never looked at.
    const std::vector<D3DXHANDLE> expected = {
        fx->GetParameterByName(nullptr, "Plain"),   fx->GetParameterByName(nullptr, "Sharp"),
        fx->GetParameterByName(nullptr, "Sky"),     fx->GetParameterByName(nullptr, "Volume"),
        fx->GetParameterByName(nullptr, "Missing"),
    };
    EXPECT_EQ(effect->GetTextureHandles(), expected);

    struct Expect {
        const char* parameter;
        D3DRESOURCETYPE type; // of the loaded texture; 0: none loaded
    };
    const Expect expects[] = {
        {"Plain", D3DRTYPE_TEXTURE}, {"Sharp", D3DRTYPE_TEXTURE}, {"Sky", D3DRTYPE_CUBETEXTURE},
        {"Volume", static_cast<D3DRESOURCETYPE>(0)}, {"Missing", static_cast<D3DRESOURCETYPE>(0)},
        {"TooFar", static_cast<D3DRESOURCETYPE>(0)},
    };
    for (const Expect& e : expects) {
        SCOPED_TRACE(e.parameter);
        D3DXHANDLE handle = fx->GetParameterByName(nullptr, e.parameter);
        IDirect3DBaseTexture9* loaded = effect->GetLoadedTexture(handle);
        IDirect3DBaseTexture9* bound = nullptr;
        ASSERT_EQ(fx->GetTexture(handle, &bound), D3D_OK);
        // The effect's parameter holds exactly what was loaded for it.
        EXPECT_EQ(bound, loaded);
        if (bound)
            bound->Release();
        if (e.type == 0) {
            EXPECT_EQ(loaded, nullptr);
        } else {
            ASSERT_NE(loaded, nullptr);
            EXPECT_EQ(loaded->GetType(), e.type);
            // A full chain of mip levels, whatever the filter.
            EXPECT_EQ(loaded->GetLevelCount(), 3u);
        }
    }
    // One box for the file that is not there, naming it without the folder.
    EXPECT_EQ(boxes, std::vector<std::string>{"Couldnt read file: missing.dds"});

    // Unload lets go of everything; loading again works and loads the textures afresh.
    effect->Unload();
    EXPECT_EQ(effect->GetD3DXEffect(), nullptr);
    EXPECT_TRUE(effect->GetTextureHandles().empty());
    effect->LoadEffect("textured.fx", pool);
    EXPECT_EQ(effect->GetTextureHandles().size(), 5u);
}

TEST_F(DXEffectTest, TechniquesAndSettersReportTheirOwnFailures)
{
    effect->SetTechnique("Twice"); // before loading only the name is kept
    EXPECT_EQ(effect->GetTechniqueName(), "Twice");
    effect->LoadEffect("textured.fx", pool);
    effect->SetTechnique("Default");
    EXPECT_EQ(FrameworkExMessage([&] { effect->SetTechnique("Nope"); }),
              "[DXEffect::SetTechnique] Effect textured.fx.\n Failed to set technique: \"Nope\"");

    // A semantic the effect lacks throws every time, the miss being remembered.
    const float v[4] = {1, 2, 3, 4};
    for (int i = 0; i < 2; ++i)
        EXPECT_EQ(FrameworkExMessage([&] { effect->SetVec3BySemantic("NOPE", v); }),
                  "[DXEffect::SetVec3BySemantic]: Effect textured.fx.\nNo parameter found with semantic NOPE");
    EXPECT_EQ(FrameworkExMessage([&] { effect->SetMatrixBySemantic("ALSO_NOPE", nullptr); }),
              "[DXEffect::SetMatrixBySemantic]: Effect textured.fx.\nNo parameter found with semantic ALSO_NOPE");
    EXPECT_EQ(effect->GetHandleBySemantic("NOPE"), nullptr);

    // A D3DX call that does not fit the parameter fails with the setter's message.
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_EQ(FrameworkExMessage([&] { effect->SetMatrixBySemantic("SPECULARPOW", &identity); }),
              "[DXEffect::SetMatrix] failed.\n");
    EXPECT_EQ(FrameworkExMessage([&] { effect->SetTexture(effect->GetHandleBySemantic("LOCAL"), nullptr); }),
              "[DXEffect::SetTexture] failed.\n");

    // What does fit arrives.
    effect->SetVec4BySemantic("DIFFUSE", v);
    effect->SetFloatBySemantic("SPECULARPOW", 8.0f);
    D3DXVECTOR4 diffuse;
    float power = 0;
    ID3DXEffect* fx = effect->GetD3DXEffect();
    ASSERT_EQ(fx->GetVector(effect->GetHandleBySemantic("DIFFUSE"), &diffuse), D3D_OK);
    ASSERT_EQ(fx->GetFloat(effect->GetHandleBySemantic("SPECULARPOW"), &power), D3D_OK);
    EXPECT_EQ(diffuse.w, 4.0f);
    EXPECT_EQ(power, 8.0f);
}

TEST_F(DXEffectTest, ObjectsAreDrawnOncePerPassWithTheirWorldMatrix)
{
    effect->LoadEffect("textured.fx", pool);
    CountingObject object;
    D3DXMatrixTranslation(&object.world, 1, 2, 3);
    effect->SetTechnique("Twice");
    effect->RenderObject(&object);
    EXPECT_EQ(object.draws, 2);
    effect->SetTechnique("Default");
    effect->RenderObject(&object);
    EXPECT_EQ(object.draws, 3);
    D3DXMATRIX local;
    ASSERT_EQ(effect->GetD3DXEffect()->GetMatrix(effect->GetHandleBySemantic("LOCAL"), &local), D3D_OK);
    EXPECT_EQ(local, object.world);

    // Material setters skip what the effect lacks: this one has no MATTEX or AMBIENT.
    const D3DXVECTOR4 colour(0.5f, 0.25f, 0.125f, 1.0f);
    effect->SetMaterialTexture(nullptr);
    effect->SetMaterialAmbient(&colour);
    effect->SetMaterialDiffuse(&colour);
    effect->SetMaterialSpecularPower(3.0f);
    effect->CommitChanges();
    D3DXVECTOR4 diffuse;
    ASSERT_EQ(effect->GetD3DXEffect()->GetVector(effect->GetHandleBySemantic("DIFFUSE"), &diffuse), D3D_OK);
    EXPECT_EQ(diffuse, colour);
}

TEST_F(DXEffectTest, RegistryKeepsOneEffectPerNameAndAnActiveOne)
{
    DXEffectHandler registry;
    EXPECT_EQ(FrameworkExMessage([] { DXEffectHandler second; }), "DXEffectHandler is a singleton!");
    EXPECT_EQ(DXEffectHandler::ListEffects(), "");
    EXPECT_EQ(FrameworkExMessage([] { DXEffectHandler::SetActiveEffect("Global"); }),
              "[DXEffectHandler::SetActiveEffect] Effect \"Global\" not registered. Available effects are:\n");

    DXEffectHandler::AddEffect("Global", "bare.fx", pool);
    DXEffect* global = DXEffectHandler::FindEffect("Global");
    ASSERT_NE(global, nullptr);
    // The same name again keeps the first effect and loads nothing (the file does not exist).
    DXEffectHandler::AddEffect("Global", "missing.fx", pool);
    EXPECT_EQ(DXEffectHandler::FindEffect("Global"), global);
    EXPECT_EQ(global->GetFilename(), "bare.fx");
    // Names are case-sensitive; a failing load registers nothing.
    DXEffectHandler::AddEffect("global", "textured.fx", pool);
    EXPECT_THROW(DXEffectHandler::AddEffect("broken", "broken.fx", pool), FrameworkEx);
    EXPECT_EQ(DXEffectHandler::FindEffect("broken"), nullptr);
    EXPECT_EQ(DXEffectHandler::ListEffects(), "Global\nglobal\n");

    DXEffectHandler::SetActiveEffect("Global");
    EXPECT_EQ(DXEffectHandler::GetActiveEffect(), global);
    DXEffectHandler::SetFloatBySemantic("LEVEL", 2.0f);

    // A failed switch leaves no effect active: every forwarder says so.
    EXPECT_THROW(DXEffectHandler::SetActiveEffect("Nope"), FrameworkEx);
    EXPECT_EQ(DXEffectHandler::GetActiveEffect(), nullptr);
    const float v[4] = {};
    D3DXMATRIX m;
    CountingObject object;
    struct Forwarder {
        std::function<void()> call;
        const char* message;
    };
    const Forwarder forwarders[] = {
        {[] { DXEffectHandler::SetTechnique("Default"); },
         "[DXEffectHandler::SetTechnique] Could not set technique) \"Default\": No effect set"},
        {[] { DXEffectHandler::SetTextureBySemantic("T", nullptr); },
         "[DXEffectHandler::SetTextureBySemantic] No effect set"},
        {[&] { DXEffectHandler::SetVec2BySemantic("T", v); }, "[DXEffectHandler::SetVec2BySemantic] No effect set"},
        {[&] { DXEffectHandler::SetVec3BySemantic("T", v); }, "[DXEffectHandler::SetVec3BySemantic] No effect set"},
        {[&] { DXEffectHandler::SetVec4BySemantic("T", v); }, "[DXEffectHandler::SetVec4BySemantic] No effect set"},
        {[] { DXEffectHandler::SetFloatBySemantic("T", 1); }, "[DXEffectHandler::SetFloatBySemantic] No effect set"},
        {[&] { DXEffectHandler::SetFloatArrayBySemantic("T", v, 4); },
         "[DXEffectHandler::SetFloatArrayBySemantic] No effect set"},
        {[&] { DXEffectHandler::SetMatrixBySemantic("T", &m); },
         "[DXEffectHandler::SetMatrixBySemantic] No effect set"},
    };
    for (const Forwarder& f : forwarders)
        EXPECT_EQ(FrameworkExMessage(f.call), f.message);
    EXPECT_THROW(DXEffectHandler::RenderObject(&object), FrameworkEx);

    // Removing deletes the effect; adding the name again makes a fresh one.
    DXEffectHandler::RemoveEffect("global");
    DXEffectHandler::RemoveEffect("never there");
    EXPECT_EQ(DXEffectHandler::ListEffects(), "Global\n");
}
