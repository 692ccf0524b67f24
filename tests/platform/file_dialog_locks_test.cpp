// The file dialog lists a folder without opening what it lists. A table file
// that SQLite holds open carries the process's locks; any descriptor of the
// file that the process closes gives them all up, and another program reading
// the tables may then take away the log our writes go to.
#include "platform/modal_dialogs.h"

#include <gtest/gtest.h>

#include <QFileDialog>
#include <QFileSystemModel>
#include <QSignalSpy>
#include <QTemporaryDir>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr off_t LockedByte = 0x40000002;  // where SQLite takes a reader's lock

// Whether another process finds a lock on the byte: a child asks, since a
// process never sees its own locks.
bool othersSeeTheLock(const QString& path) {
    const pid_t child = fork();
    if (child == 0) {
        const int fd = ::open(path.toLocal8Bit().constData(), O_RDONLY);
        struct flock probe = {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        probe.l_start = LockedByte;
        probe.l_len = 1;
        const bool locked = fd >= 0 && fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
        _exit(locked ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(FileDialogLocks, ListingAFolderKeepsTheLocksOnItsFiles) {
    QTemporaryDir folder, elsewhere;
    ASSERT_TRUE(folder.isValid() && elsewhere.isValid());
    // A file that looks like a table and whose type only its bytes tell.
    const QString table = folder.filePath(QStringLiteral("dd.db"));
    {
        QFile file(table);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\0'));
    }
    const int fd = ::open(table.toLocal8Bit().constData(), O_RDWR);
    ASSERT_GE(fd, 0);
    struct flock lock = {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = LockedByte;
    lock.l_len = 1;
    ASSERT_EQ(fcntl(fd, F_SETLK, &lock), 0);
    ASSERT_TRUE(othersSeeTheLock(table));

    platform::FileOpenRequest request;
    request.title = QStringLiteral("订单导入");
    request.filters = {QStringLiteral("EXCEL|*.xls")};
    request.folder = elsewhere.path();
    const std::unique_ptr<QFileDialog> dialog = platform::ModalDialogs::makeFileDialog(request);
    auto* model = dialog->findChild<QFileSystemModel*>();
    ASSERT_TRUE(model);
    QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
    dialog->setDirectory(folder.path());
    while (!loaded.contains(QVariantList{folder.path()}))
        ASSERT_TRUE(loaded.wait());

    EXPECT_TRUE(othersSeeTheLock(table));
    ::close(fd);
}

}  // namespace
#endif
