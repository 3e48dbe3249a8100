#include "d3dx9/D3DXEffect.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <set>

#include "d3dx9/D3DXPassObserver.h"
#include "d3dx9/EffectGlsl.h"
#include "d3dx9/EffectStates.h"

namespace {

float AsFloat(std::uint32_t word)
{
    float f;
    std::memcpy(&f, &word, sizeof f);
    return f;
}

std::uint32_t FloatWord(float f)
{
    std::uint32_t word;
    std::memcpy(&word, &f, sizeof word);
    return word;
}

// The observer of every effect's passes; null unless a profiler installed one.
D3DXPassObserver* passObserver = nullptr;

} // namespace

D3DXPassObserver* D3DXSetPassObserver(D3DXPassObserver* observer)
{
    D3DXPassObserver* previous = passObserver;
    passObserver = observer;
    return previous;
}

// ---------------------------------------------------------------------------------------------
// Making and releasing

D3DXEffect::D3DXEffect(IDirect3DDevice9* device, EffectModel model, D3DXEffectPool* pool)
    : device_(device), pool_(pool), model_(std::move(model))
{
    device_->AddRef();
    if (pool_)
        pool_->AddRef();
    for (std::uint32_t i = 0; i < model_.parameters.size(); ++i) {
        const EffectParameter& p = model_.parameters[i];
        parameterHandles_.push_back(MakeHandle({Kind::Parameter, i, 0, 0, Kind::Parameter}, p.name));
    }
    for (std::uint32_t t = 0; t < model_.techniques.size(); ++t) {
        const EffectTechnique& technique = model_.techniques[t];
        techniqueHandles_.push_back(MakeHandle({Kind::Technique, t, 0, 0, Kind::Technique}, technique.name));
        passHandles_.emplace_back();
        for (std::uint32_t p = 0; p < technique.passes.size(); ++p)
            passHandles_.back().push_back(MakeHandle({Kind::Pass, t, p, 0, Kind::Pass}, technique.passes[p].name));
    }
    technique_ = model_.techniques.empty() ? -1 : 0;
    PlanTechniques();
}

void D3DXEffect::PlanTechniques()
{
    for (const EffectTechnique& technique : model_.techniques) {
        std::set<D3DRENDERSTATETYPE> renderStates;
        std::set<DWORD> stages;
        std::set<std::pair<DWORD, D3DSAMPLERSTATETYPE>> samplerStates;
        SavePlan plan;
        std::vector<std::vector<std::uint32_t>> passes;
        for (const EffectPass& pass : technique.passes) {
            for (const EffectRenderState& state : pass.renderStates)
                renderStates.insert(state.state);
            for (std::size_t stage = 0; stage < pass.samplers.size(); ++stage) {
                stages.insert(static_cast<DWORD>(stage));
                for (const EffectSamplerState& state : model_.parameters[pass.samplers[stage]].samplerStates)
                    samplerStates.insert({static_cast<DWORD>(stage), state.state});
            }
            plan.shaders = plan.shaders || pass.vertexShader >= 0 || pass.pixelShader >= 0;

            std::vector<std::uint32_t> numeric;
            std::set<std::uint32_t> done;
            for (std::int32_t shader : {pass.vertexShader, pass.pixelShader}) {
                if (shader < 0)
                    continue;
                for (std::uint32_t index : model_.shaders[static_cast<std::size_t>(shader)].parameters)
                    if (model_.parameters[index].IsNumeric() && done.insert(index).second)
                        numeric.push_back(index);
            }
            passes.push_back(std::move(numeric));
        }
        plan.renderStates.assign(renderStates.begin(), renderStates.end());
        plan.stages.assign(stages.begin(), stages.end());
        plan.samplerStates.assign(samplerStates.begin(), samplerStates.end());
        savePlans_.push_back(std::move(plan));
        passParameters_.push_back(std::move(passes));
    }
}

