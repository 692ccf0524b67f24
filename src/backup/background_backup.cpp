#include "backup/background_backup.h"

#include "data/sqlite/table_snapshot.h"

namespace backup {

BackgroundBackup::BackgroundBackup(QString dataFolder, BackupOptions options, QObject* parent)
    : QObject(parent), dataFolder_(std::move(dataFolder)), options_(std::move(options)) {
    watchFromNow();
}

BackgroundBackup::~BackgroundBackup() {
    if (thread_) {
        thread_->wait();
        delete thread_;
    }
}

QString BackgroundBackup::root() const { return backupRoot(dataFolder_); }

void BackgroundBackup::watchFromNow() { watch_ = std::make_unique<data::WriteWatch>(filesToBackUp(dataFolder_)); }

bool BackgroundBackup::tablesWritten() const { return watch_->written(); }

bool BackgroundBackup::startDailyIfDue() {
    if (!dailyBackupDue(listBackups(root()), options_.now().date()))
        return false;
    return start(Kind::Daily);
}

bool BackgroundBackup::start(Kind kind) {
    if (thread_)
        return false;
    made_.reset();
    error_.reset();
    // Writes after this moment are owed to the next backup.
    watchFromNow();
    const QString folder = dataFolder_;
    const QString into = root();
    BackupOptions options = options_;
    options.progress = nullptr;  // the thread says nothing to the windows
    emit progress(QStringLiteral("正在备份数据表……"));
    thread_ = QThread::create([this, folder, into, kind, options] {
        try {
            made_ = backupTableFiles(folder, into, kind, options);
        } catch (const BackupError& e) {
            error_ = e;
        } catch (const std::exception& e) {
            error_ = BackupError(QStringLiteral("备份没有做成。数据表没有改动，之前的备份都还在。"),
                                 QString::fromUtf8(e.what()));
        }
    });
    connect(thread_, &QThread::finished, this, &BackgroundBackup::finish, Qt::QueuedConnection);
    thread_->start(QThread::LowPriority);
    return true;
}

void BackgroundBackup::finish() {
    if (!thread_)
        return;
    thread_->wait();
    delete thread_;
    thread_ = nullptr;
    if (made_) {
        emit done(backupDoneText(*made_));
    } else if (error_) {
        emit done(QStringLiteral("备份没有做成"));
        emit failed(*error_);
    }
}

void BackgroundBackup::waitUntilDone() {
    if (thread_)
        finish();
}

}  // namespace backup
