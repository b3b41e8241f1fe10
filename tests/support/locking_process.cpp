#include "support/locking_process.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kavendrum::testing {

namespace {

bool TakeLock(const std::string& path, RecordLock lock) {
    const int handle = ::open(path.c_str(), lock == RecordLock::FcntlRead ? O_RDONLY : O_RDWR);
    if (handle < 0) {
        return false;
    }
    if (lock == RecordLock::Flock) {
        return ::flock(handle, LOCK_EX | LOCK_NB) == 0;
    }
    if (lock == RecordLock::Lockf) {
        return ::lockf(handle, F_TLOCK, 0) == 0;
    }
    struct flock range {};
    range.l_type = lock == RecordLock::FcntlRead ? F_RDLCK : F_WRLCK;
    range.l_whence = SEEK_SET;
    return ::fcntl(handle, F_SETLK, &range) == 0;
}

}  // namespace

LockingProcess::LockingProcess(const std::string& path, RecordLock lock) {
    int ready[2];
    int release[2];
    if (::pipe(ready) != 0) {
        return;
    }
    if (::pipe(release) != 0) {
        ::close(ready[0]);
        ::close(ready[1]);
        return;
    }
    m_child = ::fork();
    if (m_child == 0) {
        // Only calls that are safe after a fork, then out without the parent's exit handlers.
        ::close(ready[0]);
        ::close(release[1]);
        const char answer = TakeLock(path, lock) ? 'y' : 'n';
        (void)::write(ready[1], &answer, 1);
        char ignored;
        (void)::read(release[0], &ignored, 1);
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    m_release = release[1];
    char answer = 'n';
    m_holds = m_child > 0 && ::read(ready[0], &answer, 1) == 1 && answer == 'y';
    ::close(ready[0]);
}

LockingProcess::~LockingProcess() {
    if (m_release >= 0) {
        ::close(m_release);
    }
    if (m_child > 0) {
        int status = 0;
        ::waitpid(m_child, &status, 0);
    }
}

}  // namespace kavendrum::testing
