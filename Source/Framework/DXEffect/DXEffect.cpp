#include "DXEffect/DXEffect.h"

#include <cstring>

#include "CamHandler.h"
#include "DXError.h"
#include "DXFramework.h"
#include "DXMesh/BaseRenderObject.h"
#include "FrameworkEx.h"
#include "Scene.h"
#include "SceneHandler.h"
#include "win32/MessageBox.h"

namespace {

// The text of an error buffer: its bytes up to the first NUL, or empty when it holds none.
std::string BufferText(ID3DXBuffer* buffer)
{
    if (!buffer || !buffer->GetBufferPointer())
        return {};
    const auto* bytes = static_cast<const char*>(buffer->GetBufferPointer());
    const std::size_t size = buffer->GetBufferSize();
    return std::string(bytes, strnlen(bytes, size));
}

} // namespace

DXEffect::DXEffect() = default;

DXEffect::~DXEffect()
{
    Unload();
}

void DXEffect::LoadEffect(const std::string& name, ID3DXEffectPool* effectPool)
{
    if (name.empty())
        throw FrameworkEx("Empty filename supplied to DXEffect::LoadEffect");
    filename = name;
    if (effect) {
        effect->Release();
        effect = nullptr;
    }

    ID3DXBuffer* errorBuffer = nullptr;
    CHECK_RESULT(D3DXCreateBuffer(4096, &errorBuffer));
    ID3DXBuffer* const ownBuffer = errorBuffer;

    pool = effectPool;
    HRESULT hr = E_FAIL;
    try {
        hr = DXFramework::CreateEffectFromFile(filename.c_str(), nullptr, 0, pool, &effect, &errorBuffer);
    } catch (...) {
        if (errorBuffer != ownBuffer && errorBuffer)
            errorBuffer->Release();
        ownBuffer->Release();
        throw;
    }
    // The effect compiler hands out a buffer of its own for its messages; the one made above is
    // then no longer referenced by anyone but us.
    std::string errors = BufferText(errorBuffer);
    if (errorBuffer != ownBuffer) {
        ownBuffer->Release();
        if (errorBuffer)
            errorBuffer->Release();
    } else {
        ownBuffer->Release();
    }
    if (hr != D3D_OK) {
        if (effect) {
            effect->Release();
            effect = nullptr;
        }
        if (errors.empty())
            errors = std::string("The effect compiler gave no error text (") + DXErrorName(hr) + ").";
        throw FrameworkEx("Could not Create effect from: " + filename + "\n\n" + errors);
    }

    textureHandles.clear();
    LoadAnnotatedTextures();

    local = effect->GetParameterBySemantic(nullptr, "LOCAL");
    localView = effect->GetParameterBySemantic(nullptr, "LOCALVIEW");
    localViewProj = effect->GetParameterBySemantic(nullptr, "LOCALVIEWPROJ");
    oldLocalViewProj = effect->GetParameterBySemantic(nullptr, "OLDLOCALVIEWPROJ");
    materialDiffuse = effect->GetParameterBySemantic(nullptr, "DIFFUSE");
    materialAmbient = effect->GetParameterBySemantic(nullptr, "AMBIENT");
    materialSpecular = effect->GetParameterBySemantic(nullptr, "SPECULAR");
    materialSpecularPower = effect->GetParameterBySemantic(nullptr, "SPECULARPOW");
    materialTexture = effect->GetParameterBySemantic(nullptr, "MATTEX");

    for (D3DXHANDLE handle : textureHandles)
        effect->SetTexture(handle, textures[handle]);
    loaded = true;
}

std::string DXEffect::AnnotationString(D3DXHANDLE parameter, const char* name) const
{
    D3DXHANDLE annotation = effect->GetAnnotationByName(parameter, name);
    if (!annotation)
        return {};
    LPCSTR value = nullptr;
    if (effect->GetString(annotation, &value) != D3D_OK || !value)
        return {};
    return value;
}

