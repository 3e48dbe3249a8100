#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "CaptureMedia.h"
#include "TempDir.h"
#include "show/VideoEncoder.h"

namespace fs = std::filesystem;
using namespace capture_media;

namespace {

// A show made up by the test, handed to the encoder as a capture hands its frames over: a
// picture, then that frame's samples on the frames' clock.
struct SyntheticShow {
    std::function<void(long frame, std::vector<unsigned char>& bgra)> picture;
    std::function<double(std::int64_t sample)> sound; // -1..1, the same on both channels
};

void EncodeShow(const fs::path& file, const VideoEncoderOptions& options, long frames, const SyntheticShow& show)
{
    VideoEncoder encoder(file, options);
    std::vector<unsigned char> bgra(static_cast<std::size_t>(options.width) * options.height * 4);
    std::vector<std::int16_t> sound;
    for (long n = 0; n < frames; ++n) {
        show.picture(n, bgra);
        encoder.WriteVideo(bgra.data());
        const std::int64_t a = SampleOfFrame(n, options.audioRate, options.fps);
        const std::int64_t b = SampleOfFrame(n + 1, options.audioRate, options.fps);
        sound.clear();
        for (std::int64_t s = a; s < b; ++s)
            sound.insert(sound.end(), 2, static_cast<std::int16_t>(std::lround(show.sound(s) * 32767.0)));
        encoder.WriteAudio(sound.data(), static_cast<std::size_t>(b - a));
    }
    encoder.Finish();
}

VideoEncoderOptions Options(VideoContainer container, unsigned width, unsigned height, unsigned fps)
{
    VideoEncoderOptions options;
    options.container = container;
    options.width = width;
    options.height = height;
    options.fps = fps;
    options.audioRate = 44100;
    options.audioChannels = 2;
    return options;
}

struct ContainerCase {
    const char* file;
    VideoContainer container;
    unsigned rate; // of the file's sound
};
const ContainerCase kContainers[] = {{"out.mp4", VideoContainer::Mp4, 44100}, {"out.webm", VideoContainer::WebM, 48000}};

TEST(CaptureEncoderTest, FramesCutTheSoundOnARationalClockThatNeverDrifts)
{
    struct Case {
        std::int64_t frame;
        unsigned rate, fps;
        std::int64_t sample;
    };
    // round(n * rate / fps), halves up.
    const Case cases[] = {
        {0, 44100, 60, 0},          {1, 44100, 24, 1838},        {2, 44100, 24, 3675},
        {3, 44100, 24, 5513},       {1, 48000, 7, 6857},         {8490, 44100, 60, 6240150},
        {3396, 48000, 24, 6792000}, {1, 44100, 1000, 44},        {3, 44100, 1000, 132},
        {7, 44100, 1000, 309},      {100000000, 48000, 7, 685714285714},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.frame) + " at " + std::to_string(c.fps) + " fps, " + std::to_string(c.rate));
        EXPECT_EQ(SampleOfFrame(c.frame, c.rate, c.fps), c.sample);
    }
    // A frame's share is always the whole part of rate / fps or one more, however far in.
    for (unsigned rate : {44100u, 48000u})
        for (unsigned fps : {7u, 24u, 25u, 30u, 60u, 144u}) {
            const std::int64_t low = rate / fps, high = low + (rate % fps ? 1 : 0);
            for (std::int64_t n : {0L, 1L, 2L, 1000L, 8489L, 123456789L}) {
                const std::int64_t share = SampleOfFrame(n + 1, rate, fps) - SampleOfFrame(n, rate, fps);
                EXPECT_TRUE(share == low || share == high) << n << " at " << fps << " fps: " << share;
            }
        }
}

TEST(CaptureEncoderTest, PicturesKeepTheirColoursAndTheirPlaces)
{
    // Four quarters of plain colour: a mirror, a flip, red and blue swapped or a wrong colour
    // range each move some of them.
    struct Quarter {
        unsigned x, y;
        unsigned char r, g, b;
    };
    const Quarter quarters[] = {
        {0, 0, 255, 0, 0}, {1, 0, 0, 255, 0}, {0, 1, 0, 0, 255}, {1, 1, 255, 255, 255}};
    constexpr unsigned kWidth = 64, kHeight = 36;
    SyntheticShow show;
    show.picture = [&](long, std::vector<unsigned char>& bgra) {
        for (unsigned y = 0; y < kHeight; ++y)
            for (unsigned x = 0; x < kWidth; ++x)
                for (const Quarter& q : quarters)
                    if (x / (kWidth / 2) == q.x && y / (kHeight / 2) == q.y) {
                        unsigned char* p = &bgra[(y * kWidth + x) * 4];
                        p[0] = q.b, p[1] = q.g, p[2] = q.r, p[3] = 255;
                    }
    };
    show.sound = [](std::int64_t) { return 0.0; };
    for (const ContainerCase& c : kContainers) {
        SCOPED_TRACE(c.file);
        TempDir dir;
        EncodeShow(dir.path() / c.file, Options(c.container, kWidth, kHeight, 10), 3, show);
        const std::vector<unsigned char> rgb = FirstPictureRgb(dir.path() / c.file);
        ASSERT_EQ(rgb.size(), kWidth * kHeight * 3u);
        for (const Quarter& q : quarters) {
            // The middle of the quarter, away from the blur at the borders.
            const unsigned x = q.x * kWidth / 2 + kWidth / 4, y = q.y * kHeight / 2 + kHeight / 4;
            const unsigned char* p = &rgb[(y * kWidth + x) * 3];
            SCOPED_TRACE("quarter " + std::to_string(q.x) + "," + std::to_string(q.y));
            EXPECT_NEAR(p[0], q.r, 8);
            EXPECT_NEAR(p[1], q.g, 8);
            EXPECT_NEAR(p[2], q.b, 8);
        }
    }
}

