#pragma once
#include <functional>
#include <string>
#include <vector>

#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9effect.h"
#include "d3dx9/d3dx9mesh.h"
#include "d3dx9/d3dx9tex.h"
#include "sync/SyncNamespace.h"
#include "win32/Dialog.h"
#include "win32/WinUser.h"

namespace orvala::sync {
class Device;
}
class EffectSemantics;
class DXEffect;
class Mouse;
class FileSys;
class RTHandler;
class RSHandler;
class RTCubeHandler;
class SyncTimer;
class Timer;
class BASSPlayer;
class DXEffectHandler;
class ModuleHandler;
class SceneHandler;
class KeyHandler;

// Thrown out of loading when the viewer quits while the loader draws (Escape, or the window
// closed): the program ends at once, quietly, as after Exit in the setup dialog.
struct LoadingCancelled {};

// The process-wide host: it owns the window and the Direct3D objects, runs the setup dialog
// and drives the frame loop. Only one exists; the rest of the demo reaches its state through
// the static operations below, which read the one host's settings. A tool or a test that runs
// pieces of the demo without the whole host publishes what those pieces need (a device, a
// sync device, a back-buffer size) through the Set... operations.
class DXFramework {
public:
    // ---- The host's life (the instance) ----

    // Creates every singleton in the demo's fixed order and, when asked, runs the setup
    // dialog, whose Exit throws the int 0. Content is read from the archive `archive`.
    DXFramework(HINSTANCE hInstance, const std::string& cmdLine, const std::string& title, unsigned width,
                unsigned height, bool fullscreen, float endTime, bool showSetupDialog,
                const std::string& archive = "basefile.dat");
    ~DXFramework();
    DXFramework(const DXFramework&) = delete;
    DXFramework& operator=(const DXFramework&) = delete;

    // Window, device, resources, music and the frame loop until the end time, Escape or a
    // closed window; ends with Shutdown.
    void Run();
    // Stops the music and releases the resources, the device, Direct3D and the window; later
    // calls return at once.
    void Shutdown();

    // For tools and tests: the host without music or frame loop. Boot makes the window, the
    // device and every resource; RenderFrameAt holds the playback clock at `seconds`, draws that
    // frame as the loop would and hands back the presented picture (B, G, R, A bytes, top row
    // first). False when the frame could not be read back. DrawFrameAt draws it without reading
    // it back; false when the device was lost meanwhile.
    void Boot();
    bool DrawFrameAt(float seconds);
    bool RenderFrameAt(float seconds, std::vector<unsigned char>& bgra, unsigned& width, unsigned& height);

    // For a tool that changes the content while the host lives (the archive rewritten in place,
    // FileSys::Reload done). Each keeps the playback clock and makes only what it names again,
    // the same way a fresh start makes it (every owner's random sequence is its own):
    // - ReloadResources releases every resource and makes them all again, as a rebuild after a
    //   lost device does, without resetting the device;
    // - RemakeScene releases one scene's resources and makes them again (the scene on screen gives
    //   its targets back first and is entered anew at the next frame);
    // - ResizeBackBuffer resets the device with a new back-buffer size and makes everything again.
    // A failure while making leaves the host without the resources that failed: the caller puts
    // the content it had back and calls ReloadResources again.
    void ReloadResources();
    void RemakeScene(const std::string& name);
    void ResizeBackBuffer(unsigned width, unsigned height);
    // Drawn over every frame of the frame loop and of DrawFrameAt, after the scene and before the
    // picture is presented; RenderFrameAt (the picture read back) never draws it. Null for none.
    void SetOverlay(std::function<void()> overlay);

    // The window procedure of class "d3d_framework".
    static LRESULT WndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

    // ---- State the rest of the demo reads ----

