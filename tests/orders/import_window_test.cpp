#include "fake_spreadsheet.h"
#include "orders/orders_window.h"
#include "platform/file_manager.h"
#include "program_windows_fixture.h"
#include "window_kit/status_panels.h"

#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

using platform::MessageIcon;

class ImportWindow : public ProgramWindowsTest {
protected:
    void SetUp() override {
        ProgramWindowsTest::SetUp();
        office = std::make_shared<FakeSpreadsheet>();
        windows->registry().makeSpreadsheet = [this] { return office; };
        orders = windows->registry().ordersWindow;
        workbook = dir.filePath(QStringLiteral("orders.xls"));
        QFile file(workbook);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));  // the fake office never reads it
        office->sheet->setRow(1, {QStringLiteral("批号")});
    }
    void addRow(int row, const QString& batch) {
        office->sheet->setRow(row, {batch, QStringLiteral("A1"), QStringLiteral("h"), QStringLiteral("2"), QString(),
                                    QStringLiteral("1"), QStringLiteral("2")});
    }

    int storedOrders() { return openQuery(QStringLiteral("select * from dd.db"))->recordCount(); }

    QString statusText() { return orders->sBar->panelText(2); }

public:
    std::shared_ptr<FakeSpreadsheet> office;
    TaForm3DD* orders = nullptr;
    QString workbook;
    platform::RecordingFileManager files;
};

TEST_F(ImportWindow, ImportsTheActiveSheetThroughTheOrderQuery) {
    addRow(2, QStringLiteral("K1"));
    addRow(3, QStringLiteral("K2"));
    dialogs.queueFile(workbook);
    orders->ToolButton12Click();

    EXPECT_EQ(storedOrders(), 2);
    EXPECT_EQ(statusText(), QStringLiteral("在第一列第3行检测到空值，数据导入已结束！"));
    EXPECT_TRUE(dialogs.messages().empty());
    EXPECT_TRUE(office->isVisible());
    // The import folder beside the program was made and opened first.
    const QString folder = programDir.filePath(QStringLiteral("订单导入"));
    EXPECT_TRUE(QDir(folder).exists());
    ASSERT_EQ(files.openedFolders().size(), 1);
    EXPECT_EQ(QDir::cleanPath(files.openedFolders().first()), QDir::cleanPath(folder));
    // The dialog offered the workbook types, .xls first, pre-filled with the folder name.
    ASSERT_EQ(dialogs.fileOpens().size(), 1);
    EXPECT_EQ(dialogs.fileOpens().front().filters.first(), QStringLiteral("EXCEL|*.xls"));
    EXPECT_EQ(dialogs.fileOpens().front().fileName, QStringLiteral("订单导入"));

    // A second import reuses the connection and offers the last file.
    dialogs.queueFile(QString());
    orders->ToolButton12Click();
    EXPECT_EQ(dialogs.fileOpens().back().fileName, workbook);
    addRow(4, QStringLiteral("K3"));
}

TEST_F(ImportWindow, EachFailingStepShowsItsMessageAndImportsNothing) {
    struct Case {
        const char* name;
        std::function<void(ImportWindow&)> arrange;
        const char* text;
        const char* caption;
        MessageIcon icon;
        bool ownedByOrderWindow;
        bool reachesTheOffice = true;
    };
    const Case cases[] = {
        {"missing file", [](ImportWindow& t) { t.workbook += QStringLiteral(".gone"); }, nullptr, "系统提示",
         MessageIcon::Error, true},
        {"no office", [](ImportWindow& t) { t.office->failConnect = true; }, "与EXCEL文件连接失败!", "提示信息",
         MessageIcon::Warning, false},
        {"no workbook", [](ImportWindow& t) { t.office->failOpen = true; }, "与工作簿的连接已关闭!", "提示信息",
         MessageIcon::Warning, false},
        {"chart sheet", [](ImportWindow& t) { t.office->chartActive = true; }, "与工作表连接已关闭!", "提示信息",
         MessageIcon::Warning, false},
        {"the order table", [](ImportWindow& t) { t.workbook = t.dir.filePath(QStringLiteral("dd.db")); },
         "与工作簿的连接已关闭!", "提示信息", MessageIcon::Warning, false, false},
        {"the undo journal's log", [](ImportWindow& t) { t.workbook = t.dir.filePath(QStringLiteral("undo.db-wal")); },
         "与工作簿的连接已关闭!", "提示信息", MessageIcon::Warning, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        addRow(2, QStringLiteral("M1"));
        c.arrange(*this);
        dialogs.queueFile(workbook);
        orders->ToolButton12Click();
        const std::vector<Message> shown = takeMessages();
        ASSERT_EQ(shown.size(), 1);
        const Message& box = shown.front();
        const QString expected = c.text ? QString::fromUtf8(c.text) : QStringLiteral("文件") + workbook + QStringLiteral("不存在");
        EXPECT_EQ(box.text, expected);
        EXPECT_EQ(box.caption, QString::fromUtf8(c.caption));
        EXPECT_EQ(box.icon, c.icon);
        EXPECT_EQ(box.owner.data() == orders, c.ownedByOrderWindow);
        EXPECT_EQ(storedOrders(), 0);
        if (!c.reachesTheOffice)
            EXPECT_EQ(office->connects, 0);
    }
}

TEST_F(ImportWindow, CancellingTheDialogOnlyOpensTheFolder) {
    addRow(2, QStringLiteral("N1"));
    dialogs.queueFile(QString());
    const QString before = statusText();
    orders->ToolButton12Click();
    EXPECT_EQ(files.openedFolders().size(), 1);
    EXPECT_EQ(office->connects, 0);
    EXPECT_EQ(storedOrders(), 0);
    EXPECT_EQ(statusText(), before);
}

TEST_F(ImportWindow, ADuplicateShowsBothMessagesInOrder) {
    addRow(2, QStringLiteral("P1"));
    dialogs.queueFile(workbook);
    orders->ToolButton12Click();
    dialogs.clear();
    dialogs.queueFile(workbook);
    orders->ToolButton12Click();
    EXPECT_EQ(dialogs.messageTexts(),
              (QStringList{QStringLiteral("批号重复!!!"), QStringLiteral("数据导入异常，请检查该行数据是否已存在！导入已强行终止。")}));
    EXPECT_EQ(dialogs.messages().at(0).caption, QString());
    EXPECT_EQ(dialogs.messages().at(1).caption, QStringLiteral("提示信息"));
    dialogs.clear();
    EXPECT_EQ(storedOrders(), 1);
    EXPECT_FALSE(orders->Query1->isBusy());
}

}  // namespace
