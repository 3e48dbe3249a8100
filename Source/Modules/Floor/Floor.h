#pragma once
#include <string>
#include <vector>

#include "DXModule.h"

class DXMesh;

// The shared floor ("floorShape.x"), drawn by the scenes in their shadow and geometry passes with
// whatever effect and technique they made active.
class Floor : public DXModule {
public:
    explicit Floor(const std::string& name);
    ~Floor() override;

    void CreateResources() override;
    void ReleaseResources() override;
    void Update() override;
    void Draw() override;

    const std::vector<DXMesh*>& GetMeshes() const { return meshes; }

private:
    std::vector<DXMesh*> meshes;
};
