#include "RTHandler.h"

#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "d3d9/D3DFormatInfo.h"

RTHandler* RTHandler::instance = nullptr;
std::vector<std::unique_ptr<RENDERTEXTURE>> RTHandler::textures;

namespace {

// The framework's device; `operation` names the caller in the error when there is none.
IDirect3DDevice9* RequireDevice(const char* operation)
{
    IDirect3DDevice9* device = DXFramework::GetDevice();
    if (!device)
        throw FrameworkEx(std::string(operation) + ": there is no Direct3D device.");
    return device;
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
    for (const std::unique_ptr<RENDERTEXTURE>& record : textures)
        ReleaseTextureOf(*record);
    textures.clear();
}

DWORD RTHandler::Request(D3DFORMAT format, DWORD width, DWORD height)
{
    for (DWORD handle = 0; handle < textures.size(); ++handle) {
        RENDERTEXTURE& record = *textures[handle];
        if (record.usage == 0 && record.format == format && record.width == width && record.height == height) {
            record.usage = 1;
            return handle;
        }
    }

    if (!instance)
        throw FrameworkEx("RTHandler::Request: there is no RTHandler to hold the texture.");
    IDirect3DDevice9* device = RequireDevice("RTHandler::Request");
    auto record = std::make_unique<RENDERTEXTURE>();
    record->format = format;
    record->width = width;
    record->height = height;
    if (!CreateTextureOf(device, *record))
        return InvalidHandle;
    record->usage = 1;
    textures.push_back(std::move(record));
    return static_cast<DWORD>(textures.size() - 1);
}

void RTHandler::Unrequest(DWORD handle)
{
    if (handle == InvalidHandle)
        return;
    if (handle >= textures.size())
        throw FrameworkEx("RTHandler::Unrequest: input handle does not correspond to an existing resource.");
    RENDERTEXTURE& record = *textures[handle];
    if (record.usage > 0)
        --record.usage;
}

RENDERTEXTURE* RTHandler::GetTexture(DWORD handle)
{
    if (handle >= textures.size())
        throw FrameworkEx("RTHandler::GetTexture: input handle does not correspond to an existing texture.");
    return textures[handle].get();
}

void RTHandler::ReleaseDeviceResources()
{
    for (const std::unique_ptr<RENDERTEXTURE>& record : textures)
        ReleaseTextureOf(*record);
}

void RTHandler::RecreateDeviceResources()
{
    if (textures.empty())
        return;
    IDirect3DDevice9* device = RequireDevice("RTHandler::RecreateDeviceResources");
    // By index: the device-lost handling a failed creation runs may re-enter the pool.
    for (std::size_t i = 0; i < textures.size(); ++i) {
        RENDERTEXTURE& record = *textures[i];
        if (record.texture)
            continue;
        if (!CreateTextureOf(device, record))
            return;
    }
}

DWORD RTHandler::GetRecordCount()
{
    return static_cast<DWORD>(textures.size());
}

std::uint64_t RTHandler::GetVideoMemoryBytes()
{
    std::uint64_t bytes = 0;
    for (const std::unique_ptr<RENDERTEXTURE>& record : textures) {
        if (record->texture)
            bytes += D3DFormatLevelSize(record->format, record->width, record->height);
    }
    return bytes;
}
