#include "VideoEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <algorithm>
#include <cctype>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

std::string AvError(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

// A libav call's result: negative codes throw with what was being done.
int Checked(int result, const std::string& doing)
{
    if (result < 0)
        throw std::runtime_error("cannot " + doing + ": " + AvError(result));
    return result;
}

struct CodecContextFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};
struct SwrFree {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct FifoFree {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
struct DictionaryFree {
    void operator()(AVDictionary* d) const { av_dict_free(&d); }
};

// The encoding choices of each container: quality over size, at a speed that keeps up with
// the renderer on a small machine.
struct ContainerCodecs {
    const char* format;
    const char* video;
    const char* audio;
    std::vector<std::pair<const char*, const char*>> videoOptions;
    long audioBitRate;
};

ContainerCodecs CodecsOf(VideoContainer container)
{
    if (container == VideoContainer::Mp4)
        return {"mp4", "libx264", "aac", {{"preset", "medium"}, {"crf", "18"}}, 192000};
    return {"webm",
            "libvpx-vp9",
            "libopus",
            {{"crf", "32"}, {"b", "0"}, {"deadline", "good"}, {"cpu-used", "5"}, {"row-mt", "1"}},
            160000};
}

const AVCodec* FindEncoder(const char* name)
{
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec)
        throw std::runtime_error(std::string("this FFmpeg has no \"") + name + "\" encoder");
    return codec;
}

// The encoder's sample format: planar float where it takes it (native AAC takes nothing else),
// else interleaved float, else 16-bit.
AVSampleFormat SampleFormatFor(const AVCodec* codec)
{
    if (!codec->sample_fmts)
        return AV_SAMPLE_FMT_FLTP;
    for (AVSampleFormat wanted : {AV_SAMPLE_FMT_FLTP, AV_SAMPLE_FMT_FLT, AV_SAMPLE_FMT_S16})
        for (const AVSampleFormat* f = codec->sample_fmts; *f != AV_SAMPLE_FMT_NONE; ++f)
            if (*f == wanted)
                return wanted;
    return codec->sample_fmts[0];
}

// The given rate when the encoder takes it, else 48 kHz (Opus knows no 44.1 kHz).
int SampleRateFor(const AVCodec* codec, unsigned given)
{
    if (!codec->supported_samplerates)
        return static_cast<int>(given);
    for (const int* r = codec->supported_samplerates; *r != 0; ++r)
        if (*r == static_cast<int>(given))
            return *r;
    return 48000;
}

} // namespace

std::optional<VideoContainer> ContainerFor(const std::filesystem::path& path)
{
    std::string extension = path.extension().string();
    for (char& c : extension)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (extension == ".mp4")
        return VideoContainer::Mp4;
    if (extension == ".webm")
        return VideoContainer::WebM;
    return std::nullopt;
}

std::int64_t SampleOfFrame(std::int64_t frame, unsigned rate, unsigned fps)
{
    // floor((2 n rate + fps) / (2 fps)) is n rate / fps rounded half up, for frames on either side of 0.
    const std::int64_t twice = 2 * frame * static_cast<std::int64_t>(rate) + fps;
    const std::int64_t divisor = 2 * static_cast<std::int64_t>(fps);
    return twice >= 0 ? twice / divisor : -((-twice + divisor - 1) / divisor);
}

struct VideoEncoder::State {
    VideoEncoderOptions options;
    AVFormatContext* format = nullptr;
    AVStream* videoStream = nullptr;
    AVStream* audioStream = nullptr;
    std::unique_ptr<AVCodecContext, CodecContextFree> video;
    std::unique_ptr<AVCodecContext, CodecContextFree> audio;
    std::unique_ptr<AVFrame, FrameFree> picture;
    std::unique_ptr<AVFrame, FrameFree> sound;
    std::unique_ptr<AVPacket, PacketFree> packet;
    std::unique_ptr<SwsContext, SwsFree> scaler;
    std::unique_ptr<SwrContext, SwrFree> resampler;
    std::unique_ptr<AVAudioFifo, FifoFree> fifo;
    int audioFrameSize = 0;
    long videoFrames = 0;
    std::int64_t audioSamples = 0; // handed to the encoder
    std::int64_t audioShift = 0;   // added to the sound's packet times, in samples
    bool finished = false;

    ~State()
    {
        if (format) {
            if (format->pb)
                avio_closep(&format->pb);
            avformat_free_context(format);
        }
    }

