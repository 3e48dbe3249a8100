#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "D3D9DeviceTestFixture.h"

namespace {

class D3D9DeviceStateTest : public D3D9DeviceTest {
protected:
    // Binds a vertex and a pixel shader, a POSITION + TEXCOORD0 declaration (20-byte vertices) and a
    // vertex buffer of `vertices` vertices on stream 0. The objects stay bound; the test's references
    // are released here.
    void BindDrawState(UINT vertices)
    {
        IDirect3DVertexShader9* vs = nullptr;
        ASSERT_EQ(device->CreateVertexShader("void main() {}", &vs), D3D_OK);
        IDirect3DPixelShader9* ps = nullptr;
        ASSERT_EQ(device->CreatePixelShader("out vec4 COLOR0; void main() { COLOR0 = vec4(1.0); }", &ps), D3D_OK);
        ASSERT_EQ(device->SetPixelShader(ps), D3D_OK);
        ps->Release();
        const D3DVERTEXELEMENT9 elements[] = {
            {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
            {0, 12, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
            D3DDECL_END(),
        };
        IDirect3DVertexDeclaration9* declaration = nullptr;
        ASSERT_EQ(device->CreateVertexDeclaration(elements, &declaration), D3D_OK);
        IDirect3DVertexBuffer9* buffer = nullptr;
        ASSERT_EQ(device->CreateVertexBuffer(vertices * 20, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
        ASSERT_EQ(device->SetVertexShader(vs), D3D_OK);
        ASSERT_EQ(device->SetVertexDeclaration(declaration), D3D_OK);
        ASSERT_EQ(device->SetStreamSource(0, buffer, 0, 20), D3D_OK);
        vs->Release();
        declaration->Release();
        buffer->Release();
    }
    void UnbindDrawState()
    {
        device->SetVertexShader(nullptr);
        device->SetPixelShader(nullptr);
        device->SetVertexDeclaration(nullptr);
        device->SetStreamSource(0, nullptr, 0, 0);
        device->SetIndices(nullptr);
    }
};
ORVALA_INSTANTIATE_DEVICE_TESTS(D3D9DeviceStateTest);

struct StateDefault {
    D3DRENDERSTATETYPE state;
    DWORD value;
};

// What a new Direct3D 9 device starts with (this one has an automatic depth buffer).
const StateDefault kRenderStateDefaults[] = {
    {D3DRS_ZENABLE, D3DZB_TRUE},
    {D3DRS_ZWRITEENABLE, TRUE},
    {D3DRS_ZFUNC, D3DCMP_LESSEQUAL},
    {D3DRS_CULLMODE, D3DCULL_CCW},
    {D3DRS_FILLMODE, D3DFILL_SOLID},
    {D3DRS_ALPHABLENDENABLE, FALSE},
    {D3DRS_SRCBLEND, D3DBLEND_ONE},
    {D3DRS_DESTBLEND, D3DBLEND_ZERO},
    {D3DRS_BLENDOP, D3DBLENDOP_ADD},
    {D3DRS_SEPARATEALPHABLENDENABLE, FALSE},
    {D3DRS_SRCBLENDALPHA, D3DBLEND_ONE},
    {D3DRS_DESTBLENDALPHA, D3DBLEND_ZERO},
    {D3DRS_BLENDOPALPHA, D3DBLENDOP_ADD},
    {D3DRS_ALPHATESTENABLE, FALSE},
    {D3DRS_ALPHAFUNC, D3DCMP_ALWAYS},
    {D3DRS_ALPHAREF, 0},
    {D3DRS_COLORWRITEENABLE, 0xF},
    {D3DRS_COLORWRITEENABLE1, 0xF},
    {D3DRS_COLORWRITEENABLE3, 0xF},
    {D3DRS_STENCILENABLE, FALSE},
    {D3DRS_STENCILFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILZFAIL, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILPASS, D3DSTENCILOP_KEEP},
    {D3DRS_STENCILFUNC, D3DCMP_ALWAYS},
    {D3DRS_STENCILREF, 0},
    {D3DRS_STENCILMASK, 0xFFFFFFFFu},
    {D3DRS_STENCILWRITEMASK, 0xFFFFFFFFu},
    {D3DRS_SCISSORTESTENABLE, FALSE},
    {D3DRS_POINTSIZE, 0x3f800000u},      // 1.0f
    {D3DRS_POINTSIZE_MAX, 0x42800000u},  // 64.0f
    {D3DRS_FOGEND, 0x3f800000u},
    {D3DRS_LIGHTING, TRUE},
    {D3DRS_MULTISAMPLEANTIALIAS, TRUE},
    {D3DRS_BLENDFACTOR, 0xFFFFFFFFu},
    {D3DRS_DEPTHBIAS, 0},
    {D3DRS_SRGBWRITEENABLE, 0},
};

TEST_P(D3D9DeviceStateTest, RenderStatesStartAtDirect3D9Defaults)
{
    for (const StateDefault& d : kRenderStateDefaults) {
        SCOPED_TRACE(d.state);
        DWORD value = 0xDEADBEEF;
        ASSERT_EQ(device->GetRenderState(d.state, &value), D3D_OK);
        EXPECT_EQ(value, d.value);
    }
}

TEST_P(D3D9DeviceStateTest, DepthTestIsOffWithoutAnAutomaticDepthBuffer)
{
    D3DPRESENT_PARAMETERS params = DefaultParameters();
    params.EnableAutoDepthStencil = FALSE;
    IDirect3DDevice9* other = MakeDevice(params);
    ASSERT_NE(other, nullptr);
    DWORD value = 7;
    ASSERT_EQ(other->GetRenderState(D3DRS_ZENABLE, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DZB_FALSE));
    IDirect3DSurface9* depth = reinterpret_cast<IDirect3DSurface9*>(&value);
    EXPECT_EQ(other->GetDepthStencilSurface(&depth), D3DERR_NOTFOUND);
    EXPECT_EQ(depth, nullptr);
    EXPECT_EQ(other->Release(), 0u);
}

TEST_P(D3D9DeviceStateTest, RenderStatesRoundTripAndUnknownOnesAreRefused)
{
    ASSERT_EQ(device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE), D3D_OK);
    ASSERT_EQ(device->SetRenderState(D3DRS_BLENDFACTOR, 0x12345678u), D3D_OK);
    DWORD value = 0;
    ASSERT_EQ(device->GetRenderState(D3DRS_CULLMODE, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCULL_NONE));
    ASSERT_EQ(device->GetRenderState(D3DRS_BLENDFACTOR, &value), D3D_OK);
    EXPECT_EQ(value, 0x12345678u);
    for (DWORD unknown : {0u, 10u, 210u, 0xFFFFFFFFu}) {
        SCOPED_TRACE(unknown);
        EXPECT_EQ(device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(unknown), 1), D3DERR_INVALIDCALL);
        EXPECT_EQ(device->GetRenderState(static_cast<D3DRENDERSTATETYPE>(unknown), &value), D3DERR_INVALIDCALL);
    }
    EXPECT_EQ(device->GetRenderState(D3DRS_CULLMODE, nullptr), D3DERR_INVALIDCALL);
}

struct SamplerDefault {
    D3DSAMPLERSTATETYPE type;
    DWORD value;
};

const SamplerDefault kSamplerDefaults[] = {
    {D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP}, {D3DSAMP_ADDRESSV, D3DTADDRESS_WRAP}, {D3DSAMP_ADDRESSW, D3DTADDRESS_WRAP},
    {D3DSAMP_BORDERCOLOR, 0},             {D3DSAMP_MAGFILTER, D3DTEXF_POINT},   {D3DSAMP_MINFILTER, D3DTEXF_POINT},
    {D3DSAMP_MIPFILTER, D3DTEXF_NONE},    {D3DSAMP_MIPMAPLODBIAS, 0},           {D3DSAMP_MAXMIPLEVEL, 0},
    {D3DSAMP_MAXANISOTROPY, 1},           {D3DSAMP_SRGBTEXTURE, 0},
};

TEST_P(D3D9DeviceStateTest, SamplerStatesStartAtDefaultsForEverySampler)
{
    for (DWORD sampler : {0u, 7u, 15u, D3DVERTEXTEXTURESAMPLER0, D3DVERTEXTEXTURESAMPLER3}) {
        for (const SamplerDefault& d : kSamplerDefaults) {
            SCOPED_TRACE(std::to_string(sampler) + "/" + std::to_string(d.type));
            DWORD value = 0xDEADBEEF;
            ASSERT_EQ(device->GetSamplerState(sampler, d.type, &value), D3D_OK);
            EXPECT_EQ(value, d.value);
        }
    }
    ASSERT_EQ(device->SetSamplerState(3, D3DSAMP_MINFILTER, D3DTEXF_LINEAR), D3D_OK);
    DWORD value = 0;
    ASSERT_EQ(device->GetSamplerState(3, D3DSAMP_MINFILTER, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_LINEAR));
    ASSERT_EQ(device->GetSamplerState(4, D3DSAMP_MINFILTER, &value), D3D_OK);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_POINT));
    EXPECT_EQ(device->SetSamplerState(16, D3DSAMP_MINFILTER, D3DTEXF_LINEAR), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetSamplerState(0, static_cast<D3DSAMPLERSTATETYPE>(14), 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->GetSamplerState(0, D3DSAMP_MINFILTER, nullptr), D3DERR_INVALIDCALL);
}

TEST_P(D3D9DeviceStateTest, TexturesStreamsAndIndicesReadBack)
{
    IDirect3DTexture9* texture = MakeTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED);
    IDirect3DTexture9* scratch = MakeTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_SCRATCH);
    ASSERT_TRUE(texture && scratch);
    ASSERT_EQ(device->SetTexture(15, texture), D3D_OK);
    EXPECT_EQ(device->SetTexture(16, texture), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetTexture(0, scratch), D3DERR_INVALIDCALL);
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device->GetTexture(15, &bound), D3D_OK);
    EXPECT_EQ(bound, static_cast<IDirect3DBaseTexture9*>(texture));
    bound->Release();
    ASSERT_EQ(device->GetTexture(0, &bound), D3D_OK);
    EXPECT_EQ(bound, nullptr);
    ASSERT_EQ(device->SetTexture(15, nullptr), D3D_OK);

    IDirect3DVertexBuffer9* vertices = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(64, 0, 0, D3DPOOL_MANAGED, &vertices, nullptr), D3D_OK);
    ASSERT_EQ(device->SetStreamSource(2, vertices, 16, 12), D3D_OK);
    EXPECT_EQ(device->SetStreamSource(16, vertices, 0, 12), D3DERR_INVALIDCALL);
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 0;
    UINT stride = 0;
    ASSERT_EQ(device->GetStreamSource(2, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, vertices);
    EXPECT_EQ(offset, 16u);
    EXPECT_EQ(stride, 12u);
    stream->Release();
    EXPECT_EQ(device->GetStreamSource(2, &stream, nullptr, &stride), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->SetStreamSource(2, nullptr, 0, 0), D3D_OK);

    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(12, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr), D3D_OK);
    ASSERT_EQ(device->SetIndices(indices), D3D_OK);
    IDirect3DIndexBuffer9* gotIndices = nullptr;
    ASSERT_EQ(device->GetIndices(&gotIndices), D3D_OK);
    EXPECT_EQ(gotIndices, indices);
    gotIndices->Release();
    ASSERT_EQ(device->SetIndices(nullptr), D3D_OK);

    texture->Release();
    scratch->Release();
    vertices->Release();
    indices->Release();
}

