#pragma once
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <unordered_map>
#include <utility>
#include <vector>

#include "d3dx9/D3DXEffectPool.h"
#include "d3dx9/D3DXEffectValue.h"
#include "d3dx9/EffectError.h"
#include "d3dx9/EffectModel.h"
#include "d3dx9/d3dx9effect.h"

// ID3DXEffect over an effect model on one device. Its shaders are created on the device once, when
// the effect is made; its parameter values live in the effect, shared ones in the pool.
class D3DXEffect : public ID3DXEffect {
public:
    // E_FAIL with messages when the device refuses a shader or a shared parameter clashes with the
    // pool.
    static HRESULT Create(IDirect3DDevice9* device, EffectModel model, D3DXEffectPool* pool, D3DXEffect** effect,
                          EffectErrors& errors);
    ~D3DXEffect() override;

    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override;

    HRESULT GetDesc(D3DXEFFECT_DESC* pDesc) override;
    HRESULT GetParameterDesc(D3DXHANDLE hParameter, D3DXPARAMETER_DESC* pDesc) override;
    HRESULT GetTechniqueDesc(D3DXHANDLE hTechnique, D3DXTECHNIQUE_DESC* pDesc) override;
    HRESULT GetPassDesc(D3DXHANDLE hPass, D3DXPASS_DESC* pDesc) override;

    D3DXHANDLE GetParameter(D3DXHANDLE hParent, UINT Index) override;
    D3DXHANDLE GetParameterByName(D3DXHANDLE hParent, LPCSTR pName) override;
    D3DXHANDLE GetParameterBySemantic(D3DXHANDLE hParent, LPCSTR pSemantic) override;
    D3DXHANDLE GetParameterElement(D3DXHANDLE hParameter, UINT ElementIndex) override;
    D3DXHANDLE GetTechnique(UINT Index) override;
    D3DXHANDLE GetTechniqueByName(LPCSTR pName) override;
    D3DXHANDLE GetPass(D3DXHANDLE hTechnique, UINT Index) override;
    D3DXHANDLE GetPassByName(D3DXHANDLE hTechnique, LPCSTR pName) override;
    D3DXHANDLE GetAnnotation(D3DXHANDLE hObject, UINT Index) override;
    D3DXHANDLE GetAnnotationByName(D3DXHANDLE hObject, LPCSTR pName) override;

    HRESULT SetValue(D3DXHANDLE hParameter, LPCVOID pData, UINT Bytes) override;
    HRESULT GetValue(D3DXHANDLE hParameter, LPVOID pData, UINT Bytes) override;
    HRESULT SetBool(D3DXHANDLE hParameter, BOOL b) override;
    HRESULT GetBool(D3DXHANDLE hParameter, BOOL* pb) override;
    HRESULT SetInt(D3DXHANDLE hParameter, INT n) override;
    HRESULT GetInt(D3DXHANDLE hParameter, INT* pn) override;
    HRESULT SetFloat(D3DXHANDLE hParameter, float f) override;
    HRESULT GetFloat(D3DXHANDLE hParameter, float* pf) override;
    HRESULT SetFloatArray(D3DXHANDLE hParameter, const float* pf, UINT Count) override;
    HRESULT GetFloatArray(D3DXHANDLE hParameter, float* pf, UINT Count) override;
    HRESULT SetVector(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector) override;
    HRESULT GetVector(D3DXHANDLE hParameter, D3DXVECTOR4* pVector) override;
    HRESULT SetMatrix(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix) override;
    HRESULT GetMatrix(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix) override;
    HRESULT SetString(D3DXHANDLE hParameter, LPCSTR pString) override;
    HRESULT GetString(D3DXHANDLE hParameter, LPCSTR* ppString) override;
    HRESULT SetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9 pTexture) override;
    HRESULT GetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9* ppTexture) override;

    HRESULT SetTechnique(D3DXHANDLE hTechnique) override;
    D3DXHANDLE GetCurrentTechnique() override;

    HRESULT Begin(UINT* pPasses, DWORD Flags) override;
    HRESULT BeginPass(UINT Pass) override;
    HRESULT CommitChanges() override;
    HRESULT EndPass() override;
    HRESULT End() override;

    HRESULT GetDevice(LPDIRECT3DDEVICE9* ppDevice) override;
    HRESULT GetPool(LPD3DXEFFECTPOOL* ppPool) override;