    // Letterboxing and targets. ClearBorders clears the content area and the bars above and
    // below it black; SetContentViewport sets the viewport to the content area.
    static void ClearBorders();
    static void SetContentViewport(float minZ, float maxZ);
    // The main depth surface, then the back buffer as render target 0.
    static void SetBackBufferTarget();
    static IDirect3DSurface9* GetBackBuffer();
    static ID3DXEffectPool* GetEffectPool();
    // A step of the loading: the window's messages, then a picture of the loader scene; nothing
    // once loading has finished. Paced (see SetLoaderPacing), a step may show no picture.
    static void DrawLoaderFrame();
    static int GetLoadCount();
    // Unpaced (the default), every loading step draws its loader picture. Paced, a step draws one
    // only when the time since the last picture is three times what that picture took, so the
    // pictures take at most a quarter of the loading: on a slow rasteriser the bar moves in
    // fewer, larger steps instead of the load taking longer. The first step always draws.
    static void SetLoaderPacing(bool paced);

    // The Direct3D device everything draws with; null while there is none.
    static IDirect3DDevice9* GetDevice();
    static void SetDevice(IDirect3DDevice9* device);

    // The Direct3D object of adapter 0; null while there is none.
    static IDirect3D9* GetDirect3D();
    static void SetDirect3D(IDirect3D9* direct3d);

    // The demo's main window; null while there is none.
    static HWND GetWindow();
    static void SetWindow(HWND window);

    // Back-buffer size and the 16:9 content area inside it.
    static unsigned GetWidth();
    static unsigned GetHeight();
    static unsigned GetContentWidth();
    static unsigned GetContentHeight();
    // Publishes the back-buffer size; the content area becomes width x trunc(width * 9 / 16).
    static void SetBackBufferSize(unsigned width, unsigned height);

    // The back buffer's multisampling, which render surfaces share.
    static void GetMultiSample(D3DMULTISAMPLE_TYPE* type, DWORD* quality);
    static void SetMultiSample(D3DMULTISAMPLE_TYPE type, DWORD quality);

    // False when the user asked to spare video memory.
    static bool IsHighVRAM();
    static void SetHighVRAM(bool high);

    // The display settings the setup dialog chooses.
    struct DisplaySettings {
        unsigned width;
        unsigned height;
        unsigned refreshRate;
        D3DMULTISAMPLE_TYPE multiSampleType;
        DWORD multiSampleQuality;
        float monitorAspect;
        bool fullscreen;
        bool vsync;
        bool highVRAM;
        unsigned contentWidth;
        unsigned contentHeight;
    };
    static DisplaySettings GetDisplaySettings();
    static void SetDisplaySettings(const DisplaySettings& settings);

    // The depth-stencil surfaces: the main one shares the back buffer's multisampling, the
    // plain one does not (render textures are never multisampled). Null while there are none.
    static void SetDepthSurfaces(IDirect3DSurface9* main, IDirect3DSurface9* plain);
    // SetDepthStencilSurface of the main surface, its result checked.
    static void SetMainDepthSurface();
    // SetDepthStencilSurface of the plain surface; its result is ignored.
    static void SetPlainDepthSurface();

    // The sync device tracks are requested from; FrameworkEx when none is published yet.
    static sync::Device* GetSyncDevice();
    static void SetSyncDevice(sync::Device* device);

    // The effect registered as "Global", through which the camera and time reach every
    // effect; null while there is none.
    static EffectSemantics* GetGlobalEffect();
    static void SetGlobalEffect(EffectSemantics* effect);

    // Asks for a new frame to be drawn at the next pass of the frame loop.
    static void RequestRedraw();
    static bool IsRedrawRequested();
    static void ClearRedrawRequest();

    // Receives one progress line; the demo keeps no log, so the line is discarded.
    static void Log(const std::string& text);

    // Rebuilds the device resources after a Direct3D call reported a lost device. The
    // host installs the rebuild; with none installed there is no device to rebuild.
    static void HandleDeviceLost();
    static void SetDeviceLostHandler(std::function<void()> handler);

    // ---- Files from the archive, handed to the in-memory loaders ----

