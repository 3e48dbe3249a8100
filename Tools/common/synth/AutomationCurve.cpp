#include "common/synth/AutomationCurve.h"

#include <algorithm>
#include <cmath>

namespace synth {

AutomationCurve::AutomationCurve(const Score& score, int channel, AutomationParam param, double value)
    : defaultValue(value), logarithmic(param == AutomationParam::Cutoff)
{
    const int rowsPerBar = score.RowsPerBar();
    for (const Section& section : score.sections)
        for (const Automation& a : section.automations)
            if (a.channel == channel && a.param == param) {
                const double start = section.startRow + a.fromBar * rowsPerBar;
                const double end = section.startRow + a.toBar * rowsPerBar;
                const double from = logarithmic ? std::log2(a.from) : a.from;
                const double to = logarithmic ? std::log2(a.to) : a.to;
                segments.push_back(Segment{start, end, from, to});
            }
    std::stable_sort(segments.begin(), segments.end(),
                     [](const Segment& x, const Segment& y) { return x.startRow < y.startRow; });
}

double AutomationCurve::ValueAt(double row) const
{
    const auto after = std::upper_bound(segments.begin(), segments.end(), row,
                                        [](double r, const Segment& s) { return r < s.startRow; });
    if (after == segments.begin())
        return defaultValue;
    const Segment& s = *(after - 1);
    double value = s.to;
    if (row < s.endRow)
        value = s.from + (s.to - s.from) * (row - s.startRow) / (s.endRow - s.startRow);
    return logarithmic ? std::exp2(value) : value;
}

} // namespace synth
