#pragma once
#include <dlfcn.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

// libvorbis and libogg come into the process with libvorbisfile, but only libvorbisfile and
// libvorbisenc are on the test's link line, so the encoder's calls into them are bound here at
// run time.
class VorbisEncoderApi {
public:
    static const VorbisEncoderApi& Get()
    {
        static const VorbisEncoderApi api;
        return api;
    }

    bool Ready() const { return ready_; }

#define ORVALA_VORBIS_CALLS(X)                                                                                  \
    X(vorbis_info_init, void, (vorbis_info*))                                                                  \
    X(vorbis_info_clear, void, (vorbis_info*))                                                                 \
    X(vorbis_comment_init, void, (vorbis_comment*))                                                            \
    X(vorbis_comment_clear, void, (vorbis_comment*))                                                           \
    X(vorbis_analysis_init, int, (vorbis_dsp_state*, vorbis_info*))                                            \
    X(vorbis_block_init, int, (vorbis_dsp_state*, vorbis_block*))                                              \
    X(vorbis_block_clear, int, (vorbis_block*))                                                                \
    X(vorbis_dsp_clear, void, (vorbis_dsp_state*))                                                             \
    X(vorbis_analysis_headerout, int, (vorbis_dsp_state*, vorbis_comment*, ogg_packet*, ogg_packet*, ogg_packet*)) \
    X(vorbis_analysis_buffer, float**, (vorbis_dsp_state*, int))                                               \
    X(vorbis_analysis_wrote, int, (vorbis_dsp_state*, int))                                                    \
    X(vorbis_analysis_blockout, int, (vorbis_dsp_state*, vorbis_block*))                                       \
    X(vorbis_analysis, int, (vorbis_block*, ogg_packet*))                                                      \
    X(vorbis_bitrate_addblock, int, (vorbis_block*))                                                           \
    X(vorbis_bitrate_flushpacket, int, (vorbis_dsp_state*, ogg_packet*))                                       \
    X(ogg_stream_init, int, (ogg_stream_state*, int))                                                          \
    X(ogg_stream_clear, int, (ogg_stream_state*))                                                              \
    X(ogg_stream_packetin, int, (ogg_stream_state*, ogg_packet*))                                              \
    X(ogg_stream_pageout, int, (ogg_stream_state*, ogg_page*))                                                 \
    X(ogg_stream_flush, int, (ogg_stream_state*, ogg_page*))

#define ORVALA_VORBIS_MEMBER(name, result, args) result(*name) args = nullptr;
    ORVALA_VORBIS_CALLS(ORVALA_VORBIS_MEMBER)
#undef ORVALA_VORBIS_MEMBER

private:
    VorbisEncoderApi()
    {
        void* vorbis = dlopen("libvorbis.so.0", RTLD_NOW);
        void* ogg = dlopen("libogg.so.0", RTLD_NOW);
        if (vorbis == nullptr || ogg == nullptr)
            return;
        ready_ = true;
#define ORVALA_VORBIS_BIND(name, result, args)                                                                   \
    {                                                                                                          \
        void* symbol = dlsym(std::string(#name).rfind("ogg_", 0) == 0 ? ogg : vorbis, #name);                  \
        std::memcpy(&name, &symbol, sizeof symbol);                                                            \
        ready_ = ready_ && symbol != nullptr;                                                                  \
    }
        ORVALA_VORBIS_CALLS(ORVALA_VORBIS_BIND)
#undef ORVALA_VORBIS_BIND
    }
#undef ORVALA_VORBIS_CALLS

    bool ready_ = false;
};

// Ogg Vorbis files made in memory with libvorbisenc, so that decoders are checked against real
// encoder output.
inline std::vector<unsigned char> EncodeVorbis(const std::vector<float>& interleaved, int channels, long rate)
{
    std::vector<unsigned char> file;
    const VorbisEncoderApi& api = VorbisEncoderApi::Get();
    if (!api.Ready())
        return file;
    vorbis_info vi;
    api.vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, channels, rate, 0.5f) != 0) {
        api.vorbis_info_clear(&vi);
        return file;
    }
    vorbis_comment vc;
    api.vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    api.vorbis_analysis_init(&vd, &vi);
    vorbis_block vb;
    api.vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    api.ogg_stream_init(&os, 2009);

    ogg_page page;
    const auto append = [&file](const ogg_page& p) {
        file.insert(file.end(), p.header, p.header + p.header_len);
        file.insert(file.end(), p.body, p.body + p.body_len);
    };
    ogg_packet header, comments, codebooks;
    api.vorbis_analysis_headerout(&vd, &vc, &header, &comments, &codebooks);
    api.ogg_stream_packetin(&os, &header);
    api.ogg_stream_packetin(&os, &comments);
    api.ogg_stream_packetin(&os, &codebooks);
    while (api.ogg_stream_flush(&os, &page) != 0)
        append(page);

    const auto drain = [&] {
        ogg_packet packet;
        while (api.vorbis_analysis_blockout(&vd, &vb) == 1) {
            api.vorbis_analysis(&vb, nullptr);
            api.vorbis_bitrate_addblock(&vb);
            while (api.vorbis_bitrate_flushpacket(&vd, &packet) == 1) {
                api.ogg_stream_packetin(&os, &packet);
                while (api.ogg_stream_pageout(&os, &page) != 0)
                    append(page);
            }
        }
    };
    const std::size_t frames = interleaved.size() / static_cast<std::size_t>(channels);
    for (std::size_t done = 0; done < frames;) {
        const int count = static_cast<int>(std::min<std::size_t>(1024, frames - done));
        float** buffer = api.vorbis_analysis_buffer(&vd, count);
        for (int i = 0; i < count; ++i)
            for (int c = 0; c < channels; ++c)
                buffer[c][i] = interleaved[(done + static_cast<std::size_t>(i)) * channels + c];
        api.vorbis_analysis_wrote(&vd, count);
        drain();
        done += static_cast<std::size_t>(count);
    }
    api.vorbis_analysis_wrote(&vd, 0);
    drain();
    while (api.ogg_stream_flush(&os, &page) != 0)
        append(page);

    api.ogg_stream_clear(&os);
    api.vorbis_block_clear(&vb);
    api.vorbis_dsp_clear(&vd);
    api.vorbis_comment_clear(&vc);
    api.vorbis_info_clear(&vi);
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
