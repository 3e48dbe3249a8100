#pragma once
#include <map>
#include <tuple>
#include <utility>
#include <vector>

#include "DXEffect/PassRecorder.h"
#include "d3d9/D3DGpuTimer.h"

// The floor of a pass: what the cheapest pass that writes the same targets costs, measured as a
// plain full-screen copy of a texture of the same size and format into those same targets (all
// of them at once where a pass writes several), timed with the device's GPU clock as the passes
// are. A pass far above its floor does work beyond writing its pixels.
//
// Measuring draws into the targets and leaves the device's targets, depth surface, viewport,
// shaders and states as it found them, but not the targets' contents: measure after the frames
// that are to be shown.
class PassFloors {
public:
    // std::runtime_error when the device has no GPU clock.
    explicit PassFloors(IDirect3DDevice9* device);
    ~PassFloors();
    PassFloors(const PassFloors&) = delete;
    PassFloors& operator=(const PassFloors&) = delete;

    // The median in milliseconds of `copies` timed copies into the targets (their surfaces as the
    // pass list holds them); the same targets are measured once. std::runtime_error when the
    // device refuses the copy.
    double Measure(const std::vector<PassTarget>& targets, unsigned copies = 5);

private:
    void Release();
    // The pixel shader that copies into that many targets at once.
    IDirect3DPixelShader9* CopierFor(std::size_t outputs);
    IDirect3DTexture9* SourceFor(unsigned width, unsigned height, D3DFORMAT format);

    IDirect3DDevice9* device;
    IDirect3DGpuTimer9* timer = nullptr;
    IDirect3DVertexDeclaration9* declaration = nullptr;
    IDirect3DVertexShader9* vertexShader = nullptr;
    std::map<std::size_t, IDirect3DPixelShader9*> copiers;
    std::map<std::tuple<unsigned, unsigned, D3DFORMAT>, IDirect3DTexture9*> sources;
    std::map<std::vector<IDirect3DSurface9*>, double> measured;
};
