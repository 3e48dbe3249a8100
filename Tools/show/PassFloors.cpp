#include "PassFloors.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <tuple>


namespace {

const char* const kVertexShader = "in vec4 POSITION0; void main() { gl_Position = POSITION0; }";

// The whole target as a strip of two triangles, in clip space.
const float kCorners[4][4] = {{-1, -1, 0, 1}, {1, -1, 0, 1}, {-1, 1, 0, 1}, {1, 1, 0, 1}};

void Check(HRESULT hr, const char* what)
{
    if (hr != D3D_OK)
        throw std::runtime_error(std::string("the floor's copy could not ") + what);
}

// Render and sampler states a pass may have left that would make the copy more than a copy.
struct SavedState {
    D3DRENDERSTATETYPE state;
    DWORD value;
};
const D3DRENDERSTATETYPE kPlainStates[] = {D3DRS_ZENABLE,          D3DRS_ZWRITEENABLE,      D3DRS_ALPHABLENDENABLE,
                                           D3DRS_ALPHATESTENABLE,  D3DRS_STENCILENABLE,     D3DRS_SCISSORTESTENABLE,
                                           D3DRS_CULLMODE,         D3DRS_COLORWRITEENABLE,  D3DRS_COLORWRITEENABLE1,
                                           D3DRS_COLORWRITEENABLE2, D3DRS_COLORWRITEENABLE3, D3DRS_SRGBWRITEENABLE};

DWORD PlainValue(D3DRENDERSTATETYPE state)
{
    switch (state) {
    case D3DRS_CULLMODE: return D3DCULL_NONE;
    case D3DRS_COLORWRITEENABLE:
    case D3DRS_COLORWRITEENABLE1:
    case D3DRS_COLORWRITEENABLE2:
    case D3DRS_COLORWRITEENABLE3: return 0xF;
    default: return 0; // FALSE
    }
}

} // namespace

PassFloors::PassFloors(IDirect3DDevice9* device) : device(device)
{
    if (D3DCreateGpuTimer(device, &timer) != D3D_OK)
        throw std::runtime_error("the device has no GPU clock to measure floors with");
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    if (device->CreateVertexDeclaration(elements, &declaration) != D3D_OK ||
        device->CreateVertexShader(kVertexShader, &vertexShader) != D3D_OK) {
        Release();
        throw std::runtime_error("the floor's copy could not be made on the device");
    }
}

PassFloors::~PassFloors()
{
    Release();
}

void PassFloors::Release()
{
    for (auto& [key, source] : sources)
        source->Release();
    sources.clear();
    for (auto& [outputs, shader] : copiers)
        shader->Release();
    copiers.clear();
    if (vertexShader)
        vertexShader->Release();
    vertexShader = nullptr;
    if (declaration)
        declaration->Release();
    declaration = nullptr;
    if (timer)
        timer->Release();
    timer = nullptr;
}

IDirect3DPixelShader9* PassFloors::CopierFor(std::size_t outputs)
{
    auto found = copiers.find(outputs);
    if (found != copiers.end())
        return found->second;
    // Every target gets the source's texel under its pixel: a copy, with no filtering.
    std::string source = "uniform sampler2D FloorSource;\n";
    for (std::size_t i = 0; i < outputs; ++i)
        source += "out vec4 COLOR" + std::to_string(i) + ";\n";
    source += "void main() {\n    vec4 texel = texelFetch(FloorSource, ivec2(gl_FragCoord.xy), 0);\n";
    for (std::size_t i = 0; i < outputs; ++i)
        source += "    COLOR" + std::to_string(i) + " = texel;\n";
    source += "}\n";
    IDirect3DPixelShader9* shader = nullptr;
    Check(device->CreatePixelShader(source.c_str(), &shader), "be compiled");
    copiers.emplace(outputs, shader);
    return shader;
}

IDirect3DTexture9* PassFloors::SourceFor(unsigned width, unsigned height, D3DFORMAT format)
{
    const auto key = std::make_tuple(width, height, format);
    auto found = sources.find(key);
    if (found != sources.end())
        return found->second;
    IDirect3DTexture9* texture = nullptr;
    Check(device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &texture, nullptr),
          ("make a " + std::to_string(width) + "x" + std::to_string(height) + " " + PassFormatName(format) +
           " texture to copy from")
              .c_str());
    sources.emplace(key, texture);
    return texture;
}

