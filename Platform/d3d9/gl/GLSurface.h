#pragma once
#include <epoxy/gl.h>

#include <cstdint>
#include <vector>

#include "d3d9/gl/GLDeviceChild.h"

class GLTextureStorage;

// A surface of the GL device, one of three kinds:
// - a level (and cube face) of a texture, which shares the texture's reference count as in
//   Direct3D (GetSurfaceLevel adds a reference to the texture);
// - a renderbuffer: render targets (multisampled when asked) and depth-stencil surfaces, and the
//   device's back buffer; lockable render targets are read back on LockRect and written back on
//   UnlockRect;
// - memory only: offscreen plain surfaces (D3DPOOL_SYSTEMMEM, D3DPOOL_SCRATCH and D3DPOOL_DEFAULT),
//   the destinations of GetRenderTargetData.
class GLSurface : public IDirect3DSurface9, public GLDeviceChild {
public:
    enum class Kind { TextureLevel, Renderbuffer, Memory };

    // A level of a texture; `container` carries the reference count.
    GLSurface(GLDevice* device, IUnknown* container, GLTextureStorage* storage, UINT layer, UINT level);
    // A renderbuffer: a render target or, with depth set, a depth-stencil surface, multisampled as
    // the type and quality say (quality q of D3DMULTISAMPLE_NONMASKABLE is the adapter's (q+1)-th
    // sample count). A multisampled one is never lockable. The result is D3DERR_OUTOFVIDEOMEMORY
    // when GL has no room.
    static HRESULT CreateRenderbuffer(GLDevice* device, UINT width, UINT height, D3DFORMAT format,
                                      D3DMULTISAMPLE_TYPE multiSample, DWORD quality, bool depth, bool lockable,
                                      bool defaultPool, GLSurface** surface);
    static HRESULT CreateMemory(GLDevice* device, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                GLSurface** surface);
    ~GLSurface() override;

    ULONG AddRef() override;
    ULONG Release() override;

    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceInterface(ppDevice); }
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetDesc(D3DSURFACE_DESC* pDesc) override;
    HRESULT LockRect(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags) override;
    HRESULT UnlockRect() override;

    // For the device.
    Kind GetKind() const { return kind_; }
    UINT Width() const { return width_; }
    UINT Height() const { return height_; }
    D3DFORMAT Format() const { return format_; }
    UINT Samples() const { return samples_; }
    bool IsRenderTarget() const;
    bool IsDepthStencil() const;
    bool IsLocked() const { return locked_; }
    GLTextureStorage* Storage() const { return storage_; }
    UINT Layer() const { return layer_; }
    UINT Level() const { return level_; }
    // Attaches the surface's GL image (texture level, cube face or renderbuffer) to a framebuffer.
    void Attach(GLuint framebuffer, GLenum attachment) const;
    bool HasGLImage() const;
    // Memory the CPU reads and writes: memory surfaces and levels of memory-pool textures.
    std::uint8_t* CpuBits(UINT* pitch);
    void CpuBitsChanged();
    void MarkDrawn();

private:
    GLSurface(GLDevice* device, Kind kind, UINT width, UINT height, D3DFORMAT format, D3DPOOL pool, bool defaultPool);
    // LockRect before a failure clears the caller's pBits.
    HRESULT Lock(D3DLOCKED_RECT* pLockedRect, const RECT* pRect, DWORD Flags);
    void ForgetGLObjects() override;

    Kind kind_;
    GLTextureStorage* storage_ = nullptr;
    UINT layer_ = 0, level_ = 0;
    UINT width_, height_;
    D3DFORMAT format_;
    D3DPOOL pool_;
    DWORD usage_ = 0;
    UINT samples_ = 0; // GL's sample count; 0 when not multisampled
    D3DMULTISAMPLE_TYPE multiSample_ = D3DMULTISAMPLE_NONE;
    DWORD quality_ = 0;
    bool lockable_ = false;
    GLuint renderbuffer_ = 0;
    std::vector<std::uint8_t> memory_; // memory surfaces; the read-back of a locked render target
    bool locked_ = false;
    DWORD lockFlags_ = 0;
    RECT lockRect_{};
};