TEST_P(D3D9DeviceStateTest, DeclarationsRoundTripAndBadOnesAreRefused)
{
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        {1, 0, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 3},
        D3DDECL_END(),
    };
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    UINT count = 0;
    ASSERT_EQ(declaration->GetDeclaration(nullptr, &count), D3D_OK);
    ASSERT_EQ(count, 4u);
    D3DVERTEXELEMENT9 back[4] = {};
    ASSERT_EQ(declaration->GetDeclaration(back, &count), D3D_OK);
    for (UINT i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(back[i].Stream, elements[i].Stream);
        EXPECT_EQ(back[i].Offset, elements[i].Offset);
        EXPECT_EQ(back[i].Type, elements[i].Type);
        EXPECT_EQ(back[i].Usage, elements[i].Usage);
        EXPECT_EQ(back[i].UsageIndex, elements[i].UsageIndex);
    }
    EXPECT_EQ(declaration->GetDeclaration(back, nullptr), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->SetVertexDeclaration(declaration), D3D_OK);
    IDirect3DVertexDeclaration9* bound = nullptr;
    ASSERT_EQ(device->GetVertexDeclaration(&bound), D3D_OK);
    EXPECT_EQ(bound, declaration);
    bound->Release();
    ASSERT_EQ(device->SetVertexDeclaration(nullptr), D3D_OK);
    declaration->Release();

    // An unaligned element fails as drivers fail it (E_FAIL, see D3D9DeviceRulesTest); the rest are
    // invalid calls.
    IDirect3DVertexDeclaration9* refused = nullptr;
    const D3DVERTEXELEMENT9 unaligned[] = {{0, 2, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    EXPECT_EQ(device->CreateVertexDeclaration(unaligned, &refused), E_FAIL);
    EXPECT_EQ(refused, nullptr);
    const D3DVERTEXELEMENT9 kBad[][3] = {
        {{16, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END(), D3DDECL_END()}, // stream 16
        {{0, 0, 40, 0, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END(), D3DDECL_END()},                  // type
        {{0, 0, D3DDECLTYPE_FLOAT3, 0, 20, 0}, D3DDECL_END(), D3DDECL_END()},                     // usage
        {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TEXCOORD, 16}, D3DDECL_END(), D3DDECL_END()}, // usage index
        {{0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
         {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_NORMAL, 0},
         D3DDECL_END()}, // the same usage twice
    };
    for (const auto& bad : kBad) {
        SCOPED_TRACE(&bad - kBad);
        refused = nullptr;
        EXPECT_EQ(device->CreateVertexDeclaration(bad, &refused), D3DERR_INVALIDCALL);
        EXPECT_EQ(refused, nullptr);
    }
}

TEST_P(D3D9DeviceStateTest, ShadersNeedSource)
{
    IDirect3DVertexShader9* vs = nullptr;
    IDirect3DPixelShader9* ps = nullptr;
    std::string log = "unchanged";
    EXPECT_EQ(device->CreateVertexShader("", &vs, &log), D3DERR_INVALIDCALL);
    EXPECT_FALSE(log.empty());
    EXPECT_EQ(device->CreateVertexShader(nullptr, &vs), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreatePixelShader("", &ps), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->CreatePixelShader("void main() {}", nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(vs, nullptr);
    EXPECT_EQ(ps, nullptr);
    ASSERT_EQ(device->CreatePixelShader("out vec4 COLOR0; void main() { COLOR0 = vec4(1.0); }", &ps), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(ps), D3D_OK);
    IDirect3DPixelShader9* bound = nullptr;
    ASSERT_EQ(device->GetPixelShader(&bound), D3D_OK);
    EXPECT_EQ(bound, ps);
    bound->Release();
    ASSERT_EQ(device->SetPixelShader(nullptr), D3D_OK);
    ps->Release();

    const float matrix[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const int stage = 2;
    EXPECT_EQ(device->SetUniformF("worldViewProj", matrix, 16), D3D_OK);
    EXPECT_EQ(device->SetUniformI("diffuseMap", &stage, 1), D3D_OK);
    EXPECT_EQ(device->SetUniformF(nullptr, matrix, 16), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetUniformF("worldViewProj", nullptr, 16), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->SetUniformI("diffuseMap", &stage, 0), D3DERR_INVALIDCALL);
}

TEST_P(D3D9DeviceStateTest, DrawsAreCheckedAgainstTheBoundState)
{
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3DERR_INVALIDCALL); // nothing bound
    BindDrawState(6);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 1, 2), D3DERR_INVALIDCALL); // past the buffer
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 4), D3D_OK);
    EXPECT_EQ(device->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(9), 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 6, 0, 1), D3DERR_INVALIDCALL); // no indices

    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(6 * 2, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr), D3D_OK);
    ASSERT_EQ(device->SetIndices(indices), D3D_OK);
    indices->Release();
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 6, 0, 2), D3D_OK);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 6, 3, 2), D3DERR_INVALIDCALL); // past indices
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 2, 0, 6, 0, 1), D3DERR_INVALIDCALL); // past vertices
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, -1, 0, 3, 0, 1), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 0, 0, 1), D3DERR_INVALIDCALL);

    const float quad[4 * 5] = {};
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 20), D3D_OK);
    // Drawing from user memory unbinds stream 0.
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 1;
    UINT stride = 1;
    ASSERT_EQ(device->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1), D3D_OK); // stream 0 now reads as zeros
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, nullptr, 20), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 0, quad, 20), D3DERR_INVALIDCALL); // no primitives
    // There is no fixed-function pipeline: both shaders are needed.
    IDirect3DPixelShader9* ps = nullptr;
    ASSERT_EQ(device->GetPixelShader(&ps), D3D_OK);
    ASSERT_EQ(device->SetPixelShader(nullptr), D3D_OK);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 20), D3DERR_INVALIDCALL); // no pixel shader
    ASSERT_EQ(device->SetPixelShader(ps), D3D_OK);
    ps->Release();
    device->SetVertexShader(nullptr);
    EXPECT_EQ(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, 20), D3DERR_INVALIDCALL); // no shader
    ASSERT_EQ(device->EndScene(), D3D_OK);
    UnbindDrawState();
}

