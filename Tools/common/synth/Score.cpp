#include "common/synth/Score.h"

namespace synth {

int Score::EndRow() const
{
    return sections.empty() ? 0 : sections.back().startRow + sections.back().bars * RowsPerBar();
}

double Score::LengthSeconds() const { return length > 0.0 ? length : EndRow() * SecondsPerRow(); }

} // namespace synth
