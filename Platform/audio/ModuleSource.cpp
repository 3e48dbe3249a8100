#include "audio/ModuleSource.h"

#include <libopenmpt/libopenmpt.hpp>

#include <cmath>
#include <new>

#include "audio/bass.h"

ModuleSource::ModuleSource(unsigned rate, unsigned channels, bool loop) : rate_(rate), channels_(channels), loop_(loop)
{
}

ModuleSource::~ModuleSource() = default;

std::unique_ptr<ModuleSource> ModuleSource::Load(const void* data, std::size_t size, unsigned rate, bool mono,
                                                 bool loop, int& error)
{
    if (data == nullptr || size == 0) {
        error = BASS_ERROR_ILLPARAM;
        return nullptr;
    }
    try {
        std::unique_ptr<ModuleSource> source(new ModuleSource(rate, mono ? 1 : 2, loop));
        source->module_ = std::make_unique<openmpt::module>(data, size, source->log_);
        // -1: play the song's own loop for ever; 0: play it once.
        source->module_->set_repeat_count(loop ? -1 : 0);
        const double seconds = source->module_->get_duration_seconds();
        if (std::isfinite(seconds) && seconds > 0.0)
            source->length_ = static_cast<std::uint64_t>(std::ceil(seconds * rate));
        error = BASS_OK;
        return source;
    } catch (const std::bad_alloc&) {
        error = BASS_ERROR_MEM;
    } catch (const std::exception&) {
        // openmpt::exception and the standard exceptions libopenmpt passes on for bad data.
        error = BASS_ERROR_FILEFORM;
    }
    return nullptr;
}

bool ModuleSource::Seek(std::uint64_t frame)
{
    if (frame > length_)
        return false;
    try {
        module_->set_position_seconds(static_cast<double>(frame) / rate_);
    } catch (const std::exception&) {
        return false;
    }
    position_ = frame;
    return true;
}

std::size_t ModuleSource::Read(float* out, std::size_t frames)
{
    std::size_t done = 0;
    while (done < frames) {
        std::size_t got = 0;
        try {
            const auto rate = static_cast<std::int32_t>(rate_);
            got = channels_ == 1 ? module_->read(rate, frames - done, out + done)
                                 : module_->read_interleaved_stereo(rate, frames - done, out + done * 2);
        } catch (const std::exception&) {
            got = 0; // a module that cannot go on ends here
        }
        if (got == 0)
            break;
        done += got;
    }
    position_ += done;
    if (loop_ && length_ > 0)
        position_ %= length_;
    return done;
}