HRESULT D3DXEffect::Create(IDirect3DDevice9* device, EffectModel model, D3DXEffectPool* pool, D3DXEffect** out,
                           EffectErrors& errors)
{
    *out = nullptr;
    D3DXEffect* effect = new D3DXEffect(device, std::move(model), pool);
    const EffectModel& m = effect->model_;
    HRESULT result = D3D_OK;
    for (const EffectParameter& p : m.parameters) {
        std::shared_ptr<D3DXEffectValue> value;
        if (p.shared && pool) {
            std::string error;
            value = pool->Share(p, error);
            if (!value) {
                const std::string file = p.location.file < m.files.size() ? m.files[p.location.file] : "";
                errors.Add(file, p.location.line, error);
                result = E_FAIL;
                value = std::make_shared<D3DXEffectValue>(p);
            }
        } else {
            value = std::make_shared<D3DXEffectValue>(p);
        }
        effect->values_.push_back(std::move(value));
    }
    effect->vertexShaders_.assign(m.shaders.size(), nullptr);
    effect->pixelShaders_.assign(m.shaders.size(), nullptr);
    for (std::size_t i = 0; i < m.shaders.size() && result == D3D_OK; ++i) {
        const EffectShader& shader = m.shaders[i];
        std::string log;
        const HRESULT hr = shader.pixel ? device->CreatePixelShader(shader.glsl.c_str(), &effect->pixelShaders_[i], &log)
                                        : device->CreateVertexShader(shader.glsl.c_str(), &effect->vertexShaders_[i], &log);
        if (hr != D3D_OK) {
            std::string mapped = MapGlslLog(m, shader, log);
            if (mapped.empty()) {
                const EffectLocation where = shader.lines.empty() ? EffectLocation{} : shader.lines.front();
                errors.Add(where.file < m.files.size() ? m.files[where.file] : "", where.line,
                           "the device refused shader \"" + shader.name + "\"");
            }
            std::size_t pos = 0;
            while (pos < mapped.size()) {
                const std::size_t end = mapped.find('\n', pos);
                errors.AddLine(mapped.substr(pos, end - pos));
                pos = end == std::string::npos ? mapped.size() : end + 1;
            }
            result = E_FAIL;
        }
    }
    if (result != D3D_OK) {
        effect->Release();
        return result;
    }
    *out = effect;
    return D3D_OK;
}

D3DXEffect::~D3DXEffect()
{
    if (begun_)
        End();
    for (IDirect3DVertexShader9* shader : vertexShaders_)
        if (shader)
            shader->Release();
    for (IDirect3DPixelShader9* shader : pixelShaders_)
        if (shader)
            shader->Release();
    values_.clear();
    if (pool_)
        pool_->Release();
    device_->Release();
}

ULONG D3DXEffect::Release()
{
    const ULONG left = --refs_;
    if (left == 0)
        delete this;
    return left;
}

// ---------------------------------------------------------------------------------------------
// Handles

D3DXHANDLE D3DXEffect::MakeHandle(const Target& target, const std::string& name)
{
    handleNames_.push_back(name);
    const char* handle = handleNames_.back().c_str();
    handles_[handle] = target;
    return handle;
}

bool D3DXEffect::Find(D3DXHANDLE handle, Target& target) const
{
    if (!handle)
        return false;
    auto found = handles_.find(handle);
    if (found == handles_.end())
        return false;
    target = found->second;
    return true;
}

// A handle of this effect, or a name: "Name" or "Name[element]".
bool D3DXEffect::FindParameter(D3DXHANDLE handle, Target& target) const
{
    if (!handle)
        return false;
    if (Find(handle, target))
        return target.kind == Kind::Parameter || target.kind == Kind::Element;
    std::string name = handle;
    bool element = false;
    std::uint32_t index = 0;
    const std::size_t bracket = name.find('[');
    if (bracket != std::string::npos && name.back() == ']') {
        const std::string digits = name.substr(bracket + 1, name.size() - bracket - 2);
        if (digits.empty() || digits.size() > 9 || digits.find_first_not_of("0123456789") != std::string::npos)
            return false;
        index = static_cast<std::uint32_t>(std::strtoul(digits.c_str(), nullptr, 10));
        name.resize(bracket);
        element = true;
    }
    for (std::uint32_t i = 0; i < model_.parameters.size(); ++i) {
        const EffectParameter& p = model_.parameters[i];
        if (p.name != name)
            continue;
        if (element && index >= p.elements)
            return false;
        target = {element ? Kind::Element : Kind::Parameter, i, index, 0, Kind::Parameter};
        return true;
    }
    return false;
}

bool D3DXEffect::FindTechnique(D3DXHANDLE handle, std::uint32_t& technique) const
{
    if (!handle)
        return false;
    Target target;
    if (Find(handle, target)) {
        technique = target.a;
        return target.kind == Kind::Technique;
    }
    for (std::uint32_t t = 0; t < model_.techniques.size(); ++t)
        if (model_.techniques[t].name == handle) {
            technique = t;
            return true;
        }
    return false;
}

bool D3DXEffect::FindPass(D3DXHANDLE handle, std::uint32_t& technique, std::uint32_t& pass) const
{
    Target target;
    if (!Find(handle, target) || target.kind != Kind::Pass)
        return false;
    technique = target.a;
    pass = target.b;
    return true;
}

const EffectParameter* D3DXEffect::ParameterOf(D3DXHANDLE handle, std::uint32_t* index) const
{
    Target target;
    if (!FindParameter(handle, target) || target.kind != Kind::Parameter)
        return nullptr;
    if (index)
        *index = target.a;
    return &model_.parameters[target.a];
}

