#include "common/synth/OggWriter.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>
#include <stdexcept>

#include "common/synth/SynthUnits.h"

namespace synth {

namespace {

constexpr int kSerialNumber = 0x4f52564c; // "ORVL"
constexpr int kChunkFrames = 1024;

// libvorbis's state, released whatever happens.
struct Encoder {
    vorbis_info info;
    vorbis_comment comment;
    vorbis_dsp_state dsp;
    vorbis_block block;
    ogg_stream_state stream;
    bool analysing = false;

    Encoder()
    {
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }
    ~Encoder()
    {
        if (analysing) {
            ogg_stream_clear(&stream);
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;
};

} // namespace

std::vector<unsigned char> EncodeOggVorbis(const std::vector<float>& stereo, float quality, const std::string& title)
{
    if (stereo.size() % 2 != 0)
        throw std::invalid_argument("stereo samples come in pairs");
    Encoder e;
    if (vorbis_encode_init_vbr(&e.info, 2, kSampleRate, quality) != 0)
        throw std::runtime_error("the Vorbis encoder refused quality " + std::to_string(quality));
    if (!title.empty())
        vorbis_comment_add_tag(&e.comment, "TITLE", title.c_str());
    vorbis_analysis_init(&e.dsp, &e.info);
    vorbis_block_init(&e.dsp, &e.block);
    ogg_stream_init(&e.stream, kSerialNumber);
    e.analysing = true;

    std::vector<unsigned char> file;
    ogg_page page;
    const auto append = [&file](const ogg_page& p) {
        file.insert(file.end(), p.header, p.header + p.header_len);
        file.insert(file.end(), p.body, p.body + p.body_len);
    };
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&e.dsp, &e.comment, &header, &comments, &codebooks);
    ogg_stream_packetin(&e.stream, &header);
    ogg_stream_packetin(&e.stream, &comments);
    ogg_stream_packetin(&e.stream, &codebooks);
    while (ogg_stream_flush(&e.stream, &page) != 0)
        append(page);

    const auto drain = [&] {
        ogg_packet packet;
        while (vorbis_analysis_blockout(&e.dsp, &e.block) == 1) {
            vorbis_analysis(&e.block, nullptr);
            vorbis_bitrate_addblock(&e.block);
            while (vorbis_bitrate_flushpacket(&e.dsp, &packet) == 1) {
                ogg_stream_packetin(&e.stream, &packet);
                while (ogg_stream_pageout(&e.stream, &page) != 0)
                    append(page);
            }
        }
    };
    const std::size_t frames = stereo.size() / 2;
    for (std::size_t done = 0; done < frames;) {
        const int count = static_cast<int>(std::min<std::size_t>(kChunkFrames, frames - done));
        float** buffer = vorbis_analysis_buffer(&e.dsp, count);
        for (int i = 0; i < count; ++i) {
            buffer[0][i] = stereo[(done + static_cast<std::size_t>(i)) * 2];
            buffer[1][i] = stereo[(done + static_cast<std::size_t>(i)) * 2 + 1];
        }
        vorbis_analysis_wrote(&e.dsp, count);
        drain();
        done += static_cast<std::size_t>(count);
    }
    vorbis_analysis_wrote(&e.dsp, 0);
    drain();
    while (ogg_stream_flush(&e.stream, &page) != 0)
        append(page);
    return file;
}

} // namespace synth
