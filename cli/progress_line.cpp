#include "cli/progress_line.h"

#include <algorithm>

namespace kavendrum {

namespace {

constexpr int kBarWidth = 10;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr auto kLineInterval = std::chrono::seconds(1);  // lines into a file or a pipe

// The unit that shows `bytes` with at most four digits before the point.
int UnitFor(double bytes) {
    int unit = 0;
    while (bytes >= 1024.0 && unit < 4) {
        bytes /= 1024.0;
        ++unit;
    }
    return unit;
}

const char* const kUnits[] = {"B", "KiB", "MiB", "GiB", "TiB"};

std::string Number(double bytes, int unit) {
    for (int i = 0; i < unit; ++i) {
        bytes /= 1024.0;
    }
    char text[32];
    std::snprintf(text, sizeof text, unit == 0 ? "%.0f" : "%.1f", bytes);
    return text;
}

std::string ByteText(double bytes) {
    const int unit = UnitFor(bytes);
    return Number(bytes, unit) + " " + kUnits[unit];
}

// "1:05", "2:03:04"; a time beyond 99 hours is not worth counting.
std::string Duration(double seconds) {
    const auto whole = static_cast<long long>(seconds + 0.5);
    if (whole >= 100 * 3600) {
        return ">99h";
    }
    char text[32];
    if (whole >= 3600) {
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", whole / 3600, whole / 60 % 60,
                      whole % 60);
    } else {
        std::snprintf(text, sizeof text, "%lld:%02lld", whole / 60, whole % 60);
    }
    return text;
}

}  // namespace

std::string_view PhaseName(RunPhase phase) {
    switch (phase) {
        case RunPhase::Splitting:
            return "splitting";
        case RunPhase::Verifying:
            return "verifying";
        case RunPhase::Hashing:
            return "hashing";
        case RunPhase::Merging:
            return "merging";
        case RunPhase::Repairing:
            return "repairing";
    }
    return "working";
}

std::string ProgressText(std::string_view phase, std::uint64_t done, std::uint64_t total,
                         double seconds) {
    const auto doneBytes = static_cast<double>(done);
    const double speed = seconds > 0.0 ? doneBytes / seconds : 0.0;
    std::string text(phase.substr(0, 9));
    text.resize(9, ' ');
    if (total == 0) {
        text += "  " + ByteText(doneBytes);
    } else {
        const double share = std::min(1.0, doneBytes / static_cast<double>(total));
        const int filled = static_cast<int>(share * kBarWidth);
        char percent[8];
        std::snprintf(percent, sizeof percent, "%3d%%", static_cast<int>(share * 100));
        const int unit = UnitFor(static_cast<double>(total));
        text += " [" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] " +
                percent + "  " + Number(doneBytes, unit) + " of " +
                Number(static_cast<double>(total), unit) + " " + kUnits[unit];
    }
    if (speed > 0.0) {
        text += "  " + ByteText(speed) + "/s";
        if (total > done) {
            text += "  " + Duration(static_cast<double>(total - done) / speed) + " left";
        }
    }
    return text;
}

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
    if (m_mode == ProgressMode::Off || (!m_shown && bytes == 0)) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (m_started == std::chrono::steady_clock::time_point{}) {
        m_started = now;
    }
    if (!DueForRedraw(now, false)) {
        return;
    }
    m_lastDrawn = now;
    const double seconds = std::chrono::duration<double>(now - m_started).count();
    Put(ProgressText(m_phase, bytes, 0, seconds));
}

bool ProgressLine::DueForRedraw(std::chrono::steady_clock::time_point now, bool force) const {
    const auto interval = m_mode == ProgressMode::Lines ? kLineInterval : kRedrawInterval;
    return force || !m_shown || now - m_lastDrawn >= interval;
}

void ProgressLine::Put(const std::string& text) {
    if (m_mode == ProgressMode::Terminal) {
        std::fprintf(m_terminal, "\r%s\033[K", text.c_str());
    } else {
        std::fprintf(m_terminal, "%s\n", text.c_str());
    }
    std::fflush(m_terminal);
    m_shown = true;
}

void ProgressLine::Clear() {
    if (m_shown && m_mode == ProgressMode::Terminal) {
        std::fputs("\r\033[K", m_terminal);
        std::fflush(m_terminal);
    }
    m_shown = false;
}

void ProgressLine::Draw(bool force) {
    if (m_mode == ProgressMode::Off || m_upper <= 0) {
        return;
    }
    const auto now = std::chrono::steady_clock::now();
    if (!DueForRedraw(now, force)) {
        return;
    }
    m_lastDrawn = now;
    const double share = static_cast<double>(m_position) / m_upper;
    const auto done = static_cast<std::uint64_t>(share * static_cast<double>(m_totalBytes));
    const double seconds = std::chrono::duration<double>(now - m_started).count();
    Put(ProgressText(m_phase, done, m_totalBytes, seconds));
}

}  // namespace kavendrum
