#include "RTCubeHandler.h"

#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "d3d9/D3DFormatInfo.h"

RTCubeHandler* RTCubeHandler::instance = nullptr;
std::vector<std::unique_ptr<RENDERCUBETEXTURE>> RTCubeHandler::cubeTextures;

namespace {

constexpr int kFaceCount = 6;

// The framework's device; `operation` names the caller in the error when there is none.
IDirect3DDevice9* RequireDevice(const char* operation)
{
    IDirect3DDevice9* device = DXFramework::GetDevice();
    if (!device)
        throw FrameworkEx(std::string(operation) + ": there is no Direct3D device.");
    return device;
}

void ReleaseCubeTextureOf(RENDERCUBETEXTURE& record)
{
    for (IDirect3DSurface9*& face : record.faces) {
        if (face) {
            face->Release();
            face = nullptr;
        }
    }
    if (record.cubeTexture) {
        record.cubeTexture->Release();
        record.cubeTexture = nullptr;
    }
}

// Makes the cube texture of the record's description and takes the level-0 surface of each face
// in face order. Returns false, with nothing made, when the device was lost (the framework's
// device-lost handling has run by then); any other failure throws. What was made before a
// failing call is released before the failure is handled, so that a Reset made by the
// device-lost handling finds nothing alive and nothing leaks when it throws.
bool CreateCubeTextureOf(IDirect3DDevice9* device, RENDERCUBETEXTURE& record)
{
    IDirect3DCubeTexture9* cubeTexture = nullptr;
    const int createLine = __LINE__ + 1;
    const HRESULT created = device->CreateCubeTexture(record.edgeLength, 1, D3DUSAGE_RENDERTARGET, record.format,
                                                      D3DPOOL_DEFAULT, &cubeTexture, nullptr);
    if (created != D3D_OK || !cubeTexture) {
        CheckResult(created != D3D_OK ? created : E_FAIL, __FILE__, createLine);
        return false;
    }
    record.cubeTexture = cubeTexture;
    for (int face = 0; face < kFaceCount; ++face) {
        IDirect3DSurface9*& slot = record.faces[face];
        const int faceLine = __LINE__ + 1;
        const HRESULT got = cubeTexture->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), 0, &slot);
        if (got != D3D_OK || !slot) {
            slot = nullptr;
            ReleaseCubeTextureOf(record);
            CheckResult(got != D3D_OK ? got : E_FAIL, __FILE__, faceLine);
            return false;
        }
    }
    return true;
}

} // namespace

RTCubeHandler::RTCubeHandler()
{
    if (instance)
        throw FrameworkEx("RTCubeHandler is a singleton!");
    instance = this;
}

RTCubeHandler::~RTCubeHandler()
{
    instance = nullptr;
    for (const std::unique_ptr<RENDERCUBETEXTURE>& record : cubeTextures)
        ReleaseCubeTextureOf(*record);
    cubeTextures.clear();
}

DWORD RTCubeHandler::Request(D3DFORMAT format, DWORD edgeLength)
{
    for (DWORD handle = 0; handle < cubeTextures.size(); ++handle) {
        RENDERCUBETEXTURE& record = *cubeTextures[handle];
        if (record.usage == 0 && record.format == format && record.edgeLength == edgeLength) {
            record.usage = 1;
            return handle;
        }
    }

    if (!instance)
        throw FrameworkEx("RTCubeHandler::Request: there is no RTCubeHandler to hold the cube texture.");
    IDirect3DDevice9* device = RequireDevice("RTCubeHandler::Request");
    auto record = std::make_unique<RENDERCUBETEXTURE>();
    record->format = format;
    record->edgeLength = edgeLength;
    if (!CreateCubeTextureOf(device, *record))
        return InvalidHandle;
    record->usage = 1;
    cubeTextures.push_back(std::move(record));
    return static_cast<DWORD>(cubeTextures.size() - 1);
}

void RTCubeHandler::Unrequest(DWORD handle)
{
    if (handle == InvalidHandle)
        return;
    if (handle >= cubeTextures.size())
        throw FrameworkEx("RTCubeHandler::Unrequest: input handle does not correspond to an existing resource.");
    RENDERCUBETEXTURE& record = *cubeTextures[handle];
    if (record.usage > 0)
        --record.usage;
}

RENDERCUBETEXTURE* RTCubeHandler::FetchCubeTexture(DWORD handle)
{
    if (handle >= cubeTextures.size())
        throw FrameworkEx(
            "RTCubeHandler::FetchCubeTexture: input handle does not correspond to an existing texture.");
    return cubeTextures[handle].get();
}

void RTCubeHandler::ReleaseDeviceResources()
{
    for (const std::unique_ptr<RENDERCUBETEXTURE>& record : cubeTextures)
        ReleaseCubeTextureOf(*record);
}

void RTCubeHandler::RecreateDeviceResources()
{
    if (cubeTextures.empty())
        return;
    IDirect3DDevice9* device = RequireDevice("RTCubeHandler::RecreateDeviceResources");
    // By index: the device-lost handling a failed creation runs may re-enter the pool.
    for (std::size_t i = 0; i < cubeTextures.size(); ++i) {
        RENDERCUBETEXTURE& record = *cubeTextures[i];
        if (record.cubeTexture)
            continue;
        if (!CreateCubeTextureOf(device, record))
            return;
    }
}

DWORD RTCubeHandler::GetRecordCount()
{
    return static_cast<DWORD>(cubeTextures.size());
}

std::uint64_t RTCubeHandler::GetVideoMemoryBytes()
{
    std::uint64_t bytes = 0;
    for (const std::unique_ptr<RENDERCUBETEXTURE>& record : cubeTextures) {
        if (record->cubeTexture)
            bytes += D3DFormatLevelSize(record->format, record->edgeLength, record->edgeLength) * kFaceCount;
    }
    return bytes;
}
