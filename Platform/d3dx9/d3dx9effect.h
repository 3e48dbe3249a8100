#pragma once
// D3DX 9 effects: ID3DXEffect, ID3DXEffectPool and D3DXCreateEffect with the names, signatures,
// results and constant values of D3DX 9. The effects themselves are written in this layer's own
// effect language around GLSL (Platform/d3dx9/EffectParser.h, docs/effects.md) and are handed to
// D3DXCreateEffect either as source text or as the object file `orvala-tool effect compile` makes.
//
// Handles: a D3DXHANDLE that an effect handed out is valid for that effect's life. Wherever a
// handle is taken, the name of the object as a string works too (SetTechnique("Glow"),
// GetParameterByName(nullptr, "World")); a handle of another effect reads as its name.
// Parameter names are case-sensitive; semantics are matched without regard to case, as D3DX does.
//
// Set* calls store values in the effect (or, for shared parameters, in the pool). They reach the
// device at BeginPass, and while a pass is open only at CommitChanges.
#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9core.h"
#include "d3dx9/d3dx9math.h"
#include "win32/WinTypes.h"

using D3DXHANDLE = const char*;
using LPD3DXHANDLE = D3DXHANDLE*;

// Begin flags.
#define D3DXFX_DONOTSAVESTATE (1 << 0)
#define D3DXFX_DONOTSAVESHADERSTATE (1 << 1)
#define D3DXFX_DONOTSAVESAMPLERSTATE (1 << 2)
// D3DXCreateEffect flag.
#define D3DXFX_NOT_CLONEABLE (1 << 11)
#define D3DXFX_LARGEADDRESSAWARE (1 << 17)

// D3DXPARAMETER_DESC::Flags.
#define D3DX_PARAMETER_SHARED (1 << 0)
#define D3DX_PARAMETER_LITERAL (1 << 1)
#define D3DX_PARAMETER_ANNOTATION (1 << 2)

enum D3DXPARAMETER_CLASS : DWORD {
    D3DXPC_SCALAR = 0,
    D3DXPC_VECTOR = 1,
    D3DXPC_MATRIX_ROWS = 2,
    D3DXPC_MATRIX_COLUMNS = 3,
    D3DXPC_OBJECT = 4,
    D3DXPC_STRUCT = 5,
    D3DXPC_FORCE_DWORD = 0x7fffffff,
};

enum D3DXPARAMETER_TYPE : DWORD {
    D3DXPT_VOID = 0,
    D3DXPT_BOOL = 1,
    D3DXPT_INT = 2,
    D3DXPT_FLOAT = 3,
    D3DXPT_STRING = 4,
    D3DXPT_TEXTURE = 5,
    D3DXPT_TEXTURE1D = 6,
    D3DXPT_TEXTURE2D = 7,
    D3DXPT_TEXTURE3D = 8,
    D3DXPT_TEXTURECUBE = 9,
    D3DXPT_SAMPLER = 10,
    D3DXPT_SAMPLER1D = 11,
    D3DXPT_SAMPLER2D = 12,
    D3DXPT_SAMPLER3D = 13,
    D3DXPT_SAMPLERCUBE = 14,
    D3DXPT_PIXELSHADER = 15,
    D3DXPT_VERTEXSHADER = 16,
    D3DXPT_FORCE_DWORD = 0x7fffffff,
};

struct D3DXEFFECT_DESC {
    LPCSTR Creator;
    UINT Parameters;
    UINT Techniques;
    UINT Functions;
};

struct D3DXPARAMETER_DESC {
    LPCSTR Name;
    LPCSTR Semantic;
    D3DXPARAMETER_CLASS Class;
    D3DXPARAMETER_TYPE Type;
    UINT Rows;
    UINT Columns;
    UINT Elements;
    UINT Annotations;
    UINT StructMembers;
    DWORD Flags;
    UINT Bytes;
};

struct D3DXTECHNIQUE_DESC {
    LPCSTR Name;
    UINT Passes;
    UINT Annotations;
};

// pVertexShaderFunction and pPixelShaderFunction are D3D bytecode in D3DX; effects here carry GLSL,
// not bytecode, so both are always null.
struct D3DXPASS_DESC {
    LPCSTR Name;
    UINT Annotations;
    const DWORD* pVertexShaderFunction;
    const DWORD* pPixelShaderFunction;
};

struct ID3DXEffect;

// Shared parameters: effects created with one pool hold one value for each parameter declared
// `shared` under the same name and type. The pool lives as long as it or any of its effects is held.
struct ID3DXEffectPool : IUnknown {
};
using LPD3DXEFFECTPOOL = ID3DXEffectPool*;

struct ID3DXEffect : IUnknown {
    // Descriptions.
    virtual HRESULT GetDesc(D3DXEFFECT_DESC* pDesc) = 0;
    virtual HRESULT GetParameterDesc(D3DXHANDLE hParameter, D3DXPARAMETER_DESC* pDesc) = 0;
    virtual HRESULT GetTechniqueDesc(D3DXHANDLE hTechnique, D3DXTECHNIQUE_DESC* pDesc) = 0;
    virtual HRESULT GetPassDesc(D3DXHANDLE hPass, D3DXPASS_DESC* pDesc) = 0;

