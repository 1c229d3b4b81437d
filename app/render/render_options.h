// gradient-render's command line, parsed into options or one line of error.
#pragma once

#include <string>

struct RenderOptions {
    float time = 0.0f;       // seconds into the animation
    float threshold = 0.6f;  // the contour's iso-value
    std::string png;         // the frame as it stands at Flip
    std::string segments;    // the contour segments as CSV
    int frames = 0;          // with dir: a numbered PNG sequence from time on
    double fps = 30.0;       // frames per second of that sequence
    std::string dir;         // where the sequence goes
    bool help = false;
};

inline constexpr int kMaxFrames = 100000;

struct ParsedOptions {
    bool ok = false;
    std::string error; // one line, when !ok
    RenderOptions options;
};

// Never throws and never touches the file system.
ParsedOptions ParseRenderOptions(int argc, const char* const* argv);

extern const char* const kRenderUsage;
