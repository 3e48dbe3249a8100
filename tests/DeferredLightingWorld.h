#pragma once
// What the tests of the deferred-lighting module share: a test archive holding the built
// "DefLight" effect and light volumes from the content stage, a scene description and flat sync
// tracks; the sync device, effect registry, key handler and scene handler the module talks to; and
// a current scene whose camera and lights come from that description.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "AnimCurve.h"
#include "BaseLight.h"
#include "CamHandler.h"
#include "Camera.h"
#include "DXEffect/DXEffectHandler.h"
#include "DXFramework.h"
#include "FileSys.h"
#include "KeyHandler.h"
#include "LightHandler.h"
#include "Scene.h"
#include "SceneHandler.h"
#include "SyncHost.h"
#include "SyncTimer.h"
#include "TempDir.h"
#include "common/ArchiveWriter.h"
#include "win32/MessageBox.h"

// A file of the staged content (build/content), as the content build made it.
inline std::vector<unsigned char> StagedContent(const std::string& relative)
{
    std::ifstream in(std::string(ORVALA_CONTENT_STAGE) + "/" + relative, std::ios::binary);
    EXPECT_TRUE(in.good()) << "no staged content file " << relative << " (build the target content)";
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class LightingWorld {
public:
    LightingWorld()
    {
        Add("OShaders\\DefLight.fxo", StagedContent("OShaders/DefLight.fxo"));
        Add("Data\\usphere.x", StagedContent("Data/usphere.x"));
        Add("Data\\ucone.x", StagedContent("Data/ucone.x"));
        // Every track the scene model asks for, constant 0.
        for (const char* name : {"Scene", "PlaybackTime", "ActiveCam", "CamZOffset", "ShakeAmplitude", "ShakeSpeed"}) {
            std::vector<unsigned char> bytes(4 + 9, 0);
            bytes[0] = 1;
            Add(std::string("Data\\sync_") + name + ".track", bytes);
        }
    }

    ~LightingWorld()
    {
        keys.reset();
        effects.reset();
        scenes.reset();
        DXFramework::SetSyncDevice(nullptr);
        syncDevice.reset();
        syncTimer.reset();
        files.reset();
        SetMessageBoxPresenter(nullptr);
    }

    void Add(const std::string& name, std::vector<unsigned char> bytes) { archive.Add(name, std::move(bytes)); }
    void Add(const std::string& name, const std::string& text) { archive.Add(name, text); }

    // Writes the archive, builds the singletons on it and makes a scene read from `description`
    // (the text of a scene file) current.
    void Open(const std::string& description)
    {
        Add("Data\\lit.xml", description);
        const std::string path = (dir.path() / "basefile.dat").string();
        archive.Write(path);
        SetMessageBoxPresenter([this](const MessageBoxRecord& box) {
            boxes.push_back(box.caption + ": " + box.text);
            return IDOK;
        });
        ResetAnimCurveMessages();
        files = std::make_unique<FileSys>(path.c_str());
        syncTimer = std::make_unique<SyncTimer>();
        syncDevice.reset(createDevice("sync", *syncTimer));
        DXFramework::SetSyncDevice(syncDevice.get());
        effects = std::make_unique<DXEffectHandler>();
        keys = std::make_unique<KeyHandler>();
        scenes = std::make_unique<SceneHandler>();
        scene = new Scene("LitScene");
        SceneHandler::AddScene(scene);
        scene->LoadSceneData("lit.xml");
    }

    Camera& ActiveCamera() { return *scene->GetCamHandler()->GetActiveCamera(); }

    template <class Light>
    Light& FindLight(const std::string& name)
    {
        auto* light = dynamic_cast<Light*>(scene->GetLightHandler()->FindLight(name));
        if (!light)
            throw std::runtime_error("light " + name + " is not of the kind asked for");
        return *light;
    }

    Scene* scene = nullptr; // owned by the scene handler
    std::vector<std::string> boxes;

private:
    TempDir dir;
    ArchiveWriter archive;
    std::unique_ptr<FileSys> files;
    std::unique_ptr<SyncTimer> syncTimer;
    std::unique_ptr<sync::Device> syncDevice;
    std::unique_ptr<DXEffectHandler> effects;
    std::unique_ptr<KeyHandler> keys;
    std::unique_ptr<SceneHandler> scenes;
};

// A light of a kind the module does not know.
class OtherLight : public BaseLight {
public:
    OtherLight() : BaseLight("other", nullptr, D3DXCOLOR(1, 1, 1, 1), 5.0f, false) {}
    void Update(float) override {}
    int GetType() const override { return 3; }
};

// A new frame in which the key goes down (after being let go in the frame before): the module's
// next Update sees one press.
inline void PressKey(std::uint32_t code)
{
    KeyHandler::KeyUp(code);
    KeyHandler::Update();
    KeyHandler::KeyDown(code);
}