double PassFloors::Measure(const std::vector<PassTarget>& targets, unsigned copies)
{
    if (targets.empty() || copies == 0)
        throw std::invalid_argument("a floor needs a target and at least one copy");
    std::vector<IDirect3DSurface9*> key;
    for (const PassTarget& target : targets) {
        if (!target.surface)
            throw std::invalid_argument("the pass list holds no surface of the target \"" + target.name + "\"");
        key.push_back(target.surface);
    }
    if (auto found = measured.find(key); found != measured.end())
        return found->second;

    const PassTarget& first = targets.front();
    IDirect3DTexture9* source = SourceFor(first.width, first.height, first.format);
    IDirect3DPixelShader9* copier = CopierFor(targets.size());

    // What the copy changes, to be put back afterwards.
    D3DCAPS9 caps{};
    device->GetDeviceCaps(&caps);
    const DWORD slots = std::clamp<DWORD>(caps.NumSimultaneousRTs, 1, 4);
    std::vector<IDirect3DSurface9*> boundTargets(slots, nullptr);
    for (DWORD i = 0; i < slots; ++i)
        device->GetRenderTarget(i, &boundTargets[i]);
    IDirect3DSurface9* boundDepth = nullptr;
    device->GetDepthStencilSurface(&boundDepth);
    D3DVIEWPORT9 viewport{};
    device->GetViewport(&viewport);
    IDirect3DVertexShader9* boundVertex = nullptr;
    IDirect3DPixelShader9* boundPixel = nullptr;
    IDirect3DVertexDeclaration9* boundDeclaration = nullptr;
    IDirect3DBaseTexture9* boundTexture = nullptr;
    device->GetVertexShader(&boundVertex);
    device->GetPixelShader(&boundPixel);
    device->GetVertexDeclaration(&boundDeclaration);
    device->GetTexture(0, &boundTexture);
    std::vector<SavedState> states;
    for (D3DRENDERSTATETYPE state : kPlainStates) {
        DWORD value = 0;
        if (device->GetRenderState(state, &value) == D3D_OK)
            states.push_back({state, value});
    }

    std::vector<std::uint64_t> stamps;
    HRESULT failed = D3D_OK;
    auto keep = [&](HRESULT hr) {
        if (failed == D3D_OK && hr != D3D_OK)
            failed = hr;
    };
    keep(device->SetDepthStencilSurface(nullptr));
    for (DWORD i = 0; i < slots; ++i)
        keep(device->SetRenderTarget(i, i < targets.size() ? targets[i].surface : nullptr));
    for (D3DRENDERSTATETYPE state : kPlainStates)
        keep(device->SetRenderState(state, PlainValue(state)));
    keep(device->SetVertexDeclaration(declaration));
    keep(device->SetVertexShader(vertexShader));
    keep(device->SetPixelShader(copier));
    keep(device->SetTexture(0, source));
    const int stage = 0;
    keep(device->SetUniformI("FloorSource", &stage, 1));
    if (failed == D3D_OK) {
        for (unsigned copy = 0; copy < copies && failed == D3D_OK; ++copy) {
            std::uint64_t before = 0, after = 0;
            keep(timer->Stamp(&before));
            keep(device->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, kCorners, sizeof kCorners[0]));
            keep(timer->Stamp(&after));
            stamps.push_back(before);
            stamps.push_back(after);
        }
    }

    for (DWORD i = slots; i-- > 0;) {
        if (i == 0 || boundTargets[i] || i < targets.size())
            device->SetRenderTarget(i, boundTargets[i]);
        if (boundTargets[i])
            boundTargets[i]->Release();
    }
    device->SetDepthStencilSurface(boundDepth);
    if (boundDepth)
        boundDepth->Release();
    device->SetViewport(&viewport);
    for (const SavedState& saved : states)
        device->SetRenderState(saved.state, saved.value);
    device->SetVertexDeclaration(boundDeclaration);
    device->SetVertexShader(boundVertex);
    device->SetPixelShader(boundPixel);
    device->SetTexture(0, boundTexture);
    for (IUnknown* object : std::initializer_list<IUnknown*>{boundDeclaration, boundVertex, boundPixel, boundTexture})
        if (object)
            object->Release();

    std::vector<double> times;
    for (std::size_t i = 0; i + 1 < stamps.size(); i += 2) {
        std::uint64_t before = 0, after = 0;
        const bool read = timer->GetTime(stamps[i], &before, D3DGETTIME_WAIT) == D3D_OK &&
                          timer->GetTime(stamps[i + 1], &after, D3DGETTIME_WAIT) == D3D_OK;
        if (read)
            times.push_back(after > before ? static_cast<double>(after - before) / 1.0e6 : 0.0);
    }
    if (failed != D3D_OK || times.empty())
        throw std::runtime_error("the floor's copy into \"" + first.name + "\" failed");
    std::nth_element(times.begin(), times.begin() + static_cast<std::ptrdiff_t>(times.size() / 2), times.end());
    const double median = times[times.size() / 2];
    measured.emplace(std::move(key), median);
    return median;
}
