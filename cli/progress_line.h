#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "engine/operation_host.h"

namespace kavendrum {

// The word the line starts with for each phase of a run: "verifying", "merging".
std::string_view PhaseName(RunPhase phase);

// Where the progress goes: nowhere, one line redrawn in place on a terminal, or (asked for with
// --progress when standard error is a file or a pipe) a line a second.
enum class ProgressMode { Off, Terminal, Lines };

// The line for a run that has done `done` of `total` bytes in `seconds`, in the phase `phase`
// ("verifying"): a bar, the percentage, the bytes, the speed and the time left, within 79
// columns. A total of 0 means the size is not known: the bytes and the speed alone.
std::string ProgressText(std::string_view phase, std::uint64_t done, std::uint64_t total,
                         double seconds);

// One line on standard error for the run at hand, redrawn at most ten times a second, so that
// drawing costs nothing next to copying.
class ProgressLine {
  public:
    ProgressLine(std::FILE* terminal, ProgressMode mode) : m_terminal(terminal), m_mode(mode) {}

    // What the run does now; the next range starts the phase's own count and clock.
    void SetPhase(std::string_view phase) { m_phase = phase; }
    // Bytes the phase moves; a step stands for its share of them.
    void SetTotalBytes(std::uint64_t bytes) { m_totalBytes = bytes; }
    void SetRange(int upper);
    // Both give the position before the call, as the progress control does.
    int SetPosition(int position);
    int Advance();
    // For a run whose size is not known: the bytes done so far and the speed, with no bar.
    void ShowBytes(std::uint64_t bytes);
    // Takes the line off the screen, so that a message can be printed in its place.
    void Clear();

  private:
    void Draw(bool force);
    void Put(const std::string& text);
    bool DueForRedraw(std::chrono::steady_clock::time_point now, bool force) const;

    std::FILE* m_terminal;
    ProgressMode m_mode;
    std::string m_phase;
    std::uint64_t m_totalBytes = 0;
    int m_upper = 0;
    int m_position = 0;
    bool m_shown = false;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_lastDrawn;
};

}  // namespace kavendrum
