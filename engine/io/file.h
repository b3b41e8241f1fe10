#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/io/file_error.h"

namespace kavendrum {

// Which file a path names, so that two paths to one file can be told apart from two files.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// How far a copy inside the kernel got before it stopped.
struct RangeCopy {
    std::size_t copied = 0;
    bool stopped = false;      // it ended before the size asked for, for whatever reason
    bool unsupported = false;  // the kernel cannot copy between these two files
};

// An open file. Every open is exclusive (nobody else may read or write the file while it is
// held) unless it says otherwise; the handle is closed when the object goes. No open blocks,
// whatever the path leads to.
class File {
  public:
    // The platform's handle: a descriptor on POSIX, a HANDLE on Windows; -1 when closed.
    using NativeHandle = std::intptr_t;

    File() = default;
    ~File() { Close(); }
    File(File&& other) noexcept : m_handle(other.m_handle), m_path(std::move(other.m_path)) {
        other.m_handle = -1;
    }
    File& operator=(File&& other) noexcept {
        if (this != &other) {
            Close();
            m_handle = other.m_handle;
            m_path = std::move(other.m_path);
            other.m_handle = -1;
        }
        return *this;
    }
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // Only a regular file or a block device (a disk, read whole) is opened; a pipe, FIFO, socket,
    // character device or folder is refused as a bad path, and never waited for.
    static FileResult<File> OpenForReading(const std::string& path) {
        return OpenForReadingImpl(path, false);
    }
    // As OpenForReading, but others may read the file at the same time; nobody may write it.
    static FileResult<File> OpenSharedForReading(const std::string& path) {
        return OpenForReadingImpl(path, true);
    }
    // Creates the file or empties an existing one, but only once it is held exclusively, so a
    // file that somebody else holds is never emptied. An existing file that is `keepOut` (another
    // name of a file being read) is refused untouched, as a sharing violation.
    static FileResult<File> OpenForWriting(const std::string& path,
                                           const FileIdentity* keepOut = nullptr) {
        return OpenForWritingImpl(path, true, keepOut);
    }
    // Makes a file that must not exist yet, held exclusively; an existing name fails the call,
    // and so does a link there, live or dangling: nothing is ever written through one.
    static FileResult<File> CreateNew(const std::string& path);
    // As CreateNew, at the first of `names` where nothing stands yet; `chosen` gets its index.
    // Only a taken name moves on to the next one: any other failure ends the search.
    static FileResult<File> CreateAtFirstFree(const std::vector<std::string>& names,
                                              std::size_t& chosen);
    // As CreateNew, for a file that is to go when its last handle is closed, also when the process
    // is killed, until KeepWhenClosed is called. Windows marks it so; elsewhere there is no such
    // mark for a named file, and this is CreateNew.
    static FileResult<File> CreateTransient(const std::string& path);
    // A new file without a name, in the folder that holds `pathInFolder`, held exclusively and
    // open for reading and writing. It goes with its last handle, however the process ends,
    // unless LinkAs gives it a name first. Empty where the system or the file system makes no
    // such file (Linux before 3.11, some network and FUSE file systems, Windows).
    static FileResult<std::optional<File>> CreateUnnamed(const std::string& pathInFolder);
    // Opens an existing file for reading and writing, held exclusively, without emptying it; a
    // link at the name is not followed.
    static FileResult<File> OpenForUpdate(const std::string& path);
    // As OpenForWriting, for a file that others may read and write at the same time.
    static FileResult<File> OpenSharedForWriting(const std::string& path) {
        return OpenForWritingImpl(path, false, nullptr);
    }
    // The process's standard input or output as a file of its own: a second handle to it, so that
    // closing the file leaves the stream itself open. `name` stands for the path in messages.
    enum class Standard { Input, Output };
    static FileResult<File> OpenStandard(Standard stream, const std::string& name);

    // A second handle to the same open file, which stays open until both are closed.
    FileResult<File> Duplicate() const;
    // Gives a file made by CreateUnnamed the name `path`, only where nothing stands there yet,
    // not even a link: false when something does. Never replaces, never follows a link.
    FileResult<bool> LinkAs(const std::string& path);
    // Takes back the mark CreateTransient set: the file stays when it is closed.
    FileStatus KeepWhenClosed();

    bool IsOpen() const { return m_handle != -1; }
    const std::string& Path() const { return m_path; }
    // Failures name the file by this path from now on: a file made under a temporary name is
    // known to the user by the name it is going to have.
    void ShowAs(std::string path) { m_path = std::move(path); }

    FileResult<std::uint64_t> Length() const;
    FileResult<FileIdentity> Identity() const;
    // What tells this file from one made after it is gone, which the file system may give the
    // same identity (Linux file systems give a freed inode number again at once): on Linux the
    // file's handle, which carries the inode's generation. Empty where there is nothing of the
    // kind; Windows' file ids carry a sequence number of their own.
    std::string Generation() const;
    // Reads until `size` bytes are in or the file ends; the count tells which.
    FileResult<std::size_t> Read(void* buffer, std::size_t size);
    // Moves the position to `offset` bytes from the start, for readers of files with an index.
    FileStatus SeekTo(std::uint64_t offset);
    // Writes all `size` bytes; a device that takes fewer is full.
    FileStatus Write(const void* buffer, std::size_t size);
    // Copies from this file's position to the destination's inside the kernel, which may share
    // the blocks instead of copying them. A stop says nothing of its cause: the caller finds it
    // by reading and writing the rest.
    RangeCopy CopyRangeTo(File& destination, std::size_t size);
    // Tells the kernel the file will be read from start to end.
    void AdviseSequential();
    // Makes the file `length` bytes long and moves the position there.
    FileStatus CutAt(std::uint64_t length);
    // Puts the bytes written so far on stable storage.
    FileStatus Flush();
    FileStatus Close();
    // Writes the file's last bytes, puts it on stable storage when `flush` is set, and closes it;
    // the first failure stops the rest.
    FileStatus WriteLastAndClose(const void* buffer, std::size_t size, bool flush = false) {
        FileStatus failure = Write(buffer, size);
        if (!failure && flush) {
            failure = Flush();
        }
        return failure ? failure : Close();
    }

  private:
    File(NativeHandle handle, std::string path) : m_handle(handle), m_path(std::move(path)) {}
    int Fd() const { return static_cast<int>(m_handle); }
    static FileResult<File> OpenForReadingImpl(const std::string& path, bool shared);
    static FileResult<File> OpenForWritingImpl(const std::string& path, bool exclusive,
                                               const FileIdentity* keepOut);

    NativeHandle m_handle = -1;
    std::string m_path;
};

}  // namespace kavendrum
