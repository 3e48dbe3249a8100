#pragma once
#include <cstdint>
#include <string>

#include "d3d9/d3d9.h"

class RecordingObject;

// Builds the arguments text of a logged call: values separated by ", ", objects by their names,
// null pointers as "null", enumerations by their Direct3D names where the layer knows them.
class RecordingCallText {
public:
    RecordingCallText& Unsigned(std::uint64_t value);
    RecordingCallText& Signed(std::int64_t value);
    RecordingCallText& Hex(DWORD value);
    RecordingCallText& Float(float value);
    RecordingCallText& Text(const char* text);
    RecordingCallText& Quoted(const char* text);
    RecordingCallText& Object(const RecordingObject* object);
    RecordingCallText& Pointer(const void* pointer);
    RecordingCallText& Rect(const RECT* rect);
    RecordingCallText& Rects(DWORD count, const D3DRECT* rects);
    RecordingCallText& Box(const D3DBOX* box);
    RecordingCallText& Format(D3DFORMAT format);
    RecordingCallText& Pool(D3DPOOL pool);
    RecordingCallText& Primitive(D3DPRIMITIVETYPE type);
    RecordingCallText& RenderState(D3DRENDERSTATETYPE state);
    RecordingCallText& SamplerState(D3DSAMPLERSTATETYPE state);

    std::string Take() { return std::move(text_); }

    // "D3DERR_INVALIDCALL" and the like, or the value in hexadecimal.
    static std::string ResultName(HRESULT result);

private:
    void Separate();
    void AppendUnsigned(std::uint64_t value);
    void AppendSigned(std::int64_t value);

    std::string text_;
};
