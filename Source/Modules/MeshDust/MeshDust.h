#pragma once
#include <string>
#include <vector>

#include "DXModule.h"
#include "d3d9/d3d9.h"

class DXMesh;
class Transform;

// Point sprites that start on the surface of a mesh, are launched and fall under a pull into a
// target box; every particle's motion is the vertex shader's (the morph effect's point
// technique). The morph scene creates, registers and drives it. The caller makes the effect
// active and selects its technique before Draw.
class MeshDust : public DXModule {
public:
    struct TRANS {
        Transform* transform;
        float pull;
    };

    explicit MeshDust(const std::string& name);
    ~MeshDust() override;

    void ReleaseResources() override;
    void Update() override;

    void AddTarget(Transform* transform, float pull);
    // One particle on every pi * radius^2 of the mesh's surface, shuffled, with a place in every
    // target box.
    void Init(DXMesh* mesh, float radius);
    void SelectTarget(float value);
    // The first trunc(count * fraction) particles of the shuffled order, as points of pointSize.
    void Draw(float fraction, float pointSize);
    // The module interface's Draw stays the base's (it throws): mesh dust is drawn with a fraction.
    using DXModule::Draw;

    unsigned GetCount() const { return count; }
    const std::vector<TRANS>& GetTargets() const { return targets; }

private:
    // Releases the particle buffers (not the declaration) and forgets the particles.
    void ReleaseBuffers();

    IDirect3DVertexBuffer9** vertexBuffers = nullptr;
    // Entries of vertexBuffers: the targets at Init plus the start buffer; 0 while there is none.
    unsigned bufferCount = 0;
    IDirect3DVertexBuffer9* colourBuffer = nullptr;
    IDirect3DVertexDeclaration9* vertexDecl = nullptr;
    unsigned count = 0;
    unsigned activeTarget = 0;
    std::vector<TRANS> targets;
};
