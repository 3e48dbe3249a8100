#pragma once
#include <string>
#include <vector>

#include "DXEffect/PassRecorder.h"

class ShowRecorder;

// The pass list of one frame of the show with what each pass costs on the GPU against its
// floor (PassFloors): the frame drawn `runs` times, each pass's time the median of its runs.
struct PassReport {
    long frame = 0;
    double time = 0.0;
    std::string scene;
    unsigned width = 0;
    unsigned height = 0;
    unsigned fps = 0;
    unsigned runs = 0;
    PassFrame list;              // the frame's passes, times the medians (negative: not timed)
    std::vector<double> floorMs; // per pass; negative where not measured

    double PassesMs() const;     // the sum of the passes' times
    double FloorsMs() const;     // the sum of their floors
};

// The passes of frame `frame` of the show (drawn as ShowRecorder::Render draws it, warm-up
// included), drawn `runs` times in all; the floors are measured after the last run. Without a
// GPU clock (the recording device) the list has no times and no floors.
PassReport MeasurePasses(ShowRecorder& show, long frame, unsigned runs);

// The runs of one frame as one list: the first run's passes, each pass's time the median of the
// runs whose list has the same passes into the same targets (the frame's time likewise).
PassFrame MedianFrame(const std::vector<PassFrame>& runs);

// The report for people: one line a pass (time, floor, ratio, draws, primitives, pass, targets,
// reads), the sums, and the five heaviest passes.
std::string PassReportText(const PassReport& report);
// The report as JSON: frame_ms and passes (effect, technique, pass, targets with name, width,
// height, format and samples, reads, draws, primitives, ms and floor_ms; null where not timed),
// the frame, time, scene and size, and the five heaviest passes by index.
std::string PassReportJson(const PassReport& report);