void DXEffect::LoadAnnotatedTextures()
{
    for (int n = 0; n < 32; ++n) {
        const std::string semantic = "TEXTURE" + std::to_string(n);
        D3DXHANDLE handle = effect->GetParameterBySemantic(nullptr, semantic.c_str());
        if (!handle)
            continue;
        // A texture parameter that names no file has nothing to load.
        if (!effect->GetAnnotationByName(handle, "ResourceName"))
            continue;
        const std::string resource = AnnotationString(handle, "ResourceName");
        const std::string path = dataPath + resource;
        std::string type = "2D";
        if (effect->GetAnnotationByName(handle, "Type"))
            type = AnnotationString(handle, "Type");

        IDirect3DBaseTexture9*& slot = textures[handle];
        if (slot) {
            slot->Release(); // a texture left from an earlier load of this handle
            slot = nullptr;
        }
        HRESULT hr = D3D_OK;
        if (type == "2D") {
            std::string filter = "LINEAR";
            if (effect->GetAnnotationByName(handle, "Filter"))
                filter = AnnotationString(handle, "Filter");
            IDirect3DTexture9* texture = nullptr;
            if (filter == "NONE")
                hr = DXFramework::CreateTextureFromFileEx(path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0,
                                                          D3DFMT_FROM_FILE, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                                          D3DX_FILTER_NONE, 0, nullptr, nullptr, &texture);
            else
                hr = DXFramework::CreateTextureFromFileEx(path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 0, 0,
                                                          D3DFMT_FROM_FILE, D3DPOOL_MANAGED, D3DX_FILTER_LINEAR,
                                                          D3DX_FILTER_DITHER_DIFFUSION, 0, nullptr, nullptr, &texture);
            slot = texture;
        } else if (type == "CUBE") {
            IDirect3DCubeTexture9* cube = nullptr;
            hr = DXFramework::CreateCubeTextureFromFile(path.c_str(), &cube);
            slot = cube;
        }
        if (hr != D3D_OK) {
            if (slot) {
                slot->Release();
                slot = nullptr;
            }
            MessageBoxA(nullptr, resource.c_str(), "Couldnt read file", MB_OK);
        }
        textureHandles.push_back(handle);
    }
}

void DXEffect::Unload()
{
    for (D3DXHANDLE handle : textureHandles) {
        auto found = textures.find(handle);
        if (found != textures.end() && found->second) {
            found->second->Release();
            found->second = nullptr;
        }
    }
    textureHandles.clear();
    if (effect) {
        effect->Release();
        effect = nullptr;
    }
    semanticCache.clear();
    local = localView = localViewProj = oldLocalViewProj = nullptr;
    materialTexture = materialDiffuse = materialAmbient = materialSpecular = materialSpecularPower = nullptr;
}

IDirect3DBaseTexture9* DXEffect::GetLoadedTexture(D3DXHANDLE handle) const
{
    auto found = textures.find(handle);
    return found == textures.end() ? nullptr : found->second;
}

std::string DXEffect::LoadedTextureFile(const IDirect3DBaseTexture9* texture) const
{
    if (!texture || !effect)
        return {};
    for (const auto& [handle, loaded] : textures)
        if (loaded == texture)
            return AnnotationString(handle, "ResourceName");
    return {};
}

void DXEffect::SetTechnique(const std::string& name)
{
    techniqueName = name;
    if (!effect)
        return;
    if (effect->SetTechnique(techniqueName.c_str()) != D3D_OK)
        throw FrameworkEx("[DXEffect::SetTechnique] Effect " + filename + ".\n Failed to set technique: \"" +
                          techniqueName + "\"");
}

namespace {

void Require(bool ok, const char* message)
{
    if (!ok)
        throw FrameworkEx(message);
}

} // namespace

void DXEffect::SetFloatAray(D3DXHANDLE handle, const float* values, unsigned count)
{
    Require(effect && effect->SetFloatArray(handle, values, count) == D3D_OK, "[DXEffect::SetFloatAray] failed.\n");
}

