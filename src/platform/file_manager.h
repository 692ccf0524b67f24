#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// Opens folders in the desktop's file manager.
class FileManager {
public:
    virtual ~FileManager() = default;
    virtual void openFolder(const QString& path) = 0;
};

// The process-wide file manager; the desktop's own unless another one is installed.
FileManager& fileManager();
// Installs an implementation (nullptr: back to the desktop's) and returns the
// one installed before.
FileManager* setFileManager(FileManager* replacement);

// Opens the folder in a file-manager window: "explorer.exe" on Windows, the
// desktop's default handler for folders elsewhere.
void openFolderInFileManager(const QString& path);

// File manager for tests: records the folders it is asked to open and opens
// nothing. Installs itself while it lives.
class RecordingFileManager : public FileManager {
public:
    RecordingFileManager();
    ~RecordingFileManager() override;
    RecordingFileManager(const RecordingFileManager&) = delete;
    RecordingFileManager& operator=(const RecordingFileManager&) = delete;

    void openFolder(const QString& path) override { openedFolders_ << path; }
    const QStringList& openedFolders() const { return openedFolders_; }

private:
    FileManager* previous_ = nullptr;
    QStringList openedFolders_;
};

}  // namespace platform