    // Everything the encoder has ready goes into the file.
    void Drain(AVCodecContext* codec, AVStream* stream)
    {
        for (;;) {
            const int result = avcodec_receive_packet(codec, packet.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                return;
            Checked(result, "encode");
            if (codec == audio.get()) {
                packet->pts += audioShift;
                packet->dts += audioShift;
            }
            av_packet_rescale_ts(packet.get(), codec->time_base, stream->time_base);
            packet->stream_index = stream->index;
            Checked(av_interleaved_write_frame(format, packet.get()), "write the file");
        }
    }

    void Encode(AVCodecContext* codec, AVStream* stream, const AVFrame* frame)
    {
        Checked(avcodec_send_frame(codec, frame), "encode");
        Drain(codec, stream);
    }

    // `count` samples from the queue as one encoder frame.
    void EncodeQueuedSound(int count)
    {
        Checked(av_frame_make_writable(sound.get()), "make a sound frame");
        sound->nb_samples = count;
        if (av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(sound->data), count) != count)
            throw std::runtime_error("cannot read the queued sound");
        sound->pts = audioSamples;
        audioSamples += count;
        Encode(audio.get(), audioStream, sound.get());
    }

    // Converted sound from the resampler into the queue; `input` null drains the resampler.
    void Resample(const std::uint8_t* input, int inputFrames)
    {
        const int room = swr_get_out_samples(resampler.get(), inputFrames);
        if (room <= 0 && !input)
            return;
        std::uint8_t** converted = nullptr;
        int lineSize = 0;
        Checked(av_samples_alloc_array_and_samples(&converted, &lineSize, audio->ch_layout.nb_channels,
                                                   std::max(room, 1), audio->sample_fmt, 0),
                "make a sound buffer");
        const std::uint8_t* inputs[1] = {input};
        const int made = swr_convert(resampler.get(), converted, std::max(room, 1), input ? inputs : nullptr, inputFrames);
        int written = 0;
        if (made > 0)
            written = av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(converted), made);
        av_freep(&converted[0]);
        av_freep(&converted);
        Checked(made, "convert the sound");
        if (written != made)
            throw std::runtime_error("cannot queue the sound");
    }
};

