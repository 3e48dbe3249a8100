#pragma once
#include <cstdio>
#include <string>

// How far a capture has come. On a terminal, one line that rewrites itself: a bar, frame i/N,
// the scene being drawn, the frames drawn a second and the time left. Anywhere else (a log, a
// pipe) plain lines, at the first frame, every 5 % or 10 s, and at the last.
class CaptureProgress {
public:
    CaptureProgress(long total, std::FILE* out, bool terminal);

    // Frame `done` of the total (counted from 1) is written; it showed `scene`; `seconds` have
    // passed since the first frame was started.
    void Update(long done, const std::string& scene, double seconds);
    // Ends the rewriting line, so that what follows starts on a line of its own.
    void End();

private:
    void Line(long done, const std::string& scene, double seconds);

    long total;
    std::FILE* out;
    bool terminal;
    bool lineOpen = false;   // a rewriting line is on the screen
    double lastShown = -1.0; // when the last line was written
    long lastStep = -1;      // the 5 % step of the last plain line
};

// Seconds as "m:ss", or "h:mm:ss" from an hour on.
std::string ClockText(double seconds);
