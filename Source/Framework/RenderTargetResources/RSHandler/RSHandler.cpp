#include "RSHandler.h"

#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "d3d9/D3DFormatInfo.h"

RSHandler* RSHandler::instance = nullptr;
std::vector<std::unique_ptr<RENDERSURFACE>> RSHandler::surfaces;

namespace {

// The framework's device; `operation` names the caller in the error when there is none.
IDirect3DDevice9* RequireDevice(const char* operation)
{
    IDirect3DDevice9* device = DXFramework::GetDevice();
    if (!device)
        throw FrameworkEx(std::string(operation) + ": there is no Direct3D device.");
    return device;
}

// Makes the surface of the record's description with the framework's multisample settings.
// Returns false, with nothing made, when the device was lost (the framework's device-lost
// handling has run by then); any other failure throws.
bool CreateSurfaceOf(IDirect3DDevice9* device, RENDERSURFACE& record)
{
    D3DMULTISAMPLE_TYPE multiSample = D3DMULTISAMPLE_NONE;
    DWORD quality = 0;
    DXFramework::GetMultiSample(&multiSample, &quality);
    IDirect3DSurface9* surface = nullptr;
    const int createLine = __LINE__ + 1;
    const HRESULT created = device->CreateRenderTarget(record.width, record.height, record.format, multiSample,
                                                       quality, FALSE, &surface, nullptr);
    if (created != D3D_OK || !surface) {
        CheckResult(created != D3D_OK ? created : E_FAIL, __FILE__, createLine);
        return false;
    }
    record.surface = surface;
    return true;
}

void ReleaseSurfaceOf(RENDERSURFACE& record)
{
    if (record.surface) {
        record.surface->Release();
        record.surface = nullptr;
    }
}

// Samples a pixel of the surface keeps: the multisample type counts them, except for none and
// the non-maskable kind, whose samples are not known here.
std::uint64_t SamplesOf(IDirect3DSurface9* surface)
{
    D3DSURFACE_DESC desc{};
    if (surface->GetDesc(&desc) != D3D_OK || desc.MultiSampleType < D3DMULTISAMPLE_2_SAMPLES)
        return 1;
    return static_cast<std::uint64_t>(desc.MultiSampleType);
}

} // namespace

void RENDERSURFACE::SetAsRenderTarget(DWORD index)
{
    IDirect3DDevice9* device = RequireDevice("RENDERSURFACE::SetAsRenderTarget");
    CHECK_RESULT(device->SetRenderTarget(index, surface));
}

RSHandler::RSHandler()
{
    if (instance)
        throw FrameworkEx("RSHandler is a singleton!");
    instance = this;
}

RSHandler::~RSHandler()
{
    instance = nullptr;
    for (const std::unique_ptr<RENDERSURFACE>& record : surfaces)
        ReleaseSurfaceOf(*record);
    surfaces.clear();
}

DWORD RSHandler::Request(DWORD width, DWORD height, D3DFORMAT format)
{
    for (DWORD handle = 0; handle < surfaces.size(); ++handle) {
        RENDERSURFACE& record = *surfaces[handle];
        if (record.usage == 0 && record.width == width && record.height == height && record.format == format) {
            record.usage = 1;
            return handle;
        }
    }

    if (!instance)
        throw FrameworkEx("RSHandler::Request: there is no RSHandler to hold the surface.");
    IDirect3DDevice9* device = RequireDevice("RSHandler::Request");
    auto record = std::make_unique<RENDERSURFACE>();
    record->width = width;
    record->height = height;
    record->format = format;
    if (!CreateSurfaceOf(device, *record))
        return InvalidHandle;
    record->usage = 1;
    surfaces.push_back(std::move(record));
    return static_cast<DWORD>(surfaces.size() - 1);
}

void RSHandler::Unrequest(DWORD handle)
{
    if (handle == InvalidHandle)
        return;
    if (handle >= surfaces.size())
        throw FrameworkEx("RSHandler::Unrequest: input handle does not correspond to an existing resource.");
    RENDERSURFACE& record = *surfaces[handle];
    if (record.usage > 0)
        --record.usage;
}

RENDERSURFACE* RSHandler::GetSurface(DWORD handle)
{
    if (handle >= surfaces.size())
        throw FrameworkEx("RSHandler::GetSurface: input handle does not correspond to an existing surface.");
    return surfaces[handle].get();
}

void RSHandler::ReleaseDeviceResources()
{
    for (const std::unique_ptr<RENDERSURFACE>& record : surfaces)
        ReleaseSurfaceOf(*record);
}

void RSHandler::RecreateDeviceResources()
{
    if (surfaces.empty())
        return;
    IDirect3DDevice9* device = RequireDevice("RSHandler::RecreateDeviceResources");
    // By index: the device-lost handling a failed creation runs may re-enter the pool.
    for (std::size_t i = 0; i < surfaces.size(); ++i) {
        RENDERSURFACE& record = *surfaces[i];
        if (record.surface)
            continue;
        if (!CreateSurfaceOf(device, record))
            return;
    }
}

DWORD RSHandler::GetRecordCount()
{
    return static_cast<DWORD>(surfaces.size());
}

std::uint64_t RSHandler::GetVideoMemoryBytes()
{
    std::uint64_t bytes = 0;
    for (const std::unique_ptr<RENDERSURFACE>& record : surfaces) {
        if (record->surface)
            bytes += D3DFormatLevelSize(record->format, record->width, record->height) * SamplesOf(record->surface);
    }
    return bytes;
}
