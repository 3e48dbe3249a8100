#pragma once
#include <stdexcept>
#include <string>

#include "common/synth/Score.h"

namespace synth {

// A fault in a score, its message in the form "file:line: what is wrong".
class ScoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Reads the text of a score (the format is described in docs/score-format.md). sourceName
// starts every error message. Throws ScoreError for the first fault found.
Score ParseScore(const std::string& text, const std::string& sourceName);
// Reads a score file; a file that cannot be read is a ScoreError naming it.
Score ReadScoreFile(const std::string& path);

} // namespace synth
