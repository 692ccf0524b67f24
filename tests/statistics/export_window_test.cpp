// The statistics window's export buttons: which routine each one starts.

#include "dbui/db_grid.h"
#include "orders/fake_spreadsheet.h"
#include "program_windows_fixture.h"
#include "statistics/statistics_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

namespace {

class ExportButtons : public ProgramWindowsTest {
protected:
    void SetUp() override {
        ProgramWindowsTest::SetUp();
        windows->registry().makeSpreadsheet = [this] { return office; };
        window = windows->registry().statisticsWindow;
        ASSERT_NE(window, nullptr);
    }
    void placeTemplate() {
        ASSERT_TRUE(QDir(programDir.path()).mkpath(QStringLiteral("打印")));
        QFile file(programDir.filePath(QStringLiteral("打印/鞋底打印.xls")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));  // the fake office never reads it
    }

    std::shared_ptr<FakeSpreadsheet> office = std::make_shared<FakeSpreadsheet>();
    TAForm6TJ* window = nullptr;
};

TEST_F(ExportButtons, EachButtonAsksItsOwnQuestion) {
    struct Case {
        const char* name;
        bool withTemplate;
        void (TAForm6TJ::*click)();
        QStringList texts;
    };
    const QString exportQuestion = QStringLiteral("你真的要导出数据吗？");
    for (const Case& c : {Case{"quick export", false, &TAForm6TJ::ToolButton12Click, {exportQuestion}},
                          Case{"template missing", false, &TAForm6TJ::ToolButton6Click,
                               {QStringLiteral("鞋底打印.xls模板文件已丢失!"), exportQuestion}},
                          Case{"template present", true, &TAForm6TJ::ToolButton6Click, {QStringLiteral("你真的要打印吗？")}}}) {
        if (c.withTemplate)
            placeTemplate();
        dialogs.queueAnswer(false);
        (window->*c.click)();
        EXPECT_EQ(dialogs.messageTexts(), c.texts) << c.name;
        ASSERT_FALSE(dialogs.messages().empty());
        const auto& question = dialogs.messages().back();
        EXPECT_EQ(question.owner, window) << c.name;
        if (dialogs.messages().size() == 2) {
            const auto& missing = dialogs.messages().front();
            EXPECT_EQ(missing.icon, platform::MessageIcon::Error);
            EXPECT_EQ(missing.caption, QStringLiteral("提示信息"));
            EXPECT_EQ(missing.owner, nullptr);
        }
        EXPECT_TRUE(office->opened.empty()) << c.name;
        EXPECT_EQ(dialogs.pendingAnswers(), 0) << c.name;
        dialogs.clear();
    }
}

TEST_F(ExportButtons, QuickExportFillsASheetNamedAfterTheGrid) {
    dialogs.setDefaultAnswer(true);
    window->ToolButton12Click();
    EXPECT_EQ(takeMessages().size(), 1u);  // the question, answered OK
    ASSERT_EQ(office->opened.size(), 1u);
    EXPECT_EQ(office->sheet->name(), window->DBGrid2->objectName());
    EXPECT_FALSE(office->sheet->cellText(1, 1).isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
