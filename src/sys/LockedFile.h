#pragma once
// A small file that several programs share, each change made under an
// exclusive lock: the record log that every station of a line appends to,
// the counter that gives each board its number. The lock is the system's
// own (an open file description lock, or flock, on POSIX; LockFileEx on
// Windows), held by this object's open file: two objects exclude each other
// whether they live in one process, on two threads, or in two processes,
// and the system drops a lock whose holder died.
#include <cstdint>
#include <string>

namespace pelican {

class CLockedFile {
public:
    enum class Mode {
        Append,  // made when missing; text is added at its end
        Update,  // must exist; read and written over whole
    };

    CLockedFile() = default;
    ~CLockedFile();
    CLockedFile(const CLockedFile&) = delete;
    CLockedFile& operator=(const CLockedFile&) = delete;

    // Opens path for reading and writing; false, with the system's reason
    // in error, when it cannot be (missing with Update, a folder, no
    // permission). A new file is readable by all, writable by its owner.
    bool Open(const std::string& path, Mode mode, std::string& error);
    bool IsOpen() const { return m_handle != -1; }
    // The path it was opened with.
    const std::string& Path() const { return m_path; }
    // Takes the exclusive lock only when no one holds it: Busy while another
    // object has it, Failed (with the reason in error) when it cannot be had.
    // Unlock (or Close) gives it back.
    enum class Attempt { Locked, Busy, Failed };
    Attempt TryLock(std::string& error);
    void Unlock();
    // Who holds the lock, where the system says ("process 4711" for a
    // process of this machine); empty when it does not.
    std::string Holder() const;

    // Under the lock: the whole file.
    bool ReadAll(std::string& text, std::string& error);
    // Under the lock: text added at the end. A file that a writer killed
    // part way left without its last line end gets one first, so that text
    // starts a line of its own. An append that fails part way (a full
    // disk) is cut back to the file's length before it: the file never
    // ends in a torn line of its own making.
    bool Append(const std::string& text, std::string& error);
    // Under the lock: the file becomes text.
    bool Overwrite(const std::string& text, std::string& error);
    // What was written reaches the disk (fsync, FlushFileBuffers).
    bool Sync(std::string& error);
    void Close();

private:
    std::string m_path;
    intptr_t m_handle = -1;  // the descriptor, or the Windows handle
    bool m_locked = false;
};

}  // namespace pelican
