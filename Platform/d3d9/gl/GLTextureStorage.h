#pragma once
#include <epoxy/gl.h>

#include <cstdint>
#include <vector>

#include "d3d9/d3d9.h"

class GLDevice;
struct GLFormat;
struct D3DFormatInfo;

// The texels of a 2D, cube or volume texture: the GL texture (none in D3DPOOL_SYSTEMMEM and
// D3DPOOL_SCRATCH) and, for every face and level that has been locked, a copy in memory that
// LockRect/LockBox hand out and UnlockRect/UnlockBox upload (only the locked box). Row 0 of the
// memory is the top row of the picture and GL's row 0: the device draws with an upper-left origin,
// so texture coordinate v = 0 reads it, as in Direct3D; and cube faces keep Direct3D's orientation
// (the face tables of both APIs agree once row 0 is t = 0).
class GLTextureStorage {
public:
    // target: GL_TEXTURE_2D, GL_TEXTURE_CUBE_MAP or GL_TEXTURE_3D.
    GLTextureStorage(GLDevice* device, GLenum target, UINT width, UINT height, UINT depth, UINT levels, DWORD usage,
                     D3DFORMAT format, D3DPOOL pool);
    ~GLTextureStorage();
    GLTextureStorage(const GLTextureStorage&) = delete;
    GLTextureStorage& operator=(const GLTextureStorage&) = delete;

    // Checks the description and makes the GL texture: D3DERR_INVALIDCALL for bad arguments,
    // D3DERR_NOTAVAILABLE for an unsupported format or usage, D3DERR_OUTOFVIDEOMEMORY when GL has
    // no room.
    HRESULT Create();

    GLenum Target() const { return target_; }
    GLuint Name() const { return name_; }
    D3DFORMAT Format() const { return format_; }
    DWORD Usage() const { return usage_; }
    D3DPOOL Pool() const { return pool_; }
    UINT Layers() const { return target_ == GL_TEXTURE_CUBE_MAP ? 6 : 1; }
    // Levels the application sees (1 for D3DUSAGE_AUTOGENMIPMAP).
    UINT LevelCount() const { return levels_; }
    UINT Width(UINT level) const;
    UINT Height(UINT level) const;
    UINT Depth(UINT level) const;
    bool IsRenderTarget() const { return (usage_ & D3DUSAGE_RENDERTARGET) != 0; }

    // box null: the whole level. D3DERR_INVALIDCALL for a bad layer, level or box, a level already
    // locked, or a texture that cannot be locked (render targets, D3DPOOL_DEFAULT without
    // D3DUSAGE_DYNAMIC).
    HRESULT Lock(UINT layer, UINT level, const D3DBOX* box, DWORD flags, void** bits, INT* rowPitch,
                 INT* slicePitch);
    // D3DERR_INVALIDCALL for a bad layer or level; D3D_OK for a level that is not locked.
    HRESULT Unlock(UINT layer, UINT level);

    // The memory copy of a level, made (from GL when the texture has been drawn into) when
    // missing. Used for read-backs into D3DPOOL_SYSTEMMEM textures.
    std::vector<std::uint8_t>& Shadow(UINT layer, UINT level);
    // Uploads the whole memory copy of a level.
    void UploadLevel(UINT layer, UINT level);

    // The GL texture was drawn into (render-target textures): mip levels follow at the next
    // sampling for D3DUSAGE_AUTOGENMIPMAP.
    void MarkDrawn() { mipsStale_ = autoGenMips_; }
    void PrepareForSampling();

    void ForgetGLObjects();

private:
    struct Level {
        std::vector<std::uint8_t> shadow;
        bool locked = false;
        DWORD lockFlags = 0;
        D3DBOX box{};
    };
    Level* FindLevel(UINT layer, UINT level);
    void Upload(UINT layer, UINT level, const D3DBOX& box);

    GLDevice* device_;
    GLenum target_;
    UINT width_, height_, depth_;
    UINT levels_;   // seen by the application
    UINT glLevels_; // allocated in GL
    DWORD usage_;
    D3DFORMAT format_;
    D3DPOOL pool_;
    bool autoGenMips_;
    bool mipsStale_ = false;
    GLuint name_ = 0;
    const GLFormat* gl_ = nullptr;
    const D3DFormatInfo* info_ = nullptr;
    std::vector<Level> levelData_; // layer * levels_ + level
};
