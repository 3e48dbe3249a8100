#pragma once
#include <string>
#include <vector>

#include "d3d9/D3DValidation.h"
#include "d3d9/d3d9.h"

// What the one adapter (the GL implementation behind SDL) offers, read once per process through a
// hidden probe window and context: the capabilities, the display modes and which formats can be
// multisampled and blended.
struct GLAdapterInfo {
    bool valid = false;   // false when no GL 4.5 core context could be made
    std::string error;    // why, when not valid
    std::string renderer; // GL_RENDERER
    std::string version;  // GL_VERSION
    D3DCAPS9 caps{};
    // Display modes in D3DFMT_X8R8G8B8, sorted by width, height and refresh rate. The offscreen
    // driver has no monitor (it reports a single mode with no refresh rate), so there the adapter
    // offers a fixed list of common modes up to 1920 x 1080 at 60 Hz, with 1920 x 1080 the desktop.
    std::vector<D3DDISPLAYMODE> modes;
    D3DDISPLAYMODE desktop{};
    // Sample counts (2..16) renderbuffers of each multisampled format support.
    std::vector<UINT> colourSamples;   // X8R8G8B8 / A8R8G8B8
    std::vector<UINT> halfFloatSamples; // A16B16G16R16F, G16R16F, R16F
    std::vector<UINT> depth24Samples;   // D24S8
    std::vector<UINT> depth16Samples;   // D16
    bool halfFloatBlending = false;     // GL_FRAMEBUFFER_BLEND on RGBA16F
    bool anisotropy = false;            // GL_EXT_texture_filter_anisotropic / GL 4.6
    bool s3tc = false;                  // GL_EXT_texture_compression_s3tc
    int maxVertexAttribs = 16;
};

// The adapter, probed on the first call (SDL video is started when needed).
const GLAdapterInfo& GetGLAdapterInfo();

// The adapter as IDirect3D9 reports it: GetDeviceCaps and CheckDeviceFormat answer from this.
// ORVALA_D3D_CAPS, read at every call, makes the adapter look weaker than it is, to try the demo
// on the hardware it refuses: "Field=value" pairs separated by ';' or ',' replace capability
// fields (NumSimultaneousRTs, VertexShaderVersion, PixelShaderVersion, MaxTextureWidth,
// MaxTextureHeight, MaxVolumeExtent, TextureCaps, PrimitiveMiscCaps, VertexProcessingCaps;
// decimal or 0x hex), and "HalfFloatBlending=0" takes blending on 16-bit float targets away.
GLAdapterInfo GetReportedAdapterInfo();

// Applies an ORVALA_D3D_CAPS text to an adapter description; false, leaving `info` as it was,
// when a pair names no known field or its value is not a number.
bool ApplyAdapterCapsOverride(const char* text, GLAdapterInfo& info);

// The sample counts of a format's renderbuffers; empty for formats that cannot be multisampled.
const std::vector<UINT>& GLSampleCounts(const GLAdapterInfo& info, D3DFORMAT format);

// What the adapter's GL lacks beyond the format table, for the layer's rules.
D3DAdapterFormats GLAdapterFormats(const GLAdapterInfo& info);

// IDirect3D9::CheckDeviceFormat's answer for adapter 0, HAL: the adapter format's rule, then the
// layer's (CheckD3DDeviceFormat) with this adapter's formats.
HRESULT GLCheckDeviceFormat(const GLAdapterInfo& info, D3DFORMAT adapterFormat, DWORD usage, D3DRESOURCETYPE type,
                            D3DFORMAT format);

// IDirect3D9::CheckDeviceMultiSampleType's answer for adapter 0, HAL.
HRESULT GLCheckMultiSampleType(const GLAdapterInfo& info, D3DFORMAT format, D3DMULTISAMPLE_TYPE type,
                               DWORD* qualityLevels);
