#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// The plain content of a DirectX .x file as the D3DX mesh loader needs it. Matrices are D3DX row-vector
// matrices stored row by row (m[row * 4 + column]); a point p maps to p × transform.

struct XFileMaterial {
    std::array<float, 4> faceColor{};  // red, green, blue, alpha
    float power = 0.0f;
    std::array<float, 3> specular{};
    std::array<float, 3> emissive{};
    std::string textureFilename;  // empty when the material names no texture
};

struct XFileVertexColor {
    std::uint32_t index = 0;  // vertex index
    std::array<float, 4> rgba{};
};

struct XFileMesh {
    std::string name;
    std::array<float, 16> transform{};  // accumulated frame transform: local × parent × … × root

    std::vector<std::array<float, 3>> positions;
    std::vector<std::vector<std::uint32_t>> faces;  // polygons, 3 or more vertex indices each

    std::vector<std::array<float, 3>> normals;
    std::vector<std::vector<std::uint32_t>> normalFaces;  // same shape as faces, indices into normals

    std::vector<std::array<float, 2>> texCoords;  // one per vertex when present
    std::vector<XFileVertexColor> vertexColors;

    std::vector<XFileMaterial> materials;
    std::vector<std::uint32_t> faceMaterials;  // one material index per face when materials are present

    // Number of triangles once every polygon is split into a fan.
    std::size_t TriangleCount() const
    {
        std::size_t count = 0;
        for (const auto& face : faces)
            count += face.size() - 2;
        return count;
    }
};

struct XFileModel {
    std::vector<XFileMesh> meshes;  // every mesh of the file, top level and inside frames, in file order
};