private:
    enum class Kind { Parameter, Element, Technique, Pass, Annotation };
    // What a handle stands for. Parameter: a = parameter. Element: a = parameter, b = element.
    // Technique: a = technique. Pass: a = technique, b = pass. Annotation: owner (kind, a, b) and
    // c = annotation.
    struct Target {
        Kind kind = Kind::Parameter;
        std::uint32_t a = 0, b = 0, c = 0;
        Kind owner = Kind::Parameter;
    };
    // A run of numbers a Get/Set call works on: a whole parameter, an element of one, or an
    // annotation (read-only).
    struct Numbers {
        D3DXPARAMETER_TYPE type;
        D3DXPARAMETER_CLASS cls;
        std::uint32_t rows, columns;
        bool array;
        std::uint32_t* words; // null for annotations
        const std::uint32_t* constWords;
        std::uint32_t count;
    };

    D3DXEffect(IDirect3DDevice9* device, EffectModel model, D3DXEffectPool* pool);
    D3DXHANDLE MakeHandle(const Target& target, const std::string& name);
    bool Find(D3DXHANDLE handle, Target& target) const;
    bool FindParameter(D3DXHANDLE handle, Target& target) const;
    bool FindTechnique(D3DXHANDLE handle, std::uint32_t& technique) const;
    bool FindPass(D3DXHANDLE handle, std::uint32_t& technique, std::uint32_t& pass) const;
    const std::vector<EffectAnnotation>* AnnotationsOf(D3DXHANDLE handle, Target& owner) const;
    bool NumbersOf(D3DXHANDLE handle, Numbers& numbers);
    const EffectParameter* ParameterOf(D3DXHANDLE handle, std::uint32_t* index = nullptr) const;
    static std::uint32_t Convert(D3DXPARAMETER_TYPE to, D3DXPARAMETER_TYPE from, std::uint32_t word);

    HRESULT ApplyBindings();
    // Tells the pass observer the textures the open pass's stages read.
    void ObservePassTextures(const EffectPass& pass);
    void SaveStates(DWORD flags);
    void RestoreStates();
    // What Begin saves for a technique and what a pass uploads, worked out once from the model.
    void PlanTechniques();

    ULONG refs_ = 1;
    IDirect3DDevice9* device_;
    D3DXEffectPool* pool_;
    EffectModel model_;
    std::vector<std::shared_ptr<D3DXEffectValue>> values_;
    std::vector<IDirect3DVertexShader9*> vertexShaders_; // by model shader index (null for pixel shaders)
    std::vector<IDirect3DPixelShader9*> pixelShaders_;

    std::deque<std::string> handleNames_; // the handles: each points at its object's name
    std::unordered_map<const char*, Target> handles_;
    std::vector<D3DXHANDLE> parameterHandles_;
    std::vector<D3DXHANDLE> techniqueHandles_;
    std::vector<std::vector<D3DXHANDLE>> passHandles_;
    std::map<std::pair<std::uint32_t, std::uint32_t>, D3DXHANDLE> elementHandles_;
    std::map<std::tuple<int, std::uint32_t, std::uint32_t, std::uint32_t>, D3DXHANDLE> annotationHandles_;

    std::int32_t technique_ = -1;
    // Between Begin and End: the technique begun and the pass open (-1 for none).
    bool begun_ = false;
    std::uint32_t begunTechnique_ = 0;
    std::int32_t pass_ = -1;

    // Per technique: the states its passes set, each once and in order, which Begin saves.
    struct SavePlan {
        std::vector<D3DRENDERSTATETYPE> renderStates;
        std::vector<DWORD> stages;
        std::vector<std::pair<DWORD, D3DSAMPLERSTATETYPE>> samplerStates;
        bool shaders = false;
    };
    std::vector<SavePlan> savePlans_;
    // Per technique and pass: the numeric parameters its shaders read, each once.
    std::vector<std::vector<std::vector<std::uint32_t>>> passParameters_;
    // Scratch for uniform uploads, kept between calls so that a pass allocates nothing.
    std::vector<float> floats_;
    std::vector<int> ints_;
    std::vector<IDirect3DBaseTexture9*> observedTextures_;

    struct Saved {
        std::vector<std::pair<D3DRENDERSTATETYPE, DWORD>> renderStates;
        std::vector<std::pair<DWORD, IDirect3DBaseTexture9*>> textures;
        struct Sampler {
            DWORD stage;
            D3DSAMPLERSTATETYPE type;
            DWORD value;
        };
        std::vector<Sampler> samplerStates;
        bool shaders = false;
        IDirect3DVertexShader9* vertexShader = nullptr;
        IDirect3DPixelShader9* pixelShader = nullptr;

        // Emptied but not freed: the next Begin saves into the same storage.
        void Empty()
        {
            renderStates.clear();
            textures.clear();
            samplerStates.clear();
            shaders = false;
            vertexShader = nullptr;
            pixelShader = nullptr;
        }
    } saved_;
};
