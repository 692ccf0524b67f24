// Making, checking and restoring backups of a data folder.

#include "backup_fixture.h"

#include "backup/background_backup.h"
#include "backup/backup_error.h"
#include "backup/make_backup.h"
#include "backup/restore_backup.h"
#include "data/sqlite/table_snapshot.h"
#include "data/sqlite/undo_file.h"

#include <QFile>
#include <QSignalSpy>

namespace {

using backup::Kind;

backup::BackupOptions at(const QDateTime& time) {
    backup::BackupOptions options;
    options.now = [time] { return time; };
    return options;
}

const QDateTime Morning(QDate(2026, 12, 9), QTime(8, 15));

class Backups : public BackupFolder {};

TEST_F(Backups, ABackupHoldsTheTablesCheckedAndCountedUnderItsDateAndTime) {
    addShoe(QStringLiteral("M1"), QStringLiteral("黑"));
    addShoe(QStringLiteral("M2"), QStringLiteral("白"));
    addOrders(250);
    const backup::BackupEntry made = backup::backupTableFiles(data, root, Kind::Daily, at(Morning));
    EXPECT_EQ(made.path, QDir(root).filePath(QStringLiteral("2026-12-09 0815")));
    EXPECT_EQ(rootEntries(), QStringList{QStringLiteral("2026-12-09 0815")});
    EXPECT_EQ(made.manifest.files, (QStringList{"dd.db", "shoes.db", "xdtj.db"}));
    EXPECT_EQ(made.manifest.check, QStringLiteral("ok"));
    const std::vector<backup::BackupEntry> listed = backup::listBackups(root);
    ASSERT_EQ(listed.size(), 1u);
    const backup::Manifest& m = listed[0].manifest;
    EXPECT_EQ(m.time, Morning);
    EXPECT_EQ(m.kind, Kind::Daily);
    EXPECT_EQ(m.rowsOf(QStringLiteral("dd.db")), 250);
    EXPECT_EQ(m.rowsOf(QStringLiteral("shoes.db")), 2);
    EXPECT_EQ(m.rowsOf(QStringLiteral("xdtj.db")), 0);
    // The copies are tables of their own, read without writing beside them.
    EXPECT_EQ(rows(made.path, QStringLiteral("dd")), 250);
    EXPECT_FALSE(QFile::exists(QDir(made.path).filePath(QStringLiteral("dd.db-wal"))));
    // A second one in the same minute gets a name of its own.
    const backup::BackupEntry again = backup::backupTableFiles(data, root, Kind::OnClose, at(Morning));
    EXPECT_EQ(QDir(again.path).dirName(), QStringLiteral("2026-12-09 0815-2"));
}

TEST_F(Backups, ABackupThatFailsItsCheckOrFindsTheDiskFullLeavesNothingAndKeepsTheEarlierOnes) {
    addOrders(40);
    backup::backupTableFiles(data, root, Kind::Daily, at(Morning));
    struct Case {
        const char* name;
        std::function<void(const QString& into)> fill;
        qint64 freeBytes;
        QString firstLine;
        bool diskFull;
    };
    auto damaged = [&](const QString& into) {
        const QStringList files{QDir(data).filePath("dd.db"), QDir(data).filePath("shoes.db"), QDir(data).filePath("xdtj.db")};
        data::snapshotTableFiles(files, {QDir(into).filePath("dd.db"), QDir(into).filePath("shoes.db"),
                                         QDir(into).filePath("xdtj.db")});
        QFile dd(QDir(into).filePath("dd.db"));
        ASSERT_TRUE(dd.open(QIODevice::ReadWrite));
        // Every page after the first one, the table's own included.
        dd.seek(4096);
        dd.write(QByteArray(int(dd.size() - 4096), '\x5a'));
    };
    const Case cases[] = {
        {"a damaged copy", damaged, -1, QStringLiteral("备份没有做成：写好的备份文件“dd.db”检查不通过。"), false},
        {"a table missing", [](const QString&) {}, -1, QStringLiteral("备份没有做成：备份中缺少数据表“shoes.db”。"), false},
        {"no room on the disk", damaged, 1000,
         QStringLiteral("备份没有做成：备份文件夹“%1”所在的磁盘已满。").arg(QDir::toNativeSeparators(root)), true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        backup::BackupOptions options = at(Morning.addSecs(3600));
        if (c.freeBytes >= 0)
            options.freeBytes = [&c](const QString&) { return c.freeBytes; };
        try {
            backup::writeBackup(root, Kind::Daily, data, 4096, c.fill, options);
            ADD_FAILURE() << "no error";
        } catch (const backup::BackupError& e) {
            EXPECT_EQ(e.text().section(QLatin1Char('\n'), 0, 0), c.firstLine);
            EXPECT_TRUE(e.text().contains(QStringLiteral("之前的备份都还在"))) << e.text().toStdString();
            EXPECT_EQ(e.diskFull(), c.diskFull);
        }
        EXPECT_EQ(rootEntries(), QStringList{QStringLiteral("2026-12-09 0815")});
        EXPECT_EQ(orders(), 40);
    }
}

TEST_F(Backups, ARestoreCanItselfBeRestoredAway) {
    addOrders(10);
    addShoe(QStringLiteral("M1"), QStringLiteral("黑"));
    const backup::BackupEntry ten = backup::backupTableFiles(data, root, Kind::Daily, at(Morning));
    addOrders(5, 11);
    addShoe(QStringLiteral("M2"), QStringLiteral("白"));

    const std::optional<backup::BackupEntry> fifteen =
        backup::restoreKeepingPresent(ten, data, at(Morning.addSecs(7200)));
    ASSERT_TRUE(fifteen);
    EXPECT_EQ(fifteen->manifest.kind, Kind::BeforeRestore);
    EXPECT_EQ(fifteen->manifest.rowsOf(QStringLiteral("dd.db")), 15);
    EXPECT_EQ(orders(), 10);
    EXPECT_EQ(shoes(), 1);

    const std::optional<backup::BackupEntry> tenAgain =
        backup::restoreKeepingPresent(*fifteen, data, at(Morning.addSecs(9000)));
    EXPECT_EQ(orders(), 15);
    EXPECT_EQ(shoes(), 2);
    ASSERT_TRUE(tenAgain);
    EXPECT_EQ(tenAgain->manifest.rowsOf(QStringLiteral("dd.db")), 10);
    // The backups made before each restore are in the folder's own backup folder.
    EXPECT_EQ(backup::listBackups(root).size(), 1u);
    EXPECT_EQ(backup::listBackups(backup::backupRoot(data)).size(), 2u);
    EXPECT_FALSE(QFileInfo::exists(QDir(data).filePath(backup::restoreStagingName())));
}

TEST_F(Backups, TheUndoJournalGoesWithTheTablesItBelongsTo) {
    addOrders(3);
    const backup::BackupEntry withoutJournal = backup::backupTableFiles(data, root, Kind::Daily, at(Morning));
    const QString journal = QDir(data).filePath(data::undoFileName());
    run(journal, QStringLiteral("CREATE TABLE remembered (x)"));
    const backup::BackupEntry withJournal = backup::backupTableFiles(data, root, Kind::Daily, at(Morning.addSecs(60)));
    EXPECT_TRUE(withJournal.manifest.files.contains(data::undoFileName()));

    backup::restoreBackup(withoutJournal, data);
    // It would undo commands the restored tables never saw.
    EXPECT_FALSE(QFileInfo::exists(journal));
    backup::restoreBackup(withJournal, data);
    EXPECT_TRUE(QFileInfo::exists(journal));
}

TEST_F(Backups, ADamagedOrForeignBackupIsRefusedBeforeTheTablesAreTouched) {
    addOrders(7);
    const backup::BackupEntry good = backup::backupTableFiles(data, root, Kind::Daily, at(Morning));
    struct Case {
        const char* name;
        std::function<backup::BackupEntry()> make;
        QString said;
    };
    const Case cases[] = {
        {"a file damaged since",
         [&] {
             QFile dd(QDir(good.path).filePath("dd.db"));
             EXPECT_TRUE(dd.open(QIODevice::ReadWrite));
             const QByteArray before = dd.readAll();
             dd.seek(0);
             dd.write(QByteArray(200, 'x'));
             return good;
         },
         QStringLiteral("检查不通过")},
        {"a name that is no table",
         [&] {
             backup::BackupEntry odd = good;
             odd.manifest.files << QStringLiteral("../elsewhere.db");
             return odd;
         },
         QStringLiteral("不属于数据表")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const backup::BackupEntry chosen = c.make();
        try {
            backup::restoreBackup(chosen, data);
            ADD_FAILURE() << "restored";
        } catch (const backup::BackupError& e) {
            EXPECT_TRUE(e.text().contains(c.said)) << e.text().toStdString();
            EXPECT_TRUE(e.text().contains(QStringLiteral("数据表没有改动"))) << e.text().toStdString();
        }
        EXPECT_EQ(orders(), 7);
    }
}

TEST_F(Backups, TheChosenFolderIsKeptInTheDataFolder) {
    EXPECT_EQ(backup::backupRoot(data), QDir(data).filePath(QStringLiteral("备份")));
    const QString elsewhere = work.filePath(QStringLiteral("第二个磁盘/备份"));
    backup::chooseBackupRoot(data, elsewhere);
    EXPECT_EQ(backup::backupRoot(data), elsewhere);
    backup::chooseBackupRoot(data, QString());
    EXPECT_EQ(backup::backupRoot(data), QDir(data).filePath(QStringLiteral("备份")));
}

// The daily backup on the first start of a day, and the one owed when the
// program closes after the tables were written; the clock is the test's.
TEST_F(Backups, TheProgramBacksUpOnTheFirstStartOfADayAndAfterWritesWhenClosing) {
    addOrders(5);
    backup::chooseBackupRoot(data, root);
    QDateTime now = Morning;
    backup::BackupOptions options;
    options.now = [&now] { return now; };
    auto started = [&](const std::function<bool(backup::BackgroundBackup&)>& start) {
        backup::BackgroundBackup backups(data, options);
        QSignalSpy done(&backups, &backup::BackgroundBackup::done);
        const bool didStart = start(backups);
        if (didStart)
            EXPECT_TRUE(done.wait(60000));
        return didStart;
    };
    auto daily = [](backup::BackgroundBackup& b) { return b.startDailyIfDue(); };
    EXPECT_TRUE(started(daily));
    now = Morning.addSecs(4 * 3600);
    EXPECT_FALSE(started(daily));  // the second start of the day
    now = Morning.addDays(1);
    EXPECT_TRUE(started(daily));
    ASSERT_EQ(backup::listBackups(root).size(), 2u);
    EXPECT_EQ(backup::listBackups(root)[0].manifest.time, Morning.addDays(1));

    backup::BackgroundBackup closing(data, options);
    EXPECT_FALSE(closing.tablesWritten());
    addOrders(1, 100);
    EXPECT_TRUE(closing.tablesWritten());
    QSignalSpy done(&closing, &backup::BackgroundBackup::done);
    ASSERT_TRUE(closing.start(Kind::OnClose));
    ASSERT_TRUE(done.wait(60000));
    EXPECT_EQ(done.first().first().toString(), QStringLiteral("已备份（2026-12-10 08:15）"));
    EXPECT_FALSE(closing.tablesWritten());
    EXPECT_EQ(backup::listBackups(root)[0].manifest.rowsOf(QStringLiteral("dd.db")), 6);
}

}  // namespace