void DXEffect::SetVec2(D3DXHANDLE handle, const float* v)
{
    Require(effect && effect->SetFloatArray(handle, v, 2) == D3D_OK, "[DXEffect::SetVec2] failed.\n");
}

void DXEffect::SetVec3(D3DXHANDLE handle, const float* v)
{
    Require(effect && effect->SetFloatArray(handle, v, 3) == D3D_OK, "[DXEffect::SetVec3] failed.\n");
}

void DXEffect::SetVec4(D3DXHANDLE handle, const float* v)
{
    Require(effect && effect->SetFloatArray(handle, v, 4) == D3D_OK, "[DXEffect::SetVec4] failed.\n");
}

void DXEffect::SetFloat(D3DXHANDLE handle, float value)
{
    Require(effect && effect->SetFloat(handle, value) == D3D_OK, "[DXEffect::SetFloat] failed.\n");
}

void DXEffect::SetInt(D3DXHANDLE handle, int value)
{
    Require(effect && effect->SetInt(handle, value) == D3D_OK, "[DXEffect::SetInt] failed.\n");
}

void DXEffect::SetMatrix(D3DXHANDLE handle, const D3DXMATRIX* value)
{
    Require(effect && effect->SetMatrix(handle, value) == D3D_OK, "[DXEffect::SetMatrix] failed.\n");
}

void DXEffect::SetTexture(D3DXHANDLE handle, IDirect3DBaseTexture9* texture)
{
    Require(effect && effect->SetTexture(handle, texture) == D3D_OK, "[DXEffect::SetTexture] failed.\n");
}

void DXEffect::ClearTextureParameters()
{
    if (!effect)
        return;
    D3DXEFFECT_DESC desc{};
    if (effect->GetDesc(&desc) != D3D_OK)
        return;
    for (UINT i = 0; i < desc.Parameters; ++i) {
        D3DXHANDLE parameter = effect->GetParameter(nullptr, i);
        D3DXPARAMETER_DESC parameterDesc{};
        if (!parameter || effect->GetParameterDesc(parameter, &parameterDesc) != D3D_OK)
            continue;
        if (parameterDesc.Type < D3DXPT_TEXTURE || parameterDesc.Type > D3DXPT_TEXTURECUBE)
            continue;
        if (textures.count(parameter) != 0)
            continue; // loaded from the effect's own annotations, in the managed pool
        effect->SetTexture(parameter, nullptr);
    }
}

D3DXHANDLE DXEffect::GetHandleBySemantic(const std::string& semantic)
{
    auto found = semanticCache.find(semantic);
    if (found != semanticCache.end())
        return found->second;
    if (!effect)
        return nullptr; // nothing to ask yet; the answer is not cached
    D3DXHANDLE handle = effect->GetParameterBySemantic(nullptr, semantic.c_str());
    semanticCache[semantic] = handle;
    return handle;
}

void DXEffect::ThrowNoSemantic(const char* operation, const std::string& semantic) const
{
    throw FrameworkEx(std::string("[DXEffect::") + operation + "]: Effect " + filename +
                      ".\nNo parameter found with semantic " + semantic);
}

void DXEffect::SetFloatArrayBySemantic(const std::string& semantic, const float* values, unsigned count)
{
    D3DXHANDLE handle = GetHandleBySemantic(semantic);
    if (!handle)
        ThrowNoSemantic("SetFloatArrayBySemantic", semantic);
    SetFloatAray(handle, values, count);
}

void DXEffect::SetVec2BySemantic(const std::string& semantic, const float* v)
{
    D3DXHANDLE handle = GetHandleBySemantic(semantic);
    if (!handle)
        ThrowNoSemantic("SetVec2BySemantic", semantic);
    SetVec2(handle, v);
}

void DXEffect::SetVec3BySemantic(const std::string& semantic, const float* v)
{
    D3DXHANDLE handle = GetHandleBySemantic(semantic);
    if (!handle)
        ThrowNoSemantic("SetVec3BySemantic", semantic);
    SetVec3(handle, v);
}

