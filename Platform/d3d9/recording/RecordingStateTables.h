#pragma once
// The render and sampler states a Direct3D 9 device knows, with their names and the values a new
// device starts with.
#include "d3d9/d3d9.h"

struct RecordingStateEntry {
    DWORD state;
    const char* name;
    DWORD defaultValue;
};

// Render-state values are below this bound (D3DRS_BLENDOPALPHA is the last).
inline constexpr DWORD kRecordingRenderStateBound = 210;
// Sampler-state values are below this bound (D3DSAMP_DMAPOFFSET is the last).
inline constexpr DWORD kRecordingSamplerStateBound = 14;
// Samplers 0..15, then the displacement-map sampler and the four vertex-texture samplers.
inline constexpr DWORD kRecordingSamplerCount = 21;

// The entry of a known state, or null. D3DRS_ZENABLE's default here is D3DZB_TRUE; a device made
// without an automatic depth-stencil surface starts with D3DZB_FALSE instead.
const RecordingStateEntry* FindRecordingRenderState(DWORD state);
const RecordingStateEntry* FindRecordingSamplerState(DWORD state);

// The slot 0..kRecordingSamplerCount-1 of a sampler (or texture stage) index, or -1 when the
// device has no such sampler.
int RecordingSamplerSlot(DWORD sampler);
