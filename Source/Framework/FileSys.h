#pragma once
#include <map>
#include <string>

// Where an entry lies in the archive. In memory the order is start, uncompressed,
// compressed; on disk the directory gives start, compressed, uncompressed.
struct FILECOORDS {
    unsigned startoffset;
    unsigned uncomp_length;
    unsigned comp_length;
};

// The archive every piece of content is read through: a text directory followed by one
// zlib stream per entry. Names carry their folder with backslashes ("Data\\tune.ogg").
class FileSys {
public:
    // Reads the directory of the archive. Throws FrameworkEx when an instance exists, the
    // file cannot be opened or the directory is damaged.
    explicit FileSys(const char* databaseName);
    ~FileSys();
    FileSys(const FileSys&) = delete;
    FileSys& operator=(const FileSys&) = delete;

    // Every lookup of an entry, found or not, is noted for the owner making its resources
    // (ResourceOwner.h).
    // The entry's uncompressed length, or 0 when there is no such entry.
    static unsigned GetFileSize(const char* name);
    // Inflates the entry into dest (at least GetFileSize(name) bytes) and returns its
    // recorded length; returns 0 and touches nothing when there is no such entry.
    static unsigned ReadFile(const char* name, void* dest);

    // Reads the directory again from the same file, for a tool that writes a new archive in its
    // place (renamed over it, so that a reader never sees half a file). When the new directory
    // cannot be read, the one read before stays and FrameworkEx is thrown.
    static void Reload();

    // The directory in name order, for the tools.
    static const std::map<std::string, FILECOORDS>& GetDirectory();

private:
    static void ReadDirectory();
};
