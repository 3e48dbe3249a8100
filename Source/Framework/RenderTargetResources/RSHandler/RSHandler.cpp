#include "RSHandler.h"

#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "d3d9/D3DFormatInfo.h"

RSHandler* RSHandler::instance = nullptr;
PoolRecords<RENDERSURFACE> RSHandler::surfaces;

namespace {

IDirect3DDevice9* RequireDevice(const char* operation)
{
    return PoolRecords<RENDERSURFACE>::RequireDevice(operation);
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
    surfaces.Clear(ReleaseSurfaceOf);
}

DWORD RSHandler::Request(DWORD width, DWORD height, D3DFORMAT format)
{
    const DWORD idle = surfaces.TakeIdle([&](const RENDERSURFACE& record) {
        return record.width == width && record.height == height && record.format == format;
    });
    if (idle != InvalidHandle)
        return idle;

    if (!instance)
        throw FrameworkEx("RSHandler::Request: there is no RSHandler to hold the surface.");
    IDirect3DDevice9* device = RequireDevice("RSHandler::Request");
    auto record = std::make_unique<RENDERSURFACE>();
    record->width = width;
    record->height = height;
    record->format = format;
    if (!CreateSurfaceOf(device, *record))
        return InvalidHandle;
    return surfaces.AppendHeld(std::move(record));
}

void RSHandler::Unrequest(DWORD handle)
{
    surfaces.Unrequest(handle, "RSHandler::Unrequest: input handle does not correspond to an existing resource.");
}

RENDERSURFACE* RSHandler::GetSurface(DWORD handle)
{
    return surfaces.Get(handle, "RSHandler::GetSurface: input handle does not correspond to an existing surface.");
}

void RSHandler::ReleaseDeviceResources()
{
    surfaces.ReleaseObjects(ReleaseSurfaceOf);
}

void RSHandler::RecreateDeviceResources()
{
    surfaces.RecreateObjects(
        "RSHandler::RecreateDeviceResources", [](const RENDERSURFACE& record) { return record.surface != nullptr; },
        CreateSurfaceOf);
}

DWORD RSHandler::GetRecordCount()
{
    return surfaces.Count();
}

namespace {

std::uint64_t BytesOf(const RENDERSURFACE& record)
{
    return record.surface
               ? D3DFormatLevelSize(record.format, record.width, record.height) * SamplesOf(record.surface)
               : 0;
}

} // namespace

std::uint64_t RSHandler::GetVideoMemoryBytes()
{
    return surfaces.Sum(BytesOf);
}

std::uint64_t RSHandler::GetHeldVideoMemoryBytes()
{
    return surfaces.Sum([](const RENDERSURFACE& record) { return record.usage > 0 ? BytesOf(record) : 0; });
}
