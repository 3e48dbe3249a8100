#include "common/synth/ScoreParser.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <vector>

#include "common/WholeFile.h"
#include "common/synth/NoteName.h"

namespace synth {

namespace {

using Words = std::vector<std::string>;

// Drums are played with hits; they carry this note.
constexpr int kDrumNote = 60;
constexpr int kMaxOscillators = 8;

class Parser {
public:
    Parser(const std::string& text, const std::string& sourceName) : text(text), source(sourceName) {}

    Score Run();

private:
    enum class Block { None, Instrument, Pattern, Section };

    [[noreturn]] void Fail(const std::string& message) const
    {
        throw ScoreError(source + ":" + std::to_string(line) + ": " + message);
    }

    double Number(const std::string& word, const char* what, double low, double high) const;
    int Integer(const std::string& word, const char* what, int low, int high) const;
    void NeedCount(const Words& words, std::size_t low, std::size_t high, const char* usage) const;
    int FindChannel(const std::string& name) const;
    void BarRange(const Words& words, std::size_t at, int bars, int& from, int& to) const;

    void Global(const Words& words);
    void InstrumentLine(const Words& words);
    void SynthKey(const Words& words, InstrumentSpec& spec);
    void DrumKey(const Words& words, InstrumentSpec& spec);
    void ChannelLine(const Words& words);
    void PatternLine(const Words& words);
    void LaneSteps(const std::string& channel, const Words& words);
    void SectionLine(const Words& words);
    void ClosePattern();
    Step ParseStep(const std::string& token, bool drum) const;

