#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>

namespace kavendrum {

// One line on the terminal with a bar, the percentage, the bytes done and the speed. Redrawn at
// most ten times a second, so that drawing costs nothing next to copying.
class ProgressLine {
  public:
    ProgressLine(std::FILE* terminal, bool enabled) : m_terminal(terminal), m_enabled(enabled) {}

    // Bytes the whole run moves; a step stands for its share of them.
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
    bool DueForRedraw(std::chrono::steady_clock::time_point now, bool force) const;

    std::FILE* m_terminal;
    bool m_enabled;
    std::uint64_t m_totalBytes = 0;
    int m_upper = 0;
    int m_position = 0;
    bool m_shown = false;
    std::chrono::steady_clock::time_point m_started;
    std::chrono::steady_clock::time_point m_lastDrawn;
};

}  // namespace kavendrum