const std::vector<EffectAnnotation>* D3DXEffect::AnnotationsOf(D3DXHANDLE handle, Target& owner) const
{
    if (!handle)
        return nullptr;
    if (Find(handle, owner)) {
        switch (owner.kind) {
        case Kind::Parameter: return &model_.parameters[owner.a].annotations;
        case Kind::Technique: return &model_.techniques[owner.a].annotations;
        case Kind::Pass: return &model_.techniques[owner.a].passes[owner.b].annotations;
        default: return nullptr;
        }
    }
    if (FindParameter(handle, owner))
        return owner.kind == Kind::Parameter ? &model_.parameters[owner.a].annotations : nullptr;
    std::uint32_t technique = 0;
    if (FindTechnique(handle, technique)) {
        owner = {Kind::Technique, technique, 0, 0, Kind::Technique};
        return &model_.techniques[technique].annotations;
    }
    return nullptr;
}

D3DXHANDLE D3DXEffect::GetParameter(D3DXHANDLE hParent, UINT Index)
{
    if (hParent != nullptr || Index >= parameterHandles_.size())
        return nullptr; // no structures: only the top level has parameters
    return parameterHandles_[Index];
}

D3DXHANDLE D3DXEffect::GetParameterByName(D3DXHANDLE hParent, LPCSTR pName)
{
    if (hParent != nullptr || pName == nullptr)
        return nullptr;
    Target target;
    if (!FindParameter(pName, target))
        return nullptr;
    return target.kind == Kind::Parameter ? parameterHandles_[target.a] : GetParameterElement(parameterHandles_[target.a], target.b);
}

D3DXHANDLE D3DXEffect::GetParameterBySemantic(D3DXHANDLE hParent, LPCSTR pSemantic)
{
    if (hParent != nullptr || pSemantic == nullptr)
        return nullptr;
    for (std::uint32_t i = 0; i < model_.parameters.size(); ++i)
        if (!model_.parameters[i].semantic.empty() && EffectNamesMatch(model_.parameters[i].semantic, pSemantic))
            return parameterHandles_[i];
    return nullptr;
}

D3DXHANDLE D3DXEffect::GetParameterElement(D3DXHANDLE hParameter, UINT ElementIndex)
{
    std::uint32_t index = 0;
    const EffectParameter* p = ParameterOf(hParameter, &index);
    if (!p || ElementIndex >= p->elements)
        return nullptr;
    auto key = std::make_pair(index, static_cast<std::uint32_t>(ElementIndex));
    auto found = elementHandles_.find(key);
    if (found != elementHandles_.end())
        return found->second;
    const D3DXHANDLE handle = MakeHandle({Kind::Element, index, ElementIndex, 0, Kind::Parameter},
                                         p->name + "[" + std::to_string(ElementIndex) + "]");
    elementHandles_[key] = handle;
    return handle;
}

D3DXHANDLE D3DXEffect::GetTechnique(UINT Index)
{
    return Index < techniqueHandles_.size() ? techniqueHandles_[Index] : nullptr;
}

D3DXHANDLE D3DXEffect::GetTechniqueByName(LPCSTR pName)
{
    std::uint32_t technique = 0;
    return pName && FindTechnique(pName, technique) ? techniqueHandles_[technique] : nullptr;
}

D3DXHANDLE D3DXEffect::GetPass(D3DXHANDLE hTechnique, UINT Index)
{
    std::uint32_t technique = 0;
    if (!FindTechnique(hTechnique, technique) || Index >= passHandles_[technique].size())
        return nullptr;
    return passHandles_[technique][Index];
}

D3DXHANDLE D3DXEffect::GetPassByName(D3DXHANDLE hTechnique, LPCSTR pName)
{
    std::uint32_t technique = 0;
    if (!pName || !FindTechnique(hTechnique, technique))
        return nullptr;
    const auto& passes = model_.techniques[technique].passes;
    for (std::size_t p = 0; p < passes.size(); ++p)
        if (passes[p].name == pName)
            return passHandles_[technique][p];
    return nullptr;
}

D3DXHANDLE D3DXEffect::GetAnnotation(D3DXHANDLE hObject, UINT Index)
{
    Target owner;
    const std::vector<EffectAnnotation>* annotations = AnnotationsOf(hObject, owner);
    if (!annotations || Index >= annotations->size())
        return nullptr;
    auto key = std::make_tuple(static_cast<int>(owner.kind), owner.a, owner.b, static_cast<std::uint32_t>(Index));
    auto found = annotationHandles_.find(key);
    if (found != annotationHandles_.end())
        return found->second;
    const D3DXHANDLE handle = MakeHandle({Kind::Annotation, owner.a, owner.b, Index, owner.kind}, (*annotations)[Index].name);
    annotationHandles_[key] = handle;
    return handle;
}

D3DXHANDLE D3DXEffect::GetAnnotationByName(D3DXHANDLE hObject, LPCSTR pName)
{
    Target owner;
    const std::vector<EffectAnnotation>* annotations = AnnotationsOf(hObject, owner);
    if (!annotations || !pName)
        return nullptr;
    for (std::size_t i = 0; i < annotations->size(); ++i)
        if ((*annotations)[i].name == pName)
            return GetAnnotation(hObject, static_cast<UINT>(i));
    return nullptr;
}

