// A failure that nothing can catch, such as running out of memory while the libraries' own
// objects are built before main starts, ends the program with a line and status 1, as a failure
// caught in main does, instead of an abort and a core dump.

#include <cstdio>
#include <cstdlib>
#include <exception>

namespace kavendrum {
namespace {

[[noreturn]] void SayAndEnd() noexcept {
    // Nothing here may allocate: memory may be what ran out.
    std::fputs("kavendrum-cli: an unexpected error ended the program (out of memory?)\n", stderr);
    std::_Exit(1);
}

struct TerminateHandler {
    TerminateHandler() { std::set_terminate(SayAndEnd); }
};

// Built before every object of the default priority, in every file and library, so that it is
// in place while they are built.
#if defined(__GNUC__)
__attribute__((init_priority(101)))
#endif
const TerminateHandler kTerminateHandler;

}  // namespace
}  // namespace kavendrum
