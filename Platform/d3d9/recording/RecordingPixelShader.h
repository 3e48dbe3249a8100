#pragma once
#include <string>

#include "d3d9/d3d9.h"
#include "d3d9/recording/RecordingObject.h"

// A pixel shader of the recording device ("pixelshader#1"). Its GLSL source is kept as given,
// not compiled.
class RecordingPixelShader : public IDirect3DPixelShader9, public RecordingObject {
public:
    RecordingPixelShader(RecordingDevice* device, std::string name, std::string source);

    ULONG AddRef() override { return LoggedAddRef(); }
    ULONG Release() override { return LoggedRelease(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOf(ppDevice); }

    const std::string& Source() const { return source_; }

private:
    std::string source_;
};