TEST_P(D3D9DeviceStateTest, ScenesDoNotNest)
{
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    EXPECT_EQ(device->BeginScene(), D3DERR_INVALIDCALL);
    ASSERT_EQ(device->EndScene(), D3D_OK);
    EXPECT_EQ(device->EndScene(), D3DERR_INVALIDCALL);
}

TEST_P(D3D9DeviceStateTest, QueriesReportOnceIssued)
{
    EXPECT_EQ(device->CreateQuery(D3DQUERYTYPE_EVENT, nullptr), D3D_OK);
    EXPECT_EQ(device->CreateQuery(D3DQUERYTYPE_VCACHE, nullptr), D3DERR_NOTAVAILABLE);
    IDirect3DQuery9* event = nullptr;
    ASSERT_EQ(device->CreateQuery(D3DQUERYTYPE_EVENT, &event), D3D_OK);
    EXPECT_EQ(event->GetType(), D3DQUERYTYPE_EVENT);
    ASSERT_EQ(event->GetDataSize(), sizeof(BOOL));
    BOOL done = FALSE;
    EXPECT_EQ(event->GetData(&done, sizeof done, D3DGETDATA_FLUSH), S_FALSE); // never issued: nothing yet
    EXPECT_EQ(event->Issue(D3DISSUE_BEGIN), D3DERR_INVALIDCALL);
    ASSERT_EQ(event->Issue(D3DISSUE_END), D3D_OK);
    HRESULT hr = S_FALSE;
    while ((hr = event->GetData(&done, sizeof done, D3DGETDATA_FLUSH)) == S_FALSE) {
    }
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(done, TRUE);
    EXPECT_EQ(event->GetData(&done, 1, 0), S_OK); // as much of the result as fits
    EXPECT_EQ(event->GetData(nullptr, 4, 0), D3DERR_INVALIDCALL);
    EXPECT_EQ(event->Release(), 0u);

    IDirect3DQuery9* occlusion = nullptr;
    ASSERT_EQ(device->CreateQuery(D3DQUERYTYPE_OCCLUSION, &occlusion), D3D_OK);
    ASSERT_EQ(occlusion->Issue(D3DISSUE_BEGIN), D3D_OK);
    ASSERT_EQ(occlusion->Issue(D3DISSUE_END), D3D_OK);
    DWORD samples = 0xFFFFFFFF;
    while ((hr = occlusion->GetData(&samples, sizeof samples, D3DGETDATA_FLUSH)) == S_FALSE) {
    }
    EXPECT_EQ(hr, S_OK);
    EXPECT_EQ(samples, 0u); // nothing was drawn between begin and end
    EXPECT_EQ(occlusion->Release(), 0u);
}

} // namespace
