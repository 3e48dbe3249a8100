#include "Scene.h"

#include "RenderTargetResources/RTCubeHandler/RTCubeHandler.h"
#include "RenderTargetResources/RTHandler/RTHandler.h"

#include <tinyxml.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "CamHandler.h"
#include "DXEffect/EffectSemantics.h"
#include "DXFramework.h"
#include "FileSys.h"
#include "FrameworkEx.h"
#include "LightHandler.h"
#include "PointLight.h"
#include "SpotLight.h"
#include "Timer.h"
#include "TransformHandler.h"

namespace {

// A "%f %f %f" attribute; the default when it is missing or not three numbers.
D3DXVECTOR3 ReadVector3(const TiXmlElement& element, const char* attribute, const D3DXVECTOR3& fallback)
{
    const char* text = element.Attribute(attribute);
    D3DXVECTOR3 value;
    if (text && std::sscanf(text, "%f %f %f", &value.x, &value.y, &value.z) == 3)
        return value;
    return fallback;
}

D3DXCOLOR ReadColor(const TiXmlElement& element)
{
    const char* text = element.Attribute("color");
    float r, g, b, a;
    if (text && std::sscanf(text, "%f %f %f %f", &r, &g, &b, &a) == 4)
        return D3DXCOLOR(r, g, b, a);
    return D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
}

double ReadNumber(const TiXmlElement& element, const char* attribute, double fallback)
{
    double value = fallback;
    if (element.QueryDoubleAttribute(attribute, &value) != TIXML_SUCCESS)
        return fallback;
    return value;
}

// Every element from the first "camera" on is read as a camera. A camera that leaves out
// a number keeps the default a new camera has.
void ReadCameras(const TiXmlElement& cameras, CamHandler& handler)
{
    for (const TiXmlElement* element = cameras.FirstChildElement("camera"); element;
         element = element->NextSiblingElement()) {
        std::string cameraName;
        CAMERAPARAMS params{D3DX_PI / 4.0f, 0.1f, 100.0f, 0.0f, 0.0f, 16.0f / 9.0f};
        for (const TiXmlAttribute* attribute = element->FirstAttribute(); attribute; attribute = attribute->Next()) {
            const std::string attributeName = attribute->Name();
            if (attributeName == "name") {
                cameraName = attribute->Value();
                continue;
            }
            double number;
            if (attribute->QueryDoubleValue(&number) != TIXML_SUCCESS)
                continue;
            const float value = static_cast<float>(number);
            if (attributeName == "nearz")
                params.nearz = value;
            else if (attributeName == "farz")
                params.farz = value;
            else if (attributeName == "nearfocus")
                params.nearfocus = value;
            else if (attributeName == "farfocus")
                params.farfocus = value;
            else if (attributeName == "vFOV")
                params.vFOV = value;
            else if (attributeName == "aspect")
                params.aspect = value;
        }
        auto camera = std::make_unique<Camera>(cameraName);
        camera->SetParams(params);
        handler.AddCamera(camera.release());
    }
}

void ReadTransforms(const TiXmlElement& transforms, TransformHandler& handler)
{
    const D3DXVECTOR3 zero(0.0f, 0.0f, 0.0f);
    for (const TiXmlElement* element = transforms.FirstChildElement("trans"); element;
         element = element->NextSiblingElement("trans")) {
        const char* transformName = element->Attribute("name");
        if (!transformName)
            continue;
        handler.Add(new Transform(transformName, ReadVector3(*element, "translation", zero),
                                  ReadVector3(*element, "rotation", zero), ReadVector3(*element, "scale", zero)));
    }
}

// Each light rides on a transform of its own name, which places and animates it.
void ReadLights(const TiXmlElement& lights, TransformHandler& transforms, LightHandler& handler)
{
    const D3DXVECTOR3 zero(0.0f, 0.0f, 0.0f), one(1.0f, 1.0f, 1.0f);
    for (const TiXmlElement* element = lights.FirstChildElement(); element; element = element->NextSiblingElement()) {
        const std::string kind = element->Value();
        const bool spot = kind == "spot";
        if (!spot && kind != "point")
            continue;
        const char* lightName = element->Attribute("name");
        if (!lightName)
            continue;
        const D3DXCOLOR color = ReadColor(*element);
        const D3DXVECTOR3 translation = ReadVector3(*element, "translation", zero);
        const D3DXVECTOR3 rotation = spot ? ReadVector3(*element, "rotation", zero) : zero;
        const float radius = static_cast<float>(ReadNumber(*element, "radius", 100.0));
        const char* shadows = element->Attribute("castshadows");
        const bool castShadows = shadows && std::string(shadows) == "true";

        Transform* transform = transforms.Add(new Transform(lightName, translation, rotation, one));
        if (spot) {
            const float penumbra = static_cast<float>(ReadNumber(*element, "penumbraangle", 1.0));
            const float cone = static_cast<float>(ReadNumber(*element, "coneangle", static_cast<float>(D3DX_PI / 2)));
            handler.AddLight(new SpotLight(lightName, transform, color, penumbra, cone, radius, castShadows));
        } else {
            handler.AddLight(new PointLight(lightName, transform, color, radius, castShadows));
        }
    }
}

} // namespace

