#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DXModule.h"
#include "FrameworkExMessage.h"
#include "ModuleHandler.h"

namespace {

// Records which of its operations ran, in one journal shared by all modules of a test.
class RecordingModule : public DXModule {
public:
    RecordingModule(const std::string& name, std::vector<std::string>& journal, bool* destroyed = nullptr)
        : DXModule(name), journal(journal), destroyed(destroyed)
    {
    }
    ~RecordingModule() override
    {
        if (destroyed)
            *destroyed = true;
    }
    void CreateResources() override { journal.push_back("create " + GetName()); }
    void ReleaseResources() override { journal.push_back("release " + GetName()); }

private:
    std::vector<std::string>& journal;
    bool* destroyed;
};

// Overrides nothing.
class PlainModule : public DXModule {
public:
    using DXModule::DXModule;
};

class ModuleHandlerTest : public ::testing::Test {
protected:
    ModuleHandler handler;
    std::vector<std::string> journal;
};

TEST_F(ModuleHandlerTest, SecondInstanceIsRefused)
{
    EXPECT_EQ(FrameworkExMessage([] { ModuleHandler second; }), "ModuleHandler is a singleton!");
}

TEST_F(ModuleHandlerTest, EarlyModulesGetResourcesInTheirOwnWaveInNameOrder)
{
    for (const char* name : {"PostFX", "DefLight", "Floor", "Dust"})
        ModuleHandler::AddModule(new RecordingModule(name, journal));
    ModuleHandler::FindModule("DefLight")->SetInitEarly();
    ModuleHandler::FindModule("PostFX")->SetInitEarly();

    ModuleHandler::CreateModuleResources(true);
    EXPECT_EQ(journal, (std::vector<std::string>{"create DefLight", "create PostFX"}));
    journal.clear();
    ModuleHandler::CreateModuleResources(false);
    EXPECT_EQ(journal, (std::vector<std::string>{"create Dust", "create Floor"}));
    journal.clear();
    ModuleHandler::ReleaseModuleResources();
    EXPECT_EQ(journal, (std::vector<std::string>{"release DefLight", "release Dust", "release Floor",
                                                 "release PostFX"}));
}

TEST_F(ModuleHandlerTest, NamesOrderByteWiseAndCaseSensitively)
{
    for (const char* name : {"floor", "Floor", "Dust"})
        ModuleHandler::AddModule(new RecordingModule(name, journal));
    ModuleHandler::CreateModuleResources(false);
    EXPECT_EQ(journal, (std::vector<std::string>{"create Dust", "create Floor", "create floor"}));
}

TEST_F(ModuleHandlerTest, TakenNameKeepsTheFirstModuleAndFreesTheSecond)
{
    bool firstDestroyed = false, secondDestroyed = false;
    DXModule* first = ModuleHandler::AddModule(new RecordingModule("Floor", journal, &firstDestroyed));
    DXModule* returned = ModuleHandler::AddModule(new RecordingModule("Floor", journal, &secondDestroyed));
    EXPECT_EQ(returned, first);
    EXPECT_EQ(ModuleHandler::FindModule("Floor"), first);
    EXPECT_TRUE(secondDestroyed);
    EXPECT_FALSE(firstDestroyed);

    // Handing the registered module in again keeps it alive.
    EXPECT_EQ(ModuleHandler::AddModule(first), first);
    EXPECT_FALSE(firstDestroyed);
    ModuleHandler::CreateModuleResources(false);
    EXPECT_EQ(journal, (std::vector<std::string>{"create Floor"}));
}

TEST_F(ModuleHandlerTest, FailuresThrowTheirMessages)
{
    ModuleHandler::AddModule(new PlainModule("Dust"));
    EXPECT_EQ(FrameworkExMessage([] { ModuleHandler::FindModule("dust"); }),
              "[ModuleHandler::FindModule]  Could not find module \"dust\"");
    EXPECT_EQ(FrameworkExMessage([] { ModuleHandler::FindModule("Dust")->Draw(); }),
              "[virtual void DXModule::Draw()] Draw method not implemented");
    EXPECT_EQ(FrameworkExMessage([] { ModuleHandler::AddModule(nullptr); }),
              "[ModuleHandler::AddModule]  No module given");
}

TEST_F(ModuleHandlerTest, ModuleWithoutOverridesIsVisitedWithoutEffect)
{
    DXModule* plain = ModuleHandler::AddModule(new PlainModule("Floor"));
    ModuleHandler::AddModule(new RecordingModule("Dust", journal));
    EXPECT_FALSE(plain->IsInitEarly());
    ModuleHandler::CreateModuleResources(false);
    ModuleHandler::FindModule("Floor")->Update();
    ModuleHandler::ReleaseModuleResources();
    EXPECT_EQ(journal, (std::vector<std::string>{"create Dust", "release Dust"}));
}

TEST(ModuleHandlerLifetimeTest, DestroyingTheRegistryDeletesItsModulesAndForgetsThem)
{
    std::vector<std::string> journal;
    bool destroyed = false;
    {
        ModuleHandler handler;
        ModuleHandler::AddModule(new RecordingModule("PostFX", journal, &destroyed));
    }
    EXPECT_TRUE(destroyed);
    ModuleHandler next;
    EXPECT_EQ(FrameworkExMessage([] { ModuleHandler::FindModule("PostFX"); }),
              "[ModuleHandler::FindModule]  Could not find module \"PostFX\"");
}

} // namespace
