#include "PassReport.h"

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "DXFramework.h"
#include "PassFloors.h"
#include "ShowRecorder.h"

namespace {

constexpr std::size_t kHeaviest = 5;

double Median(std::vector<double> values)
{
    if (values.empty())
        return -1.0;
    std::sort(values.begin(), values.end());
    const std::size_t half = values.size() / 2;
    return values.size() % 2 ? values[half] : (values[half - 1] + values[half]) / 2.0;
}

bool SamePasses(const PassFrame& a, const PassFrame& b)
{
    if (a.passes.size() != b.passes.size())
        return false;
    for (std::size_t i = 0; i < a.passes.size(); ++i) {
        const PassRecord& x = a.passes[i];
        const PassRecord& y = b.passes[i];
        if (x.effect != y.effect || x.technique != y.technique || x.pass != y.pass || x.targets != y.targets)
            return false;
    }
    return true;
}

std::string Ms(double ms)
{
    if (ms < 0.0)
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", ms);
    return text;
}

std::string Ratio(double ms, double floor)
{
    if (ms < 0.0 || !(floor > 0.0))
        return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", ms / floor);
    return text;
}

// "Light 640x360 A16B16G16R16F", several joined by ", ", "x4" after a multisampled one.
std::string TargetsText(const PassRecord& pass)
{
    std::string text;
    for (const PassTarget& target : pass.targets) {
        if (!text.empty())
            text += ", ";
        text += target.name + " " + std::to_string(target.width) + "x" + std::to_string(target.height) + " " +
                PassFormatName(target.format);
        if (target.samples > 1)
            text += " x" + std::to_string(target.samples);
    }
    return text.empty() ? "-" : text;
}

std::string ReadsText(const PassRecord& pass)
{
    std::string text;
    for (const std::string& read : pass.reads)
        text += (text.empty() ? "" : ", ") + read;
    return text.empty() ? "-" : text;
}

nlohmann::ordered_json Time(double ms)
{
    return ms < 0.0 ? nlohmann::ordered_json(nullptr) : nlohmann::ordered_json(ms);
}

} // namespace

double PassReport::PassesMs() const
{
    double sum = 0.0;
    for (const PassRecord& pass : list.passes)
        sum += std::max(pass.ms, 0.0);
    return sum;
}

double PassReport::FloorsMs() const
{
    double sum = 0.0;
    for (double floor : floorMs)
        sum += std::max(floor, 0.0);
    return sum;
}

PassFrame MedianFrame(const std::vector<PassFrame>& runs)
{
    if (runs.empty())
        return {};
    PassFrame result = runs.front();
    std::vector<double> frameTimes;
    std::vector<std::vector<double>> passTimes(result.passes.size());
    for (const PassFrame& run : runs) {
        if (!SamePasses(run, result))
            continue;
        if (run.ms >= 0.0)
            frameTimes.push_back(run.ms);
        for (std::size_t i = 0; i < run.passes.size(); ++i)
            if (run.passes[i].ms >= 0.0)
                passTimes[i].push_back(run.passes[i].ms);
    }
    result.ms = Median(frameTimes);
    for (std::size_t i = 0; i < result.passes.size(); ++i)
        result.passes[i].ms = Median(passTimes[i]);
    return result;
}

PassReport MeasurePasses(ShowRecorder& show, long frame, unsigned runs)
{
    if (runs == 0)
        throw std::invalid_argument("a pass list needs at least one run");
    IDirect3DDevice9* device = DXFramework::GetDevice();
    std::vector<PassFrame> frames;
    std::vector<unsigned char> bgra;
    bool timed = false;
    {
        PassRecorder recorder(device);
        timed = recorder.Timed();
        show.Render(frame, bgra);
        recorder.Finish();
        std::vector<PassFrame> drawn = recorder.TakeFrames();
        if (drawn.empty())
            throw std::runtime_error("the frame was drawn without a pass list");
        frames.push_back(std::move(drawn.back())); // the frames before it were its warm-up
        for (unsigned run = 1; run < runs; ++run) {
            show.RenderAgain(bgra);
            recorder.Finish();
            for (PassFrame& again : recorder.TakeFrames())
                frames.push_back(std::move(again));
        }
    }

    PassReport report;
    report.frame = frame;
    report.time = show.TimeOf(frame);
    report.scene = show.SceneNameOf(frame);
    report.width = show.Width();
    report.height = show.Height();
    report.fps = show.Fps();
    report.runs = runs;
    report.list = MedianFrame(frames);
    report.floorMs.assign(report.list.passes.size(), -1.0);
    if (timed) {
        PassFloors floors(device);
        for (std::size_t i = 0; i < report.list.passes.size(); ++i)
            report.floorMs[i] = floors.Measure(report.list.passes[i].targets);
    }
    return report;
}

