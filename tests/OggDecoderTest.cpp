#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SignalMeasure.h"
#include "VorbisTune.h"
#include "audio/OggDecoder.h"
#include "audio/bass.h"

namespace {

std::vector<float> ToFloat(const std::vector<std::int16_t>& samples)
{
    std::vector<float> out;
    out.reserve(samples.size());
    for (std::int16_t s : samples)
        out.push_back(s / 32768.0f);
    return out;
}

TEST(OggDecoderTest, DecodesEveryFrameOfTheSineAtItsLevelAndPitch)
{
    struct Case {
        int channels;
        long rate;
        double frequency;
    };
    for (const Case& c : {Case{2, 44100, 440.0}, Case{1, 22050, 1000.0}}) {
        SCOPED_TRACE(c.channels);
        const std::vector<unsigned char> file = VorbisSine(c.frequency, 2.0, c.channels, c.rate, 0.5f);
        const DecodedAudio audio = OggDecoder::Decode(file.data(), file.size());
        ASSERT_EQ(audio.error, BASS_OK);
        EXPECT_EQ(audio.rate, static_cast<unsigned>(c.rate));
        EXPECT_EQ(audio.channels, static_cast<unsigned>(c.channels));
        EXPECT_EQ(audio.samples.size(), static_cast<std::size_t>(2 * c.rate) * c.channels);

        const std::vector<float> decoded = ToFloat(audio.samples);
        for (int channel = 0; channel < c.channels; ++channel) {
            // A sine of peak 0.5 has an RMS of 0.5 / sqrt(2).
            EXPECT_NEAR(ChannelRms(decoded, c.channels, channel), 0.3536, 0.01);
            EXPECT_NEAR(ChannelFrequency(decoded, c.channels, channel, c.rate), c.frequency, c.frequency * 0.005);
        }
    }
}

TEST(OggDecoderTest, RefusesWhatIsNotAUsableOggVorbisFile)
{
    const std::vector<unsigned char> tune = VorbisSine(440.0, 0.5, 2, 44100, 0.5f);
    const std::vector<unsigned char> surround = VorbisSine(440.0, 0.5, 6, 44100, 0.5f);
    const std::string text = "This is not an Ogg Vorbis file, only a line of text.";
    struct Case {
        const char* what;
        const void* data;
        std::size_t size;
        int error;
    };
    const Case cases[] = {
        {"text", text.data(), text.size(), BASS_ERROR_FILEFORM},
        {"headers cut short", tune.data(), 100, BASS_ERROR_FILEFORM},
        {"one byte", tune.data(), 1, BASS_ERROR_FILEFORM},
        {"empty", tune.data(), 0, BASS_ERROR_ILLPARAM},
        {"null", nullptr, 100, BASS_ERROR_ILLPARAM},
        {"six channels", surround.data(), surround.size(), BASS_ERROR_FORMAT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const DecodedAudio audio = OggDecoder::Decode(c.data, c.size);
        EXPECT_EQ(audio.error, c.error);
        EXPECT_TRUE(audio.samples.empty());
    }
}

TEST(OggDecoderTest, AFileCutInItsAudioPlaysWhatIsThere)
{
    const std::vector<unsigned char> tune = VorbisSine(440.0, 2.0, 2, 44100, 0.5f);
    // Without its last page's end: the last whole page ends the sound.
    const DecodedAudio audio = OggDecoder::Decode(tune.data(), tune.size() - 100);
    ASSERT_EQ(audio.error, BASS_OK);
    EXPECT_GT(audio.samples.size(), 0u);
    EXPECT_LT(audio.samples.size(), static_cast<std::size_t>(2 * 44100) * 2);
}

} // namespace