    // Handles; null when there is no such object. hParent null means the effect's top level.
    virtual D3DXHANDLE GetParameter(D3DXHANDLE hParent, UINT Index) = 0;
    virtual D3DXHANDLE GetParameterByName(D3DXHANDLE hParent, LPCSTR pName) = 0;
    virtual D3DXHANDLE GetParameterBySemantic(D3DXHANDLE hParent, LPCSTR pSemantic) = 0;
    virtual D3DXHANDLE GetParameterElement(D3DXHANDLE hParameter, UINT ElementIndex) = 0;
    virtual D3DXHANDLE GetTechnique(UINT Index) = 0;
    virtual D3DXHANDLE GetTechniqueByName(LPCSTR pName) = 0;
    virtual D3DXHANDLE GetPass(D3DXHANDLE hTechnique, UINT Index) = 0;
    virtual D3DXHANDLE GetPassByName(D3DXHANDLE hTechnique, LPCSTR pName) = 0;
    // hObject: a parameter, technique or pass.
    virtual D3DXHANDLE GetAnnotation(D3DXHANDLE hObject, UINT Index) = 0;
    virtual D3DXHANDLE GetAnnotationByName(D3DXHANDLE hObject, LPCSTR pName) = 0;

    // Values. Numbers convert between bool, int and float as in D3DX; a call that does not fit the
    // parameter's kind (SetMatrix on a vector, SetTexture on a number, ...) gives D3DERR_INVALIDCALL.
    virtual HRESULT SetValue(D3DXHANDLE hParameter, LPCVOID pData, UINT Bytes) = 0;
    virtual HRESULT GetValue(D3DXHANDLE hParameter, LPVOID pData, UINT Bytes) = 0;
    virtual HRESULT SetBool(D3DXHANDLE hParameter, BOOL b) = 0;
    virtual HRESULT GetBool(D3DXHANDLE hParameter, BOOL* pb) = 0;
    virtual HRESULT SetInt(D3DXHANDLE hParameter, INT n) = 0;
    virtual HRESULT GetInt(D3DXHANDLE hParameter, INT* pn) = 0;
    virtual HRESULT SetFloat(D3DXHANDLE hParameter, float f) = 0;
    virtual HRESULT GetFloat(D3DXHANDLE hParameter, float* pf) = 0;
    // Writes min(Count, the parameter's size) floats from the first; the rest keep their values.
    virtual HRESULT SetFloatArray(D3DXHANDLE hParameter, const float* pf, UINT Count) = 0;
    virtual HRESULT GetFloatArray(D3DXHANDLE hParameter, float* pf, UINT Count) = 0;
    virtual HRESULT SetVector(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector) = 0;
    virtual HRESULT GetVector(D3DXHANDLE hParameter, D3DXVECTOR4* pVector) = 0;
    virtual HRESULT SetMatrix(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) = 0;
    virtual HRESULT GetMatrix(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) = 0;
    virtual HRESULT SetString(D3DXHANDLE hParameter, LPCSTR pString) = 0;
    // The string of a string parameter or annotation; it stays valid for the effect's life.
    virtual HRESULT GetString(D3DXHANDLE hParameter, LPCSTR* ppString) = 0;
    // The effect holds a reference to the texture while it is set.
    virtual HRESULT SetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9 pTexture) = 0;
    // Adds a reference for the caller, as D3DX does.
    virtual HRESULT GetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9* ppTexture) = 0;

    // Techniques.
    virtual HRESULT SetTechnique(D3DXHANDLE hTechnique) = 0;
    virtual D3DXHANDLE GetCurrentTechnique() = 0;

    // Drawing. Begin saves the device states the technique's passes set (unless Flags says not
    // to) and End restores them; states no pass sets stay as the caller left them.
    virtual HRESULT Begin(UINT* pPasses, DWORD Flags) = 0;
    virtual HRESULT BeginPass(UINT Pass) = 0;
    virtual HRESULT CommitChanges() = 0;
    virtual HRESULT EndPass() = 0;
    virtual HRESULT End() = 0;

    // Adds a reference for the caller.
    virtual HRESULT GetDevice(LPDIRECT3DDEVICE9* ppDevice) = 0;
    // *ppPool is null (and the result D3D_OK) for an effect made without a pool.
    virtual HRESULT GetPool(LPD3DXEFFECTPOOL* ppPool) = 0;
};
using LPD3DXEFFECT = ID3DXEffect*;

HRESULT D3DXCreateEffectPool(LPD3DXEFFECTPOOL* ppPool);

// pSrcData is an effect object (recognised by its magic) or effect source text (SrcDataSize bytes,
// no terminating zero needed). Source includes go through pInclude (without one an #include fails);
// pDefines (may be null) are macros defined before the source's first line. pPool (may be null)
// shares the `shared` parameters. On failure *ppCompilationErrors (when the pointer is given)
// receives a new buffer with the messages as text, "file(line): error: message" one a line; the
// result is D3DXERR_INVALIDDATA for a damaged object or source that does not parse,
// D3DERR_INVALIDCALL for bad arguments, E_FAIL when the device rejects a shader or a shared
// parameter clashes with the pool. On success *ppCompilationErrors is left as it was.
HRESULT D3DXCreateEffect(LPDIRECT3DDEVICE9 pDevice, LPCVOID pSrcData, UINT SrcDataSize, const D3DXMACRO* pDefines,
                         LPD3DXINCLUDE pInclude, DWORD Flags, LPD3DXEFFECTPOOL pPool, LPD3DXEFFECT* ppEffect,
                         LPD3DXBUFFER* ppCompilationErrors);