// ---------------------------------------------------------------------------------------------
// Descriptions

HRESULT D3DXEffect::GetDesc(D3DXEFFECT_DESC* pDesc)
{
    if (!pDesc)
        return D3DERR_INVALIDCALL;
    pDesc->Creator = "orvala-tool effect compile";
    pDesc->Parameters = static_cast<UINT>(model_.parameters.size());
    pDesc->Techniques = static_cast<UINT>(model_.techniques.size());
    pDesc->Functions = static_cast<UINT>(model_.shaders.size());
    return D3D_OK;
}

HRESULT D3DXEffect::GetParameterDesc(D3DXHANDLE hParameter, D3DXPARAMETER_DESC* pDesc)
{
    Target target;
    if (!pDesc || !FindParameter(hParameter, target))
        return D3DERR_INVALIDCALL;
    const EffectParameter& p = model_.parameters[target.a];
    const bool element = target.kind == Kind::Element;
    pDesc->Name = element ? GetParameterElement(parameterHandles_[target.a], target.b) : parameterHandles_[target.a];
    pDesc->Semantic = p.semantic.empty() ? nullptr : p.semantic.c_str();
    pDesc->Class = p.cls;
    pDesc->Type = p.type;
    pDesc->Rows = p.rows;
    pDesc->Columns = p.columns;
    pDesc->Elements = element ? 0 : p.elements;
    pDesc->Annotations = element ? 0 : static_cast<UINT>(p.annotations.size());
    pDesc->StructMembers = 0;
    pDesc->Flags = p.shared ? D3DX_PARAMETER_SHARED : 0;
    pDesc->Bytes = p.IsNumeric() ? (element ? p.rows * p.columns : p.ValueCount()) * 4u
                                 : static_cast<UINT>(sizeof(void*));
    return D3D_OK;
}

HRESULT D3DXEffect::GetTechniqueDesc(D3DXHANDLE hTechnique, D3DXTECHNIQUE_DESC* pDesc)
{
    std::uint32_t technique = 0;
    if (!pDesc || !FindTechnique(hTechnique, technique))
        return D3DERR_INVALIDCALL;
    pDesc->Name = techniqueHandles_[technique];
    pDesc->Passes = static_cast<UINT>(model_.techniques[technique].passes.size());
    pDesc->Annotations = static_cast<UINT>(model_.techniques[technique].annotations.size());
    return D3D_OK;
}

