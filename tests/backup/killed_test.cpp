// A backup or a restore killed (SIGKILL) at a step it reports leaves the
// tables and every earlier backup whole; the next run clears up after it.

#include "backup_fixture.h"

#include "backup/make_backup.h"
#include "backup/restore_backup.h"

#include <QProcess>

namespace {

using backup::Kind;

class Killed : public BackupFolder {
protected:
    // Runs the helper until it reports the step, then kills it.
    void killAt(const QStringList& arguments) {
        QProcess child;
        child.setProcessChannelMode(QProcess::SeparateChannels);
        child.start(QStringLiteral(TAVREL_BACKUP_CHILD), arguments);
        ASSERT_TRUE(child.waitForStarted());
        // Waits for the line itself; the bound only ends a helper that hangs.
        while (!child.canReadLine())
            ASSERT_TRUE(child.waitForReadyRead(120000)) << child.readAllStandardError().toStdString();
        EXPECT_EQ(QString::fromUtf8(child.readLine()).trimmed(), QStringLiteral("at ") + arguments.last());
        child.kill();  // SIGKILL, to this child's pid
        ASSERT_TRUE(child.waitForFinished());
        EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
    }
};

TEST_F(Killed, ABackupKilledOnItsWayLeavesNoBackupAndTheNextOneClearsUp) {
    addOrders(3000);
    const backup::BackupEntry earlier = backup::backupTableFiles(data, root, Kind::Daily);
    for (const QString& step : {QStringLiteral("正在备份数据表……"), QStringLiteral("正在检查备份……")}) {
        SCOPED_TRACE(step.toStdString());
        killAt({QStringLiteral("backup"), data, root, step});
        const std::vector<backup::BackupEntry> listed = backup::listBackups(root);
        ASSERT_EQ(listed.size(), 1u);
        EXPECT_EQ(listed[0].path, earlier.path);
        EXPECT_EQ(rows(earlier.path, QStringLiteral("dd")), 3000);
        EXPECT_EQ(orders(), 3000);
    }
    const backup::BackupEntry next = backup::backupTableFiles(data, root, Kind::Daily);
    EXPECT_EQ(rootEntries(), (QStringList{QDir(earlier.path).dirName(), QDir(next.path).dirName()}));
}

TEST_F(Killed, ARestoreKilledOnItsWayIsUndoneOrFinishedNeverLeftMixed) {
    addOrders(100);
    addShoe(QStringLiteral("M1"), QStringLiteral("黑"));
    const backup::BackupEntry old = backup::backupTableFiles(data, root, Kind::Daily);
    struct Case {
        const char* step;
        qint64 orders;  // after the next start
        qint64 shoes;
    };
    // Files are copied and switched in name order: dd.db, shoes.db, xdtj.db.
    const Case cases[] = {
        {"正在复制shoes.db……", 250, 3},  // stopped before its files were complete: nothing changed
        {"正在换上dd.db……", 100, 1},     // complete: finished at the next start
        {"正在换上shoes.db……", 100, 1},  // dd.db new and shoes.db old on disk
        {"正在换上xdtj.db……", 100, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        // The tables as they are before each run: 250 orders, 3 shoes.
        backup::restoreBackup(old, data);
        addOrders(150, 101);
        addShoe(QStringLiteral("M2"), QStringLiteral("白"));
        addShoe(QStringLiteral("M3"), QStringLiteral("红"));
        ASSERT_EQ(orders(), 250);
        killAt({QStringLiteral("restore"), old.path, data, QString::fromUtf8(c.step)});
        EXPECT_TRUE(backup::finishInterruptedRestore(data));
        EXPECT_EQ(orders(), c.orders);
        EXPECT_EQ(shoes(), c.shoes);
        EXPECT_FALSE(QFileInfo::exists(QDir(data).filePath(backup::restoreStagingName())));
        EXPECT_FALSE(backup::finishInterruptedRestore(data));
        // The backup itself is as it was.
        EXPECT_EQ(rows(old.path, QStringLiteral("dd")), 100);
    }
}

}  // namespace
