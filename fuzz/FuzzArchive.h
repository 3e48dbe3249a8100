#pragma once
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "FileSys.h"
#include "common/ArchiveWriter.h"
#include "win32/MessageBox.h"

// The readers of archived content only ever see bytes through FileSys, which reads a file.
// One temporary file serves the whole fuzzing run: each input is written to it (as it stands,
// or packed as one entry of an archive) and the archive is opened on it as the demo opens
// basefile.dat. The file goes away when the run ends.
inline const std::string& FuzzArchivePath()
{
    static const std::string path = [] {
        // In memory where there is a RAM disk: the file is rewritten for every input.
        char name[] = "/dev/shm/orvala-fuzz-XXXXXX";
        char fallback[] = "/tmp/orvala-fuzz-XXXXXX";
        int fd = mkstemp(name);
        if (fd < 0) {
            std::memcpy(name, fallback, sizeof fallback);
            fd = mkstemp(name);
        }
        if (fd < 0)
            std::abort();
        close(fd);
        static std::string made = name;
        std::atexit([] { std::remove(made.c_str()); });
        return made;
    }();
    return path;
}

// Writes bytes to the archive file as they are.
inline void WriteFuzzArchive(const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(FuzzArchivePath().c_str(), "wb");
    if (!file)
        std::abort();
    if (size != 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
}

// Writes an archive of these entries, packed the way the content build packs them, and opens
// it. Missing-curve boxes are answered without a window.
inline std::unique_ptr<FileSys> OpenFuzzArchive(const ArchiveWriter& archive)
{
    static const bool quiet = [] {
        SetMessageBoxPresenter([](const MessageBoxRecord&) { return IDOK; });
        return true;
    }();
    (void)quiet;
    archive.Write(FuzzArchivePath(), 1);
    return std::make_unique<FileSys>(FuzzArchivePath().c_str());
}

// The same with one entry holding the fuzz input.
inline std::unique_ptr<FileSys> OpenFuzzEntry(const std::string& entry, const std::uint8_t* data, std::size_t size)
{
    ArchiveWriter archive;
    archive.Add(entry, std::vector<unsigned char>(data, data + size));
    return OpenFuzzArchive(archive);
}