Scene::Scene(std::string name) : name(std::move(name)) {}

Scene::~Scene() = default;

void Scene::LoadSceneData(std::string fileName)
{
    camHandler.reset();
    lightHandler.reset();
    transformHandler.reset();
    camHandler = std::make_unique<CamHandler>();
    lightHandler = std::make_unique<LightHandler>();
    transformHandler = std::make_unique<TransformHandler>();

    // A missing file reads as an empty document, which the parser refuses. The text ends at
    // its first zero byte. The parser steps over a whole UTF-8 sequence once it meets its first
    // byte, so a text cut short after such a byte would carry it past the terminating zero:
    // everything from the first zero on is cleared, and a few more zero bytes follow.
    constexpr std::size_t kTerminator = 4; // the longest UTF-8 sequence
    const std::string path = "Data\\" + fileName;
    const unsigned size = FileSys::GetFileSize(path.c_str());
    std::vector<char> text(std::size_t(size) + kTerminator, '\0');
    if (size != 0)
        FileSys::ReadFile(path.c_str(), text.data());
    std::fill(std::find(text.begin(), text.end(), '\0'), text.end(), '\0');

    TiXmlDocument document("scenenodes.xml");
    document.Parse(text.data());
    if (document.Error())
        throw FrameworkEx("[Scene::LoadSceneData (" + fileName + ")] Error in Parse:" + "scenenodes.xml" + ":" +
                          document.ErrorDesc());

    const TiXmlElement* scene = document.FirstChildElement("scene");
    if (!scene)
        return;
    if (const TiXmlElement* cameras = scene->FirstChildElement("cameras"))
        ReadCameras(*cameras, *camHandler);
    if (const TiXmlElement* transforms = scene->FirstChildElement("transforms"))
        ReadTransforms(*transforms, *transformHandler);
    if (const TiXmlElement* lights = scene->FirstChildElement("lights"))
        ReadLights(*lights, *transformHandler, *lightHandler);
}

void Scene::UpdateSemantics()
{
    EffectSemantics* effect = DXFramework::GetGlobalEffect();
    const float time = Timer::GetPlaybackTimeValue();

    // Before the scene's data is loaded there is nothing to place; only the time moves.
    if (!camHandler) {
        if (effect)
            effect->SetFloatBySemantic("TIME", time);
        return;
    }

    const Camera* camera = camHandler->GetActiveCamera(); // this frame's camera update is still to come
    if (effect && camera)
        effect->SetMatrixBySemantic("OLDVIEWPROJ", &camHandler->GetOldViewProj());
    if (effect)
        effect->SetFloatBySemantic("TIME", time);
    camHandler->Update();
    if (effect) {
        effect->SetMatrixBySemantic("VIEW", &camHandler->GetView());
        effect->SetMatrixBySemantic("VIEWPROJ", &camHandler->GetViewProj());
        effect->SetVec3BySemantic("EYEPOS", camHandler->GetEyePos());
        if (camera) {
            const CAMERAPARAMS& params = camera->GetParams();
            const D3DXVECTOR2 focus((params.nearfocus + params.farfocus) * 0.5f,
                                    (params.farfocus - params.nearfocus) * 2.0f);
            effect->SetVec2BySemantic("FOCUS_MAXZ", focus);
        }
    }
    lightHandler->Update(time);
    transformHandler->Update(time);
}

void Scene::RequestTexture(const std::string& targetName, int width, int height, D3DFORMAT format)
{
    textures[targetName] = RTHandler::Request(format, static_cast<DWORD>(width), static_cast<DWORD>(height), targetName);
}

void Scene::RequestCubeTexture(const std::string& targetName, int edgeLength, D3DFORMAT format)
{
    cubeTextures[targetName] = RTCubeHandler::Request(format, static_cast<DWORD>(edgeLength), targetName);
}

RENDERTEXTURE* Scene::GetTexture(const std::string& targetName)
{
    auto found = textures.find(targetName);
    if (found == textures.end())
        throw FrameworkEx("[Scene::GetTexture] Could not find rendertexture \"" + targetName + "\"");
    return RTHandler::GetTexture(found->second);
}

RENDERCUBETEXTURE* Scene::GetCubeTexture(const std::string& targetName)
{
    auto found = cubeTextures.find(targetName);
    if (found == cubeTextures.end())
        throw FrameworkEx("[Scene::GetCubeTexture] Could not find rendercubetexture \"" + targetName + "\"");
    return RTCubeHandler::FetchCubeTexture(found->second);
}

void Scene::UnrequestTargets()
{
    for (const auto& [targetName, handle] : textures)
        RTHandler::Unrequest(handle);
    for (const auto& [targetName, handle] : cubeTextures)
        RTCubeHandler::Unrequest(handle);
}
