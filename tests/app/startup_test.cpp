#include "app/data_folder.h"
#include "app/main_window.h"
#include "app/startup.h"
#include "catalogue/material_window.h"
#include "catalogue/shoes_window.h"
#include "data/engine/open_store.h"
#include "orders/orders_window.h"
#include "platform/file_manager.h"
#include "platform/files.h"
#include "program_windows_fixture.h"
#include "paradox/paradox_table.h"
#include "paradox_writer.h"
#include "statistics/statistics_window.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

TEST(CentredPosition, HalvesTheSpareRoomTruncatingTowardZero) {
    struct Case {
        QSize outer, inner;
        QPoint expected;
    };
    const Case cases[] = {
        {{787, 468}, {526, 278}, {130, 95}},  // the design size: 261 / 2 is truncated
        {{527, 279}, {526, 278}, {0, 0}},
        {{526, 278}, {526, 278}, {0, 0}},
        {{525, 277}, {526, 278}, {0, 0}},      // -1 / 2 truncates to 0
        {{520, 270}, {526, 278}, {-3, -4}},
        {{1600, 900}, {526, 278}, {537, 311}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::centredPosition(c.outer, c.inner), c.expected) << c.outer.width() << "x" << c.outer.height();
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dataDir.isValid());
        platform::setProgramFolder(programDir.path());
    }
    void TearDown() override { platform::setProgramFolder(QString()); }

    QTemporaryDir dataDir;
    QTemporaryDir programDir;
};

TEST_F(Startup, CreatesTheSevenWindowsInOrderAllHidden) {
    data::createTables(dataDir.path());
    data::Engine engine(dataDir.path());
    app::ProgramWindows windows(engine);
    QStringList classes, captions;
    for (QWidget* w : windows.inCreationOrder()) {
        classes << QString::fromLatin1(w->metaObject()->className());
        captions << w->windowTitle();
        EXPECT_FALSE(w->isVisible()) << w->metaObject()->className();
    }
    EXPECT_EQ(classes.join(','), QStringLiteral("TaForm1,TAForm2shoes,TaForm3DD,TaForm4DDSR,TAForm6TJ,TaForm7SS,TaForm10YL"));
    EXPECT_TRUE(captions[0].startsWith(QStringLiteral("Tavrel")));
    EXPECT_EQ(captions.mid(1).join(','), QStringLiteral("鞋底型号表,订单表,订单输入,鞋底统计,综合搜索,材料用量快速输入"));
    // The three tables are open from start-up on.
    EXPECT_TRUE(windows.registry().shoesWindow->Query1->isOpen());
    EXPECT_TRUE(windows.registry().ordersWindow->Query1->isOpen());
    EXPECT_TRUE(windows.registry().statisticsWindow->Query1->isOpen());
}

