#pragma once
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

// The containers a capture is written in, chosen by the file's extension.
enum class VideoContainer {
    Mp4,  // ".mp4": H.264 (libx264, yuv420p) and AAC
    WebM, // ".webm": VP9 (libvpx-vp9, yuv420p) and Opus at 48 kHz
};

// The container for a file name's extension (either case); none for any other name.
std::optional<VideoContainer> ContainerFor(const std::filesystem::path& path);

// The first sample of video frame n on a clock of `rate` samples and `fps` frames a second:
// round(n * rate / fps), halves up, in integers. Frame n's sound is the samples
// [SampleOfFrame(n), SampleOfFrame(n + 1)), so frames cut one after the other never drift from
// the pictures, whatever the two rates.
std::int64_t SampleOfFrame(std::int64_t frame, unsigned rate, unsigned fps);

struct VideoEncoderOptions {
    VideoContainer container = VideoContainer::Mp4;
    unsigned width = 1280; // even, for the halved colour planes of yuv420p
    unsigned height = 720;
    unsigned fps = 60;
    unsigned audioRate = 44100; // of the samples WriteAudio is given
    unsigned audioChannels = 2; // 1 or 2; the file's sound is stereo
};

// A video file written through FFmpeg's libraries: pictures and sound handed over in playback
// order, both starting at time 0. Video frame n is shown at n / fps; the sound starts with the
// first sample given. The encoders' start-up delay (AAC's priming, Opus's pre-skip) is written
// as their own padding, which players drop, so the first sample plays with the first picture.
class VideoEncoder {
public:
    // Creates the file at `path` (whatever its name; the container comes from the options) and
    // writes its header. Failures throw std::runtime_error.
    VideoEncoder(const std::filesystem::path& path, const VideoEncoderOptions& options);
    // A file not finished is left without its end and cannot be played: remove it.
    ~VideoEncoder();
    VideoEncoder(const VideoEncoder&) = delete;
    VideoEncoder& operator=(const VideoEncoder&) = delete;

    // The next picture: width x height x 4 bytes B, G, R, A, top row first; alpha is ignored.
    void WriteVideo(const unsigned char* bgra);
    // The next `frames` sample frames, 16-bit, interleaved, at the options' rate and channels.
    void WriteAudio(const std::int16_t* interleaved, std::size_t frames);
    // Drains both encoders and writes the container's end. Nothing may be written after it.
    void Finish();

    long VideoFrames() const;
    // The sound written so far at the file's own rate (48 kHz for Opus), in samples.
    std::int64_t AudioSamples() const;
    unsigned AudioRate() const;

private:
    struct State;
    std::unique_ptr<State> state;
};
