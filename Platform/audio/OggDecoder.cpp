#include "audio/OggDecoder.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "audio/bass.h"

namespace {

// The file as libvorbisfile reads it: a byte range with a read position.
struct MemoryFile {
    const unsigned char* data;
    std::size_t size;
    std::size_t position;
};

std::size_t ReadMemory(void* dest, std::size_t size, std::size_t count, void* source)
{
    auto* file = static_cast<MemoryFile*>(source);
    if (size == 0 || count == 0)
        return 0;
    const std::size_t available = file->size - file->position;
    const std::size_t items = std::min(count, available / size);
    std::memcpy(dest, file->data + file->position, items * size);
    file->position += items * size;
    return items;
}

int SeekMemory(void* source, ogg_int64_t offset, int whence)
{
    auto* file = static_cast<MemoryFile*>(source);
    ogg_int64_t base = 0;
    if (whence == SEEK_CUR)
        base = static_cast<ogg_int64_t>(file->position);
    else if (whence == SEEK_END)
        base = static_cast<ogg_int64_t>(file->size);
    else if (whence != SEEK_SET)
        return -1;
    const ogg_int64_t target = base + offset;
    if (target < 0 || static_cast<std::uint64_t>(target) > file->size)
        return -1;
    file->position = static_cast<std::size_t>(target);
    return 0;
}

long TellMemory(void* source)
{
    return static_cast<long>(static_cast<MemoryFile*>(source)->position);
}

std::int16_t ToSample(float value)
{
    // As ov_read rounds: scale by 32768 and clip.
    const long scaled = std::lrint(value * 32768.0f);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768L, 32767L));
}

// Closes the file on every way out of Decode.
struct OpenFile {
    OggVorbis_File vf{};
    bool open = false;
    ~OpenFile()
    {
        if (open)
            ov_clear(&vf);
    }
};

} // namespace

DecodedAudio OggDecoder::Decode(const void* data, std::size_t size)
{
    DecodedAudio result;
    if (data == nullptr || size == 0) {
        result.error = BASS_ERROR_ILLPARAM;
        return result;
    }
    MemoryFile file{static_cast<const unsigned char*>(data), size, 0};
    const ov_callbacks callbacks{ReadMemory, SeekMemory, nullptr, TellMemory};
    OpenFile open;
    if (ov_open_callbacks(&file, &open.vf, nullptr, 0, callbacks) != 0) {
        // ov_open_callbacks cleans up after itself when it fails.
        result.error = BASS_ERROR_FILEFORM;
        return result;
    }
    open.open = true;

    const vorbis_info* first = ov_info(&open.vf, 0);
    if (first == nullptr || first->rate <= 0) {
        result.error = BASS_ERROR_FILEFORM;
        return result;
    }
    if (first->channels < 1 || first->channels > 2) {
        result.error = BASS_ERROR_FORMAT;
        return result;
    }
    for (long link = 1; link < ov_streams(&open.vf); ++link) {
        const vorbis_info* info = ov_info(&open.vf, static_cast<int>(link));
        if (info == nullptr || info->rate != first->rate || info->channels != first->channels) {
            result.error = BASS_ERROR_FORMAT;
            return result;
        }
    }
    result.rate = static_cast<unsigned>(first->rate);
    result.channels = static_cast<unsigned>(first->channels);

    try {
        // The length comes from the last page's granule position, which a damaged file can
        // overstate; reserve only what the compressed size can plausibly hold.
        const ogg_int64_t total = ov_pcm_total(&open.vf, -1);
        if (total > 0 && static_cast<std::uint64_t>(total) <= static_cast<std::uint64_t>(size) * 64)
            result.samples.reserve(static_cast<std::size_t>(total) * result.channels);

        int link = 0;
        for (;;) {
            float** pcm = nullptr;
            const long frames = ov_read_float(&open.vf, &pcm, 4096, &link);
            if (frames == OV_HOLE)
                continue; // a gap in the data: go on after it
            if (frames <= 0)
                break; // the end, or damage that cannot be skipped
            for (long i = 0; i < frames; ++i)
                for (unsigned c = 0; c < result.channels; ++c)
                    result.samples.push_back(ToSample(pcm[c][i]));
        }
    } catch (const std::bad_alloc&) {
        result = DecodedAudio{};
        result.error = BASS_ERROR_MEM;
        return result;
    }
    result.error = BASS_OK;
    return result;
}
