#pragma once

#include <unistd.h>

namespace kavendrum::testing {

// Ends the whole test program when a test still runs after `seconds`: a call that blocks for good
// then fails the run instead of hanging it.
class HangGuard {
  public:
    explicit HangGuard(unsigned seconds = 20) { ::alarm(seconds); }
    ~HangGuard() { ::alarm(0); }
    HangGuard(const HangGuard&) = delete;
    HangGuard& operator=(const HangGuard&) = delete;
};

}  // namespace kavendrum::testing
