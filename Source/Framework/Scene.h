#pragma once
#include <map>
#include <memory>
#include <string>

#include "d3d9/d3d9.h"

class CamHandler;
class LightHandler;
class TransformHandler;
struct RENDERTEXTURE;
struct RENDERCUBETEXTURE;

// The base of the demo's scenes: the operations through which the scene handler and the
// framework drive a scene, its cameras, lights and transforms read from its description
// file, and the per-frame step that publishes the camera and time to every effect.
class Scene {
public:
    explicit Scene(std::string name);
    virtual ~Scene();
    Scene(const Scene&) = delete;
    Scene& operator=(const Scene&) = delete;

    // Drawn between BeginScene and EndScene while the scene is current.
    virtual void Render() {}
    // Every drawn frame while current, right after UpdateSemantics.
    virtual void Update() {}
    // Takes the scene's render targets when it becomes current.
    virtual void AcquireTargets() {}
    // Gives them back when it stops being current.
    virtual void ReleaseTargets() {}
    // Loads the scene's data, meshes and effects (start-up, and after a device reset).
    virtual void CreateResources() {}
    // Frees what CreateResources made.
    virtual void ReleaseResources() {}
    // Sets scene-wide effect constants when the scene becomes current.
    virtual void SetConstants() {}

    // Reads the scene description "Data\\" + fileName and rebuilds the cameras, lights and
    // transforms from it.
    void LoadSceneData(std::string fileName);
    // Takes a render texture / cube texture of that description from the pools and keeps its
    // handle under `name` (replacing, without giving back, a handle already kept there).
    void RequestTexture(const std::string& name, int width, int height, D3DFORMAT format);
    void RequestCubeTexture(const std::string& name, int edgeLength, D3DFORMAT format);
    // The pool record kept under `name`; FrameworkEx when the name was never requested.
    RENDERTEXTURE* GetTexture(const std::string& name);
    RENDERCUBETEXTURE* GetCubeTexture(const std::string& name);
    // Gives every kept handle back to its pool; the names stay for the next AcquireTargets.
    void UnrequestTargets();

    // Publishes the active camera and the animation time to every effect through the
    // "Global" effect, and advances the cameras, lights and transforms.
    void UpdateSemantics();

    const std::string& GetName() const { return name; }
    CamHandler* GetCamHandler() const { return camHandler.get(); }
    LightHandler* GetLightHandler() const { return lightHandler.get(); }
    TransformHandler* GetTransformHandler() const { return transformHandler.get(); }

protected:
    std::string name;
    std::unique_ptr<CamHandler> camHandler;
    std::unique_ptr<LightHandler> lightHandler;
    std::unique_ptr<TransformHandler> transformHandler;
    std::map<std::string, DWORD> textures;
    std::map<std::string, DWORD> cubeTextures;
};
