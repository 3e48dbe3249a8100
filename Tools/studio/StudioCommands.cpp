#include "Studio.h"

#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "StudioTimeline.h"
#include "DXFramework.h"
#include "Scene.h"
#include "SceneHandler.h"
#include "ShowComposition.h"
#include "image/PngFile.h"
#include "show/HostFailures.h"
#include "show/ShowRecorder.h"
#include "sync/Device.h"
#include "sync/Track.h"

// The script's commands, and what they write: pictures, archives and the status.

namespace fs = std::filesystem;

namespace {

double ParseSecondsWord(const std::string& text, const std::string& what)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(value))
        throw ToolUsageError{what + " takes a number of seconds, not \"" + text + "\""};
    return value;
}

std::string JsonString(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        default:
            if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
                out += escaped;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

std::string JsonNumber(double value)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", value);
    return text;
}

} // namespace

// ---- Commands ----

bool Studio::RunCommand(const std::string& line, unsigned number)
{
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    if (words.empty() || words[0][0] == '#')
        return true;
    const std::string command = words[0];
    const std::vector<std::string> rest(words.begin() + 1, words.end());
    const auto expect = [&](std::size_t count) {
        if (rest.size() != count)
            throw ToolUsageError{command + " takes " + std::to_string(count) + (count == 1 ? " value" : " values")};
    };
    try {
        if (command == "at") {
            expect(1);
            const double seconds = ParseSecondsWord(rest[0], "at");
            if (seconds < 0.0 || seconds > kShowEndTime)
                throw ToolUsageError{"the time must lie within the show, 0 to 141.5 seconds"};
            Seek(seconds, false);
        } else if (command == "play") {
            expect(0);
            playing = true;
            SyncMusic(true);
        } else if (command == "pause") {
            expect(0);
            playing = false;
            SyncMusic(true);
        } else if (command == "speed") {
            expect(1);
            const double value = ParseSecondsWord(rest[0], "speed");
            if (value < 0.25 || value > 4.0)
                throw ToolUsageError{"speed takes a factor from 0.25 to 4, not \"" + rest[0] + "\""};
            SetSpeed(value);
        } else if (command == "loop") {
            if (rest.size() == 1 && rest[0] == "off") {
                loop = loopStartOnly = false;
            } else {
                expect(2);
                const double a = ParseSecondsWord(rest[0], "loop");
                const double b = ParseSecondsWord(rest[1], "loop");
                if (!(a >= 0.0 && a < b && b <= kShowEndTime))
                    throw ToolUsageError{"loop needs a start before its end, within 0 to 141.5 seconds"};
                loop = true;
                loopStartOnly = false;
                loopStart = a;
                loopEnd = b;
            }
        } else if (command == "wait-reload") {
            expect(0);
            waitingReload = true;
        } else if (command == "shot") {
            const ToolArguments parsed(rest, {kStudioSizeOption});
            if (parsed.Operands().size() != 1)
                throw ToolUsageError{"shot takes a file name and, if wanted, --size WxH"};
            const ToolSize size = parsed.Size("--size", {DXFramework::GetWidth(), DXFramework::GetHeight()});
            Shot(parsed.Operands()[0], size.width, size.height);
        } else if (command == "pack") {
            expect(1);
            Pack(rest[0]);
        } else if (command == "status") {
            expect(1);
            Status(rest[0]);
        } else if (command == "quit") {
            expect(0);
            quit = true;
        } else {
            throw ToolUsageError{"unknown command \"" + command +
                                 "\" (at, play, pause, speed, loop, wait-reload, shot, pack, status, quit)"};
        }
    } catch (const ToolUsageError& e) {
        std::fprintf(stderr, "%s:%u: error: %s\n", script->Name().c_str(), number, e.message.c_str());
        return false;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s:%u: error: %s\n", script->Name().c_str(), number, e.what());
        return false;
    }
    return true;
}

