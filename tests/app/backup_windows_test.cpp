// "恢复备份" and "备份设置": what they list and what a click does.

#include "app/backup_windows.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "data/engine/engine.h"
#include "data/engine/query.h"
#include "orders/orders_window.h"
#include "backup/make_backup.h"
#include "data/sqlite/table_files.h"
#include "platform/scripted_dialogs.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>
#include <optional>

namespace {

class BackupWindows : public ::testing::Test {
protected:
    void SetUp() override {
        data = work.filePath(QStringLiteral("data"));
        QDir().mkpath(data);
        data::createTableFiles(data);
    }

    backup::BackupEntry backupAt(const QDateTime& time, backup::Kind kind) {
        backup::BackupOptions options;
        options.now = [time] { return time; };
        return backup::backupTableFiles(data, backup::backupRoot(data), kind, options);
    }

    QTemporaryDir work;
    QString data;
    platform::ScriptedDialogs dialogs;
};

TEST_F(BackupWindows, TheRestoreWindowListsTheBackupsAndRestoresTheOneConfirmed) {
    backupAt(QDateTime(QDate(2026, 12, 8), QTime(8, 5)), backup::Kind::Daily);
    backupAt(QDateTime(QDate(2026, 12, 9), QTime(17, 40)), backup::Kind::OnClose);
    std::optional<backup::BackupEntry> chosen;
    app::RestoreBackupWindow window(data, [&](const backup::BackupEntry& b) { chosen = b; });
    ASSERT_EQ(window.list->rowCount(), 2);
    auto row = [&](int r) {
        QStringList cells;
        for (int c = 0; c < window.list->columnCount(); ++c)
            cells << window.list->item(r, c)->text();
        return cells;
    };
    EXPECT_EQ(row(0), (QStringList{"2026-12-09", "17:40", "关闭时", "0", "0", "0"}));
    EXPECT_EQ(row(1), (QStringList{"2026-12-08", "08:05", "每日", "0", "0", "0"}));

    struct Case {
        const char* name;
        bool answer;
        bool restored;
    };
    for (const Case& c : {Case{"declined", false, false}, Case{"confirmed", true, true}}) {
        SCOPED_TRACE(c.name);
        dialogs.clear();
        window.list->selectRow(1);
        dialogs.queueAnswer(c.answer);
        window.restoreButton->click();
        EXPECT_EQ(dialogs.messageTexts(), QStringList{"你真的要恢复到2026-12-08 08:05的备份吗？现在的数据会先备份。"});
        EXPECT_EQ(chosen.has_value(), c.restored);
    }
    ASSERT_TRUE(chosen);
    EXPECT_EQ(chosen->manifest.kind, backup::Kind::Daily);
}

TEST_F(BackupWindows, TheMainWindowsRestoreButtonHandsTheConfirmedBackupToTheProgram) {
    backupAt(QDateTime(QDate(2026, 12, 8), QTime(8, 5)), backup::Kind::Daily);
    data::Engine engine(data);
    app::ProgramWindows windows(engine);
    TaForm1* main = windows.registry().mainWindow;
    std::vector<backup::BackupEntry> chosen;
    QObject::connect(main, &TaForm1::restoreChosen, main, [&](const backup::BackupEntry& b) { chosen.push_back(b); });
    auto* button = main->findChild<QToolButton*>(QStringLiteral("RestoreBackup"));
    ASSERT_TRUE(button);
    EXPECT_EQ(button->text(), QStringLiteral("恢复备份"));
    button->click();
    auto* window = main->findChild<app::RestoreBackupWindow*>();
    ASSERT_TRUE(window);
    EXPECT_TRUE(window->isVisible());
    dialogs.queueAnswer(true);
    window->restoreButton->click();
    ASSERT_EQ(chosen.size(), 1u);
    EXPECT_EQ(chosen[0].manifest.time,
              QDateTime(QDate(2026, 12, 8), QTime(8, 5)));
}

// The program closes its tables, restores and opens them again; the orders
// stored just before, still in the tables' log, are in the "恢复前" backup.
TEST_F(BackupWindows, ARestoreReplacesTheTablesTheWindowsShowAndCanBeTakenBack) {
    const backup::BackupEntry empty = backupAt(QDateTime(QDate(2026, 12, 8), QTime(8, 5)), backup::Kind::Daily);
    auto shownOrders = [&](const std::function<void(data::Query&)>& work = {}) {
        data::Engine engine(data);
        app::ProgramWindows windows(engine);
        data::Query& orders = *windows.registry().ordersWindow->Query1;
        if (work)
            work(orders);
        return orders.recordCount();
    };
    EXPECT_EQ(shownOrders([](data::Query& orders) {
                  for (const char* batch : {"B1", "B2"}) {
                      orders.insert();
                      orders.field(QStringLiteral("批号")).setText(QString::fromLatin1(batch));
                      orders.post();
                  }
              }),
              2);
    ASSERT_TRUE(app::restoreInPlace(data, empty));
    EXPECT_EQ(shownOrders(), 0);
    const std::vector<backup::BackupEntry> listed = backup::listBackups(backup::backupRoot(data));
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_EQ(listed[0].manifest.kind, backup::Kind::BeforeRestore);
    EXPECT_EQ(listed[0].manifest.rowsOf(QStringLiteral("dd.db")), 2);
    ASSERT_TRUE(app::restoreInPlace(data, listed[0]));
    EXPECT_EQ(shownOrders(), 2);
    EXPECT_TRUE(dialogs.messages().empty()) << dialogs.messageTexts().join('\n').toStdString();
}

TEST_F(BackupWindows, TheSettingsBoxKeepsAFolderThatCanBeWrittenOnly) {
    QFile blocker(work.filePath(QStringLiteral("一个文件")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    struct Case {
        const char* name;
        QString typed;
        QString kept;     // the backup folder afterwards
        bool refused;
    };
    const QString second = work.filePath(QStringLiteral("第二个磁盘/备份"));
    const Case cases[] = {
        {"another disk", QDir::toNativeSeparators(second), second, false},
        {"under a file", work.filePath(QStringLiteral("一个文件/备份")), second, true},
        {"chosen in the folder dialog", QStringLiteral("（选择）"), work.filePath(QStringLiteral("网络驱动器")), false},
        {"back to the default", QString(), QDir(data).filePath(QStringLiteral("备份")), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        dialogs.clear();
        app::BackupSettingsBox box(data);
        if (c.typed == QStringLiteral("（选择）")) {
            dialogs.queueFile(c.kept);
            box.chooseButton->click();
            ASSERT_EQ(dialogs.fileOpens().size(), 1u);
            EXPECT_TRUE(dialogs.fileOpens()[0].folderOnly);
            EXPECT_EQ(box.folderEdit->text(), QDir::toNativeSeparators(c.kept));
        } else {
            box.folderEdit->setText(c.typed);
        }
        box.okButton->click();
        EXPECT_EQ(box.result() == QDialog::Accepted, !c.refused);
        EXPECT_EQ(dialogs.messages().size(), c.refused ? 1u : 0u);
        EXPECT_EQ(backup::backupRoot(data), c.kept);
    }
}

}  // namespace