HRESULT D3DXEffect::GetPassDesc(D3DXHANDLE hPass, D3DXPASS_DESC* pDesc)
{
    std::uint32_t technique = 0, pass = 0;
    if (!pDesc || !FindPass(hPass, technique, pass))
        return D3DERR_INVALIDCALL;
    pDesc->Name = passHandles_[technique][pass];
    pDesc->Annotations = static_cast<UINT>(model_.techniques[technique].passes[pass].annotations.size());
    pDesc->pVertexShaderFunction = nullptr;
    pDesc->pPixelShaderFunction = nullptr;
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Values

bool D3DXEffect::NumbersOf(D3DXHANDLE handle, Numbers& n)
{
    Target target;
    if (Find(handle, target) && target.kind == Kind::Annotation) {
        Target owner{target.owner, target.a, target.b, 0, target.owner};
        const std::vector<EffectAnnotation>* annotations =
            owner.kind == Kind::Parameter   ? &model_.parameters[owner.a].annotations
            : owner.kind == Kind::Technique ? &model_.techniques[owner.a].annotations
                                            : &model_.techniques[owner.a].passes[owner.b].annotations;
        const EffectAnnotation& a = (*annotations)[target.c];
        if (a.type == D3DXPT_STRING)
            return false;
        n = {a.type, a.columns > 1 ? D3DXPC_VECTOR : D3DXPC_SCALAR, 1, a.columns, false, nullptr, a.values.data(),
             static_cast<std::uint32_t>(a.values.size())};
        return true;
    }
    if (!FindParameter(handle, target))
        return false;
    const EffectParameter& p = model_.parameters[target.a];
    if (!p.IsNumeric())
        return false;
    std::vector<std::uint32_t>& words = values_[target.a]->words;
    const std::uint32_t size = p.rows * p.columns;
    if (target.kind == Kind::Element) {
        n = {p.type, p.cls, p.rows, p.columns, false, words.data() + target.b * size, words.data() + target.b * size, size};
    } else {
        n = {p.type, p.cls, p.rows, p.columns, p.elements != 0, words.data(), words.data(),
             static_cast<std::uint32_t>(words.size())};
    }
    return true;
}

// A number stored as one type, read or written as another: D3DX's conversions.
std::uint32_t D3DXEffect::Convert(D3DXPARAMETER_TYPE to, D3DXPARAMETER_TYPE from, std::uint32_t word)
{
    if (to == from)
        return to == D3DXPT_BOOL ? (word != 0 ? 1u : 0u) : word;
    if (to == D3DXPT_FLOAT)
        return FloatWord(from == D3DXPT_INT ? static_cast<float>(static_cast<std::int32_t>(word)) : (word ? 1.f : 0.f));
    if (to == D3DXPT_INT) {
        if (from == D3DXPT_BOOL)
            return word ? 1u : 0u;
        const float f = AsFloat(word);
        const float limited = std::max(-2147483648.f, std::min(2147483520.f, f == f ? f : 0.f));
        return static_cast<std::uint32_t>(static_cast<std::int32_t>(limited));
    }
    // to bool
    return from == D3DXPT_FLOAT ? (AsFloat(word) != 0.f ? 1u : 0u) : (word != 0 ? 1u : 0u);
}

HRESULT D3DXEffect::SetValue(D3DXHANDLE hParameter, LPCVOID pData, UINT Bytes)
{
    if (!pData)
        return D3DERR_INVALIDCALL;
    Target target;
    if (FindParameter(hParameter, target) && model_.parameters[target.a].IsTexture() && target.kind == Kind::Parameter) {
        if (Bytes < sizeof(IDirect3DBaseTexture9*))
            return D3DERR_INVALIDCALL;
        IDirect3DBaseTexture9* texture = nullptr;
        std::memcpy(&texture, pData, sizeof texture);
        return SetTexture(hParameter, texture);
    }
    Numbers n{};
    if (!NumbersOf(hParameter, n) || !n.words || Bytes % 4 != 0 || Bytes / 4 > n.count)
        return D3DERR_INVALIDCALL;
    std::memcpy(n.words, pData, Bytes);
    if (n.type == D3DXPT_BOOL)
        for (std::uint32_t i = 0; i < Bytes / 4; ++i)
            n.words[i] = n.words[i] ? 1u : 0u;
    return D3D_OK;
}

HRESULT D3DXEffect::GetValue(D3DXHANDLE hParameter, LPVOID pData, UINT Bytes)
{
    if (!pData)
        return D3DERR_INVALIDCALL;
    Target target;
    if (FindParameter(hParameter, target) && model_.parameters[target.a].IsTexture() && target.kind == Kind::Parameter) {
        if (Bytes < sizeof(IDirect3DBaseTexture9*))
            return D3DERR_INVALIDCALL;
        IDirect3DBaseTexture9* texture = nullptr;
        GetTexture(hParameter, &texture);
        std::memcpy(pData, &texture, sizeof texture);
        return D3D_OK;
    }
    Numbers n{};
    if (!NumbersOf(hParameter, n) || Bytes < n.count * 4u)
        return D3DERR_INVALIDCALL;
    std::memcpy(pData, n.constWords, n.count * 4u);
    return D3D_OK;
}

HRESULT D3DXEffect::SetBool(D3DXHANDLE hParameter, BOOL b)
{
    Numbers n{};
    if (!NumbersOf(hParameter, n) || !n.words || n.count != 1)
        return D3DERR_INVALIDCALL;
    n.words[0] = Convert(n.type, D3DXPT_BOOL, b ? 1u : 0u);
    return D3D_OK;
}

HRESULT D3DXEffect::GetBool(D3DXHANDLE hParameter, BOOL* pb)
{
    Numbers n{};
    if (!pb || !NumbersOf(hParameter, n) || n.count != 1)
        return D3DERR_INVALIDCALL;
    *pb = static_cast<BOOL>(Convert(D3DXPT_BOOL, n.type, n.constWords[0]));
    return D3D_OK;
}

HRESULT D3DXEffect::SetInt(D3DXHANDLE hParameter, INT value)
{
    Numbers n{};
    if (!NumbersOf(hParameter, n) || !n.words || n.count != 1)
        return D3DERR_INVALIDCALL;
    n.words[0] = Convert(n.type, D3DXPT_INT, static_cast<std::uint32_t>(value));
    return D3D_OK;
}

HRESULT D3DXEffect::GetInt(D3DXHANDLE hParameter, INT* pn)
{
    Numbers n{};
    if (!pn || !NumbersOf(hParameter, n) || n.count != 1)
        return D3DERR_INVALIDCALL;
    *pn = static_cast<INT>(Convert(D3DXPT_INT, n.type, n.constWords[0]));
    return D3D_OK;
}

HRESULT D3DXEffect::SetFloat(D3DXHANDLE hParameter, float f)
{
    Numbers n{};
    if (!NumbersOf(hParameter, n) || !n.words || n.count != 1)
        return D3DERR_INVALIDCALL;
    n.words[0] = Convert(n.type, D3DXPT_FLOAT, FloatWord(f));
    return D3D_OK;
}

HRESULT D3DXEffect::GetFloat(D3DXHANDLE hParameter, float* pf)
{
    Numbers n{};
    if (!pf || !NumbersOf(hParameter, n) || n.count != 1)
        return D3DERR_INVALIDCALL;
    *pf = AsFloat(Convert(D3DXPT_FLOAT, n.type, n.constWords[0]));
    return D3D_OK;
}

HRESULT D3DXEffect::SetFloatArray(D3DXHANDLE hParameter, const float* pf, UINT Count)
{
    Numbers n{};
    if (!NumbersOf(hParameter, n) || !n.words || (!pf && Count > 0))
        return D3DERR_INVALIDCALL;
    const std::uint32_t written = std::min<std::uint32_t>(Count, n.count);
    for (std::uint32_t i = 0; i < written; ++i)
        n.words[i] = Convert(n.type, D3DXPT_FLOAT, FloatWord(pf[i]));
    return D3D_OK;
}

HRESULT D3DXEffect::GetFloatArray(D3DXHANDLE hParameter, float* pf, UINT Count)
{
    Numbers n{};
    if (!NumbersOf(hParameter, n) || (!pf && Count > 0))
        return D3DERR_INVALIDCALL;
    const std::uint32_t read = std::min<std::uint32_t>(Count, n.count);
    for (std::uint32_t i = 0; i < read; ++i)
        pf[i] = AsFloat(Convert(D3DXPT_FLOAT, n.type, n.constWords[i]));
    return D3D_OK;
}

HRESULT D3DXEffect::SetVector(D3DXHANDLE hParameter, const D3DXVECTOR4* pVector)
{
    Numbers n{};
    if (!pVector || !NumbersOf(hParameter, n) || !n.words || n.array ||
        (n.cls != D3DXPC_SCALAR && n.cls != D3DXPC_VECTOR))
        return D3DERR_INVALIDCALL;
    const float v[4] = {pVector->x, pVector->y, pVector->z, pVector->w};
    for (std::uint32_t i = 0; i < n.count && i < 4; ++i)
        n.words[i] = Convert(n.type, D3DXPT_FLOAT, FloatWord(v[i]));
    return D3D_OK;
}

HRESULT D3DXEffect::GetVector(D3DXHANDLE hParameter, D3DXVECTOR4* pVector)
{
    Numbers n{};
    if (!pVector || !NumbersOf(hParameter, n) || n.array || (n.cls != D3DXPC_SCALAR && n.cls != D3DXPC_VECTOR))
        return D3DERR_INVALIDCALL;
    float v[4] = {0, 0, 0, 0};
    for (std::uint32_t i = 0; i < n.count && i < 4; ++i)
        v[i] = AsFloat(Convert(D3DXPT_FLOAT, n.type, n.constWords[i]));
    *pVector = D3DXVECTOR4(v[0], v[1], v[2], v[3]);
    return D3D_OK;
}

HRESULT D3DXEffect::SetMatrix(D3DXHANDLE hParameter, const D3DXMATRIX* pMatrix)
{
    Numbers n{};
    if (!pMatrix || !NumbersOf(hParameter, n) || !n.words || n.array || n.cls != D3DXPC_MATRIX_ROWS)
        return D3DERR_INVALIDCALL;
    for (std::uint32_t r = 0; r < n.rows; ++r)
        for (std::uint32_t c = 0; c < n.columns; ++c)
            n.words[r * n.columns + c] = FloatWord(pMatrix->m[r][c]);
    return D3D_OK;
}

HRESULT D3DXEffect::GetMatrix(D3DXHANDLE hParameter, D3DXMATRIX* pMatrix)
{
    Numbers n{};
    if (!pMatrix || !NumbersOf(hParameter, n) || n.array || n.cls != D3DXPC_MATRIX_ROWS)
        return D3DERR_INVALIDCALL;
    D3DXMATRIX m;
    std::memset(&m.m, 0, sizeof m.m);
    for (std::uint32_t r = 0; r < n.rows; ++r)
        for (std::uint32_t c = 0; c < n.columns; ++c)
            m.m[r][c] = AsFloat(n.constWords[r * n.columns + c]);
    *pMatrix = m;
    return D3D_OK;
}

HRESULT D3DXEffect::SetString(D3DXHANDLE hParameter, LPCSTR pString)
{
    std::uint32_t index = 0;
    const EffectParameter* p = ParameterOf(hParameter, &index);
    if (!pString || !p || p->type != D3DXPT_STRING)
        return D3DERR_INVALIDCALL;
    values_[index]->text = pString;
    return D3D_OK;
}

HRESULT D3DXEffect::GetString(D3DXHANDLE hParameter, LPCSTR* ppString)
{
    if (!ppString)
        return D3DERR_INVALIDCALL;
    Target target;
    if (Find(hParameter, target) && target.kind == Kind::Annotation) {
        const std::vector<EffectAnnotation>& annotations =
            target.owner == Kind::Parameter   ? model_.parameters[target.a].annotations
            : target.owner == Kind::Technique ? model_.techniques[target.a].annotations
                                              : model_.techniques[target.a].passes[target.b].annotations;
        const EffectAnnotation& a = annotations[target.c];
        if (a.type != D3DXPT_STRING)
            return D3DERR_INVALIDCALL;
        *ppString = a.text.c_str();
        return D3D_OK;
    }
    std::uint32_t index = 0;
    const EffectParameter* p = ParameterOf(hParameter, &index);
    if (!p || p->type != D3DXPT_STRING)
        return D3DERR_INVALIDCALL;
    *ppString = values_[index]->text.c_str();
    return D3D_OK;
}

HRESULT D3DXEffect::SetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9 pTexture)
{
    std::uint32_t index = 0;
    const EffectParameter* p = ParameterOf(hParameter, &index);
    if (!p || !p->IsTexture())
        return D3DERR_INVALIDCALL;
    values_[index]->SetTexture(pTexture);
    return D3D_OK;
}

