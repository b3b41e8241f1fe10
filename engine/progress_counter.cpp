#include "engine/progress_counter.h"

#include <limits>

namespace kavendrum {

ProgressCounter::ProgressCounter(OperationHost& host, std::uint64_t total) : m_host(host) {
    constexpr std::uint64_t kLargestRange = std::numeric_limits<int>::max();
    m_stepsPerAdvance = total <= kLargestRange ? 1 : (total + kLargestRange - 1) / kLargestRange;
    m_host.SetWidthPercent(100);
    m_host.SetStepRange(0, static_cast<int>(total / m_stepsPerAdvance), 1);
    m_host.SetPosition(0);
}

void ProgressCounter::Step() {
    if (++m_count % m_stepsPerAdvance == 0) {
        m_host.Advance();
    }
}

}  // namespace kavendrum
