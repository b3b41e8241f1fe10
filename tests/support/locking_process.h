#pragma once

#include <string>

namespace kavendrum::testing {

// The kinds of lock another program may hold on a file.
enum class RecordLock {
    Lockf,       // lockf(F_LOCK) on the whole file: a process-owned write lock
    FcntlRead,   // fcntl(F_SETLK) read lock, taken through a read-only descriptor
    FcntlWrite,  // fcntl(F_SETLK) write lock
    Flock,       // flock(LOCK_EX) on the whole file, as some programs hold what they write
};

// A second process that holds a lock on a file until this object goes. Record locks taken by the
// process itself would not show what another program's lock does, so the lock is taken in a child.
class LockingProcess {
  public:
    LockingProcess(const std::string& path, RecordLock lock);
    ~LockingProcess();
    LockingProcess(const LockingProcess&) = delete;
    LockingProcess& operator=(const LockingProcess&) = delete;

    // True once the child holds the lock.
    bool holds() const { return m_holds; }

  private:
    int m_child = -1;
    int m_release = -1;  // closing it tells the child to end
    bool m_holds = false;
};

}  // namespace kavendrum::testing
