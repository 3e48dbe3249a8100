#pragma once
#include <epoxy/gl.h>

#include <string>
#include <vector>

#include "d3d9/gl/GLDeviceChild.h"

// A vertex declaration of the GL device: the elements, each with the GL attribute format it reads
// as and the shader input it feeds (named by usage and usage index: POSITION0, TEXCOORD3, ...).
class GLVertexDeclaration : public IDirect3DVertexDeclaration9, public GLDeviceChild {
public:
    ULONG AddRef() override { return AddRefExternal(); }
    ULONG Release() override { return ReleaseExternal(); }
    struct Element {
        D3DVERTEXELEMENT9 d3d;
        GLint size;
        GLenum type;
        bool normalized;
    };

    // The elements as CheckD3DVertexElements takes them; its result otherwise.
    static HRESULT Create(GLDevice* device, const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** decl);

    HRESULT GetDevice(IDirect3DDevice9** ppDevice) override { return GetDeviceInterface(ppDevice); }
    HRESULT GetDeclaration(D3DVERTEXELEMENT9* pElement, UINT* pNumElements) override;

    const std::vector<Element>& Elements() const { return elements_; }
    // The element feeding the usage and index, or null.
    const Element* Find(BYTE usage, BYTE usageIndex) const;

private:
    explicit GLVertexDeclaration(GLDevice* device) : GLDeviceChild(device, false) {}
    void ForgetGLObjects() override {}

    std::vector<Element> elements_;
};

// The shader input name of a usage and index ("TEXCOORD" "2" -> "TEXCOORD2"); empty for an unknown
// usage.
std::string VertexInputName(BYTE usage, BYTE usageIndex);
// The usage and index of a shader input name; false when the name is not one.
bool ParseVertexInputName(const std::string& name, BYTE& usage, BYTE& usageIndex);
