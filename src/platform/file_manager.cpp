#include "platform/file_manager.h"

#include <QDir>

#include <utility>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shellapi.h>
#else
#include <QDesktopServices>
#include <QUrl>
#endif

namespace platform {

namespace {

class DesktopFileManager : public FileManager {
public:
    void openFolder(const QString& path) override
    {
#ifdef Q_OS_WIN
        const std::wstring folder = QDir::toNativeSeparators(path).toStdWString();
        ShellExecuteW(nullptr, L"open", L"explorer.exe", folder.c_str(), nullptr, SW_SHOWNORMAL);
#else
        QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::cleanPath(path)));
#endif
    }
};

FileManager* installedFileManager = nullptr;

}  // namespace

FileManager& fileManager()
{
    if (installedFileManager)
        return *installedFileManager;
    static DesktopFileManager desktop;
    return desktop;
}

FileManager* setFileManager(FileManager* replacement)
{
    return std::exchange(installedFileManager, replacement);
}

void openFolderInFileManager(const QString& path)
{
    fileManager().openFolder(path);
}

RecordingFileManager::RecordingFileManager()
    : previous_(setFileManager(this)) {}

RecordingFileManager::~RecordingFileManager()
{
    setFileManager(previous_);
}

}  // namespace platform
