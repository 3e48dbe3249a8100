#include "ResourceOwner.h"

#include <vector>

#include "crt/CRand.h"

namespace {

struct OwnerState {
    std::vector<std::string> open; // the scopes open now, innermost last
    std::map<std::string, std::set<std::string>> reads;
};

OwnerState& Owners()
{
    static OwnerState state;
    return state;
}

} // namespace

RandomStreamScope::RandomStreamScope(const std::string& stream) : previous(crt::randstate())
{
    crt::srand(ResourceOwner::SeedOf(stream));
}

RandomStreamScope::RandomStreamScope(std::uint32_t seed) : previous(crt::randstate())
{
    crt::srand(seed);
}

RandomStreamScope::~RandomStreamScope()
{
    crt::srand(previous);
}

ResourceOwnerScope::ResourceOwnerScope(std::string owner) : ResourceOwnerScope(owner, ResourceOwner::SeedOf(owner)) {}

ResourceOwnerScope::ResourceOwnerScope(std::string owner, std::uint32_t seed) : stream(seed)
{
    // An owner made again starts from nothing: what it reads now is what it depends on.
    Owners().reads[owner].clear();
    Owners().open.push_back(std::move(owner));
}

ResourceOwnerScope::~ResourceOwnerScope()
{
    Owners().open.pop_back();
}

namespace ResourceOwner {

std::string OfModule(const std::string& name)
{
    return "module " + name;
}

std::string OfScene(const std::string& name)
{
    return "scene " + name;
}

std::uint32_t SeedOf(const std::string& owner)
{
    std::uint32_t hash = 2166136261u;
    for (unsigned char c : owner) {
        hash ^= c;
        hash *= 16777619u;
    }
    return hash != 0 ? hash : 1u;
}

void NoteRead(const std::string& entry)
{
    OwnerState& state = Owners();
    if (!state.open.empty())
        state.reads[state.open.back()].insert(entry);
}

const std::map<std::string, std::set<std::string>>& Reads()
{
    return Owners().reads;
}

void Forget(const std::string& owner)
{
    Owners().reads.erase(owner);
}

void ForgetAll()
{
    Owners().reads.clear();
}

} // namespace ResourceOwner