    const std::string& text;
    const std::string& source;
    int line = 0;
    int blockLine = 0;
    Block block = Block::None;
    Score score;
    std::map<std::string, int> instruments, channels, patterns, sections;
    std::map<int, int> laneSteps; // steps written so far per channel of the open pattern
    int patternStep = 2;
    int nextRow = 0;
};

double Parser::Number(const std::string& word, const char* what, double low, double high) const
{
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(word.c_str(), &end);
    if (word.empty() || *end != '\0' || errno == ERANGE || !std::isfinite(value))
        Fail(std::string(what) + " \"" + word + "\" is not a number");
    if (value < low || value > high) {
        std::ostringstream range;
        range << what << " " << word << " is outside " << low << " .. " << high;
        Fail(range.str());
    }
    return value;
}

int Parser::Integer(const std::string& word, const char* what, int low, int high) const
{
    const double value = Number(word, what, low, high);
    if (value != std::floor(value))
        Fail(std::string(what) + " \"" + word + "\" is not a whole number");
    return static_cast<int>(value);
}

void Parser::NeedCount(const Words& words, std::size_t low, std::size_t high, const char* usage) const
{
    if (words.size() < low || words.size() > high)
        Fail(std::string("expected \"") + usage + "\"");
}

int Parser::FindChannel(const std::string& name) const
{
    const auto found = channels.find(name);
    if (found == channels.end())
        Fail("unknown channel \"" + name + "\"");
    return found->second;
}

// "bars A-B" (1-based, inclusive) or "bar A" at words[at]; the whole section when absent.
void Parser::BarRange(const Words& words, std::size_t at, int bars, int& from, int& to) const
{
    from = 0;
    to = bars;
    if (words.size() == at)
        return;
    if (words.size() != at + 2 || (words[at] != "bars" && words[at] != "bar"))
        Fail("expected \"bars <first>-<last>\" or \"bar <n>\" after the values");
    const std::string& range = words[at + 1];
    const std::size_t dash = range.find('-');
    if (words[at] == "bar" || dash == std::string::npos) {
        from = Integer(range, "bar", 1, bars) - 1;
        to = from + 1;
        return;
    }
    from = Integer(range.substr(0, dash), "bar", 1, bars) - 1;
    to = Integer(range.substr(dash + 1), "bar", 1, bars);
    if (to <= from)
        Fail("bars " + range + " end before they start");
}

void Parser::Global(const Words& w)
{
    const std::string& key = w[0];
    if (key == "tempo") {
        NeedCount(w, 2, 2, "tempo <beats per minute>");
        score.tempo = Number(w[1], "tempo", 20, 400);
    } else if (key == "rows_per_beat") {
        NeedCount(w, 2, 2, "rows_per_beat <rows>");
        if (!score.channels.empty() || !score.patterns.empty())
            Fail("rows_per_beat must come before channels and patterns");
        score.rowsPerBeat = Integer(w[1], "rows_per_beat", 1, 64);
    } else if (key == "beats_per_bar") {
        NeedCount(w, 2, 2, "beats_per_bar <beats>");
        if (!score.sections.empty())
            Fail("beats_per_bar must come before the sections");
        score.beatsPerBar = Integer(w[1], "beats_per_bar", 1, 16);
    } else if (key == "length") {
        NeedCount(w, 2, 2, "length <seconds>");
        score.length = Number(w[1], "length", 0.1, 3600);
    } else if (key == "delay") {
        if (w.size() % 2 != 1)
            Fail("expected \"delay rows <n> feedback <x> damping <Hz> reverb <x>\"");
        for (std::size_t i = 1; i < w.size(); i += 2) {
            if (w[i] == "rows")
                score.delay.rows = Integer(w[i + 1], "delay rows", 1, 256);
            else if (w[i] == "feedback")
                score.delay.feedback = Number(w[i + 1], "delay feedback", 0, 0.95);
            else if (w[i] == "damping")
                score.delay.damping = Number(w[i + 1], "delay damping", 100, 20000);
            else if (w[i] == "reverb")
                score.delay.toReverb = Number(w[i + 1], "delay reverb", 0, 1);
            else
                Fail("unknown delay setting \"" + w[i] + "\"");
        }
    } else if (key == "reverb") {
        if (w.size() % 2 != 1)
            Fail("expected \"reverb size <x> damping <x> width <x> predelay <s> lowcut <Hz>\"");
        for (std::size_t i = 1; i < w.size(); i += 2) {
            if (w[i] == "size")
                score.reverb.size = Number(w[i + 1], "reverb size", 0, 1);
            else if (w[i] == "damping")
                score.reverb.damping = Number(w[i + 1], "reverb damping", 0, 1);
            else if (w[i] == "width")
                score.reverb.width = Number(w[i + 1], "reverb width", 0, 1);
            else if (w[i] == "predelay")
                score.reverb.predelay = Number(w[i + 1], "reverb predelay", 0, 0.5);
            else if (w[i] == "lowcut")
                score.reverb.lowCut = Number(w[i + 1], "reverb lowcut", 10, 5000);
            else
                Fail("unknown reverb setting \"" + w[i] + "\"");
        }
    } else if (key == "master") {
        if (w.size() % 2 != 1)
            Fail("expected \"master <setting> <value> ...\"");
        for (std::size_t i = 1; i < w.size(); i += 2) {
            if (w[i] == "tilt")
                score.master.tilt = Number(w[i + 1], "master tilt", -12, 12);
            else if (w[i] == "loudness")
                score.master.loudness = Number(w[i + 1], "master loudness", -40, -3);
            else if (w[i] == "ceiling")
                score.master.ceiling = Number(w[i + 1], "master ceiling", -12, 0);
            else if (w[i] == "threshold")
                score.master.threshold = Number(w[i + 1], "master threshold", -40, 0);
            else if (w[i] == "ratio")
                score.master.ratio = Number(w[i + 1], "master ratio", 1, 20);
            else if (w[i] == "fadeout")
                score.master.fadeOut = Number(w[i + 1], "master fadeout", 0, 30);
            else
                Fail("unknown master setting \"" + w[i] + "\"");
        }
    } else if (key == "sidechain") {
        NeedCount(w, 2, 4, "sidechain <channel> [release <seconds>]");
        score.duckKey = FindChannel(w[1]);
        if (w.size() == 3 || (w.size() == 4 && w[2] != "release"))
            Fail("expected \"sidechain <channel> [release <seconds>]\"");
        if (w.size() == 4)
            score.duckRelease = Number(w[3], "sidechain release", 0.01, 2);
    } else if (key == "instrument") {
        NeedCount(w, 3, 3, "instrument <name> synth|kick|snare|clap|hat");
        if (instruments.count(w[1]))
            Fail("instrument \"" + w[1] + "\" is already defined");
        static const std::map<std::string, InstrumentKind> kinds = {{"synth", InstrumentKind::Synth},
                                                                    {"kick", InstrumentKind::Kick},
                                                                    {"snare", InstrumentKind::Snare},
                                                                    {"clap", InstrumentKind::Clap},
                                                                    {"hat", InstrumentKind::Hat}};
        const auto kind = kinds.find(w[2]);
        if (kind == kinds.end())
            Fail("unknown instrument kind \"" + w[2] + "\" (synth, kick, snare, clap or hat)");
        InstrumentSpec spec;
        spec.name = w[1];
        spec.kind = kind->second;
        instruments[w[1]] = static_cast<int>(score.instruments.size());
        score.instruments.push_back(spec);
        block = Block::Instrument;
    } else if (key == "channel") {
        ChannelLine(w);
    } else if (key == "pattern") {
        NeedCount(w, 3, 5, "pattern <name> <rows> [step <rows>]");
        if (patterns.count(w[1]))
            Fail("pattern \"" + w[1] + "\" is already defined");
        Pattern pattern;
        pattern.name = w[1];
        pattern.rows = Integer(w[2], "pattern rows", 1, 100000);
        patternStep = 2;
        if (w.size() != 3) {
            if (w.size() != 5 || w[3] != "step")
                Fail("expected \"pattern <name> <rows> [step <rows>]\"");
            patternStep = Integer(w[4], "step", 1, pattern.rows);
        }
        if (pattern.rows % patternStep != 0)
            Fail("pattern rows " + w[2] + " are not a whole number of steps of " + std::to_string(patternStep));
        patterns[w[1]] = static_cast<int>(score.patterns.size());
        score.patterns.push_back(pattern);
        laneSteps.clear();
        block = Block::Pattern;
    } else if (key == "section") {
        NeedCount(w, 3, 3, "section <name> <bars>");
        if (sections.count(w[1]))
            Fail("section \"" + w[1] + "\" is already defined");
        Section section;
        section.name = w[1];
        section.bars = Integer(w[2], "section bars", 1, 10000);
        section.startRow = nextRow;
        nextRow += section.bars * score.RowsPerBar();
        sections[w[1]] = static_cast<int>(score.sections.size());
        score.sections.push_back(section);
        block = Block::Section;
    } else if (key == "end") {
        Fail("\"end\" without a block to close");
    } else {
        Fail("unknown keyword \"" + key + "\"");
    }
    blockLine = line;
}

void Parser::ChannelLine(const Words& w)
{
    if (w.size() < 3 || w.size() % 2 != 1)
        Fail("expected \"channel <name> <instrument> [gain <dB>] [pan <x>] [reverb <x>] [delay <x>] [duck <x>] "
             "[width <x>]\"");
    if (channels.count(w[1]))
        Fail("channel \"" + w[1] + "\" is already defined");
    if (w[1] == "master")
        Fail("\"master\" is the master bus and cannot name a channel");
    const auto instrument = instruments.find(w[2]);
    if (instrument == instruments.end())
        Fail("unknown instrument \"" + w[2] + "\"");
    ChannelSpec channel;
    channel.name = w[1];
    channel.instrument = instrument->second;
    for (std::size_t i = 3; i < w.size(); i += 2) {
        if (w[i] == "gain")
            channel.gainDb = Number(w[i + 1], "channel gain", -60, 24);
        else if (w[i] == "pan")
            channel.pan = Number(w[i + 1], "channel pan", -1, 1);
        else if (w[i] == "reverb")
            channel.reverb = Number(w[i + 1], "channel reverb", 0, 1);
        else if (w[i] == "delay")
            channel.delay = Number(w[i + 1], "channel delay", 0, 1);
        else if (w[i] == "duck")
            channel.duck = Number(w[i + 1], "channel duck", 0, 1);
        else if (w[i] == "width")
            channel.width = Number(w[i + 1], "channel width", 0, 2);
        else
            Fail("unknown channel setting \"" + w[i] + "\"");
    }
    channels[w[1]] = static_cast<int>(score.channels.size());
    score.channels.push_back(channel);
}

void Parser::InstrumentLine(const Words& w)
{
    InstrumentSpec& spec = score.instruments.back();
    if (spec.kind == InstrumentKind::Synth)
        SynthKey(w, spec);
    else
        DrumKey(w, spec);
}

void Parser::SynthKey(const Words& w, InstrumentSpec& spec)
{
    const std::string& key = w[0];
    if (key == "osc") {
        NeedCount(w, 2, 5, "osc <wave> [semitones] [cents] [level]");
        static const std::map<std::string, Wave> waves = {
            {"sine", Wave::Sine},     {"triangle", Wave::Triangle}, {"saw", Wave::Saw},    {"square", Wave::Square},
            {"pulse", Wave::Pulse},   {"supersaw", Wave::Supersaw}, {"noise", Wave::Noise}};
        const auto wave = waves.find(w[1]);
        if (wave == waves.end())
            Fail("unknown wave \"" + w[1] + "\" (sine, triangle, saw, square, pulse, supersaw or noise)");
        if (spec.oscillators.size() == kMaxOscillators)
            Fail("an instrument has at most 8 oscillators");
        OscillatorSpec osc;
        osc.wave = wave->second;
        if (w.size() > 2)
            osc.semitones = Number(w[2], "semitones", -48, 48);
        if (w.size() > 3)
            osc.cents = Number(w[3], "cents", -100, 100);
        if (w.size() > 4)
            osc.level = Number(w[4], "level", 0, 4);
        spec.oscillators.push_back(osc);
    } else if (key == "pulsewidth") {
        NeedCount(w, 2, 2, "pulsewidth <0.02..0.98>");
        spec.pulseWidth = Number(w[1], "pulse width", 0.02, 0.98);
    } else if (key == "supersaw") {
        NeedCount(w, 4, 4, "supersaw <voices> <detune> <spread>");
        spec.supersawVoices = Integer(w[1], "supersaw voices", 1, Oscillator::kMaxSupersawVoices);
        spec.supersawDetune = Number(w[2], "supersaw detune", 0, 1);
        spec.supersawSpread = Number(w[3], "supersaw spread", 0, 1);
    } else if (key == "filter") {
        NeedCount(w, 3, 5, "filter lowpass|highpass|bandpass <cutoff Hz> [resonance] [poles]");
        static const std::map<std::string, FilterMode> modes = {
            {"lowpass", FilterMode::LowPass}, {"highpass", FilterMode::HighPass}, {"bandpass", FilterMode::BandPass}};
        const auto mode = modes.find(w[1]);
        if (mode == modes.end())
            Fail("unknown filter \"" + w[1] + "\" (lowpass, highpass or bandpass)");
        spec.filterOn = true;
        spec.filterMode = mode->second;
        spec.cutoff = Number(w[2], "cutoff", 10, 20000);
        if (w.size() > 3)
            spec.resonance = Number(w[3], "resonance", 0, 1);
        if (w.size() > 4) {
            spec.filterPoles = Integer(w[4], "poles", 2, 4);
            if (spec.filterPoles == 3)
                Fail("poles must be 2 or 4");
        }
    } else if (key == "filterenv") {
        NeedCount(w, 6, 6, "filterenv <octaves> <attack> <decay> <sustain> <release>");
        spec.filterEnvAmount = Number(w[1], "filter envelope octaves", -10, 10);
        spec.filterEnv = {Number(w[2], "attack", 0, 30), Number(w[3], "decay", 0, 30), Number(w[4], "sustain", 0, 1),
                          Number(w[5], "release", 0, 30)};
    } else if (key == "amp") {
        NeedCount(w, 5, 5, "amp <attack> <decay> <sustain> <release>");
        spec.amp = {Number(w[1], "attack", 0, 30), Number(w[2], "decay", 0, 30), Number(w[3], "sustain", 0, 1),
                    Number(w[4], "release", 0, 30)};
    } else if (key == "keytrack") {
        NeedCount(w, 2, 2, "keytrack <amount>");
        spec.keyTrack = Number(w[1], "key tracking", 0, 1);
    } else if (key == "lfo") {
        NeedCount(w, 4, 4, "lfo cutoff|pitch|amp|pan <rate Hz> <depth>");
        static const std::map<std::string, LfoTarget> targets = {{"cutoff", LfoTarget::Cutoff},
                                                                 {"pitch", LfoTarget::Pitch},
                                                                 {"amp", LfoTarget::Amp},
                                                                 {"pan", LfoTarget::Pan}};
        const auto target = targets.find(w[1]);
        if (target == targets.end())
            Fail("unknown lfo target \"" + w[1] + "\" (cutoff, pitch, amp or pan)");
        LfoSpec lfo;
        lfo.target = target->second;
        lfo.rate = Number(w[2], "lfo rate", 0, 50);
        lfo.depth = Number(w[3], "lfo depth", 0, target->second == LfoTarget::Cutoff ? 8 : 12);
        if ((lfo.target == LfoTarget::Amp || lfo.target == LfoTarget::Pan) && lfo.depth > 1)
            Fail("lfo depth " + w[3] + " is outside 0 .. 1");
        spec.lfos.push_back(lfo);
    } else if (key == "glide") {
        NeedCount(w, 2, 2, "glide <seconds>");
        spec.glide = Number(w[1], "glide", 0, 5);
    } else if (key == "mono") {
        NeedCount(w, 1, 1, "mono");
        spec.mono = true;
    } else if (key == "poly") {
        NeedCount(w, 2, 2, "poly <voices>");
        spec.polyphony = Integer(w[1], "voices", 1, 32);
    } else if (key == "drive") {
        NeedCount(w, 2, 2, "drive <0..1>");
        spec.drive = Number(w[1], "drive", 0, 1);
    } else if (key == "velcutoff") {
        NeedCount(w, 2, 2, "velcutoff <octaves>");
        spec.velocityToCutoff = Number(w[1], "velocity to cutoff", 0, 8);
    } else if (key == "arp") {
        NeedCount(w, 3, 5, "arp up|down|updown <rows> [octaves] [gate]");
        static const std::map<std::string, ArpMode> modes = {
            {"up", ArpMode::Up}, {"down", ArpMode::Down}, {"updown", ArpMode::UpDown}};
        const auto mode = modes.find(w[1]);
        if (mode == modes.end())
            Fail("unknown arpeggio \"" + w[1] + "\" (up, down or updown)");
        spec.arp.mode = mode->second;
        spec.arp.rows = Integer(w[2], "arpeggio rows", 1, 64);
        if (w.size() > 3)
            spec.arp.octaves = Integer(w[3], "arpeggio octaves", 1, 4);
        if (w.size() > 4)
            spec.arp.gate = Number(w[4], "arpeggio gate", 0.05, 1);
    } else {
        Fail("\"" + key + "\" is not a setting of a synth instrument");
    }
}

void Parser::DrumKey(const Words& w, InstrumentSpec& spec)
{
    const std::string& key = w[0];
    const auto one = [&](const char* what, double low, double high) {
        NeedCount(w, 2, 2, (key + " <value>").c_str());
        return Number(w[1], what, low, high);
    };
    if (key == "pitch")
        spec.pitch = one("pitch", 10, 20000);
    else if (key == "sweep") {
        NeedCount(w, 3, 3, "sweep <start Hz> <seconds>");
        spec.sweep = Number(w[1], "sweep", 10, 20000);
        spec.sweepTime = Number(w[2], "sweep time", 0.001, 2);
    } else if (key == "decay")
        spec.decay = one("decay", 0.005, 30);
    else if (key == "noisedecay")
        spec.noiseDecay = one("noise decay", 0.005, 30);
    else if (key == "click")
        spec.click = one("click", 0, 4);
    else if (key == "tone")
        spec.tone = one("tone", 20, 20000);
    else if (key == "noise")
        spec.noiseLevel = one("noise", 0, 1);
    else if (key == "drive")
        spec.drive = one("drive", 0, 1);
    else
        Fail("\"" + key + "\" is not a setting of a drum instrument");
}

Step Parser::ParseStep(const std::string& token, bool drum) const
{
    Step step;
    std::string body = token;
    const std::size_t at = body.find('@');
    if (at != std::string::npos) {
        step.velocity = Integer(body.substr(at + 1), "velocity", 1, 100) / 100.0;
        body = body.substr(0, at);
    }
    if (body == "^") {
        if (at != std::string::npos)
            Fail("a release \"^\" takes no velocity");
        step.kind = Step::Kind::Release;
        return step;
    }
    if (!body.empty() && body[0] == '~') {
        step.glide = true;
        body = body.substr(1);
    }
    if (drum) {
        if (body == "x" && !step.glide)
            return step;
        if (body == "X" && !step.glide) {
            if (at == std::string::npos)
                step.velocity = 1.0;
            step.notes = {kDrumNote};
            return step;
        }
        if (body == "o" && !step.glide) {
            if (at == std::string::npos)
                step.velocity = 0.45;
            step.notes = {kDrumNote};
            return step;
        }
        Fail("\"" + token + "\" is not a drum hit (x, X, o, ^ or ., with an optional @velocity)");
    }
    if (!ParseChord(body, step.notes))
        Fail("\"" + token + "\" is not a note or chord (e.g. A3, C#4, A3+C4+E4, Am:3, ^ or .)");
    return step;
}

void Parser::PatternLine(const Words& w)
{
    // "lead,hook E5 . D5" writes the same steps for several channels.
    std::vector<std::string> names;
    for (std::size_t start = 0;;) {
        const std::size_t comma = w[0].find(',', start);
        names.push_back(w[0].substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    for (const std::string& name : names)
        LaneSteps(name, w);
}

void Parser::LaneSteps(const std::string& name, const Words& w)
{
    Pattern& pattern = score.patterns.back();
    const int channel = FindChannel(name);
    const bool drum = score.instruments[static_cast<std::size_t>(score.channels[channel].instrument)].kind !=
                      InstrumentKind::Synth;
    auto lane = std::find_if(pattern.lanes.begin(), pattern.lanes.end(),
                             [channel](const PatternLane& l) { return l.channel == channel; });
    if (lane == pattern.lanes.end()) {
        pattern.lanes.push_back(PatternLane{channel, {}});
        lane = pattern.lanes.end() - 1;
    }
    int& steps = laneSteps[channel];
    const int capacity = pattern.rows / patternStep;
    for (std::size_t i = 1; i < w.size(); ++i) {
        const std::string& token = w[i];
        if (token == "|")
            continue;
        if (steps == capacity)
            Fail("channel \"" + name + "\" has more than the " + std::to_string(capacity) + " steps of pattern \"" +
                 pattern.name + "\"");
        const int row = steps * patternStep;
        ++steps;
        if (token == ".")
            continue;
        Step step = ParseStep(token, drum);
        if (drum && step.kind == Step::Kind::Notes)
            step.notes = {kDrumNote};
        lane->events.push_back(PatternEvent{row, step});
    }
}

void Parser::ClosePattern()
{
    const Pattern& pattern = score.patterns.back();
    if (pattern.lanes.empty())
        Fail("pattern \"" + pattern.name + "\" plays no channel");
    const int capacity = pattern.rows / patternStep;
    for (const PatternLane& lane : pattern.lanes) {
        const int steps = laneSteps[lane.channel];
        if (steps != capacity)
            Fail("channel \"" + score.channels[static_cast<std::size_t>(lane.channel)].name + "\" has " +
                 std::to_string(steps) + " steps in pattern \"" + pattern.name + "\", which needs " +
                 std::to_string(capacity));
    }
}

void Parser::SectionLine(const Words& w)
{
    Section& section = score.sections.back();
    const std::string& key = w[0];
    if (key == "play") {
        if (w.size() < 2)
            Fail("expected \"play <pattern> [bars <first>-<last>]\"");
        const auto pattern = patterns.find(w[1]);
        if (pattern == patterns.end())
            Fail("unknown pattern \"" + w[1] + "\"");
        Placement placement;
        placement.pattern = pattern->second;
        BarRange(w, 2, section.bars, placement.fromBar, placement.toBar);
        section.placements.push_back(placement);
        return;
    }
    if (key != "set" && key != "ramp")
        Fail("unknown section line \"" + key + "\" (play, set or ramp)");
    const bool ramp = key == "ramp";
    const std::size_t values = ramp ? 2 : 1;
    if (w.size() < 3 + values)
        Fail(ramp ? "expected \"ramp <channel|master> <param> <from> <to> [bars <first>-<last>]\""
                  : "expected \"set <channel|master> <param> <value> [bar <n>]\"");
    Automation automation;
    automation.channel = w[1] == "master" ? -1 : FindChannel(w[1]);
    static const std::map<std::string, AutomationParam> params = {{"gain", AutomationParam::Gain},
                                                                  {"cutoff", AutomationParam::Cutoff},
                                                                  {"reverb", AutomationParam::Reverb},
                                                                  {"delay", AutomationParam::Delay},
                                                                  {"pan", AutomationParam::Pan}};
    const auto param = params.find(w[2]);
    if (param == params.end())
        Fail("unknown parameter \"" + w[2] + "\" (gain, cutoff, reverb, delay or pan)");
    automation.param = param->second;
    if (automation.channel < 0 && automation.param != AutomationParam::Gain)
        Fail("the master bus has only a gain to automate");
    if (automation.param == AutomationParam::Cutoff &&
        !score.instruments[static_cast<std::size_t>(score.channels[automation.channel].instrument)].filterOn)
        Fail("channel \"" + w[1] + "\" plays an instrument without a filter");
    double low = 0, high = 1;
    const char* what = "value";
    switch (automation.param) {
    case AutomationParam::Gain:
        low = -80, high = 24, what = "gain";
        break;
    case AutomationParam::Cutoff:
        low = 10, high = 20000, what = "cutoff";
        break;
    case AutomationParam::Pan:
        low = -1, what = "pan";
        break;
    case AutomationParam::Reverb:
        what = "reverb";
        break;
    case AutomationParam::Delay:
        what = "delay";
        break;
    }
    automation.from = Number(w[3], what, low, high);
    automation.to = ramp ? Number(w[4], what, low, high) : automation.from;
    BarRange(w, 3 + values, section.bars, automation.fromBar, automation.toBar);
    if (!ramp)
        automation.toBar = automation.fromBar;
    section.automations.push_back(automation);
}

Score Parser::Run()
{
    std::istringstream lines(text);
    std::string raw;
    while (std::getline(lines, raw)) {
        ++line;
        const std::size_t hash = raw.find('#');
        std::istringstream in(raw.substr(0, hash));
        Words words;
        for (std::string word; in >> word;)
            words.push_back(word);
        if (words.empty())
            continue;
        if (block == Block::None) {
            Global(words);
            continue;
        }
        if (words[0] == "end") {
            NeedCount(words, 1, 1, "end");
            if (block == Block::Pattern)
                ClosePattern();
            if (block == Block::Instrument && score.instruments.back().kind == InstrumentKind::Synth &&
                score.instruments.back().oscillators.empty())
                Fail("instrument \"" + score.instruments.back().name + "\" has no oscillator");
            block = Block::None;
            continue;
        }
        switch (block) {
        case Block::Instrument:
            InstrumentLine(words);
            break;
        case Block::Pattern:
            PatternLine(words);
            break;
        case Block::Section:
            SectionLine(words);
            break;
        case Block::None:
            break;
        }
    }
    if (block != Block::None) {
        line = blockLine;
        Fail("this block has no \"end\"");
    }
    if (score.sections.empty())
        Fail("the score has no section");
    return score;
}

} // namespace

Score ParseScore(const std::string& text, const std::string& sourceName) { return Parser(text, sourceName).Run(); }

Score ReadScoreFile(const std::string& path)
{
    std::string text;
    try {
        text = ReadWholeText(path);
    } catch (const FileReadError& e) {
        throw ScoreError(e.what());
    }
    return ParseScore(text, path);
}

} // namespace synth
