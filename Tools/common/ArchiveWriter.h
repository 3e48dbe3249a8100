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
    // Adds or replaces an entry whose zlib stream was made already (by Compress at the level the
    // archive is built with), for a writer that packs the same files again and again and
    // compresses only those that changed. Names are checked as Add checks them.
    void AddCompressed(const std::string& name, std::vector<unsigned char> stream, std::size_t uncompressedSize);
    // One entry's zlib stream as Build makes it.
    static std::vector<unsigned char> Compress(const std::vector<unsigned char>& data, int level);

    // The whole archive as bytes, compressed at the given zlib level.
    std::vector<unsigned char> Build(int level = 9) const;
    // Writes the archive to a file; throws std::runtime_error when it cannot.
    void Write(const std::string& path, int level = 9) const;

    // The entries added with Add.
    const std::map<std::string, std::vector<unsigned char>>& Entries() const { return entries; }

private:
    struct Compressed {
        std::vector<unsigned char> stream;
        std::size_t size = 0;
    };
    std::map<std::string, std::vector<unsigned char>> entries;
    std::map<std::string, Compressed> compressed;
};