HRESULT D3DXEffect::GetTexture(D3DXHANDLE hParameter, LPDIRECT3DBASETEXTURE9* ppTexture)
{
    std::uint32_t index = 0;
    const EffectParameter* p = ParameterOf(hParameter, &index);
    if (!ppTexture || !p || !p->IsTexture())
        return D3DERR_INVALIDCALL;
    *ppTexture = values_[index]->Texture();
    if (*ppTexture)
        (*ppTexture)->AddRef();
    return D3D_OK;
}

// ---------------------------------------------------------------------------------------------
// Techniques and passes

HRESULT D3DXEffect::SetTechnique(D3DXHANDLE hTechnique)
{
    std::uint32_t technique = 0;
    if (!FindTechnique(hTechnique, technique))
        return D3DERR_INVALIDCALL;
    technique_ = static_cast<std::int32_t>(technique);
    return D3D_OK;
}

D3DXHANDLE D3DXEffect::GetCurrentTechnique()
{
    return technique_ < 0 ? nullptr : techniqueHandles_[static_cast<std::size_t>(technique_)];
}

void D3DXEffect::SaveStates(DWORD flags)
{
    saved_.Empty();
    if (flags & D3DXFX_DONOTSAVESTATE)
        return;
    const SavePlan& plan = savePlans_[begunTechnique_];
    for (D3DRENDERSTATETYPE state : plan.renderStates) {
        DWORD value = 0;
        if (device_->GetRenderState(state, &value) == D3D_OK)
            saved_.renderStates.push_back({state, value});
    }
    if (!(flags & D3DXFX_DONOTSAVESAMPLERSTATE)) {
        for (DWORD stage : plan.stages) {
            IDirect3DBaseTexture9* texture = nullptr;
            if (device_->GetTexture(stage, &texture) == D3D_OK)
                saved_.textures.push_back({stage, texture});
        }
        for (const auto& [stage, type] : plan.samplerStates) {
            DWORD value = 0;
            if (device_->GetSamplerState(stage, type, &value) == D3D_OK)
                saved_.samplerStates.push_back({stage, type, value});
        }
    }
    if (plan.shaders && !(flags & D3DXFX_DONOTSAVESHADERSTATE)) {
        saved_.shaders = true;
        device_->GetVertexShader(&saved_.vertexShader);
        device_->GetPixelShader(&saved_.pixelShader);
    }
}

