#pragma once

#include <QString>

namespace platform {

// Waits until what was written to the file, or the names a folder holds
// (files made, renamed or removed in it), has reached the disk. Throws
// FileError (with the system's error number) when the disk refuses.
void flushFileToDisk(const QString& path);
void flushFolderToDisk(const QString& path);

// Copies the file to `to` (replaced when there) and flushes the copy to the
// disk; throws FileError, leaving no part of `to` behind.
void copyFileToDisk(const QString& from, const QString& to);

// Gives the file or folder `from` the name `to` in the same folder in one
// step (a file of that name is replaced), then flushes the folder: whatever
// stops the program, either name holds the whole. Throws FileError.
void renameOnDisk(const QString& from, const QString& to);

}  // namespace platform
