#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RenderTargetResources/PoolRecords.h"
#include "d3d9/d3d9.h"

// A cube render texture of the pool: one mip level, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT,
// with the level-0 surface of each face at the index of its D3DCUBEMAP_FACES value (positive X,
// negative X, positive Y, negative Y, positive Z, negative Z).
struct RENDERCUBETEXTURE {
    DWORD usage = 0;                              // 0 idle, 1 held
    IDirect3DCubeTexture9* cubeTexture = nullptr; // null while the device resources are released
    IDirect3DSurface9* faces[6] = {};             // null likewise
    D3DFORMAT format = D3DFMT_UNKNOWN;
    DWORD edgeLength = 0;
    std::string name; // what its holder calls it ("IndirectLight"), for pass lists
};

// The pool of cube render textures; it works as RTHandler does, with a description of format
// and edge length.
class RTCubeHandler {
public:
    // What Request returns when the device was lost while the cube texture was being made: no
    // record exists for it. Fetch/Unrequest treat it as out of range / as nothing to give back.
    static constexpr DWORD InvalidHandle = 0xFFFFFFFFu;

    RTCubeHandler();   // FrameworkEx "RTCubeHandler is a singleton!" when a pool exists
    ~RTCubeHandler();  // releases every record's six face surfaces, then its cube texture
    RTCubeHandler(const RTCubeHandler&) = delete;
    RTCubeHandler& operator=(const RTCubeHandler&) = delete;

    // The handle of an idle record of that description, now held, or of a new held record made
    // on the framework's device. Creation failures throw as CheckResult does; a lost device
    // hands over to the framework's device-lost handling and returns InvalidHandle.
    // `name` names the record until the next request takes it, as in RTHandler.
    static DWORD Request(D3DFORMAT format, DWORD edgeLength, const std::string& name = {});
    // Makes a held record idle; an idle record stays idle; InvalidHandle is ignored.
    static void Unrequest(DWORD handle);
    // The record of a handle, held or idle.
    static RENDERCUBETEXTURE* FetchCubeTexture(DWORD handle);
    // The record with that face surface (its face index in *face) / that cube texture; null for none.
    static const RENDERCUBETEXTURE* FindByFace(const IDirect3DSurface9* surface, int* face);
    static const RENDERCUBETEXTURE* FindByTexture(const IDirect3DBaseTexture9* texture);

    // Around a device Reset: every record lets go of its face surfaces and cube texture but
    // keeps its description and usage; re-creating makes each released record's cube texture
    // and faces again. A lost device met there stops the re-creation after the framework's
    // device-lost handling, leaving the remaining records released. A released idle record is
    // still handed out by Request; its objects come back with the re-creation.
    static void ReleaseDeviceResources();
    static void RecreateDeviceResources();

    // Records in the pool, and the video memory their cube textures take (six faces of edge x
    // edge texels of the format; released records count nothing).
    static DWORD GetRecordCount();
    static std::uint64_t GetVideoMemoryBytes();
    // The same for the records held now (the targets of the scene on screen and of the modules).
    static std::uint64_t GetHeldVideoMemoryBytes();

private:
    static RTCubeHandler* instance;
    static PoolRecords<RENDERCUBETEXTURE> cubeTextures;
};