void D3DXEffect::RestoreStates()
{
    for (const auto& [state, value] : saved_.renderStates)
        device_->SetRenderState(state, value);
    for (const auto& [stage, texture] : saved_.textures) {
        device_->SetTexture(stage, texture);
        if (texture)
            texture->Release();
    }
    for (const Saved::Sampler& sampler : saved_.samplerStates)
        device_->SetSamplerState(sampler.stage, sampler.type, sampler.value);
    if (saved_.shaders) {
        device_->SetVertexShader(saved_.vertexShader);
        device_->SetPixelShader(saved_.pixelShader);
        if (saved_.vertexShader)
            saved_.vertexShader->Release();
        if (saved_.pixelShader)
            saved_.pixelShader->Release();
    }
    saved_.Empty();
}

HRESULT D3DXEffect::Begin(UINT* pPasses, DWORD Flags)
{
    if (begun_ || technique_ < 0)
        return D3DERR_INVALIDCALL;
    begun_ = true;
    begunTechnique_ = static_cast<std::uint32_t>(technique_);
    pass_ = -1;
    SaveStates(Flags);
    if (pPasses)
        *pPasses = static_cast<UINT>(model_.techniques[begunTechnique_].passes.size());
    return D3D_OK;
}

// Textures and sampler uniforms of the open pass's stages, and every parameter its shaders read.
HRESULT D3DXEffect::ApplyBindings()
{
    const EffectPass& pass = model_.techniques[begunTechnique_].passes[static_cast<std::size_t>(pass_)];
    HRESULT result = D3D_OK;
    auto keep = [&](HRESULT hr) {
        if (result == D3D_OK && hr != D3D_OK)
            result = hr;
    };
    for (std::size_t stage = 0; stage < pass.samplers.size(); ++stage) {
        const EffectParameter& sampler = model_.parameters[pass.samplers[stage]];
        IDirect3DBaseTexture9* texture =
            sampler.samplerTexture >= 0 ? values_[static_cast<std::size_t>(sampler.samplerTexture)]->Texture() : nullptr;
        keep(device_->SetTexture(static_cast<DWORD>(stage), texture));
        const int unit = static_cast<int>(stage);
        keep(device_->SetUniformI(sampler.name.c_str(), &unit, 1));
    }
    if (passObserver)
        ObservePassTextures(pass);
    for (std::uint32_t index : passParameters_[begunTechnique_][static_cast<std::size_t>(pass_)]) {
        const EffectParameter& p = model_.parameters[index];
        const std::vector<std::uint32_t>& words = values_[index]->words;
        if (p.type == D3DXPT_FLOAT) {
            floats_.resize(words.size());
            for (std::size_t i = 0; i < words.size(); ++i)
                floats_[i] = AsFloat(words[i]);
            keep(device_->SetUniformF(p.name.c_str(), floats_.data(), static_cast<UINT>(floats_.size())));
        } else {
            ints_.assign(words.begin(), words.end());
            keep(device_->SetUniformI(p.name.c_str(), ints_.data(), static_cast<UINT>(ints_.size())));
        }
    }
    return result;
}