void DXEffect::SetVec4BySemantic(const std::string& semantic, const float* v)
{
    D3DXHANDLE handle = GetHandleBySemantic(semantic);
    if (!handle)
        ThrowNoSemantic("SetVec4BySemantic", semantic);
    SetVec4(handle, v);
}

void DXEffect::SetFloatBySemantic(const std::string& semantic, float value)
{
    D3DXHANDLE handle = GetHandleBySemantic(semantic);
    if (!handle)
        ThrowNoSemantic("SetFloatBySemantic", semantic);
    SetFloat(handle, value);
}

void DXEffect::SetIntBySemantic(const std::string& semantic, int value)
{
    D3DXHANDLE handle = GetHandleBySemantic(semantic);
    if (!handle)
        ThrowNoSemantic("SetIntBySemantic", semantic);
    SetInt(handle, value);
}

void DXEffect::SetMatrixBySemantic(const std::string& semantic, const D3DXMATRIX* value)
{
    D3DXHANDLE handle = GetHandleBySemantic(semantic);
    if (!handle)
        ThrowNoSemantic("SetMatrixBySemantic", semantic);
    SetMatrix(handle, value);
}

void DXEffect::SetTextureBySemantic(const std::string& semantic, IDirect3DBaseTexture9* texture)
{
    D3DXHANDLE handle = GetHandleBySemantic(semantic);
    if (!handle)
        ThrowNoSemantic("SetTextureBySemantic", semantic);
    SetTexture(handle, texture);
}

void DXEffect::SetObjectMatrices(const D3DXMATRIX* world, const D3DXMATRIX* oldWorld)
{
    if (!effect)
        return;
    if (local)
        effect->SetMatrix(local, world);
    if (!localView && !localViewProj && !oldLocalViewProj)
        return;
    Scene* scene = SceneHandler::GetCurrent();
    CamHandler* cameras = scene ? scene->GetCamHandler() : nullptr;
    if (!cameras)
        return; // no camera to place the object with
    D3DXMATRIX product;
    if (localView) {
        D3DXMatrixMultiply(&product, world, &cameras->GetView());
        effect->SetMatrix(localView, &product);
    }
    if (localViewProj) {
        D3DXMatrixMultiply(&product, world, &cameras->GetViewProj());
        effect->SetMatrix(localViewProj, &product);
    }
    if (oldLocalViewProj) {
        D3DXMatrixMultiply(&product, oldWorld, &cameras->GetOldViewProj());
        effect->SetMatrix(oldLocalViewProj, &product);
    }
}

void DXEffect::RenderObject(BASERENDEROBJECT* object)
{
    SetObjectMatrices(&object->world, &object->oldWorld);
    if (!effect)
        return;
    UINT passes = 0;
    effect->Begin(&passes, 0);
    for (UINT i = 0; i < passes; ++i) {
        effect->BeginPass(i);
        object->Draw();
        effect->EndPass();
    }
    effect->End();
}

void DXEffect::SetMaterialTexture(IDirect3DBaseTexture9* texture)
{
    if (effect && materialTexture)
        effect->SetTexture(materialTexture, texture);
}

void DXEffect::SetMaterialDiffuse(const D3DXVECTOR4* colour)
{
    if (effect && materialDiffuse)
        effect->SetVector(materialDiffuse, colour);
}

void DXEffect::SetMaterialAmbient(const D3DXVECTOR4* colour)
{
    if (effect && materialAmbient)
        effect->SetVector(materialAmbient, colour);
}

void DXEffect::SetMaterialSpecular(const D3DXVECTOR4* colour)
{
    if (effect && materialSpecular)
        effect->SetVector(materialSpecular, colour);
}

void DXEffect::SetMaterialSpecularPower(float power)
{
    if (effect && materialSpecularPower)
        effect->SetFloat(materialSpecularPower, power);
}

void DXEffect::CommitChanges()
{
    if (effect)
        effect->CommitChanges();
}
