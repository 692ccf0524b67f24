#include "app/data_folder.h"
#include "app/startup.h"
#include "catalogue/shoes_window.h"
#include "data/engine/query.h"
#include "data/test_role.h"
#include "orders/orders_window.h"
#include "platform/files.h"
#include "pg_test_server.h"
#include "platform/scripted_dialogs.h"
#include "qt_printing.h"
#include "statistics/statistics_window.h"
#include "window_kit/fault_texts.h"
#include "table_places.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <optional>

namespace {

// Start-up given a server's URI in place of the data folder.
class ServerStartup : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(programDir.isValid());
        platform::setProgramFolder(programDir.path());
    }
    void TearDown() override { platform::setProgramFolder(QString()); }

    QTemporaryDir programDir;
};

// Each test runs in a program of its own, beside the others: its database is
// its own too.
QString startupDatabase() {
    return freshPgDatabase(pgTestServerUri(), QStringLiteral("tavrel_app_startup_%1").arg(QCoreApplication::applicationPid()));
}

const QStringList allTables{QStringLiteral("shoes.db"), QStringLiteral("dd.db"), QStringLiteral("xdtj.db")};

// A location with a password in it is refused before the server is asked
// anything: the clerk is told where the password goes instead.
TEST_F(ServerStartup, ALocationWithAPasswordIsRefusedAndThePasswordFileExplained) {
    const QString server = startupDatabase();
    const QString separator = server.contains(QLatin1Char('?')) ? QStringLiteral("&") : QStringLiteral("?");
    const QString withPassword[] = {
        server + separator + QStringLiteral("password=Sekr3t-pw"),
        server + separator + QStringLiteral("%70assword=Sekr3t-pw"),
        QString(server).replace(QLatin1String("://"), QLatin1String("://clerk:Sekr3t-pw@")),
    };
    for (const QString& location : withPassword) {
        SCOPED_TRACE(location.toStdString());
        platform::ScriptedDialogs dialogs;
        std::unique_ptr<QWidget> report;
        EXPECT_FALSE(app::readyDataFolder(location, &report).has_value());
        ASSERT_EQ(dialogs.messages().size(), 1u);
        const QString text = dialogs.messages()[0].text;
        EXPECT_EQ(dialogs.messages()[0].kind, platform::MessageKind::Error);
        EXPECT_TRUE(text.contains(QStringLiteral("~/.pgpass"))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("chmod 600"))) << text.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("Sekr3t-pw"))) << text.toStdString();
        EXPECT_EQ(missingTables(server), allTables);  // nothing made
    }
}

// A desk whose role has no rights on the tables is not offered to create
// tables that are there: it is told it may not use them.
TEST_F(ServerStartup, ARoleThatCannotSeeTheTablesIsToldSoNotOfferedToCreateThem) {
    const QString server = startupDatabase();
    createAllTables(server);
    TestRole stranger(server, QStringLiteral("tavrel_stranger"));
    stranger.grant({"GRANT USAGE ON SCHEMA public TO %1"});
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<QWidget> report;
    EXPECT_EQ(app::readyDataFolder(stranger.uri(), &report), stranger.uri());
    EXPECT_TRUE(dialogs.messages().empty());
    try {
        data::Engine engine(stranger.uri());
        app::ProgramWindows windows(engine);
        ADD_FAILURE() << "the tables opened without rights on them";
    } catch (const data::EngineError& e) {
        EXPECT_EQ(e.sqlState(), QStringLiteral("42501")) << e.what();
        EXPECT_TRUE(kit::faultReport(e).text.startsWith(QStringLiteral("这台电脑没有使用数据库服务器上这些数据表的权限。")))
            << kit::faultReport(e).text.toStdString();
    }
    EXPECT_TRUE(missingTables(server).isEmpty());
}

