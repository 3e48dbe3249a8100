// Any bytes stored as a scene description either load or fail with one of the scene loader's
// messages: the parse failure, or a camera, transform or light name given twice. A loaded
// scene holds one camera per element from the first "camera" on, one transform per named
// "trans" and one light per named "point" or "spot", each light on a transform of its own name
// with scale 1 1 1.
#include <tinyxml.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "BaseLight.h"
#include "CamHandler.h"
#include "DXFramework.h"
#include "FrameworkEx.h"
#include "FuzzArchive.h"
#include "LightHandler.h"
#include "Scene.h"
#include "SyncHost.h"
#include "Transform.h"
#include "TransformHandler.h"
#include "sync/PlayerDevice.h"

namespace {

class StillTimer : public sync::sTimer {
public:
    float getRow() override { return 0.0f; }
};

const char kFile[] = "fuzz.xml";

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(const std::string& text, const std::string& suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// What the description asks for, counted on the document the loader parses.
struct Counts {
    std::size_t cameras = 0, transforms = 0, lights = 0;
};

Counts Count(const TiXmlDocument& document)
{
    Counts counts;
    const TiXmlElement* scene = document.FirstChildElement("scene");
    if (!scene)
        return counts;
    if (const TiXmlElement* cameras = scene->FirstChildElement("cameras"))
        for (const TiXmlElement* e = cameras->FirstChildElement("camera"); e; e = e->NextSiblingElement())
            ++counts.cameras;
    if (const TiXmlElement* transforms = scene->FirstChildElement("transforms"))
        for (const TiXmlElement* e = transforms->FirstChildElement("trans"); e; e = e->NextSiblingElement("trans"))
            counts.transforms += e->Attribute("name") != nullptr;
    if (const TiXmlElement* lights = scene->FirstChildElement("lights"))
        for (const TiXmlElement* e = lights->FirstChildElement(); e; e = e->NextSiblingElement()) {
            const std::string kind = e->Value();
            if ((kind == "point" || kind == "spot") && e->Attribute("name"))
                ++counts.lights;
        }
    counts.transforms += counts.lights;
    return counts;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ArchiveWriter archive;
    for (const char* track : {"ActiveCam", "CamZOffset", "ShakeAmplitude", "ShakeSpeed"}) {
        const std::vector<unsigned char> oneKey{1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
        archive.Add(std::string("Data\\sync_") + track + ".track", oneKey);
    }
    archive.Add(std::string("Data\\") + kFile, std::vector<unsigned char>(data, data + size));
    auto files = OpenFuzzArchive(archive);
    StillTimer timer;
    sync::PlayerDevice device("sync", timer, SyncHost());
    DXFramework::SetSyncDevice(&device);

    Scene scene("FuzzScene");
    try {
        scene.LoadSceneData(kFile);
    } catch (const FrameworkEx& failure) {
        const std::string& message = failure.GetMessage();
        const bool parse = StartsWith(message, std::string("[Scene::LoadSceneData (") + kFile +
                                                   ")] Error in Parse:scenenodes.xml:");
        const bool taken = (StartsWith(message, "CamHandler::AddCamera: \"") ||
                            StartsWith(message, "TransformHandler::Add: \"") ||
                            StartsWith(message, "LightHandler::AddLight: \"")) &&
                           EndsWith(message, "\" already exists.");
        if (!parse && !taken)
            std::abort();
        DXFramework::SetSyncDevice(nullptr);
        return 0;
    }

    // The loader reads the text up to its first zero byte; zero bytes after it keep the parser,
    // which steps over whole UTF-8 sequences, inside the text.
    std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    text.append(4, '\0');
    TiXmlDocument document;
    document.Parse(text.c_str());
    if (document.Error())
        std::abort(); // a document the parser refuses never loads
    const Counts counts = Count(document);
    if (scene.GetCamHandler()->GetCameras().size() != counts.cameras ||
        scene.GetTransformHandler()->GetTransforms().size() != counts.transforms ||
        scene.GetLightHandler()->GetLights().size() != counts.lights)
        std::abort();

    const auto& transforms = scene.GetTransformHandler()->GetTransforms();
    for (const auto& [name, light] : scene.GetLightHandler()->GetLights()) {
        auto placed = transforms.find(name);
        if (placed == transforms.end() || light->GetTransform() != placed->second.get())
            std::abort();
        const D3DXVECTOR3& scale = placed->second->GetScale();
        if (scale.x != 1.0f || scale.y != 1.0f || scale.z != 1.0f)
            std::abort();
    }
    DXFramework::SetSyncDevice(nullptr);
    return 0;
}
