#pragma once
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <algorithm>
#include <cstddef>
#include <vector>

// Ogg Vorbis files made in memory with libvorbisenc, so that decoders are checked against real
// encoder output.
inline std::vector<unsigned char> EncodeVorbis(const std::vector<float>& interleaved, int channels, long rate)
{
    std::vector<unsigned char> file;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.5f) != 0) {
        vorbis_info_clear(&vi);
        return file;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 2009);

    ogg_page page;
    const auto append = [&file](const ogg_page& p) {
        file.insert(file.end(), p.header, p.header + p.header_len);
        file.insert(file.end(), p.body, p.body + p.body_len);
    };
    ogg_packet header, comments, codebooks;
    vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &comments);
    ogg_stream_packetin(&os, &codebooks);
    while (ogg_stream_flush(&os, &page) != 0)
        append(page);

    const auto drain = [&] {
        ogg_packet packet;
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            while (vorbis_bitrate_flushpacket(&vd, &packet) == 1) {
                ogg_stream_packetin(&os, &packet);
                while (ogg_stream_pageout(&os, &page) != 0)
                    append(page);
            }
        }
    };
    const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
    for (std::size_t done = 0; done < frames;) {
        const int count = static_cast<int>(std::min<std::size_t>(1024, frames - done));
        float** buffer = vorbis_analysis_buffer(&vd, count);
        for (int i = 0; i < count; ++i)
            for (int c = 0; c < channels; ++c)
                buffer[c][i] = interleaved[(done + static_cast<std::size_t>(i)) * channels + c];
        vorbis_analysis_wrote(&vd, count);
        drain();
        done += static_cast<std::size_t>(count);
    }
    vorbis_analysis_wrote(&vd, 0);
    drain();
    while (ogg_stream_flush(&os, &page) != 0)
        append(page);

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return file;
}

// A sine of `frequency` Hz and peak `amplitude`, the same on every channel.
inline std::vector<float> SineSamples(double frequency, double seconds, int channels, long rate, float amplitude)
{
    const auto frames = static_cast<std::size_t>(seconds * rate);
    std::vector<float> samples(frames * static_cast<std::size_t>(channels));
    for (std::size_t i = 0; i < frames; ++i) {
        const auto value = static_cast<float>(amplitude * std::sin(2.0 * 3.14159265358979323846 * frequency * i / rate));
        for (int c = 0; c < channels; ++c)
            samples[i * channels + c] = value;
    }
    return samples;
}

inline std::vector<unsigned char> VorbisSine(double frequency, double seconds, int channels, long rate,
                                             float amplitude)
{
    return EncodeVorbis(SineSamples(frequency, seconds, channels, rate, amplitude), channels, rate);
}
