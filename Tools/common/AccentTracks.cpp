#include "common/AccentTracks.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <iterator>
#include <optional>
#include <sstream>

#include "common/synth/ScoreEvents.h"

namespace {

using KeyFrame = sync::Track::KeyFrame;

constexpr const char* kInterpolations[] = {"step", "linear", "smooth", "ramp"};

std::vector<std::string> Words(const std::string& line)
{
    std::istringstream in(line.substr(0, line.find('#')));
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return words;
}

std::vector<std::string> SplitCommas(unsigned line, const std::string& list)
{
    std::vector<std::string> names;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = list.find(',', start);
        const std::string name = list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (name.empty())
            throw AccentRulesError(line, "empty section name in \"" + list + "\"");
        names.push_back(name);
        if (comma == std::string::npos)
            return names;
        start = comma + 1;
    }
}

float ParseValue(unsigned line, const std::string& word)
{
    char* end = nullptr;
    const float value = std::strtof(word.c_str(), &end);
    if (word.empty() || end != word.c_str() + word.size() || !std::isfinite(value))
        throw AccentRulesError(line, "value \"" + word + "\" is not a finite number");
    return value;
}

unsigned ParseRows(unsigned line, const std::string& word)
{
    char* end = nullptr;
    const unsigned long rows = std::strtoul(word.c_str(), &end, 10);
    if (word.empty() || word[0] == '-' || end != word.c_str() + word.size() || rows == 0 || rows > 1000000)
        throw AccentRulesError(line, "rows \"" + word + "\" is not a whole number from 1 to 1000000");
    return static_cast<unsigned>(rows);
}

int ParseInterpolation(unsigned line, const std::string& word)
{
    for (int code = 0; code < 4; ++code)
        if (word == kInterpolations[code])
            return code;
    throw AccentRulesError(line, "unknown interpolation \"" + word + "\" (step, linear, smooth or ramp)");
}

// How far the track's interpolation has moved from one key to the next at a part t (0..1) of
// the way, as the demo evaluates it.
float Progress(int interpolation, float t)
{
    switch (interpolation) {
    case KeyFrame::Linear:
        return t;
    case KeyFrame::Smooth:
        return static_cast<float>((1.0 - std::cos(t * 3.141592653589793)) * 0.5);
    case KeyFrame::Ramp:
        return t * t;
    default:
        return 0.0f;
    }
}

// Rows [start, end) of the track: a section, or an accent; end empty when it never ends.
struct Span {
    unsigned start = 0;
    std::optional<unsigned> end;
};

// Where each section of a name starts and ends; the last section never ends.
std::vector<Span> SectionRanges(const synth::Score& score, const std::string& name, unsigned line)
{
    std::vector<Span> ranges;
    for (std::size_t i = 0; i < score.sections.size(); ++i) {
        if (score.sections[i].name != name)
            continue;
        Span range{static_cast<unsigned>(score.sections[i].startRow), std::nullopt};
        if (i + 1 < score.sections.size())
            range.end = static_cast<unsigned>(score.sections[i + 1].startRow);
        ranges.push_back(range);
    }
    if (ranges.empty())
        throw AccentRulesError(line, "the score has no section \"" + name + "\"");
    return ranges;
}

// The accents of one rule in row order: their start rows, each one cut by its section's end and
// the next accent.
std::vector<Span> RuleAccents(const AccentRule& rule, const synth::Score& score)
{
    std::vector<Span> ranges;
    for (const std::string& name : rule.sections)
        for (const Span& range : SectionRanges(score, name, rule.line))
            ranges.push_back(range);

    std::vector<Span> accents;
    if (rule.voice.empty()) {
        accents = ranges;
    } else {
        const int channel = synth::FindChannel(score, rule.voice);
        if (channel < 0)
            throw AccentRulesError(rule.line, "the score has no voice \"" + rule.voice + "\"");
        for (const synth::ScoreEvent& event : synth::ScoreEvents(score, channel)) {
            const auto row = static_cast<unsigned>(std::lround(event.row));
            for (const Span& range : ranges)
                if (row >= range.start && (!range.end || row < *range.end))
                    accents.push_back(Span{row, range.end});
        }
    }
    std::sort(accents.begin(), accents.end(), [](const Span& a, const Span& b) { return a.start < b.start; });
    accents.erase(std::unique(accents.begin(), accents.end(),
                              [](const Span& a, const Span& b) { return a.start == b.start; }),
                  accents.end());
    for (std::size_t i = 0; i + 1 < accents.size(); ++i)
        if (!accents[i].end || *accents[i].end > accents[i + 1].start)
            accents[i].end = accents[i + 1].start;
    return accents;
}