std::string PassReportText(const PassReport& report)
{
    const PassFrame& list = report.list;
    char line[512];
    std::string text;
    std::snprintf(line, sizeof line, "frame %ld at %u fps (%.4f s), %s, %ux%u: %zu passes, frame %s ms (median of %u runs)\n\n",
                  report.frame, report.fps, report.time, report.scene.c_str(), report.width, report.height,
                  list.passes.size(), Ms(list.ms).c_str(), report.runs);
    text += line;
    text += "    #       ms    floor  ratio  draws   prims  pass / targets / reads\n";
    for (std::size_t i = 0; i < list.passes.size(); ++i) {
        const PassRecord& pass = list.passes[i];
        std::snprintf(line, sizeof line, "%5zu %8s %8s %6s %6llu %7llu  %s -> %s <- %s\n", i + 1, Ms(pass.ms).c_str(),
                      Ms(report.floorMs[i]).c_str(), Ratio(pass.ms, report.floorMs[i]).c_str(),
                      static_cast<unsigned long long>(pass.draws), static_cast<unsigned long long>(pass.primitives),
                      pass.Name().c_str(), TargetsText(pass).c_str(), ReadsText(pass).c_str());
        text += line;
    }
    std::snprintf(line, sizeof line, "\nframe %s ms, passes %s ms, floors %s ms\n", Ms(list.ms).c_str(),
                  Ms(list.ms < 0.0 ? -1.0 : report.PassesMs()).c_str(),
                  Ms(list.ms < 0.0 ? -1.0 : report.FloorsMs()).c_str());
    text += line;
    if (list.ms >= 0.0 && !list.passes.empty()) {
        text += "heaviest:\n";
        const std::vector<std::size_t> heaviest = HeaviestPasses(list, kHeaviest);
        for (std::size_t rank = 0; rank < heaviest.size(); ++rank) {
            const std::size_t i = heaviest[rank];
            const PassRecord& pass = list.passes[i];
            std::snprintf(line, sizeof line, "  %zu. #%zu %s -> %s  %s ms, %s x its floor\n", rank + 1, i + 1,
                          pass.Name().c_str(), PassTargetNames(pass).c_str(), Ms(pass.ms).c_str(),
                          Ratio(pass.ms, report.floorMs[i]).c_str());
            text += line;
        }
    }
    return text;
}

std::string PassReportJson(const PassReport& report)
{
    using Json = nlohmann::ordered_json;
    Json json;
    json["frame"] = report.frame;
    json["time"] = report.time;
    json["fps"] = report.fps;
    json["scene"] = report.scene;
    json["width"] = report.width;
    json["height"] = report.height;
    json["runs"] = report.runs;
    json["frame_ms"] = Time(report.list.ms);
    json["passes_ms"] = Time(report.list.ms < 0.0 ? -1.0 : report.PassesMs());
    json["floors_ms"] = Time(report.list.ms < 0.0 ? -1.0 : report.FloorsMs());
    Json passes = Json::array();
    for (std::size_t i = 0; i < report.list.passes.size(); ++i) {
        const PassRecord& pass = report.list.passes[i];
        Json targets = Json::array();
        for (const PassTarget& target : pass.targets)
            targets.push_back(Json{{"name", target.name},
                                   {"width", target.width},
                                   {"height", target.height},
                                   {"format", PassFormatName(target.format)},
                                   {"samples", target.samples}});
        const double floor = report.floorMs[i];
        passes.push_back(Json{{"effect", pass.effect},
                              {"technique", pass.technique},
                              {"pass", pass.pass},
                              {"targets", std::move(targets)},
                              {"reads", pass.reads},
                              {"draws", pass.draws},
                              {"primitives", pass.primitives},
                              {"ms", Time(pass.ms)},
                              {"floor_ms", Time(floor)},
                              {"ratio", pass.ms >= 0.0 && floor > 0.0 ? Json(pass.ms / floor) : Json(nullptr)}});
    }
    json["passes"] = std::move(passes);
    Json heaviest = Json::array();
    if (report.list.ms >= 0.0)
        for (std::size_t i : HeaviestPasses(report.list, kHeaviest))
            heaviest.push_back(i);
    json["heaviest"] = std::move(heaviest);
    return json.dump(2) + "\n";
}
