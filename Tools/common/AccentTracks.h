#pragma once
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/TrackText.h"
#include "common/synth/Score.h"

// Accent tracks: sync tracks whose key frames are made from the score, so that they follow the
// tune when it changes. A rules file says which track moves when, one rule a line:
//
//   <track> at <section>[,<section>...] <shape>               on the first row of each section
//   <track> on <voice> in <section>[,<section>...] <shape>    on every note or hit of the voice
//                                                             (a channel of the score) there
// shapes:
//   peak <value> decay <rows> [step|linear|smooth|ramp]   jumps to the value, falls back to 0 in
//                                                          that many rows (linear by default)
//   hold <value>                                           the value, held
//   fade <value> over <rows> [step|linear|smooth|ramp]    from 0 to the value in that many rows
//                                                          (smooth by default), then held
//
// Everywhere else a track is 0. An accent lasts to the next accent of its rule or to the end of
// its section, whichever comes first (an accent cut short holds the value it reached for its
// last row); the last section never ends. Hits off the row grid take the nearest row. A track
// may have several rules as long as they never cover the same rows. '#' starts a comment.

// A fault in the rules; what() reads "line <n>: <what is wrong>".
class AccentRulesError : public std::runtime_error {
public:
    AccentRulesError(unsigned line, const std::string& message);
    unsigned Line() const { return line; }
    const std::string& Message() const { return message; }

private:
    unsigned line;
    std::string message;
};

struct AccentRule {
    enum class Shape { Peak, Hold, Fade };

    unsigned line = 0;
    std::string track;
    std::string voice; // empty: at the first rows of the sections
    std::vector<std::string> sections;
    Shape shape = Shape::Peak;
    float value = 0.0f;
    unsigned rows = 0;     // of the decay or the fade
    int interpolation = 1; // a sync::Track::KeyFrame code
};

// Reads the rules; throws AccentRulesError naming the first bad line.
std::vector<AccentRule> ParseAccentRules(const std::string& text);

// The key frames of every track the rules name. Throws AccentRulesError for a rule naming a
// voice or a section the score lacks, and for rules of one track that cover the same rows.
std::map<std::string, TrackKeys> BuildAccentTracks(const std::vector<AccentRule>& rules, const synth::Score& score);