// The key frames of one accent. The rows where it falls back to 0 go to `rests`: they give way to
// any key frame another accent sets on the same row.
void AddAccentKeys(const AccentRule& rule, const Span& span, TrackKeys& keys, std::vector<unsigned>& rests)
{
    if (span.end)
        rests.push_back(*span.end);
    if (rule.shape == AccentRule::Shape::Hold) {
        keys[span.start] = KeyFrame{rule.value, KeyFrame::Step};
        return;
    }
    const bool peak = rule.shape == AccentRule::Shape::Peak;
    const float from = peak ? rule.value : 0.0f;
    const float to = peak ? 0.0f : rule.value;
    keys[span.start] = KeyFrame{from, rule.interpolation};
    const unsigned done = span.start + rule.rows;
    if (!span.end || done <= *span.end) {
        if (peak)
            rests.push_back(done);
        else
            keys[done] = KeyFrame{to, KeyFrame::Step};
    } else if (*span.end - 1 > span.start) {
        // Cut short: the value reached on the last row is held up to the end.
        const unsigned last = *span.end - 1;
        const float t = static_cast<float>(last - span.start) / static_cast<float>(rule.rows);
        keys[last] = KeyFrame{from + (to - from) * Progress(rule.interpolation, t), KeyFrame::Step};
    }
}

} // namespace

AccentRulesError::AccentRulesError(unsigned line, const std::string& message)
    : std::runtime_error("line " + std::to_string(line) + ": " + message), line(line), message(message)
{
}

std::vector<AccentRule> ParseAccentRules(const std::string& text)
{
    std::vector<AccentRule> rules;
    std::istringstream in(text);
    unsigned number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        const std::vector<std::string> words = Words(line);
        if (words.empty())
            continue;
        AccentRule rule;
        rule.line = number;
        rule.track = words[0];
        std::size_t i = 1;
        auto next = [&](const char* what) -> const std::string& {
            if (i >= words.size())
                throw AccentRulesError(number, std::string("missing ") + what);
            return words[i++];
        };
        const std::string& when = next("\"at\" or \"on\" after the track name");
        if (when == "on") {
            rule.voice = next("voice after \"on\"");
            if (next("\"in\" after the voice") != "in")
                throw AccentRulesError(number, "\"in\" and the sections must follow the voice");
        } else if (when != "at") {
            throw AccentRulesError(number, "\"" + when + "\" is neither \"at\" nor \"on\"");
        }
        rule.sections = SplitCommas(number, next("sections"));
        const std::string& shape = next("shape (peak, hold or fade)");
        if (shape == "peak") {
            rule.shape = AccentRule::Shape::Peak;
            rule.value = ParseValue(number, next("peak value"));
            if (next("\"decay\" after the peak value") != "decay")
                throw AccentRulesError(number, "\"decay <rows>\" must follow the peak value");
            rule.rows = ParseRows(number, next("decay rows"));
            rule.interpolation = i < words.size() ? ParseInterpolation(number, words[i++]) : KeyFrame::Linear;
        } else if (shape == "hold") {
            rule.shape = AccentRule::Shape::Hold;
            rule.value = ParseValue(number, next("held value"));
            rule.interpolation = KeyFrame::Step;
        } else if (shape == "fade") {
            rule.shape = AccentRule::Shape::Fade;
            rule.value = ParseValue(number, next("fade value"));
            if (next("\"over\" after the fade value") != "over")
                throw AccentRulesError(number, "\"over <rows>\" must follow the fade value");
            rule.rows = ParseRows(number, next("fade rows"));
            rule.interpolation = i < words.size() ? ParseInterpolation(number, words[i++]) : KeyFrame::Smooth;
        } else {
            throw AccentRulesError(number, "unknown shape \"" + shape + "\" (peak, hold or fade)");
        }
        if (i < words.size())
            throw AccentRulesError(number, "unexpected \"" + words[i] + "\" at the end");
        rules.push_back(rule);
    }
    return rules;
}

std::map<std::string, TrackKeys> BuildAccentTracks(const std::vector<AccentRule>& rules, const synth::Score& score)
{
    struct Covered {
        Span span;
        unsigned line;
    };
    std::map<std::string, TrackKeys> tracks;
    std::map<std::string, std::vector<Covered>> covered;
    std::map<std::string, std::vector<unsigned>> rests;
    for (const AccentRule& rule : rules) {
        const std::vector<Span> accents = RuleAccents(rule, score);
        std::vector<Covered>& taken = covered[rule.track];
        for (const Span& span : accents)
            for (const Covered& other : taken) {
                const bool apart = (span.end && *span.end <= other.span.start) ||
                                   (other.span.end && *other.span.end <= span.start);
                if (!apart)
                    throw AccentRulesError(rule.line, rule.track + " at row " + std::to_string(span.start) +
                                                          " covers rows the rule of line " +
                                                          std::to_string(other.line) + " covers");
            }
        TrackKeys& keys = tracks[rule.track];
        for (const Span& span : accents) {
            AddAccentKeys(rule, span, keys, rests[rule.track]);
            taken.push_back(Covered{span, rule.line});
        }
    }
    for (auto& [track, keys] : tracks) {
        for (unsigned row : rests[track])
            keys.emplace(row, KeyFrame{0.0f, KeyFrame::Step});
        keys.emplace(0u, KeyFrame{0.0f, KeyFrame::Step});
        // A held value set again changes nothing.
        for (auto it = std::next(keys.begin()); it != keys.end();) {
            const KeyFrame& before = std::prev(it)->second;
            if (before.interpolation == KeyFrame::Step && it->second.interpolation == KeyFrame::Step &&
                before.value == it->second.value)
                it = keys.erase(it);
            else
                ++it;
        }
    }
    return tracks;
}
