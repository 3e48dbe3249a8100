#include "SceneCurves.h"

#include <tinyxml.h>

#include <cstdio>
#include <stdexcept>

namespace {

struct Vector3 {
    float x = 0.0f, y = 0.0f, z = 0.0f;
};

// A "%f %f %f" attribute; the default when it is missing or not three numbers, as the demo
// reads it.
Vector3 ReadVector3(const TiXmlElement& element, const char* attribute, const Vector3& fallback)
{
    const char* text = element.Attribute(attribute);
    Vector3 value;
    if (text && std::sscanf(text, "%f %f %f", &value.x, &value.y, &value.z) == 3)
        return value;
    return fallback;
}

void AddChannels(std::vector<SceneCurve>& curves, const std::string& name, const char* channel, const Vector3& value,
                 const std::string& owner)
{
    const float axes[3] = {value.x, value.y, value.z};
    const char* letters[3] = {"X", "Y", "Z"};
    for (int i = 0; i < 3; ++i)
        curves.push_back({name + "." + channel + letters[i], false, axes[i], owner});
}

void AddTransform(std::vector<SceneCurve>& curves, const std::string& name, const Vector3& translation,
                  const Vector3& rotation, const Vector3& scale, const std::string& owner)
{
    AddChannels(curves, name, "translate", translation, owner);
    AddChannels(curves, name, "rotate", rotation, owner);
    AddChannels(curves, name, "scale", scale, owner);
    curves.push_back({name + ".visibility", true, 1.0f, owner});
}

// Every element from the first "camera" on is a camera, whatever its element name; its name is
// its last "name" attribute, empty without one.
void ReadCameras(const TiXmlElement& cameras, std::vector<SceneCurve>& curves)
{
    for (const TiXmlElement* element = cameras.FirstChildElement("camera"); element;
         element = element->NextSiblingElement()) {
        std::string cameraName;
        for (const TiXmlAttribute* attribute = element->FirstAttribute(); attribute; attribute = attribute->Next())
            if (std::string(attribute->Name()) == "name")
                cameraName = attribute->Value();
        const std::vector<SceneCurve> camera = CameraCurves(cameraName);
        curves.insert(curves.end(), camera.begin(), camera.end());
    }
}

void ReadTransforms(const TiXmlElement& transforms, std::vector<SceneCurve>& curves)
{
    const Vector3 zero;
    for (const TiXmlElement* element = transforms.FirstChildElement("trans"); element;
         element = element->NextSiblingElement("trans")) {
        const char* transformName = element->Attribute("name");
        if (!transformName)
            continue;
        AddTransform(curves, transformName, ReadVector3(*element, "translation", zero),
                     ReadVector3(*element, "rotation", zero), ReadVector3(*element, "scale", zero),
                     "transform \"" + std::string(transformName) + "\"");
    }
}

// A light's transform: the light's translation, a spot light's rotation (a point light has
// none), scale 1.
void ReadLights(const TiXmlElement& lights, std::vector<SceneCurve>& curves)
{
    const Vector3 zero, one{1.0f, 1.0f, 1.0f};
    for (const TiXmlElement* element = lights.FirstChildElement(); element; element = element->NextSiblingElement()) {
        const std::string kind = element->Value();
        const bool spot = kind == "spot";
        if (!spot && kind != "point")
            continue;
        const char* lightName = element->Attribute("name");
        if (!lightName)
            continue;
        AddTransform(curves, lightName, ReadVector3(*element, "translation", zero),
                     spot ? ReadVector3(*element, "rotation", zero) : zero, one,
                     kind + " light \"" + lightName + "\"");
    }
}

} // namespace

std::vector<SceneCurve> SceneDescriptionCurves(const std::string& text, const std::string& sourceName)
{
    TiXmlDocument document("scenenodes.xml");
    document.Parse(text.c_str());
    if (document.Error())
        throw std::runtime_error(sourceName + ":" + std::to_string(document.ErrorRow()) + ": " +
                                 document.ErrorDesc() + " (the demo cannot load this description)");

    std::vector<SceneCurve> curves;
    const TiXmlElement* scene = document.FirstChildElement("scene");
    if (!scene)
        return curves;
    if (const TiXmlElement* cameras = scene->FirstChildElement("cameras"))
        ReadCameras(*cameras, curves);
    if (const TiXmlElement* transforms = scene->FirstChildElement("transforms"))
        ReadTransforms(*transforms, curves);
    if (const TiXmlElement* lights = scene->FirstChildElement("lights"))
        ReadLights(*lights, curves);
    return curves;
}

std::vector<SceneCurve> CameraCurves(const std::string& cameraName)
{
    std::vector<SceneCurve> curves;
    const std::string owner = "camera \"" + cameraName + "\"";
    AddChannels(curves, cameraName, "translate", Vector3{}, owner);
    AddChannels(curves, cameraName, "rotate", Vector3{}, owner);
    for (SceneCurve& curve : curves)
        curve.camera = true;
    return curves;
}
