#include "cli/progress.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#if defined(_WIN32)
#include <io.h>
#define ISOCONTOUR_ISATTY _isatty
#else
#include <unistd.h>
#define ISOCONTOUR_ISATTY isatty
#endif

std::string ProgressLine(std::string_view phase, double fraction, int barWidth) {
    if (!(fraction >= 0)) fraction = 0; // NaN too
    fraction = std::min(fraction, 1.0);
    const int filled = int(std::floor(fraction * barWidth));
    std::string line = "isocontour: ";
    line += phase;
    line.append(std::size_t(std::max(0, 11 - int(phase.size()))), ' ');
    line += '[';
    line.append(std::size_t(filled), '#');
    line.append(std::size_t(barWidth - filled), '-');
    char percent[8];
    std::snprintf(percent, sizeof percent, "] %3d%%", int(std::floor(fraction * 100)));
    return line + percent;
}

void Progress::Show(std::string_view phase, double fraction) {
    if (!enabled_) return;
    std::string line = ProgressLine(phase, fraction);
    if (line == shown_) return;
    std::fprintf(stderr, "\r%s", line.c_str());
    std::fflush(stderr);
    shown_ = std::move(line);
    drawn_ = true;
}

void Progress::Finish() {
    if (!drawn_) return;
    std::fputc('\n', stderr);
    std::fflush(stderr);
    drawn_ = false;
    shown_.clear();
}

bool ProgressWanted(bool quiet) { return !quiet && ISOCONTOUR_ISATTY(2) != 0; }
