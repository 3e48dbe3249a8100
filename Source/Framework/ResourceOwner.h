#pragma once
#include <cstdint>
#include <map>
#include <set>
#include <string>

// Who makes which resources. While an owner makes its resources (a module, a scene, or the host's
// own: depth surfaces, noise, the "Global" effect) a scope of it is open, which
// - starts the random sequence (crt::rand, RandomRange) afresh from a seed of the owner's name, so
//   what an owner lays out at random depends on that owner alone, never on who was made before it;
// - notes every archive entry looked up meanwhile under that owner, found or not, so that a tool
//   that changes an entry knows whose resources must be made again.
// Scopes nest: the innermost one is the owner. Outside every scope nothing is noted.
class ResourceOwnerScope;

// A random sequence of its own while the scope lives: crt::rand starts from a seed of the
// stream's name, and the sequence in use before goes on exactly where it was once the scope
// closes. For draws made outside an owner's resources (the scenes' light layouts made with the
// scenes, the noise's lattice), so that they never depend on what was drawn before them.
class RandomStreamScope {
public:
    explicit RandomStreamScope(const std::string& stream);
    // A stream that starts from this seed (1: where a new process starts).
    explicit RandomStreamScope(std::uint32_t seed);
    ~RandomStreamScope();
    RandomStreamScope(const RandomStreamScope&) = delete;
    RandomStreamScope& operator=(const RandomStreamScope&) = delete;

private:
    unsigned previous;
};

class ResourceOwnerScope {
public:
    explicit ResourceOwnerScope(std::string owner);
    // An owner whose stream starts from this seed instead of one of its name.
    ResourceOwnerScope(std::string owner, std::uint32_t seed);
    ~ResourceOwnerScope();
    ResourceOwnerScope(const ResourceOwnerScope&) = delete;
    ResourceOwnerScope& operator=(const ResourceOwnerScope&) = delete;

private:
    RandomStreamScope stream;
};

namespace ResourceOwner {

// The owners' names as the framework opens their scopes.
constexpr const char* kHost = "host";
std::string OfModule(const std::string& name);
std::string OfScene(const std::string& name);

// The seed a stream's or an owner's random sequence starts from (FNV-1a of its name, never 0).
std::uint32_t SeedOf(const std::string& owner);

// Called by the archive for every entry looked up.
void NoteRead(const std::string& entry);

// The entries each owner looked up since it was last made (an owner made again forgets what it
// read before), by owner name.
const std::map<std::string, std::set<std::string>>& Reads();
// Forgets what one owner, or every owner, read.
void Forget(const std::string& owner);
void ForgetAll();

} // namespace ResourceOwner
