#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "RenderTargetResources/PoolRecords.h"
#include "d3d9/d3d9.h"

// A 2D render texture of the pool: one mip level, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT.
struct RENDERTEXTURE {
    DWORD usage = 0;                       // 0 idle, 1 held
    IDirect3DTexture9* texture = nullptr;  // null while the device resources are released
    IDirect3DSurface9* surface = nullptr;  // its level-0 surface, or null likewise
    D3DFORMAT format = D3DFMT_UNKNOWN;
    DWORD width = 0;
    DWORD height = 0;
    std::string name;                      // what its holder calls it ("Light"), for pass lists

    // Binds `surface` as render target `index`, then the framework's depth surface without
    // multisampling (render textures are never multisampled). The target binding is checked.
    void SetAsRenderTarget(DWORD index);
};

// The pool of 2D render textures. A requester describes the target it needs (format and size)
// and gets a handle: the index of a record that nobody else holds. An idle record of the same
// description is reused; only when there is none a new texture is made. Unrequest makes the
// record idle again; its texture stays alive for the next request of that description, so the
// number of textures alive is the largest number held at once, not the sum over all users.
//
// The pool is a singleton whose state is static; records are never removed or moved while it
// lives, so a handle stays valid until the pool is destroyed.
class RTHandler {
public:
    // What Request returns when the device was lost while the texture was being made: no
    // record exists for it. Get/Unrequest treat it as out of range / as nothing to give back.
    static constexpr DWORD InvalidHandle = 0xFFFFFFFFu;

    RTHandler();   // FrameworkEx "RTHandler is a singleton!" when a pool exists
    ~RTHandler();  // releases every record's surface, then its texture
    RTHandler(const RTHandler&) = delete;
    RTHandler& operator=(const RTHandler&) = delete;

    // The handle of an idle record of that description, now held, or of a new held record made
    // on the framework's device. Creation failures throw as CheckResult does; a lost device
    // hands over to the framework's device-lost handling and returns InvalidHandle.
    // `name` is what the requester calls the target; it names the record until the next request
    // takes it (pass lists show it).
    static DWORD Request(D3DFORMAT format, DWORD width, DWORD height, const std::string& name = {});
    // Makes a held record idle; an idle record stays idle; InvalidHandle is ignored.
    static void Unrequest(DWORD handle);
    // The record of a handle, held or idle.
    static RENDERTEXTURE* GetTexture(DWORD handle);
    // The record whose level-0 surface / texture that is; null for none.
    static const RENDERTEXTURE* FindBySurface(const IDirect3DSurface9* surface);
    static const RENDERTEXTURE* FindByTexture(const IDirect3DBaseTexture9* texture);

    // Around a device Reset: every record lets go of its Direct3D objects (D3DPOOL_DEFAULT
    // resources block a Reset) but keeps its description and usage, so handles stay valid and
    // held targets stay held. Re-creating makes each released record's texture again with its
    // description; a lost device met there stops the re-creation after the framework's
    // device-lost handling, leaving the remaining records released. A released idle record is
    // still handed out by Request; its objects come back with the re-creation.
    static void ReleaseDeviceResources();
    static void RecreateDeviceResources();

    // Records in the pool, and the video memory their textures take (width x height x the
    // bytes of a texel of the format; released records count nothing).
    static DWORD GetRecordCount();
    static std::uint64_t GetVideoMemoryBytes();
    // The same for the records held now (the targets of the scene on screen and of the modules).
    static std::uint64_t GetHeldVideoMemoryBytes();

private:
    static RTHandler* instance;
    static PoolRecords<RENDERTEXTURE> textures;
};