void Studio::Shot(const fs::path& file, unsigned width, unsigned height)
{
    const unsigned liveWidth = DXFramework::GetWidth();
    const unsigned liveHeight = DXFramework::GetHeight();
    const bool resize = width != liveWidth || height != liveHeight;
    std::vector<unsigned char> bgra;
    Reported([&] {
        if (resize) {
            overlay.Release();
            framework->ResizeBackBuffer(width, height);
        }
        // The frame a capture at 60 fps shows at this time, after the same warm-up `frame` draws.
        ShowRecorder frames(*framework, kShotFps);
        frames.Render(frames.FrameAt(time), bgra);
        if (resize) {
            overlay.Release();
            framework->ResizeBackBuffer(liveWidth, liveHeight);
        }
    });
    SceneHandler::LeaveCurrent();
    dirty = true;
    if (!WritePngBGRA(file.string(), bgra.data(), width, height, width * 4))
        throw std::runtime_error("cannot write \"" + file.string() + "\"");
}

void Studio::Pack(const fs::path& file)
{
    if (buildFailed)
        throw std::runtime_error("the sources do not build (" +
                                 (lastReload.errors.empty() ? std::string("see the last reload")
                                                            : lastReload.errors.front().Text()) +
                                 "); there is no archive of them");
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(currentArchive.data()), static_cast<std::streamsize>(currentArchive.size()));
    if (!out)
        throw std::runtime_error("cannot write \"" + file.string() + "\"");
}

void Studio::Status(const fs::path& file)
{
    const long row = static_cast<long>(std::floor(Row() + 1e-6));
    std::string json = "{\n";
    json += "  \"time\": " + JsonNumber(time) + ",\n";
    json += "  \"row\": " + std::to_string(row) + ",\n";
    json += "  \"bar\": " + std::to_string(row / kRowsPerBar + 1) + ",\n";
    json += "  \"beat\": " + std::to_string(row % kRowsPerBar / kRowsPerBeat + 1) + ",\n";
    json += "  \"section\": " + JsonString(SectionAt(time)) + ",\n";
    // The scene the track "Scene" selects now (truncated, an index out of range shows scene 0, as
    // the scene handler does), whether or not a frame was drawn since.
    const float selected = DXFramework::GetSyncDevice()->getTrack("Scene").getValue(static_cast<float>(Row()));
    const auto index = static_cast<unsigned>(static_cast<long long>(selected));
    const std::vector<std::string>& names = ShowSceneNames();
    json += "  \"scene\": " + JsonString(names.at(index < names.size() ? index : 0u)) + ",\n";
    json += "  \"camera\": " + JsonString(CameraName()) + ",\n";
    json += std::string("  \"paused\": ") + (playing ? "false" : "true") + ",\n";
    json += "  \"speed\": " + JsonNumber(speed) + ",\n";
    if (loop && !loopStartOnly)
        json += "  \"loop\": {\"start\": " + JsonNumber(loopStart) + ", \"end\": " + JsonNumber(loopEnd) + "},\n";
    else
        json += "  \"loop\": null,\n";
    json += "  \"content_version\": " + std::to_string(contentVersion) + ",\n";
    // The frames drawn since the last status: how many, their median and their worst time.
    std::vector<double> times = frameTimes;
    frameTimes.clear();
    std::sort(times.begin(), times.end());
    json += "  \"frames\": {\"count\": " + std::to_string(times.size()) + ", \"median_ms\": " +
            JsonNumber(times.empty() ? 0.0 : times[times.size() / 2]) +
            ", \"worst_ms\": " + JsonNumber(times.empty() ? 0.0 : times.back()) + "},\n";
    if (!lastReload.happened) {
        json += "  \"last_reload\": null\n";
    } else {
        json += "  \"last_reload\": {\"what\": " + JsonString(lastReload.what) + ", \"ms\": " +
                JsonNumber(std::round(lastReload.ms)) + ", \"ok\": " + (lastReload.ok ? "true" : "false");
        if (!lastReload.ok && !lastReload.errors.empty()) {
            const ContentDiagnostic& error = lastReload.errors.front();
            json += ", \"error\": {\"file\": " + JsonString(error.file) + ", \"line\": " + std::to_string(error.line) +
                    ", \"message\": " + JsonString(error.message) + "}";
        }
        json += "}\n";
    }
    json += "}\n";
    const fs::path next = file.string() + ".new";
    {
        std::ofstream out(next, std::ios::trunc);
        out << json;
        if (!out)
            throw std::runtime_error("cannot write \"" + file.string() + "\"");
    }
    fs::rename(next, file);
}

