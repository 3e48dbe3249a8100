#pragma once
#include <map>
#include <string>
#include <vector>

// Builds basefile.dat archives: the "0x%08lx\n" header with the length of the text part,
// one "%s\n%08lx\n%08lx\n%08lx\n" record per entry (start, compressed, uncompressed), then
// the entries' zlib streams in the same order. Entries are written in name order.
class ArchiveWriter {
public:
    // Adds or replaces an entry. Throws std::invalid_argument for a name the directory
    // cannot hold (empty, white space, a zero byte, longer than 511 bytes) or data over 4 GiB.
    void Add(const std::string& name, std::vector<unsigned char> data);
    void Add(const std::string& name, const std::string& data);

    // The whole archive as bytes, compressed at the given zlib level.
    std::vector<unsigned char> Build(int level = 9) const;
    // Writes the archive to a file; throws std::runtime_error when it cannot.
    void Write(const std::string& path, int level = 9) const;

    const std::map<std::string, std::vector<unsigned char>>& Entries() const { return entries; }

private:
    std::map<std::string, std::vector<unsigned char>> entries;
};
