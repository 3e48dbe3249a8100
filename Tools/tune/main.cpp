// orvala-tune <score> <out.ogg>: the tune of the content build. It links the synthesizer only, so
// that a change anywhere else in the demo leaves the tune as it is. The bytes are those of
// `orvala-tool music render`: the same score, renderer, quality and title.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/synth/OggWriter.h"
#include "common/synth/ScoreParser.h"
#include "common/synth/ScoreRenderer.h"
#include "common/synth/SynthUnits.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: orvala-tune <score> <out.ogg>\n");
        return 1;
    }
    try {
        const synth::Score score = synth::ReadScoreFile(argv[1]);
        const synth::RenderedSong song = synth::RenderScore(score);
        const std::vector<unsigned char> ogg = synth::EncodeOggVorbis(song.stereo, 0.5f, "Orvala 2009");
        std::ofstream out(argv[2], std::ios::binary | std::ios::trunc);
        if (out)
            out.write(reinterpret_cast<const char*>(ogg.data()), static_cast<std::streamsize>(ogg.size()));
        out.close();
        if (!out)
            throw std::runtime_error(std::string("orvala-tune: cannot write \"") + argv[2] +
                                     "\": " + std::strerror(errno));
        std::printf("%.3f s, %.2f LUFS, true peak %.2f dBTP before encoding, master gain %+.2f dB\n",
                    static_cast<double>(song.stereo.size() / 2) / synth::kSampleRate, song.master.loudness,
                    song.master.truePeakDb, song.master.gainDb);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
