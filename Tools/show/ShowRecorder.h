#pragma once
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class DXFramework;

// The show rendered headless, frame by frame, on a clock the caller controls: the program's
// composition over an archive, booted at a size, with no music and no frame loop.
//
// Frame n of the show at a rate of `fps` frames a second shows the playback time n / fps.
// Some scenes carry state from frame to frame (the cube-map bounce feeds last frame's indirect
// light into this frame's), and a scene starts that state afresh when it is entered. So frame
// n is defined as what a capture from the start draws there: the scene of frame n rendered on
// every frame since it was entered, at the same rate. Rendering all of them would make one
// picture late in a section cost hundreds of frames; the carried state forgets its past within
// a few frames (the bounce loses most of its light at every step and is stored in half floats,
// so two runs that started apart agree to the bit after a short while), and a frame asked for
// out of order is drawn after entering its scene at most kWarmUpFrames frames before it. The
// result is the same bytes on every run, and the same bytes as the capture's frame.
class ShowRecorder {
public:
    static constexpr long kWarmUpFrames = 32;

    // Boots the show from `archive` at width x height (the picture is letterboxed to 16:9 inside
    // it). The working folder is left as it is.
    // Failures throw std::runtime_error with the host's message.
    ShowRecorder(const std::filesystem::path& archive, unsigned width, unsigned height, unsigned fps);
    // The same frames from a host that is booted already and stays the caller's, at its present
    // back-buffer size (the host's message boxes are not collected).
    ShowRecorder(DXFramework& host, unsigned fps);
    ~ShowRecorder();
    ShowRecorder(const ShowRecorder&) = delete;
    ShowRecorder& operator=(const ShowRecorder&) = delete;

    unsigned Fps() const { return fps; }
    unsigned Width() const { return width; }
    unsigned Height() const { return height; }

    // The frame that shows the playback time `seconds`: the last one that starts at or before it.
    long FrameAt(double seconds) const;
    // The playback time frame n shows, as the host's clock takes it.
    float TimeOf(long frame) const;
    // The index and the name of the scene the track "Scene" selects at frame n (the loader scene
    // is never selected once loading is over; an index out of range shows scene 0, as the host does).
    unsigned SceneIndexOf(long frame) const;
    const std::string& SceneNameOf(long frame) const;

    // Frame n as B, G, R, A bytes, top row first (width x height x 4). Frames asked in rising
    // order one after another are drawn one each; any other is drawn after the warm-up above.
    void Render(long frame, std::vector<unsigned char>& bgra);
    // The frame drawn last drawn once more at its time, for measuring what drawing it costs.
    // State carried from frame to frame takes one more step, so the picture may differ from the
    // frame's own; the next frame in rising order follows on as after the frame itself.
    void RenderAgain(std::vector<unsigned char>& bgra);

    // The host's message boxes since the recorder was made ("caption: text").
    const std::vector<std::string>& Boxes() const { return boxes; }

private:
    void Draw(long frame, std::vector<unsigned char>& bgra);

    unsigned width;
    unsigned height;
    unsigned fps;
    long last = -1; // the frame drawn last; -1 before the first
    std::vector<std::string> boxes;
    std::unique_ptr<DXFramework> framework; // null when the host is the caller's
    DXFramework* host = nullptr;
};
