#pragma once
#include <QString>

namespace platform {

// An exclusive advisory lock (flock) on a file of the program's own, held for the lifetime of
// the object. The system lets go of it when the process ends however it ends, so a lock
// left by a killed process never blocks the next one.
class FileLock {
public:
    FileLock() = default;
    ~FileLock() { release(); }
    FileLock(const FileLock &) = delete;
    FileLock &operator=(const FileLock &) = delete;

    // Takes the lock on `path` (created, with its folders, when missing) without waiting.
    // False when another holder has it; throws AppError when the file cannot be made.
    bool tryTake(const QString &path);
    bool held() const { return fd_ >= 0; }
    void release();

private:
    int fd_ = -1;
};

} // namespace platform
