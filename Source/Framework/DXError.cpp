#include "DXError.h"

#include <initializer_list>

#include "DXFramework.h"
#include "FrameworkEx.h"

namespace {

struct ResultName {
    HRESULT code;
    const char* name;
};

#define ORVALA_RESULT_NAME(code) ResultName{code, #code}
constexpr ResultName kResultNames[] = {
    ORVALA_RESULT_NAME(D3D_OK),
    ORVALA_RESULT_NAME(D3DOK_NOAUTOGEN),
    ORVALA_RESULT_NAME(E_NOTIMPL),
    ORVALA_RESULT_NAME(E_NOINTERFACE),
    ORVALA_RESULT_NAME(E_FAIL),
    ORVALA_RESULT_NAME(E_OUTOFMEMORY),
    ORVALA_RESULT_NAME(E_INVALIDARG),
    ORVALA_RESULT_NAME(D3DERR_OUTOFVIDEOMEMORY),
    ORVALA_RESULT_NAME(D3DERR_WASSTILLDRAWING),
    ORVALA_RESULT_NAME(D3DERR_WRONGTEXTUREFORMAT),
    ORVALA_RESULT_NAME(D3DERR_UNSUPPORTEDCOLOROPERATION),
    ORVALA_RESULT_NAME(D3DERR_UNSUPPORTEDCOLORARG),
    ORVALA_RESULT_NAME(D3DERR_UNSUPPORTEDALPHAOPERATION),
    ORVALA_RESULT_NAME(D3DERR_UNSUPPORTEDALPHAARG),
    ORVALA_RESULT_NAME(D3DERR_TOOMANYOPERATIONS),
    ORVALA_RESULT_NAME(D3DERR_CONFLICTINGTEXTUREFILTER),
    ORVALA_RESULT_NAME(D3DERR_UNSUPPORTEDFACTORVALUE),
    ORVALA_RESULT_NAME(D3DERR_CONFLICTINGRENDERSTATE),
    ORVALA_RESULT_NAME(D3DERR_UNSUPPORTEDTEXTUREFILTER),
    ORVALA_RESULT_NAME(D3DERR_CONFLICTINGTEXTUREPALETTE),
    ORVALA_RESULT_NAME(D3DERR_DRIVERINTERNALERROR),
    ORVALA_RESULT_NAME(D3DERR_NOTFOUND),
    ORVALA_RESULT_NAME(D3DERR_MOREDATA),
    ORVALA_RESULT_NAME(D3DERR_DEVICELOST),
    ORVALA_RESULT_NAME(D3DERR_DEVICENOTRESET),
    ORVALA_RESULT_NAME(D3DERR_NOTAVAILABLE),
    ORVALA_RESULT_NAME(D3DERR_INVALIDDEVICE),
    ORVALA_RESULT_NAME(D3DERR_INVALIDCALL),
    ORVALA_RESULT_NAME(D3DERR_DRIVERINVALIDCALL),
    ORVALA_RESULT_NAME(D3DXERR_CANNOTMODIFYINDEXBUFFER),
    ORVALA_RESULT_NAME(D3DXERR_INVALIDMESH),
    ORVALA_RESULT_NAME(D3DXERR_CANNOTATTRSORT),
    ORVALA_RESULT_NAME(D3DXERR_SKINNINGNOTSUPPORTED),
    ORVALA_RESULT_NAME(D3DXERR_TOOMANYINFLUENCES),
    ORVALA_RESULT_NAME(D3DXERR_INVALIDDATA),
    ORVALA_RESULT_NAME(D3DXERR_LOADEDMESHASNODATA),
    ORVALA_RESULT_NAME(D3DXERR_DUPLICATENAMEDFRAGMENT),
    ORVALA_RESULT_NAME(D3DXERR_CANNOTREMOVELASTITEM),
};
#undef ORVALA_RESULT_NAME

std::string ForwardSlashes(const char* path)
{
    std::string result = path ? path : "";
    for (char& c : result)
        if (c == '\\')
            c = '/';
    return result;
}

bool EndsWith(const std::string& text, const std::string& tail)
{
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// The repository root as this file was compiled, with a trailing slash; empty when this
// file's own path does not show it (a relative path, say).
const std::string& RepositoryRoot()
{
    static const std::string root = [] {
        const std::string self = ForwardSlashes(__FILE__);
        const std::string tail = "/Source/Framework/DXError.cpp";
        if (!EndsWith(self, tail))
            return std::string();
        return self.substr(0, self.size() - tail.size() + 1);
    }();
    return root;
}

// The part of a path below the repository: the path after the root this file was compiled
// in when it lies there; otherwise the path from the last of the repository's top folders
// it passes through; otherwise the file name alone.
std::string RepositoryRelative(const std::string& path)
{
    const std::string& root = RepositoryRoot();
    if (!root.empty() && path.size() > root.size() && path.compare(0, root.size(), root) == 0)
        return path.substr(root.size());

    const std::string marked = "/" + path;
    std::size_t best = std::string::npos;
    for (const char* folder : {"/Source/", "/Platform/", "/sync/", "/Tools/", "/tests/"}) {
        const std::size_t at = marked.rfind(folder);
        if (at != std::string::npos && (best == std::string::npos || at > best))
            best = at;
    }
    if (best != std::string::npos)
        return marked.substr(best + 1);
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

const char* DXErrorName(HRESULT result)
{
    for (const ResultName& entry : kResultNames)
        if (entry.code == result)
            return entry.name;
    return "UNKNOWN ERROR!";
}

std::string DXSourcePath(const char* file)
{
    std::string relative = RepositoryRelative(ForwardSlashes(file));
    const std::size_t slash = relative.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t dot = relative.rfind('.');
    if (dot != std::string::npos && dot > nameStart)
        relative.erase(dot);
    for (char& c : relative)
        if (c == '/')
            c = '\\';
    return ".\\" + relative;
}

void CheckResult(HRESULT result, const char* file, int line)
{
    if (result == D3D_OK)
        return;
    if (result == D3DERR_DEVICELOST) {
        // The device is rebuilt; the failed call is not repeated.
        DXFramework::HandleDeviceLost();
        return;
    }
    throw FrameworkEx(std::string("Error: ") + DXErrorName(result) + "\n\n" + DXSourcePath(file) + " : " +
                      std::to_string(line));
}
