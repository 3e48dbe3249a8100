#pragma once
// Layer's own, for profiling: an observer that every effect of the process tells about the passes
// it draws. With none installed (the default) a pass costs one test of a pointer more; the
// observer only looks, it changes nothing an effect does.
#include "d3dx9/d3dx9effect.h"

class D3DXPassObserver {
public:
    virtual ~D3DXPassObserver() = default;

    // BeginPass of `effect` has set the pass's states, shaders and textures on its device.
    virtual void PassBegun(ID3DXEffect* effect, const char* technique, const char* pass) = 0;
    // The textures the open pass's sampler stages read (stage order, nulls included): at
    // BeginPass and again at every CommitChanges, which may bind others.
    virtual void PassTextures(ID3DXEffect* effect, IDirect3DBaseTexture9* const* textures, UINT count) = 0;
    // EndPass, or End with the pass still open.
    virtual void PassEnded(ID3DXEffect* effect) = 0;
};

// Installs the observer of every effect (null for none) and returns the one installed before.
// Effects are drawn on one thread; so is this called.
D3DXPassObserver* D3DXSetPassObserver(D3DXPassObserver* observer);
