#pragma once
#include <string>

#include "d3d9/d3d9.h"
#include "d3d9/recording/RecordingObject.h"

// A vertex shader of the recording device ("vertexshader#1"). Its GLSL source is kept as given,
// not compiled.
class RecordingVertexShader : public IDirect3DVertexShader9, public RecordingObject {
public:
    RecordingVertexShader(RecordingDevice* device, std::string name, std::string source);

    ULONG AddRef() override { return LoggedAddRef(); }
    ULONG Release() override { return LoggedRelease(); }
    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceOf(ppDevice); }

    const std::string& Source() const { return source_; }

private:
    std::string source_;
};
