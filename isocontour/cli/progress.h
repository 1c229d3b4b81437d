// The progress bar the tool draws on a terminal while it reads, contours and writes: the text
// of one state (pure, tested), and its drawing on stderr.
#pragma once

#include <string>
#include <string_view>

/// One state of the bar: "isocontour: PHASE [#####-----]  50%", the phase padded so that the
/// bar stays in place from one phase to the next, fraction clamped to [0, 1].
std::string ProgressLine(std::string_view phase, double fraction, int barWidth = 30);

/// Draws the bar on stderr when enabled, redrawing the line only when what it shows changes;
/// ends the line when destroyed or finished.
class Progress {
  public:
    explicit Progress(bool enabled) : enabled_(enabled) {}
    ~Progress() { Finish(); }
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    void Show(std::string_view phase, double fraction);
    void Finish();

  private:
    bool enabled_;
    bool drawn_ = false;
    std::string shown_;
};

/// Whether a bar belongs on stderr: it is a terminal and the user did not ask for quiet.
bool ProgressWanted(bool quiet);
