#pragma once

#include "backup/backup_error.h"
#include "backup/make_backup.h"

#include <QObject>
#include <QThread>
#include <exception>
#include <memory>
#include <optional>

namespace data {
class WriteWatch;
}

namespace backup {

// The program's own backups of a data folder: the daily one on the first
// start of a day and the one when the program closes after the tables were
// written, made on a thread of their own with connections of their own, so
// that the clerk's commands never wait for them.
class BackgroundBackup : public QObject {
    Q_OBJECT

public:
    explicit BackgroundBackup(QString dataFolder, BackupOptions options = {}, QObject* parent = nullptr);
    ~BackgroundBackup() override;  // waits for a backup still running

    // Starts the daily backup when today has none yet; true when started.
    bool startDailyIfDue();
    // Starts a backup of that kind unless one is running; true when started.
    bool start(Kind kind);
    // Whether the tables were written since this object was made or since
    // its last backup: a closing program then owes a backup.
    bool tablesWritten() const;
    bool running() const { return thread_ != nullptr; }
    // Blocks until the running backup has ended (signals sent).
    void waitUntilDone();

    QString root() const;

signals:
    // Texts for the status bar.
    void progress(const QString& text);
    void done(const QString& text);
    // The backup did not come about; nothing of it is left.
    void failed(const backup::BackupError& error);

private:
    void finish();
    void watchFromNow();

    QString dataFolder_;
    BackupOptions options_;
    QThread* thread_ = nullptr;
    std::optional<BackupEntry> made_;
    std::optional<BackupError> error_;
    std::unique_ptr<data::WriteWatch> watch_;
};

}  // namespace backup
