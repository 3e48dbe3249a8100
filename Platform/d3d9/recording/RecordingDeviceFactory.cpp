// The factory functions of the recording device (declared with the OpenGL device's in
// DeviceFactory.h).
#include "d3d9/DeviceFactory.h"
#include "d3d9/recording/RecordingDevice.h"

HRESULT CreateRecordingDevice(const D3DCAPS9& caps, D3DPRESENT_PARAMETERS* presentParameters,
                              IDirect3DDevice9** device)
{
    return RecordingDevice::Create(caps, presentParameters, device);
}

const std::vector<RecordedCall>& GetRecordedCalls(IDirect3DDevice9* device)
{
    static const std::vector<RecordedCall> kNone;
    auto* recording = dynamic_cast<RecordingDevice*>(device);
    return recording != nullptr ? recording->Calls() : kNone;
}

void ClearRecordedCalls(IDirect3DDevice9* device)
{
    if (auto* recording = dynamic_cast<RecordingDevice*>(device)) {
        recording->Calls().clear();
    }
}
