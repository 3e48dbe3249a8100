#pragma once
#include <map>
#include <string>
#include <vector>

#include "DXEffect/EffectSemantics.h"
#include "d3dx9/d3dx9effect.h"

class BASERENDEROBJECT;

// One effect of the demo: loads the precompiled effect from the archive, loads the textures its
// TEXTURE0..31 parameters name in annotations, binds the per-object and per-material parameters
// by semantic and draws render objects through every pass of the current technique.
class DXEffect : public EffectSemantics {
public:
    DXEffect();
    ~DXEffect() override;
    DXEffect(const DXEffect&) = delete;
    DXEffect& operator=(const DXEffect&) = delete;

    // Loads "OShaders\\" + filename + "o" in the pool; FrameworkEx when it cannot.
    void LoadEffect(const std::string& filename, ID3DXEffectPool* pool);
    // Releases the effect and the textures it loaded; a new LoadEffect may follow.
    void Unload();
    ID3DXEffect* GetD3DXEffect() const { return effect; }
    bool IsLoaded() const { return loaded; }
    const std::string& GetFilename() const { return filename; }
    const std::string& GetTechniqueName() const { return techniqueName; }

    // Remembers the name and, once loaded, selects the technique (FrameworkEx when it lacks it).
    void SetTechnique(const std::string& name);

    // Setters by handle; a failing call throws FrameworkEx "[DXEffect::<name>] failed.\n".
    void SetFloatAray(D3DXHANDLE handle, const float* values, unsigned count);
    void SetVec2(D3DXHANDLE handle, const float* v);
    void SetVec3(D3DXHANDLE handle, const float* v);
    void SetVec4(D3DXHANDLE handle, const float* v);
    void SetFloat(D3DXHANDLE handle, float value);
    void SetInt(D3DXHANDLE handle, int value);
    void SetMatrix(D3DXHANDLE handle, const D3DXMATRIX* value);
    void SetTexture(D3DXHANDLE handle, IDirect3DBaseTexture9* texture);

    // Setters by semantic; a semantic the effect lacks throws FrameworkEx.
    void SetFloatArrayBySemantic(const std::string& semantic, const float* values, unsigned count);
    void SetVec2BySemantic(const std::string& semantic, const float* v) override;
    void SetVec3BySemantic(const std::string& semantic, const float* v) override;
    void SetVec4BySemantic(const std::string& semantic, const float* v);
    void SetFloatBySemantic(const std::string& semantic, float value) override;
    void SetIntBySemantic(const std::string& semantic, int value);
    void SetMatrixBySemantic(const std::string& semantic, const D3DXMATRIX* value) override;
    void SetTextureBySemantic(const std::string& semantic, IDirect3DBaseTexture9* texture);

    // Sets every texture parameter to null but the textures the effect loaded itself, so that no
    // render target given to a pass stays referenced (a device cannot be reset while one is).
    void ClearTextureParameters();

    // The parameter with that semantic, null when there is none; results are cached until Unload.
    D3DXHANDLE GetHandleBySemantic(const std::string& semantic);

    // LOCAL, and LOCALVIEW / LOCALVIEWPROJ / OLDLOCALVIEWPROJ with the current scene's camera
    // where the effect has them.
    void SetObjectMatrices(const D3DXMATRIX* world, const D3DXMATRIX* oldWorld);
    // The object's matrices, then Draw inside every pass of the current technique.
    void RenderObject(BASERENDEROBJECT* object);

    // Material parameters, set only where the effect has them.
    void SetMaterialTexture(IDirect3DBaseTexture9* texture);
    void SetMaterialDiffuse(const D3DXVECTOR4* colour);
    void SetMaterialAmbient(const D3DXVECTOR4* colour);
    void SetMaterialSpecular(const D3DXVECTOR4* colour);
    void SetMaterialSpecularPower(float power);
    void CommitChanges();

    const std::vector<D3DXHANDLE>& GetTextureHandles() const { return textureHandles; }
    IDirect3DBaseTexture9* GetLoadedTexture(D3DXHANDLE handle) const;
    // The file a texture the effect loaded itself came from ("noise.png"); empty for any other.
    std::string LoadedTextureFile(const IDirect3DBaseTexture9* texture) const;

private:
    void LoadAnnotatedTextures();
    std::string AnnotationString(D3DXHANDLE parameter, const char* name) const;
    [[noreturn]] void ThrowNoSemantic(const char* operation, const std::string& semantic) const;

    std::string filename;
    bool loaded = false;
    std::vector<D3DXHANDLE> textureHandles;
    std::map<D3DXHANDLE, IDirect3DBaseTexture9*> textures;
    std::string dataPath = "Data\\";
    std::string techniqueName = "Default";
    std::map<std::string, D3DXHANDLE> semanticCache;
    D3DXHANDLE materialTexture = nullptr;
    D3DXHANDLE materialDiffuse = nullptr;
    D3DXHANDLE materialAmbient = nullptr;
    D3DXHANDLE materialSpecular = nullptr;
    D3DXHANDLE materialSpecularPower = nullptr;
    D3DXHANDLE local = nullptr;
    D3DXHANDLE localView = nullptr;
    D3DXHANDLE localViewProj = nullptr;
    D3DXHANDLE oldLocalViewProj = nullptr;
    ID3DXEffectPool* pool = nullptr;
    ID3DXEffect* effect = nullptr;
};
