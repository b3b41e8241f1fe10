#include "support/held_file.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace kavendrum::testing {

#ifdef _WIN32

HeldFile::HeldFile(const std::string& path, Holding holding) {
    const DWORD share = holding == Holding::Shared ? FILE_SHARE_READ : 0;
    const HANDLE handle = CreateFileA(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    m_handle = reinterpret_cast<std::intptr_t>(handle);
    m_held = handle != INVALID_HANDLE_VALUE;
}

HeldFile::~HeldFile() {
    if (m_held) {
        CloseHandle(reinterpret_cast<HANDLE>(m_handle));
    }
}

#else

HeldFile::HeldFile(const std::string& path, Holding holding) {
    const int handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    m_handle = handle;
    const int mode = holding == Holding::Shared ? LOCK_SH : LOCK_EX;
    m_held = handle >= 0 && ::flock(handle, mode | LOCK_NB) == 0;
}

HeldFile::~HeldFile() {
    if (m_handle >= 0) {
        ::close(static_cast<int>(m_handle));
    }
}

#endif

}  // namespace kavendrum::testing
