#pragma once
// The render and sampler states of Direct3D 9, written once: their values, their names, the value a
// new (or reset) device starts with, and the name and value kind the effect language uses for the
// ones an effect pass or sampler_state block may set. Both devices and the effect state parser read
// this table.
#include <cstddef>

#include "d3d9/d3d9types.h"

// What a state's value means, for reading and writing it by name.
enum class D3DStateKind {
    Bool,      // TRUE, FALSE or a number
    ZBuffer,   // TRUE, FALSE, USEW
    Compare,   // NEVER, LESS, EQUAL, LESSEQUAL, GREATER, NOTEQUAL, GREATEREQUAL, ALWAYS
    Blend,     // ZERO, ONE, SRCCOLOR, ..., INVBLENDFACTOR
    BlendOp,   // ADD, SUBTRACT, REVSUBTRACT, MIN, MAX
    Cull,      // NONE, CW, CCW
    Fill,      // POINT, WIREFRAME, SOLID
    StencilOp, // KEEP, ZERO, REPLACE, INCRSAT, DECRSAT, INVERT, INCR, DECR
    ColorMask, // RED | GREEN | BLUE | ALPHA, or a number
    Number,    // an unsigned number (0x... allowed)
    Float,     // a number kept as the bits of a float
    Filter,    // NONE, POINT, LINEAR, ANISOTROPIC
    Address,   // WRAP, MIRROR, CLAMP, BORDER, MIRRORONCE
    Texture,   // a texture binding: sampler_state's Texture = <TextureParameter>; no device state
};

struct D3DStateEntry {
    DWORD state;            // D3DRENDERSTATETYPE or D3DSAMPLERSTATETYPE
    const char* name;       // "D3DRS_ZFUNC"
    DWORD defaultValue;     // what a new device reads
    const char* effectName; // "ZFunc"; null when effects cannot set the state
    D3DStateKind kind;
};

// Render-state values are below this bound (D3DRS_BLENDOPALPHA is the last).
inline constexpr DWORD kD3DRenderStateBound = 210;
// Sampler-state values are below this bound (D3DSAMP_DMAPOFFSET is the last).
inline constexpr DWORD kD3DSamplerStateBound = 14;

// The entry of a known state, or null (the render-state enumeration has gaps). D3DRS_ZENABLE's
// default here is D3DZB_TRUE; a device made without an automatic depth-stencil surface starts with
// D3DZB_FALSE instead.
const D3DStateEntry* FindD3DRenderState(DWORD state);
const D3DStateEntry* FindD3DSamplerState(DWORD state);

// Every entry, in the order of the state values.
const D3DStateEntry* D3DRenderStates(std::size_t& count);
const D3DStateEntry* D3DSamplerStates(std::size_t& count);

// The values of every render state (indexed by state, kD3DRenderStateBound of them) and of every
// sampler state of one sampler (kD3DSamplerStateBound) as a new device holds them; unknown states
// read 0. `autoDepthStencil`: whether the device was made with an automatic depth-stencil surface.
void FillD3DDefaultRenderStates(DWORD* states, bool autoDepthStencil);
void FillD3DDefaultSamplerStates(DWORD* states);
