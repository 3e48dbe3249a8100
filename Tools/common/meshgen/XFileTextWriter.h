#pragma once
#include <string>

#include "common/meshgen/MeshBuilder.h"

namespace meshgen {

// Writes a mesh as a text DirectX .x file ("xof 0303txt 0032"): one Frame with an identity
// FrameTransformMatrix holding one Mesh with MeshNormals, MeshTextureCoords and a
// MeshMaterialList of the mesh's materials in index order (each with its TextureFilename when it
// names a texture) and every face's material index. The standard templates are not declared;
// loaders know them. Numbers have six decimals, so the same mesh always gives the same bytes.
// `name` must be a valid .x name (see IsValidXName): the frame takes it and the mesh takes it
// followed by "Mesh".
std::string WriteXFileText(const MeshBuilder& mesh, const std::string& name);

// Letters, digits and '_', not starting with a digit: a name every .x reader accepts.
bool IsValidXName(const std::string& name);

// A valid .x name made from any text (a file's stem): other characters become '_'.
std::string MakeXName(const std::string& text);

// True when the text can stand between the quotes of a .x string: printable characters and no '"'.
bool IsValidXString(const std::string& text);

} // namespace meshgen