TEST(CaptureEncoderTest, TheFirstSamplePlaysWithTheFirstPictureAndTheSoundStaysWithThePictures)
{
    // A burst of tone at the start of every second and pictures at 24 fps (a frame is 1837.5
    // samples of 44.1 kHz): decoded, each burst starts at its second, the codec's start-up
    // padding (AAC's priming, Opus's pre-skip) dropped.
    constexpr unsigned kFps = 24;
    constexpr long kFrames = 3 * kFps;
    SyntheticShow show;
    show.picture = [](long n, std::vector<unsigned char>& bgra) { std::fill(bgra.begin(), bgra.end(), n % kFps ? 0 : 255); };
    show.sound = [](std::int64_t s) {
        const std::int64_t intoSecond = s % 44100;
        return intoSecond < 882 ? 0.8 * std::sin(2.0 * M_PI * 2000.0 * static_cast<double>(intoSecond) / 44100.0) : 0.0;
    };
    for (const ContainerCase& c : kContainers) {
        SCOPED_TRACE(c.file);
        TempDir dir;
        const fs::path file = dir.path() / c.file;
        EncodeShow(file, Options(c.container, 64, 36, kFps), kFrames, show);

        const std::vector<DecodedFrame> pictures = DecodedFrames(file, "v");
        ASSERT_EQ(pictures.size(), static_cast<std::size_t>(kFrames));
        double worst = 0.0; // the farthest a picture is from its time n / fps
        for (std::size_t n = 0; n < pictures.size(); ++n)
            worst = std::max(worst, std::fabs(pictures[n].time - static_cast<double>(n) / kFps));
        EXPECT_LT(worst, 0.0015);
        const std::vector<DecodedFrame> soundFrames = DecodedFrames(file, "a");
        ASSERT_FALSE(soundFrames.empty());
        EXPECT_NEAR(soundFrames.front().time, 0.0, 0.0005);

        const std::vector<float> sound = DecodedSound(file, c.rate);
        std::vector<std::size_t> onsets; // the first loud sample of each burst
        for (std::size_t i = 0; i < sound.size(); ++i)
            if (std::fabs(sound[i]) > 0.3f && (onsets.empty() || i - onsets.back() > c.rate / 2))
                onsets.push_back(i);
        ASSERT_EQ(onsets.size(), 3u);
        for (std::size_t second = 0; second < onsets.size(); ++second)
            EXPECT_NEAR(soundFrames.front().time + static_cast<double>(onsets[second]) / c.rate,
                        static_cast<double>(second), 0.0015)
                << "burst " << second;
    }
}

TEST(CaptureEncoderTest, OverTheWholeShowTheSoundEndsWithTheLastPicture)
{
    // 141.5 s at 24 fps, a rate that does not divide either sample rate: a sample lost or
    // gained per frame would add up to tens of milliseconds.
    constexpr unsigned kFps = 24;
    constexpr long kFrames = 3396;
    SyntheticShow show;
    show.picture = [](long n, std::vector<unsigned char>& bgra) {
        std::fill(bgra.begin(), bgra.end(), static_cast<unsigned char>(n * 7));
    };
    show.sound = [](std::int64_t s) { return 0.25 * std::sin(2.0 * M_PI * 440.0 * static_cast<double>(s) / 44100.0); };
    for (const ContainerCase& c : kContainers) {
        SCOPED_TRACE(c.file);
        TempDir dir;
        const fs::path file = dir.path() / c.file;
        EncodeShow(file, Options(c.container, 32, 18, kFps), kFrames, show);

        const std::vector<DecodedFrame> pictures = DecodedFrames(file, "v");
        ASSERT_EQ(pictures.size(), static_cast<std::size_t>(kFrames));
        EXPECT_NEAR(pictures.back().time, (kFrames - 1.0) / kFps, 0.001);
        const std::vector<DecodedFrame> soundFrames = DecodedFrames(file, "a");
        ASSERT_FALSE(soundFrames.empty());
        EXPECT_NEAR(soundFrames.front().time, 0.0, 0.0005);
        // The ends the file declares: within a frame, as promised; to the millisecond (WebM's
        // clock step), as made.
        const double videoEnd = StreamEnd(file, "v"), soundEnd = StreamEnd(file, "a", c.rate);
        EXPECT_NEAR(videoEnd, 141.5, 0.002);
        EXPECT_NEAR(soundEnd, videoEnd, 1.0 / kFps);
        EXPECT_NEAR(soundEnd, videoEnd, 0.002);
    }
}

} // namespace
