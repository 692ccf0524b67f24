// The statistics window's export buttons: which routine each one starts.

#include "dbui/db_grid.h"
#include "orders/fake_spreadsheet.h"
#include "platform/file_manager.h"
#include "program_windows_fixture.h"
#include "statistics/statistics_window.h"
#include "window_kit/status_panels.h"
#include "window_kit/fault_texts.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QAbstractButton>
#include <QTest>
#include <QTemporaryDir>
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
                          Case{"template present", true, &TAForm6TJ::ToolButton6Click, {QStringLiteral("你真的要打印吗？")}},
                          Case{"by supplier", false, &TAForm6TJ::ToolButtonGYSClick, {QStringLiteral("你真的要按供应商导出吗？")}}}) {
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
        EXPECT_EQ(question.icon, platform::MessageIcon::Question) << c.name;
        EXPECT_EQ(question.buttons, platform::MessageButtons::OkCancel) << c.name;
        EXPECT_EQ(question.caption, QStringLiteral("提示信息")) << c.name;
        EXPECT_TRUE(office->opened.empty() && office->hidden.empty()) << c.name;
        EXPECT_EQ(office->connects, 0) << c.name;
        EXPECT_EQ(dialogs.pendingAnswers(), 0) << c.name;
        dialogs.clear();
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

    const std::vector<Message> shown = takeMessages();
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].text.section(QLatin1Char('\n'), 0, 0), QStringLiteral("电子表格程序或工作簿已经关闭，操作没有做完。"));
    EXPECT_EQ(shown[1].details, QStringLiteral("The workbook is no longer open"));
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
    EXPECT_EQ(takeMessages().size(), 1u);  // the question, answered OK
    ASSERT_EQ(office->opened.size(), 1u);
    EXPECT_EQ(office->sheet->name(), window->DBGrid2->objectName());
    EXPECT_FALSE(office->sheet->cellText(1, 1).isEmpty());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

// The purchase sheets go into "采购单" beside the program, one folder a day.
TEST_F(ExportButtons, BySupplierWritesBesideTheProgram) {
    auto* query = window->Query1;
    for (const char* supplier : {"鑫达", "", "鑫达"}) {
        query->append();
        query->field(QStringLiteral("供应商")).setText(QString::fromUtf8(supplier));
        query->field(QStringLiteral("鞋底型号")).setText(QStringLiteral("D-1"));
        for (int size = 33; size <= 48; ++size)
            query->field(QString::number(size)).setText(QStringLiteral("1"));
        query->post();
    }
    dialogs.setDefaultAnswer(true);
    platform::RecordingFileManager files;
    window->ToolButtonGYSClick();
    const std::vector<Message> shown = takeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, QStringLiteral("你真的要按供应商导出吗？"));
    const QDir purchases(programDir.filePath(QStringLiteral("采购单")));
    const QStringList days = purchases.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    ASSERT_EQ(days.size(), 1);
    const QString day = purchases.filePath(days[0]);
    EXPECT_EQ(files.openedFolders(), QStringList{day});
    EXPECT_EQ(QDir(day).entryList(QDir::Files, QDir::Name).size(), 4);
    EXPECT_EQ(window->sBar->panelText(2), QStringLiteral("已导出2家供应商的采购单"));
    EXPECT_EQ(office->hidden.size(), 2u);
}

}  // namespace
