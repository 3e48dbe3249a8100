#include "d3d9/recording/RecordingCallText.h"

#include <charconv>

#include "d3d9/D3DFormatInfo.h"
#include "d3d9/D3DStateTables.h"
#include "d3d9/recording/RecordingObject.h"

namespace {

const char* PoolText(D3DPOOL pool)
{
    switch (pool) {
    case D3DPOOL_DEFAULT: return "D3DPOOL_DEFAULT";
    case D3DPOOL_MANAGED: return "D3DPOOL_MANAGED";
    case D3DPOOL_SYSTEMMEM: return "D3DPOOL_SYSTEMMEM";
    case D3DPOOL_SCRATCH: return "D3DPOOL_SCRATCH";
    }
    return nullptr;
}

const char* PrimitiveText(D3DPRIMITIVETYPE type)
{
    switch (type) {
    case D3DPT_POINTLIST: return "D3DPT_POINTLIST";
    case D3DPT_LINELIST: return "D3DPT_LINELIST";
    case D3DPT_LINESTRIP: return "D3DPT_LINESTRIP";
    case D3DPT_TRIANGLELIST: return "D3DPT_TRIANGLELIST";
    case D3DPT_TRIANGLESTRIP: return "D3DPT_TRIANGLESTRIP";
    case D3DPT_TRIANGLEFAN: return "D3DPT_TRIANGLEFAN";
    }
    return nullptr;
}

} // namespace

void RecordingCallText::Separate()
{
    if (!text_.empty()) {
        text_ += ", ";
    }
}

void RecordingCallText::AppendUnsigned(std::uint64_t value)
{
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text_.append(buffer, result.ptr);
}

void RecordingCallText::AppendSigned(std::int64_t value)
{
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text_.append(buffer, result.ptr);
}

RecordingCallText& RecordingCallText::Unsigned(std::uint64_t value)
{
    Separate();
    AppendUnsigned(value);
    return *this;
}

RecordingCallText& RecordingCallText::Signed(std::int64_t value)
{
    Separate();
    AppendSigned(value);
    return *this;
}

RecordingCallText& RecordingCallText::Hex(DWORD value)
{
    Separate();
    char buffer[16] = {'0', 'x'};
    auto result = std::to_chars(buffer + 2, buffer + sizeof buffer, value, 16);
    text_.append(buffer, result.ptr);
    return *this;
}

RecordingCallText& RecordingCallText::Float(float value)
{
    Separate();
    char buffer[32];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text_.append(buffer, result.ptr);
    return *this;
}

RecordingCallText& RecordingCallText::Text(const char* text)
{
    Separate();
    text_ += text != nullptr ? text : "null";
    return *this;
}

RecordingCallText& RecordingCallText::Quoted(const char* text)
{
    Separate();
    if (text == nullptr) {
        text_ += "null";
    } else {
        text_ += '"';
        text_ += text;
        text_ += '"';
    }
    return *this;
}

RecordingCallText& RecordingCallText::Object(const RecordingObject* object)
{
    return Text(object != nullptr ? object->Name().c_str() : nullptr);
}

RecordingCallText& RecordingCallText::Pointer(const void* pointer)
{
    return Text(pointer != nullptr ? "ptr" : nullptr);
}

RecordingCallText& RecordingCallText::Rect(const RECT* rect)
{
    if (rect == nullptr) {
        return Text(nullptr);
    }
    Separate();
    text_ += '{';
    AppendSigned(rect->left);
    text_ += ' ';
    AppendSigned(rect->top);
    text_ += ' ';
    AppendSigned(rect->right);
    text_ += ' ';
    AppendSigned(rect->bottom);
    text_ += '}';
    return *this;
}

RecordingCallText& RecordingCallText::Rects(DWORD count, const D3DRECT* rects)
{
    Unsigned(count);
    if (rects == nullptr) {
        return Text(nullptr);
    }
    Separate();
    text_ += '[';
    for (DWORD i = 0; i < count; ++i) {
        text_ += i == 0 ? "{" : " {";
        AppendSigned(rects[i].x1);
        text_ += ' ';
        AppendSigned(rects[i].y1);
        text_ += ' ';
        AppendSigned(rects[i].x2);
        text_ += ' ';
        AppendSigned(rects[i].y2);
        text_ += '}';
    }
    text_ += ']';
    return *this;
}

RecordingCallText& RecordingCallText::Box(const D3DBOX* box)
{
    if (box == nullptr) {
        return Text(nullptr);
    }
    Separate();
    text_ += '{';
    for (UINT value : {box->Left, box->Top, box->Front, box->Right, box->Bottom}) {
        AppendUnsigned(value);
        text_ += ' ';
    }
    AppendUnsigned(box->Back);
    text_ += '}';
    return *this;
}

RecordingCallText& RecordingCallText::Format(D3DFORMAT format)
{
    const D3DFormatInfo* info = FindD3DFormatInfo(format);
    if (info != nullptr) {
        return Text(info->name);
    }
    if (format == D3DFMT_UNKNOWN) {
        return Text("D3DFMT_UNKNOWN");
    }
    return Unsigned(format);
}

RecordingCallText& RecordingCallText::Pool(D3DPOOL pool)
{
    const char* name = PoolText(pool);
    return name != nullptr ? Text(name) : Unsigned(pool);
}

RecordingCallText& RecordingCallText::Primitive(D3DPRIMITIVETYPE type)
{
    const char* name = PrimitiveText(type);
    return name != nullptr ? Text(name) : Unsigned(type);
}

RecordingCallText& RecordingCallText::RenderState(D3DRENDERSTATETYPE state)
{
    const D3DStateEntry* entry = FindD3DRenderState(state);
    return entry != nullptr ? Text(entry->name) : Unsigned(state);
}

RecordingCallText& RecordingCallText::SamplerState(D3DSAMPLERSTATETYPE state)
{
    const D3DStateEntry* entry = FindD3DSamplerState(state);
    return entry != nullptr ? Text(entry->name) : Unsigned(state);
}

std::string RecordingCallText::ResultName(HRESULT result)
{
    struct Named {
        HRESULT result;
        const char* name;
    };
    static const Named kNames[] = {
        {D3D_OK, "D3D_OK"},
        {S_FALSE, "S_FALSE"},
        {D3DERR_INVALIDCALL, "D3DERR_INVALIDCALL"},
        {D3DERR_NOTAVAILABLE, "D3DERR_NOTAVAILABLE"},
        {D3DERR_NOTFOUND, "D3DERR_NOTFOUND"},
        {D3DERR_DEVICELOST, "D3DERR_DEVICELOST"},
        {D3DERR_DEVICENOTRESET, "D3DERR_DEVICENOTRESET"},
        {D3DERR_OUTOFVIDEOMEMORY, "D3DERR_OUTOFVIDEOMEMORY"},
        {E_OUTOFMEMORY, "E_OUTOFMEMORY"},
    };
    for (const Named& named : kNames) {
        if (named.result == result) {
            return named.name;
        }
    }
    RecordingCallText text;
    text.Hex(static_cast<DWORD>(result));
    return text.Take();
}
