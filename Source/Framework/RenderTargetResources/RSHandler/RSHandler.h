#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "RenderTargetResources/PoolRecords.h"
#include "d3d9/d3d9.h"

// A render surface of the pool: a device render target, not lockable, with the back buffer's
// multisampling (the framework's multisample type and quality when it was made).
struct RENDERSURFACE {
    DWORD usage = 0;  // 0 idle, 1 held
    DWORD width = 0;
    DWORD height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    IDirect3DSurface9* surface = nullptr;  // null while the device resources are released

    // Binds `surface` as render target `index`, checked. The depth-stencil binding is left as
    // it is: render surfaces share the back buffer's multisampling and so its depth surface.
    void SetAsRenderTarget(DWORD index);
};

// The pool of multisampled render surfaces; it works as RTHandler does, with a description of
// width, height and format. The multisample settings are the framework's and not part of the
// description.
class RSHandler {
public:
    // What Request returns when the device was lost while the surface was being made: no
    // record exists for it. Get/Unrequest treat it as out of range / as nothing to give back.
    static constexpr DWORD InvalidHandle = 0xFFFFFFFFu;

    RSHandler();   // FrameworkEx "RSHandler is a singleton!" when a pool exists
    ~RSHandler();  // releases every record's surface
    RSHandler(const RSHandler&) = delete;
    RSHandler& operator=(const RSHandler&) = delete;

    // The handle of an idle record of that description, now held, or of a new held record made
    // on the framework's device. Creation failures throw as CheckResult does; a lost device
    // hands over to the framework's device-lost handling and returns InvalidHandle.
    static DWORD Request(DWORD width, DWORD height, D3DFORMAT format);
    // Makes a held record idle; an idle record stays idle; InvalidHandle is ignored.
    static void Unrequest(DWORD handle);
    // The record of a handle, held or idle.
    static RENDERSURFACE* GetSurface(DWORD handle);

    // Around a device Reset: every record lets go of its surface but keeps its description and
    // usage; re-creating makes each released record's surface again, with the framework's
    // multisample settings of that moment. A lost device met there stops the re-creation after
    // the framework's device-lost handling, leaving the remaining records released. A released
    // idle record is still handed out by Request; its surface comes back with the re-creation.
    static void ReleaseDeviceResources();
    static void RecreateDeviceResources();

    // Records in the pool, and the video memory their surfaces take (width x height x the bytes
    // of a texel x the samples per pixel; released records count nothing).
    static DWORD GetRecordCount();
    static std::uint64_t GetVideoMemoryBytes();
    // The same for the records held now (the targets of the scene on screen and of the modules).
    static std::uint64_t GetHeldVideoMemoryBytes();

private:
    static RSHandler* instance;
    static PoolRecords<RENDERSURFACE> surfaces;
};