VideoEncoder::VideoEncoder(const std::filesystem::path& path, const VideoEncoderOptions& options)
    : state(std::make_unique<State>())
{
    State& s = *state;
    s.options = options;
    if (options.width == 0 || options.height == 0 || options.width % 2 != 0 || options.height % 2 != 0)
        throw std::runtime_error("the picture's width and height must be even and above 0, not " +
                                 std::to_string(options.width) + "x" + std::to_string(options.height));
    if (options.fps == 0)
        throw std::runtime_error("the frame rate must be above 0");
    if (options.audioRate == 0 || options.audioChannels < 1 || options.audioChannels > 2)
        throw std::runtime_error("the sound must be mono or stereo at a rate above 0");
    const ContainerCodecs codecs = CodecsOf(options.container);
    av_log_set_level(AV_LOG_ERROR);

    Checked(avformat_alloc_output_context2(&s.format, nullptr, codecs.format, path.string().c_str()),
            std::string("make a ") + codecs.format + " file");
    const bool globalHeader = (s.format->oformat->flags & AVFMT_GLOBALHEADER) != 0;
    s.packet.reset(av_packet_alloc());
    if (!s.packet)
        throw std::runtime_error("out of memory");

    // Pictures: yuv420p, BT.709 colours in video range, one time step a frame.
    const AVCodec* videoCodec = FindEncoder(codecs.video);
    s.video.reset(avcodec_alloc_context3(videoCodec));
    if (!s.video)
        throw std::runtime_error("out of memory");
    AVCodecContext& v = *s.video;
    v.width = static_cast<int>(options.width);
    v.height = static_cast<int>(options.height);
    v.pix_fmt = AV_PIX_FMT_YUV420P;
    v.time_base = AVRational{1, static_cast<int>(options.fps)};
    v.framerate = AVRational{static_cast<int>(options.fps), 1};
    v.sample_aspect_ratio = AVRational{1, 1};
    v.color_range = AVCOL_RANGE_MPEG;
    v.colorspace = AVCOL_SPC_BT709;
    v.color_primaries = AVCOL_PRI_BT709;
    v.color_trc = AVCOL_TRC_BT709;
    v.thread_count = 0;
    if (globalHeader)
        v.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    AVDictionary* videoOptions = nullptr;
    for (const auto& [key, value] : codecs.videoOptions)
        av_dict_set(&videoOptions, key, value, 0);
    const int videoOpened = avcodec_open2(&v, videoCodec, &videoOptions);
    av_dict_free(&videoOptions);
    Checked(videoOpened, std::string("open the ") + codecs.video + " encoder");
    s.videoStream = avformat_new_stream(s.format, nullptr);
    if (!s.videoStream)
        throw std::runtime_error("out of memory");
    Checked(avcodec_parameters_from_context(s.videoStream->codecpar, &v), "describe the video");
    s.videoStream->time_base = v.time_base;
    s.videoStream->avg_frame_rate = v.framerate;
    s.videoStream->sample_aspect_ratio = v.sample_aspect_ratio;

    s.picture.reset(av_frame_alloc());
    if (!s.picture)
        throw std::runtime_error("out of memory");
    s.picture->format = v.pix_fmt;
    s.picture->width = v.width;
    s.picture->height = v.height;
    Checked(av_frame_get_buffer(s.picture.get(), 0), "make a picture");
    s.scaler.reset(sws_getContext(v.width, v.height, AV_PIX_FMT_BGRA, v.width, v.height, AV_PIX_FMT_YUV420P,
                                  SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INT, nullptr, nullptr, nullptr));
    if (!s.scaler)
        throw std::runtime_error("cannot convert the pictures to yuv420p");
    // Full-range RGB in, BT.709 video range out, as the stream says.
    const int* bt709 = sws_getCoefficients(SWS_CS_ITU709);
    sws_setColorspaceDetails(s.scaler.get(), bt709, 1, bt709, 0, 0, 1 << 16, 1 << 16);

    // Sound: stereo at the encoder's rate, in frames of the encoder's size.
    const AVCodec* audioCodec = FindEncoder(codecs.audio);
    s.audio.reset(avcodec_alloc_context3(audioCodec));
    if (!s.audio)
        throw std::runtime_error("out of memory");
    AVCodecContext& a = *s.audio;
    a.sample_fmt = SampleFormatFor(audioCodec);
    a.sample_rate = SampleRateFor(audioCodec, options.audioRate);
    av_channel_layout_default(&a.ch_layout, 2);
    a.bit_rate = codecs.audioBitRate;
    a.time_base = AVRational{1, a.sample_rate};
    if (globalHeader)
        a.flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    Checked(avcodec_open2(&a, audioCodec, nullptr), std::string("open the ") + codecs.audio + " encoder");
    s.audioStream = avformat_new_stream(s.format, nullptr);
    if (!s.audioStream)
        throw std::runtime_error("out of memory");
    Checked(avcodec_parameters_from_context(s.audioStream->codecpar, &a), "describe the sound");
    s.audioStream->time_base = a.time_base;
    // The encoder dates its packets from the start of its own padding (AAC's priming, Opus's
    // pre-skip), which is initial_padding samples before the first sample given. An MP4 keeps
    // those times and skips the padding with an edit list. In WebM a block's time includes the
    // codec delay that the file declares (the padding), which players subtract; this muxer writes
    // the packets' times as they come, so the delay is added here: the first block is at 0, as
    // the first picture is, and the first sample after the padding plays with it.
    if (options.container == VideoContainer::WebM)
        s.audioShift = a.initial_padding;
    s.audioFrameSize = (a.codec->capabilities & AV_CODEC_CAP_VARIABLE_FRAME_SIZE) || a.frame_size <= 0 ? 1024 : a.frame_size;

    s.sound.reset(av_frame_alloc());
    if (!s.sound)
        throw std::runtime_error("out of memory");
    s.sound->format = a.sample_fmt;
    s.sound->sample_rate = a.sample_rate;
    Checked(av_channel_layout_copy(&s.sound->ch_layout, &a.ch_layout), "describe the sound");
    s.sound->nb_samples = s.audioFrameSize;
    Checked(av_frame_get_buffer(s.sound.get(), 0), "make a sound frame");

    AVChannelLayout input;
    av_channel_layout_default(&input, static_cast<int>(options.audioChannels));
    SwrContext* resampler = nullptr;
    Checked(swr_alloc_set_opts2(&resampler, &a.ch_layout, a.sample_fmt, a.sample_rate, &input, AV_SAMPLE_FMT_S16,
                                static_cast<int>(options.audioRate), 0, nullptr),
            "set up the sound conversion");
    s.resampler.reset(resampler);
    Checked(swr_init(resampler), "set up the sound conversion");
    s.fifo.reset(av_audio_fifo_alloc(a.sample_fmt, a.ch_layout.nb_channels, s.audioFrameSize * 4));
    if (!s.fifo)
        throw std::runtime_error("out of memory");

    Checked(avio_open(&s.format->pb, path.string().c_str(), AVIO_FLAG_WRITE), "write \"" + path.string() + "\"");
    AVDictionary* muxerOptions = nullptr;
    // The index at the front, so that a player can start before the whole file is there.
    if (options.container == VideoContainer::Mp4)
        av_dict_set(&muxerOptions, "movflags", "+faststart", 0);
    const int headerWritten = avformat_write_header(s.format, &muxerOptions);
    av_dict_free(&muxerOptions);
    Checked(headerWritten, "write the header of \"" + path.string() + "\"");
}

