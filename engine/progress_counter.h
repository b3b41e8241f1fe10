#pragma once

#include <cstdint>

#include "engine/operation_host.h"

namespace kavendrum {

// Drives the host's bar through one run of `total` steps: sets it up, then advances it once per
// Step. A run with more steps than the bar's range can hold advances it once every few steps, so
// the bar still moves steadily from empty to full.
class ProgressCounter {
  public:
    ProgressCounter(OperationHost& host, std::uint64_t total);
    void Step();

  private:
    OperationHost& m_host;
    std::uint64_t m_stepsPerAdvance = 1;
    std::uint64_t m_count = 0;
};

}  // namespace kavendrum
