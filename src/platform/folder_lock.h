#pragma once

#include <QString>

namespace platform {

// Marks a folder of tables as in use by a running program: the lock file
// "tavrel.lock" in the folder, locked by the operating system for as long as
// the process that took it lives, however it ends. It holds that process's
// id, for the message of whoever finds it locked.
class FolderLock {
public:
    explicit FolderLock(const QString& folder);
    ~FolderLock();
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool isHeld() const { return handle_ != Invalid; }
    // The process id written by the holder, when another process holds it.
    qint64 holder() const { return holder_; }

    static QString fileName();  // "tavrel.lock"

private:
#ifdef _WIN32
    using Handle = void*;
    static inline const Handle Invalid = reinterpret_cast<Handle>(-1);
#else
    using Handle = int;
    static constexpr Handle Invalid = -1;
#endif
    Handle handle_ = Invalid;
    qint64 holder_ = 0;
};

}  // namespace platform
