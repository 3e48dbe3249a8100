#include "RTCubeHandler.h"

#include "DXError.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "d3d9/D3DFormatInfo.h"

RTCubeHandler* RTCubeHandler::instance = nullptr;
PoolRecords<RENDERCUBETEXTURE> RTCubeHandler::cubeTextures;

namespace {

constexpr int kFaceCount = 6;

IDirect3DDevice9* RequireDevice(const char* operation)
{
    return PoolRecords<RENDERCUBETEXTURE>::RequireDevice(operation);
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
    cubeTextures.Clear(ReleaseCubeTextureOf);
}

DWORD RTCubeHandler::Request(D3DFORMAT format, DWORD edgeLength, const std::string& name)
{
    const DWORD idle = cubeTextures.TakeIdle([&](const RENDERCUBETEXTURE& record) {
        return record.format == format && record.edgeLength == edgeLength;
    });
    if (idle != InvalidHandle) {
        cubeTextures.Get(idle, "RTCubeHandler::Request")->name = name;
        return idle;
    }

    if (!instance)
        throw FrameworkEx("RTCubeHandler::Request: there is no RTCubeHandler to hold the cube texture.");
    IDirect3DDevice9* device = RequireDevice("RTCubeHandler::Request");
    auto record = std::make_unique<RENDERCUBETEXTURE>();
    record->format = format;
    record->edgeLength = edgeLength;
    record->name = name;
    if (!CreateCubeTextureOf(device, *record))
        return InvalidHandle;
    return cubeTextures.AppendHeld(std::move(record));
}

void RTCubeHandler::Unrequest(DWORD handle)
{
    cubeTextures.Unrequest(handle,
                           "RTCubeHandler::Unrequest: input handle does not correspond to an existing resource.");
}

RENDERCUBETEXTURE* RTCubeHandler::FetchCubeTexture(DWORD handle)
{
    return cubeTextures.Get(handle,
                            "RTCubeHandler::FetchCubeTexture: input handle does not correspond to an existing texture.");
}

const RENDERCUBETEXTURE* RTCubeHandler::FindByFace(const IDirect3DSurface9* surface, int* face)
{
    if (!surface)
        return nullptr;
    return cubeTextures.Find([&](const RENDERCUBETEXTURE& record) {
        for (int f = 0; f < 6; ++f)
            if (record.faces[f] == surface) {
                if (face)
                    *face = f;
                return true;
            }
        return false;
    });
}

const RENDERCUBETEXTURE* RTCubeHandler::FindByTexture(const IDirect3DBaseTexture9* texture)
{
    if (!texture)
        return nullptr;
    return cubeTextures.Find([&](const RENDERCUBETEXTURE& record) {
        return static_cast<const IDirect3DBaseTexture9*>(record.cubeTexture) == texture;
    });
}

void RTCubeHandler::ReleaseDeviceResources()
{
    cubeTextures.ReleaseObjects(ReleaseCubeTextureOf);
}

void RTCubeHandler::RecreateDeviceResources()
{
    cubeTextures.RecreateObjects(
        "RTCubeHandler::RecreateDeviceResources",
        [](const RENDERCUBETEXTURE& record) { return record.cubeTexture != nullptr; }, CreateCubeTextureOf);
}

DWORD RTCubeHandler::GetRecordCount()
{
    return cubeTextures.Count();
}

namespace {

std::uint64_t BytesOf(const RENDERCUBETEXTURE& record)
{
    return record.cubeTexture
               ? D3DFormatLevelSize(record.format, record.edgeLength, record.edgeLength) * kFaceCount
               : 0;
}

} // namespace

std::uint64_t RTCubeHandler::GetVideoMemoryBytes()
{
    return cubeTextures.Sum(BytesOf);
}

std::uint64_t RTCubeHandler::GetHeldVideoMemoryBytes()
{
    return cubeTextures.Sum([](const RENDERCUBETEXTURE& record) { return record.usage > 0 ? BytesOf(record) : 0; });
}