// Tables missing on the server are offered for creation there, named by the
// server (without its password), never by a folder; nothing is made on Cancel,
// and the windows open on the server's tables.
TEST_F(ServerStartup, MissingTablesAreCreatedOnTheServerWithTheClerksConsent) {
    struct Case {
        const char* name;
        QStringList present;
        std::optional<bool> answer;  // none: no question is asked
        QString missing;             // as the question names them
    };
    const Case cases[] = {
        {"none there, create", {}, true, "鞋底型号表（shoes.db）、订单表（dd.db）、鞋底统计表（xdtj.db）"},
        {"none there, stop", {}, false, "鞋底型号表（shoes.db）、订单表（dd.db）、鞋底统计表（xdtj.db）"},
        {"orders missing, create", {"shoes.db", "xdtj.db"}, true, "订单表（dd.db）"},
        {"all there", allTables, std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString server = startupDatabase();
        createTables(server, c.present);
        const QStringList missingBefore = missingTables(server);
        platform::ScriptedDialogs dialogs;
        if (c.answer)
            dialogs.queueAnswer(*c.answer);
        std::unique_ptr<QWidget> report;
        const std::optional<QString> ready = app::readyDataFolder(server, &report);
        if (c.answer) {
            ASSERT_EQ(dialogs.messages().size(), 1u);
            const QString text = dialogs.messages()[0].text;
            EXPECT_EQ(dialogs.messages()[0].kind, platform::MessageKind::Question);
            EXPECT_TRUE(text.contains(QStringLiteral("数据库服务器“%1”中缺少数据表：%2。").arg(shownPlace(server), c.missing)))
                << text.toStdString();
            EXPECT_FALSE(text.contains(QStringLiteral("文件夹"))) << text.toStdString();
        } else {
            EXPECT_TRUE(dialogs.messages().empty());
        }
        EXPECT_FALSE(report);
        EXPECT_EQ(ready.has_value(), c.answer.value_or(true));
        if (!ready) {
            EXPECT_EQ(missingTables(server), missingBefore);
            continue;
        }
        EXPECT_EQ(*ready, server);
        EXPECT_TRUE(missingTables(server).isEmpty());
        data::Engine engine(*ready);
        ASSERT_TRUE(engine.store().folder().isEmpty());  // no folder of files on this computer
        EXPECT_EQ(app::holdTables(engine), nullptr);  // the desks share the server
        app::ProgramWindows windows(engine);
        EXPECT_TRUE(windows.registry().shoesWindow->Query1->isOpen());
        EXPECT_TRUE(windows.registry().ordersWindow->Query1->isOpen());
        EXPECT_TRUE(windows.registry().statisticsWindow->Query1->isOpen());
    }
}

// The windows show what another desk stored on the server, and what they
// store reaches it.
TEST_F(ServerStartup, TheWindowsWorkOnTheServersRecords) {
    const QString server = pgTestDatabase();
    createAllTables(server);
    {
        data::Engine otherDesk(server);
        data::Query q(otherDesk);
        q.setSql(QStringLiteral("select * from dd.db"));
        q.open();
        q.append();
        q.field(QStringLiteral("批号")).setText(QStringLiteral("2601001"));
        q.field(QStringLiteral("备注")).setText(QStringLiteral("别的电脑录入"));
        q.post();
    }
    platform::ScriptedDialogs dialogs;
    std::unique_ptr<QWidget> report;
    ASSERT_EQ(app::readyDataFolder(server, &report), server);
    data::Engine engine(server);
    app::ProgramWindows windows(engine);
    data::Query* orders = windows.registry().ordersWindow->Query1;
    ASSERT_EQ(orders->recordCount(), 1);
    EXPECT_EQ(orders->field(QStringLiteral("备注")).asText(), QStringLiteral("别的电脑录入"));

    data::Query* shoes = windows.registry().shoesWindow->Query1;
    shoes->append();
    shoes->field(QStringLiteral("鞋的型号")).setText(QStringLiteral("A1001"));
    shoes->field(QStringLiteral("颜色")).setText(QStringLiteral("黑"));
    shoes->post();
    data::Engine otherDesk(server);
    data::Query check(otherDesk);
    check.setSql(QStringLiteral("select * from shoes.db"));
    check.open();
    ASSERT_EQ(check.recordCount(), 1);
    EXPECT_EQ(check.field(QStringLiteral("鞋的型号")).asText(), QStringLiteral("A1001"));
    EXPECT_TRUE(dialogs.messages().empty());
}

TEST(TablesLocation, IsTheArgumentElseTheWorkingDirectory) {
    const QString here = QDir::currentPath();
    struct Case {
        QStringList arguments;
        QString location;
    };
    const Case cases[] = {
        {{"tavrel"}, here},
        {{"tavrel", ""}, here},
        {{"tavrel", "postgresql://clerk@db/tavrel"}, "postgresql://clerk@db/tavrel"},
        {{"tavrel", "/srv/工厂数据"}, "/srv/工厂数据"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::tablesLocation(c.arguments), c.location) << c.arguments.join(' ').toStdString();
}

TEST(HoldTables, AFolderIsHeldWhileTheProgramRuns) {
    QTemporaryDir folder;
    data::Engine engine(folder.path());
    const std::unique_ptr<platform::FolderLock> lock = app::holdTables(engine);
    ASSERT_NE(lock, nullptr);
    EXPECT_TRUE(lock->isHeld());
    EXPECT_TRUE(QFileInfo::exists(folder.filePath(platform::FolderLock::fileName())));
}

}  // namespace
