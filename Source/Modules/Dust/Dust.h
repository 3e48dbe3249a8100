#pragma once
#include <string>

#include "DXModule.h"
#include "d3d9/d3d9.h"

class Transform;

// A cloud of small triangles filling a box: the CPU writes each particle's place in the unit cube
// once, and the vertex shader of the caller's effect ("dust" of "Dust.fx") drifts, wraps and
// expands them inside the box transform the scene sets. The caller makes the effect active and
// selects its technique before Draw.
class Dust : public DXModule {
public:
    explicit Dust(const std::string& name);
    ~Dust() override;

    void CreateResources() override;
    void ReleaseResources() override;
    void Update() override;
    void Draw() override;

    void SetBox(Transform* transform) { box = transform; }
    Transform* GetBox() const { return box; }
    unsigned GetCount() const { return count; }

private:
    IDirect3DVertexBuffer9* vertexBuffer = nullptr;
    IDirect3DVertexDeclaration9* vertexDecl = nullptr;
    unsigned count = 10000;
    Transform* box = nullptr;
};
