// The table tool's backup and restore on a folder of table files.

#include "backup_fixture.h"

#include "backup/make_backup.h"
#include "platform/folder_lock.h"

#include <QProcess>

namespace {

struct ToolRun {
    int exitCode = -1;
    QStringList out;
    QStringList err;
};

ToolRun runTool(const QString& program, const QStringList& arguments) {
    QProcess tool;
    tool.start(program, arguments);
    EXPECT_TRUE(tool.waitForFinished(120000));
    return {tool.exitCode(), QString::fromUtf8(tool.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
            QString::fromUtf8(tool.readAllStandardError()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)};
}

ToolRun runTool(const QStringList& arguments) { return runTool(QStringLiteral(TAVREL_TABLES_TOOL), arguments); }

QString native(const QString& path) { return QDir::toNativeSeparators(QDir(path).absolutePath()); }

class ToolBackups : public BackupFolder {};

TEST_F(ToolBackups, BackupAndRestoreAFolderAndRestoreTheRestoreAway) {
    addOrders(20);
    addShoe(QStringLiteral("M1"), QStringLiteral("黑"));
    const ToolRun made = runTool({QStringLiteral("backup"), data, root});
    ASSERT_EQ(made.exitCode, 0) << made.err.join('\n').toStdString();
    const std::vector<backup::BackupEntry> listed = backup::listBackups(root);
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].manifest.kind, backup::Kind::ByHand);
    EXPECT_EQ(made.out, QStringList{QStringLiteral("已备份到“%1”（鞋底型号表1条，订单表20条，鞋底统计表0条）。").arg(native(listed[0].path))});

    addOrders(30, 21);
    const ToolRun restored = runTool({QStringLiteral("restore"), listed[0].path, data});
    ASSERT_EQ(restored.exitCode, 0) << restored.err.join('\n').toStdString();
    EXPECT_EQ(orders(), 20);
    ASSERT_EQ(restored.out.size(), 1);
    EXPECT_TRUE(restored.out[0].startsWith(QStringLiteral("已恢复到%1的备份（鞋底型号表1条，订单表20条，鞋底统计表0条）。恢复前的数据表已备份到“")
                                               .arg(listed[0].manifest.time.toString(QStringLiteral("yyyy-MM-dd HH:mm")))))
        << restored.out[0].toStdString();
    // The present tables were kept in the folder's own backup folder.
    const std::vector<backup::BackupEntry> before = backup::listBackups(backup::backupRoot(data));
    ASSERT_EQ(before.size(), 1u);
    EXPECT_EQ(before[0].manifest.kind, backup::Kind::BeforeRestore);
    EXPECT_EQ(runTool({QStringLiteral("restore"), before[0].path, data}).exitCode, 0);
    EXPECT_EQ(orders(), 50);
}

TEST_F(ToolBackups, RefusedWhileTheProgramHoldsTheFolderOrWithoutABackup) {
    addOrders(5);
    ASSERT_EQ(runTool({QStringLiteral("backup"), data, root}).exitCode, 0);
    const QString made = backup::listBackups(root).at(0).path;
    addOrders(1, 6);
    struct Case {
        const char* name;
        QStringList arguments;
        bool lockHeld;
        QString firstError;
    };
    const Case cases[] = {
        {"backup while held", {"backup", data, root}, true, "请先退出程序再备份。"},
        {"restore while held", {"restore", made, data}, true, "请先退出程序再恢复。"},
        {"restore of no backup", {"restore", data, data}, false,
         QStringLiteral("“%1”不是完整的备份（没有备份说明），没有恢复任何数据。").arg(native(data))},
        {"a server without a backup folder", {"backup", "postgresql://clerk@127.0.0.1:1/none"}, false,
         QStringLiteral("服务器上的数据表要指明备份文件夹：tavrel-tables backup URI 备份文件夹")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<platform::FolderLock> lock;
        if (c.lockHeld)
            lock = std::make_unique<platform::FolderLock>(data);
        const ToolRun run = runTool(c.arguments);
        EXPECT_NE(run.exitCode, 0);
        ASSERT_FALSE(run.err.isEmpty());
        EXPECT_TRUE(run.err[0].endsWith(c.firstError)) << run.err[0].toStdString();
        EXPECT_EQ(orders(), 6);
        EXPECT_EQ(backup::listBackups(root).size(), 1u);
    }
}

// The tool may write no more than a limit of the system's while the backup
// needs more: the disk fills up on its way.
TEST_F(ToolBackups, ADiskFullOnItsWayIsToldAndLeavesNoHalfBackup) {
    addOrders(4000);
    const qint64 tableBytes = QFileInfo(QDir(data).filePath(QStringLiteral("dd.db"))).size();
    ASSERT_GT(tableBytes, 600 * 1024);
    // In blocks of 1024 bytes, not a whole number of pages: SQLite's last
    // page is written short, which it reports as a full disk.
    const QString limited = QStringLiteral("trap '' XFSZ; ulimit -f 301; exec \"$0\" \"$@\"");
    const ToolRun run = runTool(QStringLiteral("/bin/bash"), {QStringLiteral("-c"), limited, QStringLiteral(TAVREL_TABLES_TOOL),
                                                              QStringLiteral("backup"), data, root});
    EXPECT_EQ(run.exitCode, 1);
    ASSERT_FALSE(run.err.isEmpty());
    EXPECT_EQ(run.err[0], QStringLiteral("备份没有做成：备份文件夹“%1”所在的磁盘已满。").arg(native(root))) << run.err.join(QLatin1Char('\n')).toStdString();
    EXPECT_EQ(run.err.value(1), QStringLiteral("数据表没有改动，没有留下不完整的备份，之前的备份都还在。"));
    EXPECT_TRUE(rootEntries().isEmpty()) << rootEntries().join(' ').toStdString();
    EXPECT_EQ(orders(), 4000);
    // The next command works.
    EXPECT_EQ(runTool({QStringLiteral("backup"), data, root}).exitCode, 0);
}

}  // namespace
