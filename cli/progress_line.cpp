#include "cli/progress_line.h"

#include <string>

namespace kavendrum {

namespace {

constexpr int kBarWidth = 30;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

std::string ByteText(double bytes) {
    const char* units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    int unit = 0;
    while (bytes >= 1024.0 && unit < 4) {
        bytes /= 1024.0;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f %s" : "%.1f %s", bytes, units[unit]);
    return text;
}

}  // namespace

void ProgressLine::SetRange(int upper) {
    m_upper = upper;
    m_position = 0;
    m_started = std::chrono::steady_clock::now();
}

int ProgressLine::SetPosition(int position) {
    const int previous = m_position;
    m_position = position;
    // Back to empty: the run is over.
    if (position == 0 && previous != 0) {
        Clear();
    } else {
        Draw(false);
    }
    return previous;
}

int ProgressLine::Advance() {
    const int previous = m_position;
    // Past its end the bar starts again from empty, as the progress control does.
    m_position = m_position >= m_upper ? 0 : m_position + 1;
    Draw(m_position == m_upper);
    return previous;
}

void ProgressLine::ShowBytes(std::uint64_t bytes) {
    if (!m_enabled) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!m_shown && bytes == 0) {
        return;
    }
    if (m_started == std::chrono::steady_clock::time_point{}) {
        m_started = now;
    }
    if (!DueForRedraw(now, false)) {
        return;
    }
    m_lastDrawn = now;
    const double seconds = std::chrono::duration<double>(now - m_started).count();
    const auto done = static_cast<double>(bytes);
    const std::string speed = seconds > 0.0 ? ByteText(done / seconds) + "/s" : "";
    std::fprintf(m_terminal, "\r%s  %s\033[K", ByteText(done).c_str(), speed.c_str());
    std::fflush(m_terminal);
    m_shown = true;
}

bool ProgressLine::DueForRedraw(std::chrono::steady_clock::time_point now, bool force) const {
    return force || !m_shown || now - m_lastDrawn >= kRedrawInterval;
}

void ProgressLine::Clear() {
    if (m_shown) {
        std::fputs("\r\033[K", m_terminal);
        std::fflush(m_terminal);
        m_shown = false;
    }
}

void ProgressLine::Draw(bool force) {
    if (!m_enabled || m_upper <= 0) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!DueForRedraw(now, force)) {
        return;
    }
    m_lastDrawn = now;
    const double share = static_cast<double>(m_position) / m_upper;
    const int filled = static_cast<int>(share * kBarWidth);
    const double bytes = share * static_cast<double>(m_totalBytes);
    const double seconds = std::chrono::duration<double>(now - m_started).count();
    const std::string speed = seconds > 0.0 ? ByteText(bytes / seconds) + "/s" : "";
    std::fprintf(m_terminal, "\r[%s%s] %3d%%  %s  %s\033[K", std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, '.').c_str(), static_cast<int>(share * 100),
                 ByteText(bytes).c_str(), speed.c_str());
    std::fflush(m_terminal);
    m_shown = true;
}

}  // namespace kavendrum
