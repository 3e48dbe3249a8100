#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "d3d9/D3DDrawCounter.h"
#include "d3d9/D3DGpuTimer.h"
#include "d3dx9/D3DXPassObserver.h"

// A render target a pass writes, as the pass found it bound.
struct PassTarget {
    std::string name;   // the pool's name ("Light"), "BackBuffer", a cube face "IndirectLight+X"
    unsigned width = 0;
    unsigned height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN;
    unsigned samples = 0; // multisampling: samples per pixel, 0 for none
    // The surface itself, for a tool that draws into the same target afterwards; not held (valid
    // while its pool keeps it).
    IDirect3DSurface9* surface = nullptr;

    bool operator==(const PassTarget& other) const
    {
        return name == other.name && width == other.width && height == other.height && format == other.format &&
               samples == other.samples;
    }
};

// One pass an effect drew.
struct PassRecord {
    std::string effect;    // the effect's file without its extension ("PostEffects")
    std::string technique; // "TwitchBlur"
    std::string pass;      // "P0"
    std::vector<PassTarget> targets;
    std::vector<std::string> reads; // the textures its samplers read, each once, in the order met
    std::uint64_t draws = 0;
    std::uint64_t primitives = 0;
    double ms = -1.0; // GPU time; negative where the device has no GPU clock

    // "PostEffects/TwitchBlur/P0"
    std::string Name() const { return effect + "/" + technique + "/" + pass; }
};

// The passes of one frame in the order drawn, and the frame's GPU time from its start to its
// last pass (negative without a GPU clock).
struct PassFrame {
    std::vector<PassRecord> passes;
    double ms = -1.0;
};

// Records the frame as a list of passes: every pass of every effect between FrameBegun and
// FrameEnded, with the targets bound, the textures read, the draws and primitives and, on a
// device with a GPU clock, the GPU time of the pass and of the whole frame. The times are stamps
// read back once the GPU has passed them, a frame or more later, so that recording never makes
// the CPU wait for the GPU; a frame becomes readable when its times are in.
//
// Off unless a recorder exists: then each pass costs a test of a pointer in the effect, and the
// framework's frame one more. One recorder at a time; it looks only, the pictures stay the same.
class PassRecorder : private D3DXPassObserver {
public:
    // FrameworkEx when another recorder (or pass observer) is installed.
    explicit PassRecorder(IDirect3DDevice9* device);
    ~PassRecorder() override;
    PassRecorder(const PassRecorder&) = delete;
    PassRecorder& operator=(const PassRecorder&) = delete;

    // The framework's frame: it calls these around the scene's rendering; they do nothing
    // without a recorder.
    static void FrameBegun();
    static void FrameEnded();

    // A frame of this recorder's (a test drawing without the framework's frame).
    void BeginFrame();
    void EndFrame();

    IDirect3DDevice9* Device() const { return device; }
    // True when the device gives GPU times.
    bool Timed() const { return timer != nullptr; }
    // Frames whose times are in, oldest first, handed over once; at most kKeptFrames are kept.
    std::vector<PassFrame> TakeFrames();
    // The newest frame whose times are in, if any (kept, not handed over).
    bool Latest(PassFrame& frame);
    // Waits until the GPU has passed every frame ended so far.
    void Finish();

    static constexpr std::size_t kKeptFrames = 16;
    // Frames whose stamps may wait for the GPU at once; an older one is dropped untimed.
    static constexpr std::size_t kFramesInFlight = 4;

private:
    // A frame on its way: its passes with the stamps taken around each.
    struct Pending {
        PassFrame frame;
        std::uint64_t start = 0;
        std::uint64_t end = 0;
        std::vector<std::pair<std::uint64_t, std::uint64_t>> stamps; // per pass: begin, end
        bool timed = false;
    };

    void PassBegun(ID3DXEffect* effect, const char* technique, const char* pass) override;
    void PassTextures(ID3DXEffect* effect, IDirect3DBaseTexture9* const* textures, UINT count) override;
    void PassEnded(ID3DXEffect* effect) override;

    std::uint64_t Stamp(bool& ok);
    void DropStamps(const Pending& pending);
    // Moves the frames the GPU has passed to `done`; `wait` waits for all.
    void Collect(bool wait);
    void Complete(PassFrame frame);
    std::string EffectName(ID3DXEffect* effect);

    static PassRecorder* active;

    IDirect3DDevice9* device;
    const D3DDrawCounter* counter;
    IDirect3DGpuTimer9* timer = nullptr;
    DWORD targetSlots = 1; // render targets the device can bind at once
    bool inFrame = false;
    bool inPass = false;
    Pending current;
    PassRecord open;
    std::uint64_t openStamp = 0;
    std::uint64_t openDraws = 0;
    std::uint64_t openPrimitives = 0;
    std::deque<Pending> inFlight;
    std::deque<PassFrame> done;
    PassFrame latest;
    bool hasLatest = false;
    std::map<const ID3DXEffect*, std::string> effectNames;
};

// What a pass list calls a target surface or a texture read: the render-target pools' names,
// "BackBuffer", the file an effect loaded a texture from, else a description of the texture
// ("(2D 256x256 A8R8G8B8)").
std::string PassTargetName(IDirect3DSurface9* surface);
std::string PassTextureName(IDirect3DBaseTexture9* texture);
// "A16B16G16R16F" for D3DFMT_A16B16G16R16F; the number for a format the layer does not know.
std::string PassFormatName(D3DFORMAT format);

// The indices of the `count` passes of the frame with the most GPU time, heaviest first (equal
// times in the order drawn); passes without a time come last.
std::vector<std::size_t> HeaviestPasses(const PassFrame& frame, std::size_t count);
// "Light", "Color,NormalDepth,Diffuse": the names of the pass's targets.
std::string PassTargetNames(const PassRecord& pass);
