#include "cli/console_win32.h"

#include <windows.h>

#include <cstdio>

namespace kavendrum {

namespace {

bool IsConsole(DWORD stream) {
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(stream), &mode) != 0;
}

}  // namespace

ConsoleCodePage::ConsoleCodePage() {
    if (!IsConsole(STD_OUTPUT_HANDLE) && !IsConsole(STD_ERROR_HANDLE)) {
        return;
    }
    const UINT previous = GetConsoleOutputCP();
    const UINT wanted = GetACP();
    if (previous != 0 && previous != wanted && SetConsoleOutputCP(wanted)) {
        m_previous = previous;
    }
}

ConsoleCodePage::~ConsoleCodePage() {
    if (m_previous != 0) {
        // What the runtime still holds is shown in the code page it was written for.
        std::fflush(stdout);
        std::fflush(stderr);
        SetConsoleOutputCP(m_previous);
    }
}

}  // namespace kavendrum