// The data folder as start-up finds it: old Paradox tables are offered for
// import into a new folder, missing tables for creation; the clerk's answer
// decides, and nothing is changed on Cancel.
TEST_F(Startup, TheDataFolderIsReadiedWithTheClerksConsent) {
    enum class Folder { MissingOrders, Paradox };
    struct Case {
        const char* name;
        Folder folder;
        bool answer;
        QString question;  // a fragment
        bool opened;       // start-up goes on
    };
    const Case cases[] = {
        {"missing, create", Folder::MissingOrders, true, "中缺少数据表：订单表（dd.db）。", true},
        {"missing, stop", Folder::MissingOrders, false, "中缺少数据表：订单表（dd.db）。", false},
        {"Paradox, import", Folder::Paradox, true, "中的SHOES.DB、DD.DB、XDTJ.DB是旧的Paradox数据表", true},
        {"Paradox, stop", Folder::Paradox, false, "中的SHOES.DB、DD.DB、XDTJ.DB是旧的Paradox数据表", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir folder;
        QStringList before;
        if (c.folder == Folder::MissingOrders) {
            data::createTables(folder.path(), {&data::shoesTable()});
            data::createTables(folder.path(), {&data::statisticsTable()});
        } else {
            paradox_fixture::writeTable(folder.filePath("SHOES.DB"), {paradox_fixture::catalogueFields()});
            // Two orders without a batch number: the second is one too many.
            const std::vector<paradox_fixture::Field> fields = paradox_fixture::orderFields();
            paradox_fixture::Record blankBatch(fields.size());
            blankBatch[1] = QStringLiteral("100");
            paradox_fixture::writeTable(folder.filePath("DD.DB"), {fields, {blankBatch, blankBatch}});
            paradox_fixture::writeTable(folder.filePath("XDTJ.DB"), {paradox_fixture::statisticsFields()});
            for (const char* name : {"SHOES.DB", "DD.DB", "XDTJ.DB"})
                EXPECT_TRUE(paradox::looksLikeParadoxTable(folder.filePath(name))) << name;
        }
        before = QDir(folder.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        platform::ScriptedDialogs dialogs;
        dialogs.queueAnswer(c.answer);
        std::unique_ptr<QWidget> report;
        const std::optional<QString> ready = app::readyDataFolder(folder.path(), &report);
        ASSERT_EQ(dialogs.messages().size(), 1u);
        EXPECT_EQ(dialogs.messages()[0].kind, platform::MessageKind::Question);
        EXPECT_TRUE(dialogs.messages()[0].text.contains(c.question)) << dialogs.messages()[0].text.toStdString();
        EXPECT_EQ(ready.has_value(), c.opened);
        if (!c.opened) {
            EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name), before);
            continue;
        }
        data::Engine engine(*ready);
        EXPECT_NO_THROW(app::ProgramWindows windows(engine));
        if (c.folder == Folder::Paradox) {
            EXPECT_EQ(*ready, app::importedDataFolder(folder.path()));
            ASSERT_TRUE(report);
            EXPECT_TRUE(report->isVisible());
            const auto* text = report->findChild<QPlainTextEdit*>();
            ASSERT_TRUE(text);
            EXPECT_TRUE(text->toPlainText().contains(QStringLiteral("订单表（dd.db）：读出2条，存入1条，拒收1条。\n"
                                                                    "    第2条没有存入：批号重复!!!")))
                << text->toPlainText().toStdString();
            // The old tables are left as they were; a later start uses the new folder without asking.
            EXPECT_TRUE(paradox::looksLikeParadoxTable(folder.filePath("DD.DB")));
            dialogs.clear();
            EXPECT_EQ(app::readyDataFolder(folder.path(), &report), ready);
            EXPECT_TRUE(dialogs.messages().empty());
        }
    }
}

TEST_F(Startup, AForeignTableFileStopsStartUpInChinese) {
    data::createTables(dataDir.path());
    QFile::remove(dataDir.filePath(QStringLiteral("xdtj.db")));
    QFile foreign(dataDir.filePath(QStringLiteral("xdtj.db")));
    ASSERT_TRUE(foreign.open(QIODevice::WriteOnly));
    foreign.write(QByteArray(2048, 'P'));
    foreign.close();
    EXPECT_FALSE(paradox::looksLikeParadoxTable(dataDir.filePath(QStringLiteral("xdtj.db"))));
    EXPECT_FALSE(paradox::looksLikeParadoxTable(dataDir.filePath(QStringLiteral("dd.db"))));  // an SQLite file
    data::Engine engine(dataDir.path());
    try {
        app::ProgramWindows windows(engine);
        ADD_FAILURE() << "started with a foreign xdtj.db";
    } catch (const data::EngineError& e) {
        const platform::ErrorReport report = app::startupErrorReport(e);
        EXPECT_TRUE(report.text.startsWith(QStringLiteral("文件“%1”不是本程序的数据表")
                                               .arg(QDir::toNativeSeparators(dataDir.filePath(QStringLiteral("xdtj.db"))))))
            << report.text.toStdString();
        EXPECT_TRUE(report.text.endsWith(QStringLiteral("程序不能启动。")));
        EXPECT_TRUE(report.details.contains(QStringLiteral("not an SQLite database")));
    }
}

