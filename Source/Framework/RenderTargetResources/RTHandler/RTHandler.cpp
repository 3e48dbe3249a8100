#include "RTHandler.h"

#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "d3d9/D3DFormatInfo.h"

RTHandler* RTHandler::instance = nullptr;
PoolRecords<RENDERTEXTURE> RTHandler::textures;

namespace {

IDirect3DDevice9* RequireDevice(const char* operation)
{
    return PoolRecords<RENDERTEXTURE>::RequireDevice(operation);
}

// Makes the texture of the record's description and takes its level-0 surface. Returns false,
// with nothing made, when the device was lost (the framework's device-lost handling has run by
// then); any other failure throws. A texture whose surface cannot be had is released before the
// failure is handled, so that a Reset made by the device-lost handling finds nothing alive.
bool CreateTextureOf(IDirect3DDevice9* device, RENDERTEXTURE& record)
{
    IDirect3DTexture9* texture = nullptr;
    const int createLine = __LINE__ + 1;
    const HRESULT created = device->CreateTexture(record.width, record.height, 1, D3DUSAGE_RENDERTARGET,
                                                  record.format, D3DPOOL_DEFAULT, &texture, nullptr);
    if (created != D3D_OK || !texture) {
        CheckResult(created != D3D_OK ? created : E_FAIL, __FILE__, createLine);
        return false;
    }
    IDirect3DSurface9* surface = nullptr;
    const int levelLine = __LINE__ + 1;
    const HRESULT level = texture->GetSurfaceLevel(0, &surface);
    if (level != D3D_OK || !surface) {
        texture->Release();
        CheckResult(level != D3D_OK ? level : E_FAIL, __FILE__, levelLine);
        return false;
    }
    record.texture = texture;
    record.surface = surface;
    return true;
}

void ReleaseTextureOf(RENDERTEXTURE& record)
{
    if (record.surface) {
        record.surface->Release();
        record.surface = nullptr;
    }
    if (record.texture) {
        record.texture->Release();
        record.texture = nullptr;
    }
}

} // namespace

void RENDERTEXTURE::SetAsRenderTarget(DWORD index)
{
    IDirect3DDevice9* device = RequireDevice("RENDERTEXTURE::SetAsRenderTarget");
    CHECK_RESULT(device->SetRenderTarget(index, surface));
    DXFramework::SetPlainDepthSurface();
}

RTHandler::RTHandler()
{
    if (instance)
        throw FrameworkEx("RTHandler is a singleton!");
    instance = this;
}

RTHandler::~RTHandler()
{
    instance = nullptr;
    textures.Clear(ReleaseTextureOf);
}

DWORD RTHandler::Request(D3DFORMAT format, DWORD width, DWORD height, const std::string& name)
{
    const DWORD idle = textures.TakeIdle([&](const RENDERTEXTURE& record) {
        return record.format == format && record.width == width && record.height == height;
    });
    if (idle != InvalidHandle) {
        textures.Get(idle, "RTHandler::Request")->name = name;
        return idle;
    }

    if (!instance)
        throw FrameworkEx("RTHandler::Request: there is no RTHandler to hold the texture.");
    IDirect3DDevice9* device = RequireDevice("RTHandler::Request");
    auto record = std::make_unique<RENDERTEXTURE>();
    record->format = format;
    record->width = width;
    record->height = height;
    record->name = name;
    if (!CreateTextureOf(device, *record))
        return InvalidHandle;
    return textures.AppendHeld(std::move(record));
}

void RTHandler::Unrequest(DWORD handle)
{
    textures.Unrequest(handle, "RTHandler::Unrequest: input handle does not correspond to an existing resource.");
}

RENDERTEXTURE* RTHandler::GetTexture(DWORD handle)
{
    return textures.Get(handle, "RTHandler::GetTexture: input handle does not correspond to an existing texture.");
}

const RENDERTEXTURE* RTHandler::FindBySurface(const IDirect3DSurface9* surface)
{
    if (!surface)
        return nullptr;
    return textures.Find([&](const RENDERTEXTURE& record) { return record.surface == surface; });
}

const RENDERTEXTURE* RTHandler::FindByTexture(const IDirect3DBaseTexture9* texture)
{
    if (!texture)
        return nullptr;
    return textures.Find([&](const RENDERTEXTURE& record) {
        return static_cast<const IDirect3DBaseTexture9*>(record.texture) == texture;
    });
}

void RTHandler::ReleaseDeviceResources()
{
    textures.ReleaseObjects(ReleaseTextureOf);
}

void RTHandler::RecreateDeviceResources()
{
    textures.RecreateObjects(
        "RTHandler::RecreateDeviceResources", [](const RENDERTEXTURE& record) { return record.texture != nullptr; },
        CreateTextureOf);
}

DWORD RTHandler::GetRecordCount()
{
    return textures.Count();
}

namespace {

std::uint64_t BytesOf(const RENDERTEXTURE& record)
{
    return record.texture ? D3DFormatLevelSize(record.format, record.width, record.height) : 0;
}

} // namespace

std::uint64_t RTHandler::GetVideoMemoryBytes()
{
    return textures.Sum(BytesOf);
}

std::uint64_t RTHandler::GetHeldVideoMemoryBytes()
{
    return textures.Sum([](const RENDERTEXTURE& record) { return record.usage > 0 ? BytesOf(record) : 0; });
}
