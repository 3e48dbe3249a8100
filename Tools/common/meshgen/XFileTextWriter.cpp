#include "common/meshgen/XFileTextWriter.h"

#include <cmath>
#include <cstdio>
#include <stdexcept>

namespace meshgen {

namespace {

// Six decimals; -0 is written as 0 so that a mirrored zero cannot change the bytes.
void Number(std::string& out, double value)
{
    if (!std::isfinite(value))
        throw std::logic_error("mesh holds a number that is not finite");
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", value);
    if (std::string(text) == "-0.000000")
        out += "0.000000";
    else
        out += text;
}

void Vector(std::string& out, const Vec3& v)
{
    Number(out, v.x);
    out += ';';
    Number(out, v.y);
    out += ';';
    Number(out, v.z);
    out += ';';
}

// "3;a,b,c;" for every triangle, separated by ',' and closed by ';'.
void Faces(std::string& out, const MeshBuilder& mesh, const char* indent)
{
    const auto& triangles = mesh.Triangles();
    out += indent + std::to_string(triangles.size()) + ";\n";
    for (std::size_t i = 0; i < triangles.size(); ++i) {
        const auto& t = triangles[i];
        out += indent + std::string("3;") + std::to_string(t[0]) + ',' + std::to_string(t[1]) + ',' +
               std::to_string(t[2]) + ';' + (i + 1 < triangles.size() ? ",\n" : ";\n");
    }
}

// One Material: diffuse rgba; power; specular rgb; emissive rgb; the texture when it has one.
void Material(std::string& out, const MeshMaterial& m)
{
    out += "   Material {\n    ";
    for (double c : m.diffuse) {
        Number(out, c);
        out += ';';
    }
    out += ";\n    ";
    Number(out, m.power);
    out += ";\n    ";
    for (double c : m.specular) {
        Number(out, c);
        out += ';';
    }
    out += ";\n    ";
    for (double c : m.emissive) {
        Number(out, c);
        out += ';';
    }
    out += ";\n";
    if (!m.texture.empty())
        out += "\n    TextureFilename {\n     \"" + m.texture + "\";\n    }\n";
    out += "   }\n";
}

} // namespace

bool IsValidXName(const std::string& name)
{
    if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
        return false;
    for (char c : name)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_'))
            return false;
    return true;
}

std::string MakeXName(const std::string& text)
{
    std::string name;
    for (char c : text)
        name += ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) ? c : '_';
    if (name.empty() || (name[0] >= '0' && name[0] <= '9'))
        name.insert(name.begin(), '_');
    return name;
}

bool IsValidXString(const std::string& text)
{
    for (unsigned char c : text)
        if (c < 0x20 || c == 0x7F || c == '"')
            return false;
    return true;
}

std::string WriteXFileText(const MeshBuilder& mesh, const std::string& name)
{
    if (!IsValidXName(name))
        throw std::logic_error("\"" + name + "\" is not a valid .x name");
    for (std::size_t i = 0; i < mesh.MaterialCount(); ++i)
        if (!IsValidXString(mesh.MaterialAt(i).texture))
            throw std::logic_error("texture name \"" + mesh.MaterialAt(i).texture +
                                   "\" cannot be written into a .x file");
    const auto& vertices = mesh.Vertices();
    if (vertices.empty() || mesh.Triangles().empty())
        throw std::logic_error("mesh \"" + name + "\" is empty");

    std::string out = "xof 0303txt 0032\n\n";
    out += "Frame " + name + " {\n";
    out += " FrameTransformMatrix {\n";
    out += "  1.000000,0.000000,0.000000,0.000000,\n"
           "  0.000000,1.000000,0.000000,0.000000,\n"
           "  0.000000,0.000000,1.000000,0.000000,\n"
           "  0.000000,0.000000,0.000000,1.000000;;\n";
    out += " }\n\n";
    out += " Mesh " + name + "Mesh {\n";
    out += "  " + std::to_string(vertices.size()) + ";\n";
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        out += "  ";
        Vector(out, vertices[i].position);
        out += i + 1 < vertices.size() ? ",\n" : ";\n";
    }
    Faces(out, mesh, "  ");

    out += "\n  MeshNormals {\n";
    out += "   " + std::to_string(vertices.size()) + ";\n";
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        out += "   ";
        Vector(out, vertices[i].normal);
        out += i + 1 < vertices.size() ? ",\n" : ";\n";
    }
    Faces(out, mesh, "   ");
    out += "  }\n";

    out += "\n  MeshTextureCoords {\n";
    out += "   " + std::to_string(vertices.size()) + ";\n";
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        out += "   ";
        Number(out, vertices[i].uv.x);
        out += ';';
        Number(out, vertices[i].uv.y);
        out += i + 1 < vertices.size() ? ";,\n" : ";;\n";
    }
    out += "  }\n";

    // Every material in index order, and each face's index into them.
    const auto& faceMaterials = mesh.TriangleMaterials();
    out += "\n  MeshMaterialList {\n";
    out += "   " + std::to_string(mesh.MaterialCount()) + ";\n";
    out += "   " + std::to_string(faceMaterials.size()) + ";\n";
    for (std::size_t i = 0; i < faceMaterials.size(); ++i)
        out += "   " + std::to_string(faceMaterials[i]) + (i + 1 < faceMaterials.size() ? ",\n" : ";\n");
    for (std::size_t i = 0; i < mesh.MaterialCount(); ++i) {
        out += '\n';
        Material(out, mesh.MaterialAt(i));
    }
    out += "  }\n";
    out += " }\n";
    out += "}\n";
    return out;
}

} // namespace meshgen
