#pragma once
#include <stdexcept>

#include "DXFramework.h"
#include "d3d9/DeviceFactory.h"
#include "d3d9/d3d9.h"

// The recording device for the length of a command, and the framework's device meanwhile: the
// mesh commands load and process .x files on it, so that no graphics system is needed.
class RecordingDeviceScope {
public:
    RecordingDeviceScope()
    {
        D3DCAPS9 caps{};
        caps.DeviceType = D3DDEVTYPE_HAL;
        caps.MaxStreams = 16;
        D3DPRESENT_PARAMETERS params{};
        params.BackBufferWidth = 16;
        params.BackBufferHeight = 16;
        params.BackBufferFormat = D3DFMT_X8R8G8B8;
        params.BackBufferCount = 1;
        params.SwapEffect = D3DSWAPEFFECT_DISCARD;
        params.Windowed = TRUE;
        if (CreateRecordingDevice(caps, &params, &device) != D3D_OK)
            throw std::runtime_error("the recording device could not be made");
        DXFramework::SetDevice(device);
    }
    ~RecordingDeviceScope()
    {
        DXFramework::SetDevice(nullptr);
        device->Release();
    }
    RecordingDeviceScope(const RecordingDeviceScope&) = delete;
    RecordingDeviceScope& operator=(const RecordingDeviceScope&) = delete;

    IDirect3DDevice9* device = nullptr;
};
