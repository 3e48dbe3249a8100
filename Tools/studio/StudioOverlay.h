#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "d3d9/d3d9.h"

// What the studio's overlay shows over the picture, as plain values: the studio fills it every
// frame, the overlay draws it. Times are in seconds of the show.
struct OverlayModel {
    struct Section {
        std::string name;
        double start = 0.0;
        double end = 0.0;
    };
    struct Error {
        std::string where;               // "effects/glow.fx:12" (file:line, or the file alone)
        std::string message;             // the compiler's or loader's message
        std::vector<std::string> lines;  // the source lines around the error, numbered ("  12 | ...")
    };

    bool visible = true; // Tab: the whole overlay
    bool help = false;   // F1: the list of keys over the picture
    double length = 141.5;
    std::vector<Section> sections;
    std::vector<double> bars;          // every bar line
    std::vector<double> sceneSwitches; // where the track "Scene" selects another scene
    bool loop = false;
    double loopStart = 0.0;
    double loopEnd = 0.0;
    bool loopStartOnly = false; // B pressed once: only the start is set
    double time = 0.0;          // the playhead
    std::string clock;          // "01:23.45  bar 12.3.5"
    std::string transport;      // "playing 1x", "paused", "playing 0.5x (silent)"
    std::string scene;
    std::string camera;
    std::vector<std::pair<std::string, float>> tracks; // the tracks' values at the current row
    double frameMs = 0.0;
    std::string reload;          // "last reload: effects/glow.fx, 412 ms, ok"
    bool reloadOk = true;
    std::vector<Error> errors;   // shown while the last reload failed
    std::vector<std::string> helpLines;
    bool passes = false;                // P: the heaviest passes of the frame
    std::vector<std::string> passLines; // PassPanelLines of the latest frame timed
};

struct PassFrame;
// The lines of the passes panel: the five heaviest passes of the frame, heaviest first, each its
// GPU time, the pass and its targets ("  4.21 ms  DefLight/DirectLight/P0 -> Light"), after a
// line with the frame's time; without GPU times, the first five passes drawn.
std::vector<std::string> PassPanelLines(const PassFrame& frame);

// The overlay: drawn on the CPU into a picture of the back buffer's size with transparency, then
// blended over the presented picture by one full-screen pass. It is never part of a shot.
class StudioOverlay {
public:
    StudioOverlay();
    // The overlay with other fonts: a proportional one for most text and a monospace one for the
    // tracks, the keys and source lines. The default is DejaVu Sans and DejaVu Sans Mono. Both are
    // read here; a font that cannot be read or is no TrueType font throws std::runtime_error
    // naming its file.
    StudioOverlay(const std::string& sansFont, const std::string& monoFont);
    ~StudioOverlay();
    StudioOverlay(const StudioOverlay&) = delete;
    StudioOverlay& operator=(const StudioOverlay&) = delete;

    // The overlay as B, G, R, A bytes (not premultiplied), top row first, width x height.
    // Everything the model shows, drawn with a TrueType font; transparent where it shows nothing.
    void Raster(const OverlayModel& model, unsigned width, unsigned height, std::vector<std::uint8_t>& bgra);

    // The timeline strip along the bottom of a width x height picture: true when (x, y) lies on
    // it, with the show's time under x (clamped to 0...length).
    static bool StripTime(const OverlayModel& model, unsigned width, unsigned height, int x, int y, double& time);

    // Blends the raster over render target 0 of the device (the back buffer), over the whole
    // target. Makes its texture and effect at the first call and again after Release.
    void Draw(IDirect3DDevice9* device, const OverlayModel& model, unsigned width, unsigned height);
    // Lets go of the device objects (before a device reset or when the device goes).
    void Release();

private:
    struct Impl;
    Impl* impl;
};