    // The precompiled effect "OShaders\\" + filename + "o", its includes read from "Shaders\\";
    // FrameworkEx when the archive lacks the effect, otherwise D3DXCreateEffect's result.
    static HRESULT CreateEffectFromFile(const char* filename, const D3DXMACRO* defines, DWORD flags,
                                        ID3DXEffectPool* pool, ID3DXEffect** effect, ID3DXBuffer** errors);
    // A texture or cube texture from the archive entry `file` ("Data\\..."); D3DERR_INVALIDCALL
    // when the archive lacks it, otherwise the loader's result.
    static HRESULT CreateTextureFromFileEx(const char* file, UINT width, UINT height, UINT mipLevels, DWORD usage,
                                           D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                           D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                           IDirect3DTexture9** texture);
    static HRESULT CreateCubeTextureFromFile(const char* file, IDirect3DCubeTexture9** cube);
    // A .x mesh from the archive entry `file`; D3DERR_INVALIDCALL when the archive lacks it.
    static HRESULT LoadMeshFromX(const char* file, DWORD options, ID3DXBuffer** adjacency, ID3DXBuffer** materials,
                                 ID3DXBuffer** effectInstances, DWORD* numMaterials, ID3DXMesh** mesh);

    // The setup dialog's procedure (dialog resource 102): fills the lists from the Direct3D
    // object and, on Run, turns the choices into the display settings.
    static INT_PTR SetupDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

    // The noise textures every effect samples (NOISETEX, NOISEVECTEX). The volume is read from
    // "Data\\noise.bin" when the archive holds it and generated (and written to disk) otherwise;
    // the vectors are random unit vectors, one per 4 x 4 pixels of the content area.
    void CreateNoiseVolume();
    void CreateNoiseVectors();
    IDirect3DVolumeTexture9* GetNoiseTexture() const { return noiseTexture; }
    IDirect3DTexture9* GetNoiseVectorTexture() const { return noiseVecTexture; }

private:
    // The destructor's work: the owned singletons in their order of release.
    void DestroyOwned();
    void CreateAppWindow();
    // Sets the cursor, checks what the adapter can do and creates the device.
    void InitDevice();
    void CreateResources();
    // The host's own part of CreateResources: depth surfaces, target pools, noise, the effect
    // pool and the "Global" effect.
    void CreateHostResources();
    void ReleaseResources();
    // Releases every resource, resets the device with presentParams and makes everything again;
    // false while the device cannot be reset yet.
    bool RebuildResources();
    void RenderFrame();
    // One pass of the frame loop's frame work: sync, timer, input, and the frame when needed.
    void FrameWork();
    // Releases everything, resets the device and creates everything again; false while the
    // device cannot be reset yet (the frame loop tries again on a later pass).
    bool RebuildDevice();
    void StartMusic();

    Mouse* mouse = nullptr;
    FileSys* fileSys = nullptr;
    RTHandler* rtHandler = nullptr;
    RSHandler* rsHandler = nullptr;
    RTCubeHandler* rtCubeHandler = nullptr;
    SyncTimer* syncTimer = nullptr;
    sync::Device* syncDevice = nullptr;
    Timer* timer = nullptr;
    BASSPlayer* bassPlayer = nullptr;
    DXEffectHandler* effectHandler = nullptr;
    ModuleHandler* moduleHandler = nullptr;
    SceneHandler* sceneHandler = nullptr;
    KeyHandler* keyHandler = nullptr;
    DXEffect* globalEffect = nullptr;
    WNDCLASSEXA windowClass{};
    bool deviceLost = false;
    bool rendering = false;

    IDirect3DVolumeTexture9* noiseTexture = nullptr;
    IDirect3DTexture9* noiseVecTexture = nullptr;
    D3DCAPS9 caps{};
    D3DPRESENT_PARAMETERS presentParams{};
    std::string title;
    HINSTANCE hInstance;
    std::string cmdLine;
    std::string archivePath;
    std::function<void()> overlay;
    bool drawOverlay = true;
    float endTime;
    bool showSetupDialog;
    bool shutDown = false;
};

// min + r * (max - min) / 32767 with r from the C runtime's rand(), as a 32-bit float.
float RandomRange(float min, float max);