TEST(StartupErrorReport, ADiskTooFullIsToldAsFullWithTheRoomNeeded) {
    const data::EngineError ioError(QStringLiteral("disk I/O error"), 10 | (15 << 8));  // SQLITE_IOERR_WRITE-like
    const data::EngineError full(QStringLiteral("database or disk is full"), 13);
    const data::EngineError locked(QStringLiteral("database is locked"), 5);
    const QString fullText = QStringLiteral("数据表所在的磁盘已满（只剩 150 KB 空闲空间），数据表不能写入。");
    const struct {
        const char* name;
        const data::EngineError& error;
        qint64 bytesFree;
        QString startsWith;
    } cases[] = {
        {"I/O error, 150 KB left", ioError, 150 * 1024, fullText},
        {"full, 150 KB left", full, 150 * 1024, fullText},
        {"I/O error, room enough", ioError, qint64(50) * 1024 * 1024, QStringLiteral("读写数据表时磁盘出错。")},
        {"I/O error, free space not known", ioError, -1, QStringLiteral("读写数据表时磁盘出错。")},
        {"locked, 150 KB left", locked, 150 * 1024, QStringLiteral("数据表正被另一个程序使用")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QString text = app::startupErrorReport(c.error, c.bytesFree).text;
        EXPECT_TRUE(text.startsWith(c.startsWith)) << text.toStdString();
        EXPECT_TRUE(text.endsWith(QStringLiteral("程序不能启动。")));
        EXPECT_EQ(text.contains(QStringLiteral("至少需要 10 MB 空闲空间")), c.startsWith == fullText);
    }
}

class MainWindow : public ProgramWindowsTest {
protected:
    void SetUp() override {
        ProgramWindowsTest::SetUp();
        main = windows->registry().mainWindow;
        main->show();
        QApplication::processEvents();
    }

    TaForm1* main = nullptr;
};

TEST_F(MainWindow, HasItsDesignGeometryWithThePictureCentred) {
    EXPECT_EQ(main->size(), QSize(787, 544));
    EXPECT_EQ(main->PBLACK->size(), QSize(787, 468));
    EXPECT_EQ(main->PLCCD->size(), QSize(526, 278));
    EXPECT_EQ(main->PLCCD->pos(), QPoint(130, 95));
    EXPECT_EQ(main->PLCCD->picture().size(), QSize(588, 317));
    EXPECT_EQ(main->SpeedButton1->geometry(), QRect(80, 98, 81, 75));
    EXPECT_EQ(main->SpeedButton2->geometry(), QRect(428, 97, 81, 75));
    EXPECT_EQ(main->SpeedButton3->geometry(), QRect(257, 121, 73, 26));
    EXPECT_FALSE(main->windowFlags() & Qt::WindowMaximizeButtonHint);
}

TEST_F(MainWindow, ButtonsAndHotSpotsShowTheirWindowsWithoutReloading) {
    struct Case {
        const char* control;
        QWidget* expected;
    };
    auto& r = windows->registry();
    const Case cases[] = {
        {"ToolButton1", r.shoesWindow}, {"ToolButton2", r.ordersWindow}, {"ToolButton4", r.statisticsWindow},
        {"SpeedButton1", r.shoesWindow}, {"SpeedButton2", r.ordersWindow}, {"SpeedButton3", r.statisticsWindow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.control);
        c.expected->hide();
        auto* button = main->findChild<QAbstractButton*>(QString::fromLatin1(c.control));
        ASSERT_TRUE(button);
        EXPECT_EQ(button->accessibleName().isEmpty(), false);
        QTest::mouseClick(button, Qt::LeftButton);
        EXPECT_TRUE(c.expected->isVisible());
    }
    // Shown again, the order window keeps its statement and current record.
    data::Query* orders = r.ordersWindow->Query1;
    orders->setSql(QStringLiteral("select * from dd.db where 已统计=false"));
    orders->open();
    QTest::mouseClick(main->findChild<QAbstractButton*>(QStringLiteral("ToolButton2")), Qt::LeftButton);
    EXPECT_EQ(orders->sql(), QStringLiteral("select * from dd.db where 已统计=false"));
}

TEST_F(MainWindow, HelpCreatesTheHelpFolderAndOpensIt) {
    platform::RecordingFileManager files;
    const QString folder = programDir.filePath(QStringLiteral("帮助文档"));
    ASSERT_FALSE(QDir(folder).exists());
    QTest::mouseClick(main->findChild<QAbstractButton*>(QStringLiteral("ToolButton10")), Qt::LeftButton);
    EXPECT_TRUE(QDir(folder).exists());
    ASSERT_EQ(files.openedFolders().size(), 1);
    EXPECT_EQ(QDir::cleanPath(files.openedFolders().first()), QDir::cleanPath(folder));
    // Clicking again opens the existing folder again.
    QTest::mouseClick(main->findChild<QAbstractButton*>(QStringLiteral("ToolButton10")), Qt::LeftButton);
    EXPECT_EQ(files.openedFolders().size(), 2);
}

TEST_F(MainWindow, HelpDoesNothingWhenTheFolderCannotBeMade) {
    platform::RecordingFileManager files;
    QFile blocker(programDir.filePath(QStringLiteral("帮助文档")));  // a file where the folder should be
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    QTest::mouseClick(main->findChild<QAbstractButton*>(QStringLiteral("ToolButton10")), Qt::LeftButton);
    EXPECT_TRUE(files.openedFolders().isEmpty());
}

TEST_F(MainWindow, ClosingAnotherWindowOnlyHidesIt) {
    QWidget* shoes = windows->registry().shoesWindow;
    kit::WindowRegistry::show(shoes);
    shoes->close();
    EXPECT_FALSE(shoes->isVisible());
    EXPECT_TRUE(main->isVisible());
    kit::WindowRegistry::show(shoes);
    EXPECT_TRUE(shoes->isVisible());
}

}  // namespace