HRESULT D3DXEffect::BeginPass(UINT Pass)
{
    if (!begun_ || pass_ >= 0 || Pass >= model_.techniques[begunTechnique_].passes.size())
        return D3DERR_INVALIDCALL;
    pass_ = static_cast<std::int32_t>(Pass);
    const EffectPass& pass = model_.techniques[begunTechnique_].passes[Pass];
    HRESULT result = D3D_OK;
    auto keep = [&](HRESULT hr) {
        if (result == D3D_OK && hr != D3D_OK)
            result = hr;
    };
    for (const EffectRenderState& state : pass.renderStates)
        keep(device_->SetRenderState(state.state, state.value));
    if (pass.vertexShader >= 0)
        keep(device_->SetVertexShader(vertexShaders_[static_cast<std::size_t>(pass.vertexShader)]));
    if (pass.pixelShader >= 0)
        keep(device_->SetPixelShader(pixelShaders_[static_cast<std::size_t>(pass.pixelShader)]));
    for (std::size_t stage = 0; stage < pass.samplers.size(); ++stage)
        for (const EffectSamplerState& state : model_.parameters[pass.samplers[stage]].samplerStates)
            keep(device_->SetSamplerState(static_cast<DWORD>(stage), state.state, state.value));
    if (passObserver)
        passObserver->PassBegun(this, model_.techniques[begunTechnique_].name.c_str(), pass.name.c_str());
    keep(ApplyBindings());
    return result;
}

void D3DXEffect::ObservePassTextures(const EffectPass& pass)
{
    observedTextures_.clear();
    for (std::uint32_t index : pass.samplers) {
        const EffectParameter& sampler = model_.parameters[index];
        observedTextures_.push_back(
            sampler.samplerTexture >= 0 ? values_[static_cast<std::size_t>(sampler.samplerTexture)]->Texture() : nullptr);
    }
    passObserver->PassTextures(this, observedTextures_.data(), static_cast<UINT>(observedTextures_.size()));
}

HRESULT D3DXEffect::CommitChanges()
{
    if (!begun_ || pass_ < 0)
        return D3D_OK; // as D3DX: nothing to commit outside a pass
    return ApplyBindings();
}

HRESULT D3DXEffect::EndPass()
{
    if (!begun_ || pass_ < 0)
        return D3DERR_INVALIDCALL;
    pass_ = -1;
    if (passObserver)
        passObserver->PassEnded(this);
    return D3D_OK;
}

HRESULT D3DXEffect::End()
{
    if (!begun_)
        return D3DERR_INVALIDCALL;
    if (pass_ >= 0 && passObserver)
        passObserver->PassEnded(this);
    pass_ = -1;
    begun_ = false;
    RestoreStates();
    return D3D_OK;
}

HRESULT D3DXEffect::GetDevice(LPDIRECT3DDEVICE9* ppDevice)
{
    if (!ppDevice)
        return D3DERR_INVALIDCALL;
    device_->AddRef();
    *ppDevice = device_;
    return D3D_OK;
}

HRESULT D3DXEffect::GetPool(LPD3DXEFFECTPOOL* ppPool)
{
    if (!ppPool)
        return D3DERR_INVALIDCALL;
    *ppPool = pool_;
    if (pool_)
        pool_->AddRef();
    return D3D_OK;
}