VideoEncoder::~VideoEncoder() = default;

void VideoEncoder::WriteVideo(const unsigned char* bgra)
{
    State& s = *state;
    if (s.finished)
        throw std::logic_error("the video is finished");
    Checked(av_frame_make_writable(s.picture.get()), "make a picture");
    const std::uint8_t* rows[1] = {bgra};
    const int strides[1] = {static_cast<int>(s.options.width * 4)};
    sws_scale(s.scaler.get(), rows, strides, 0, static_cast<int>(s.options.height), s.picture->data,
              s.picture->linesize);
    s.picture->pts = s.videoFrames++;
    s.Encode(s.video.get(), s.videoStream, s.picture.get());
}

void VideoEncoder::WriteAudio(const std::int16_t* interleaved, std::size_t frames)
{
    State& s = *state;
    if (s.finished)
        throw std::logic_error("the video is finished");
    // In pieces the resampler's counts can hold.
    constexpr std::size_t kPiece = 1 << 16;
    for (std::size_t done = 0; done < frames;) {
        const std::size_t count = std::min(kPiece, frames - done);
        s.Resample(reinterpret_cast<const std::uint8_t*>(interleaved + done * s.options.audioChannels),
                   static_cast<int>(count));
        done += count;
        while (av_audio_fifo_size(s.fifo.get()) >= s.audioFrameSize)
            s.EncodeQueuedSound(s.audioFrameSize);
    }
}

void VideoEncoder::Finish()
{
    State& s = *state;
    if (s.finished)
        return;
    s.finished = true;
    // The resampler's tail, then whole frames, then what is left as a short last frame (the
    // encoder marks its padding to be dropped) or, where the encoder takes only whole frames,
    // padded with silence.
    s.Resample(nullptr, 0);
    while (av_audio_fifo_size(s.fifo.get()) >= s.audioFrameSize)
        s.EncodeQueuedSound(s.audioFrameSize);
    if (const int left = av_audio_fifo_size(s.fifo.get()); left > 0) {
        if (!(s.audio->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME)) {
            std::uint8_t** silence = nullptr;
            Checked(av_samples_alloc_array_and_samples(&silence, nullptr, s.audio->ch_layout.nb_channels,
                                                       s.audioFrameSize - left, s.audio->sample_fmt, 0),
                    "make a sound buffer");
            av_samples_set_silence(silence, 0, s.audioFrameSize - left, s.audio->ch_layout.nb_channels,
                                   s.audio->sample_fmt);
            av_audio_fifo_write(s.fifo.get(), reinterpret_cast<void**>(silence), s.audioFrameSize - left);
            av_freep(&silence[0]);
            av_freep(&silence);
        }
        s.EncodeQueuedSound(av_audio_fifo_size(s.fifo.get()));
    }
    s.Encode(s.video.get(), s.videoStream, nullptr);
    s.Encode(s.audio.get(), s.audioStream, nullptr);
    Checked(av_write_trailer(s.format), "write the end of the file");
    Checked(avio_closep(&s.format->pb), "close the file");
}

long VideoEncoder::VideoFrames() const
{
    return state->videoFrames;
}

std::int64_t VideoEncoder::AudioSamples() const
{
    return state->audioSamples;
}

unsigned VideoEncoder::AudioRate() const
{
    return static_cast<unsigned>(state->audio->sample_rate);
}
