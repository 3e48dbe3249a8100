#pragma once
// Video files read back by FFmpeg's own programs (ffprobe and ffmpeg), as a viewer's player
// reads them: the streams the container declares, the frames the decoders give, with their times
// once the codecs' own padding is dropped, and the decoded pictures and sound.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "ToolRun.h"

namespace capture_media {

// Everything a shell command writes on its standard output ("" when it cannot be run).
inline std::string CommandOutput(const std::string& command)
{
    std::string output;
    std::FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return output;
    char buffer[65536];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    pclose(pipe);
    return output;
}

// One stream's fields as ffprobe names them ("codec_name", "start_time", "nb_read_frames", ...).
using StreamFields = std::map<std::string, std::string>;

// The file's streams in order, their frames counted by decoding them.
inline std::vector<StreamFields> ProbeStreams(const std::filesystem::path& file)
{
    const std::string text = CommandOutput(
        "ffprobe -v error -count_frames -show_entries "
        "stream=index,codec_type,codec_name,pix_fmt,width,height,r_frame_rate,sample_rate,channels,start_time,"
        "nb_read_frames -of compact=p=0 " +
        ShellQuoted(file.string()));
    std::vector<StreamFields> streams;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        StreamFields fields;
        std::istringstream parts(line);
        for (std::string part; std::getline(parts, part, '|');)
            if (const std::size_t equals = part.find('='); equals != std::string::npos)
                fields[part.substr(0, equals)] = part.substr(equals + 1);
        streams.push_back(fields);
    }
    return streams;
}

// A decoded frame: when it is shown or played, and for sound how many samples it holds.
struct DecodedFrame {
    double time = 0.0;
    long samples = 0;
};

// The decoded frames of the first video ("v") or sound ("a") stream, in order.
inline std::vector<DecodedFrame> DecodedFrames(const std::filesystem::path& file, const std::string& kind)
{
    const std::string text = CommandOutput("ffprobe -v error -select_streams " + kind +
                                           ":0 -show_entries frame=pts_time,nb_samples -of csv=p=0 " +
                                           ShellQuoted(file.string()));
    std::vector<DecodedFrame> frames;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        if (line.empty())
            continue;
        DecodedFrame frame;
        frame.time = std::strtod(line.c_str(), nullptr);
        if (const std::size_t comma = line.find(','); comma != std::string::npos)
            frame.samples = std::strtol(line.c_str() + comma + 1, nullptr, 10);
        frames.push_back(frame);
    }
    return frames;
}

// Where the first video ("v") or sound ("a") stream ends as the container says: the latest end
// of its packets (time and length, less the samples the codec marks as padding to drop there;
// pictures are stored out of their order).
inline double StreamEnd(const std::filesystem::path& file, const std::string& kind, unsigned sampleRate = 0)
{
    const std::string text = CommandOutput("ffprobe -v error -select_streams " + kind +
                                           ":0 -show_entries packet=pts_time,duration_time:packet_side_data=discard_padding "
                                           "-of compact=p=0 " +
                                           ShellQuoted(file.string()));
    double end = 0.0;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::map<std::string, double> fields;
        std::istringstream parts(line);
        for (std::string part; std::getline(parts, part, '|');)
            if (const std::size_t equals = part.find('='); equals != std::string::npos)
                fields[part.substr(0, equals)] = std::strtod(part.c_str() + equals + 1, nullptr);
        if (!fields.count("pts_time"))
            continue;
        const double padding = sampleRate && fields.count("discard_padding") ? fields["discard_padding"] / sampleRate : 0.0;
        end = std::max(end, fields["pts_time"] + fields["duration_time"] - padding);
    }
    return end;
}

// The sound of the first sound stream decoded, mixed to one channel, at `rate`.
inline std::vector<float> DecodedSound(const std::filesystem::path& file, unsigned rate)
{
    const std::string bytes = CommandOutput("ffmpeg -v error -i " + ShellQuoted(file.string()) +
                                            " -map 0:a:0 -ac 1 -ar " + std::to_string(rate) + " -f f32le -");
    std::vector<float> samples(bytes.size() / sizeof(float));
    std::memcpy(samples.data(), bytes.data(), samples.size() * sizeof(float));
    return samples;
}

// The first picture decoded to R, G, B bytes, top row first.
inline std::vector<unsigned char> FirstPictureRgb(const std::filesystem::path& file)
{
    const std::string bytes = CommandOutput("ffmpeg -v error -i " + ShellQuoted(file.string()) +
                                            " -map 0:v:0 -frames:v 1 -f rawvideo -pix_fmt rgb24 -");
    return std::vector<unsigned char>(bytes.begin(), bytes.end());
}

} // namespace capture_media
