// The statistics window's export buttons: which routine each one starts.

#include "app/startup.h"
#include "data/table_files.h"
#include "dbui/db_grid.h"
#include "orders/fake_spreadsheet.h"
#include "platform/files.h"
#include "platform/scripted_dialogs.h"
#include "qt_printing.h"
#include "statistics/statistics_window.h"
#include "window_kit/fault_texts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QAbstractButton>
#include <QTest>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class ExportButtons : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setProgramFolder(programDir.path());
        data::createTableFiles(dataDir.path());
        engine = std::make_unique<data::Engine>(dataDir.path());
        windows = std::make_unique<app::ProgramWindows>(*engine);
        windows->registry().makeSpreadsheet = [this] { return office; };
        window = windows->registry().statisticsWindow;
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override {
        windows.reset();
        platform::setProgramFolder(QString());
    }
    void placeTemplate() {
        ASSERT_TRUE(QDir(programDir.path()).mkpath(QStringLiteral("打印")));
        QFile file(programDir.filePath(QStringLiteral("打印/鞋底打印.xls")));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));  // the fake office never reads it
    }

    QTemporaryDir programDir, dataDir;
    std::unique_ptr<data::Engine> engine;
    std::unique_ptr<app::ProgramWindows> windows;
    std::shared_ptr<FakeSpreadsheet> office = std::make_shared<FakeSpreadsheet>();
    TAForm6TJ* window = nullptr;
    platform::ScriptedDialogs dialogs;
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
        dialogs.clear();
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
    }
}

// The office goes away in the middle of the quick export: the clerk is told
// in Chinese, and the statistics are as they were.
TEST_F(ExportButtons, TheOfficeGoneMidExportIsToldInChineseAndTheTableKept) {
    const platform::ErrorTranslator previous = platform::setErrorTranslator(kit::faultReport);
    {
        data::Query writer(*engine);
        writer.setSql(QStringLiteral("select * from xdtj.db"));
        writer.open();
        for (const char* sole : {"D-1", "D-2", "D-3"}) {
            writer.append();
            writer.field(QStringLiteral("鞋底型号")).setText(QString::fromUtf8(sole));
            writer.field(QStringLiteral("40")).setValue(7);
            writer.field(QStringLiteral("双数")).setValue(7);
            writer.post();
        }
    }
    window->Query1->open();
    office->sheet->goneAtRow = 3;
    dialogs.setDefaultAnswer(true);
    window->show();
    auto* button = window->findChild<QAbstractButton*>(QStringLiteral("ToolButton12"));
    ASSERT_TRUE(button);
    QTest::mouseClick(button, Qt::LeftButton);
    platform::setErrorTranslator(previous);

    ASSERT_EQ(dialogs.messages().size(), 2u);
    EXPECT_EQ(dialogs.messages()[1].text.section(QLatin1Char('\n'), 0, 0),
              QStringLiteral("电子表格程序或工作簿已经关闭，操作没有做完。"));
    EXPECT_EQ(dialogs.messages()[1].details, QStringLiteral("The workbook is no longer open"));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    data::Query reader(*engine);
    reader.setSql(QStringLiteral("select * from xdtj.db"));
    reader.open();
    QStringList rows;
    for (reader.first(); !reader.eof(); reader.next())
        rows << reader.field(QStringLiteral("鞋底型号")).asText() + QLatin1Char(':') + reader.field(QStringLiteral("双数")).asText();
    EXPECT_EQ(rows, (QStringList{"D-1:7", "D-2:7", "D-3:7"}));
}

TEST_F(ExportButtons, QuickExportFillsASheetNamedAfterTheGrid) {
    dialogs.setDefaultAnswer(true);
    window->ToolButton12Click();
    ASSERT_EQ(office->opened.size(), 1u);
    EXPECT_EQ(office->sheet->name(), window->DBGrid2->objectName());
    EXPECT_FALSE(office->sheet->cellText(1, 1).isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

}  // namespace
