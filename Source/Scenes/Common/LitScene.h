#pragma once
#include <string>
#include <vector>

#include "d3d9/d3d9.h"
#include "d3dx9/d3dx9math.h"

class DXMesh;
class DeferredLighting;
class Dust;
class LightHandler;
class PostEffects;
class Quads;
class Scene;
class Transform;
struct RENDERTEXTURE;

// The steps every lit scene's render chain shares: light clusters, shadow maps, the G-buffer
// reset and geometry pass, the targets of the chain and the cube-map light pass.
namespace LitScene {

// `count` directions in the lower half of the unit ball, spread apart by 1000 relaxation steps
// (pairwise pushes 0.1 / (800 r^3 + 0.03)), each step ending with y made non-positive and the
// vectors normalised. Candidates are drawn with RandomRange, z first, then y, then x.
std::vector<D3DXVECTOR3> ClusterDirections(int count);

// Puts the spot lights prefix + 1 ... prefix + n on the cluster: light i at M x directions[i - 1],
// shining away from M x centre.
void PlaceCluster(LightHandler& lights, const D3DXMATRIX& cluster, const D3DXVECTOR3& centre,
                  const std::vector<D3DXVECTOR3>& directions, const std::string& prefix = "lightSpot");

// The spot light's name with its number: "lightSpot" + 3 is "lightSpot3".
std::string Numbered(const std::string& prefix, int number);

// A mesh of the archive ("Data\\" + file) on a transform (which may be null); the loader's error
// when it cannot be read, with nothing left behind.
DXMesh* LoadMesh(Transform* transform, const std::string& file);

// The lit scenes' focus range on "Global": FOCUS_MAXZ = (4, 20).
void SetDefaultFocus();

// Clears the bound targets: colour 0, depth 1, stencil 0.
void Clear(DWORD flags);

// Shadow maps of the spot lights prefix + 1 ... prefix + count: each into "Shadow" + i with
// "DefLight"/"DepthToR", then blurred twice through "Shadow_temp".
void RenderShadowMaps(Scene& scene, PostEffects& postFX, const std::vector<DXMesh*>& meshes, int count,
                      const std::string& prefix = "lightSpot");

// The normal/depth target back to "nothing here": depth cleared, then filled with (0, 0, -1, 1).
void ResetNormalDepth(PostEffects& postFX, RENDERTEXTURE* normalDepth);

// Meshes drawn with one technique of "mikkmakk" in a geometry pass.
struct GeometryGroup {
    std::string technique;
    std::vector<DXMesh*> meshes;
};

// Colour and normal/depth of the meshes at once with "mikkmakk": the targets are cleared, then
// each group is drawn with its technique.
void GeometryPass(RENDERTEXTURE* colour, RENDERTEXTURE* normalDepth, const std::vector<GeometryGroup>& groups);
void GeometryPass(RENDERTEXTURE* colour, RENDERTEXTURE* normalDepth, const std::vector<DXMesh*>& meshes,
                  const std::string& technique = "clean");

// The G-buffer of the frame: "NormalDepth" reset, then the meshes into "Color" and "NormalDepth".
void FillGBuffer(Scene& scene, PostEffects& postFX, const std::vector<DXMesh*>& meshes);
void FillGBuffer(Scene& scene, PostEffects& postFX, const std::vector<GeometryGroup>& groups);

// The direct light of the frame into "Light" (bound here): it starts as the albedo times `ambient`
// (black: cleared), then the point lights pointPrefix + 1 ... pointPrefix + points (drawn with
// "Shadow1", which they do not read), then the spot lights spotPrefix + 1 ... with their shadow
// maps "Shadow" + i are added.
void DrawDirectLight(Scene& scene, DeferredLighting& lighting, const std::string& pointPrefix, int points, int spots,
                     const std::string& spotPrefix = "lightSpot", const D3DXCOLOR& ambient = D3DXCOLOR(0, 0, 0, 0));

// Requests the chain's targets in their order, with `shadows` shadow maps; the cube-map scenes'
// list. S is 256, or 128 with "Low VRAM"; W x H the render size.
void RequestCubeMapSceneTargets(Scene& scene, int shadows);

// The targets of the scenes with depth of field and without the cube map: "Shadow" + 1 ... shadows,
// "Shadow_temp", "Blur1", "Blur2", "Depth", "Diffuse", "Color", "NormalDepth", "Light", "Light2",
// "Light3", in that order.
void RequestDepthOfFieldSceneTargets(Scene& scene, int shadows);

// Depth of field of "Light" into "Color": FOCUS_MAXZ = focus on "Global", the depth in units into
// "Depth", then two rounds of the depth-driven blur through "Blur1" and "Blur2".
void DepthOfField(Scene& scene, PostEffects& postFX, const D3DXVECTOR2& focus);

// The dust in `box`, glowing in `colour` (DUSTCOLOUR; by default the show's amber of "Dust.fx"),
// over the finished light in "Color": the target bound again with the depth buffer the geometry
// pass left, so the motes glow in front of what lies behind them and hide behind the meshes; drawn
// with "dust"/"dust". The dust module and its effect serve every dusty scene, so the box and the
// colour are given again for each draw.
void DrawDust(Scene& scene, Dust& dust, Transform* box,
              const D3DXVECTOR3& colour = D3DXVECTOR3(0.55f, 0.45f, 0.34f));

// Binds each face of the cube texture and clears it to black (target and depth).
void ClearCubeTexture(Scene& scene, const std::string& name);

// A full-screen quad (corners (-1, 1), (1, 1), (1, -1), (-1, -1)); a failed lock is reported with
// `sourcePath` as the place.
Quads* CreateScreenQuad(const char* sourcePath);

// The indirect light of the screen through the probe's cube map at `probe`, drawn into "Light3",
// which the caller has bound and cleared. The cube map "IndirectLight" is read as last frame left
// it, then rewritten face by face.
void CubeMapLightPass(Scene& scene, const D3DXVECTOR3& probe, const std::vector<DXMesh*>& meshes,
                      Quads& screenQuad, int spotLights, const std::string& prefix = "lightSpot");

} // namespace LitScene
