// The program's windows at desks of the three groups of a set-up server:
// what a desk's role may not change is greyed out, saying why, and the rest
// stays as it is.
#include "app/startup.h"
#include "catalogue/shoes_window.h"
#include "data/core/schema.h"
#include "data/core/undo_journal.h"
#include "data/engine/engine.h"
#include "data/engine/undo_scope.h"
#include "data/server/pg_roles.h"
#include "data/server/pg_session.h"
#include "dbui/db_grid.h"
#include "dbui/db_navigator.h"
#include "orders/order_entry_window.h"
#include "orders/orders_window.h"
#include "pg_test_server.h"
#include "platform/files.h"
#include "platform/scripted_dialogs.h"
#include "statistics/statistics_window.h"
#include "window_kit/undo_button.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QToolButton>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

using data::pg::DeskGroup;

QString own(const QString& name) { return QStringLiteral("%1_%2").arg(name).arg(QCoreApplication::applicationPid()); }

data::pg::RoleNames testNames() {
    data::pg::RoleNames names;
    names.owner = own(QStringLiteral("tavrel_owner_w"));
    names.models = own(QStringLiteral("型号w"));
    names.orders = own(QStringLiteral("订单w"));
    names.readOnly = own(QStringLiteral("只读w"));
    return names;
}

const QString Database = own(QStringLiteral("tavrel_desk_roles"));

QString deskName(DeskGroup group) {
    return own(group == DeskGroup::Models ? QStringLiteral("wdesk_models")
                                          : group == DeskGroup::Orders ? QStringLiteral("wdesk_orders") : QStringLiteral("wdesk_reader"));
}

// The server, set up once for the program; its database and roles dropped
// at the end.
class SetUpServer : public ::testing::Environment {
public:
    void SetUp() override {
        uri = freshPgDatabase(pgTestServerUri(), Database);
        admin = data::pg::Session::connect(uri, QStringLiteral("管理"));
        for (DeskGroup group : {DeskGroup::Models, DeskGroup::Orders, DeskGroup::ReadOnly})
            admin->exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(data::quotedIdentifier(deskName(group))));
        data::pg::setUpServer(uri, testNames());
        for (DeskGroup group : {DeskGroup::Models, DeskGroup::Orders, DeskGroup::ReadOnly})
            data::pg::addDesk(*admin, testNames(), deskName(group), group, QStringLiteral("口令"));
        admin->exec(QStringLiteral("INSERT INTO dd (\"批号\") VALUES ('1'); INSERT INTO shoes (\"鞋的型号\") VALUES ('A'); "
                                   "INSERT INTO xdtj (\"鞋底型号\") VALUES ('底')"));
    }
    void TearDown() override {
        admin.reset();
        try {
            auto base = data::pg::Session::connect(pgTestServerUri(), QStringLiteral("管理"));
            base->exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(Database));
            const data::pg::RoleNames names = testNames();
            QStringList roles{deskName(DeskGroup::Models), deskName(DeskGroup::Orders), deskName(DeskGroup::ReadOnly),
                              names.models, names.orders, names.readOnly, names.owner};
            for (const QString& role : roles)
                base->exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(data::quotedIdentifier(role)));
        } catch (const std::exception& e) {
            ADD_FAILURE() << "roles left on the test server: " << e.what();
        }
    }

    static QString deskUri(DeskGroup group) {
        QString desk = uri;
        desk.replace(QRegularExpression(QStringLiteral("([?&])user=[^&]*")),
                     QStringLiteral("\\1user=") + QString::fromLatin1(QUrl::toPercentEncoding(deskName(group))));
        return desk;
    }

    static QString uri;
    static std::unique_ptr<data::pg::Session> admin;
};
QString SetUpServer::uri;
std::unique_ptr<data::pg::Session> SetUpServer::admin;
[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new SetUpServer);

// A control of a window: by object name, or a navigator's button.
struct Control {
    const char* window;  // "orders", "entry", "catalogue", "statistics"
    const char* name;    // object name; "DBNavigator1/Edit" for a navigator's button
    QStringList tables;  // the tables its command changes; none: it changes nothing
    bool enabledWhenAllowed = true;  // false where the record's state disables it anyway
};

QWidget* windowOf(kit::WindowRegistry& registry, const QString& window) {
    if (window == QLatin1String("orders"))
        return registry.ordersWindow;
    if (window == QLatin1String("entry"))
        return registry.orderEntryWindow;
    if (window == QLatin1String("catalogue"))
        return registry.shoesWindow;
    return registry.statisticsWindow;
}

QWidget* find(kit::WindowRegistry& registry, const Control& control) {
    QWidget* window = windowOf(registry, QString::fromLatin1(control.window));
    const QString name = QString::fromLatin1(control.name);
    if (!name.contains(QLatin1Char('/')))
        return window->findChild<QWidget*>(name);
    auto* navigator = window->findChild<dbui::DbNavigator*>(name.section(QLatin1Char('/'), 0, 0));
    if (!navigator)
        return nullptr;
    const QString button = name.section(QLatin1Char('/'), 1);
    using Button = dbui::DbNavigator::Button;
    const std::pair<const char*, Button> buttons[] = {{"Insert", Button::Insert}, {"Delete", Button::Delete}, {"Edit", Button::Edit},
                                                      {"Post", Button::Post},     {"Cancel", Button::Cancel}, {"Next", Button::Next}};
    for (const auto& [caption, which] : buttons)
        if (button == QLatin1String(caption))
            return navigator->button(which);
    return nullptr;
}

class DeskRoles : public ::testing::TestWithParam<DeskGroup> {
protected:
    void SetUp() override {
        ASSERT_TRUE(programDir.isValid());
        platform::setProgramFolder(programDir.path());
    }
    void TearDown() override {
        EXPECT_EQ(dialogs.messageTexts(), QStringList()) << "message boxes the test did not expect";
        platform::setProgramFolder(QString());
    }

    QTemporaryDir programDir;
    platform::ScriptedDialogs dialogs;
};

const QString Orders = QStringLiteral("dd.db");
const QString Shoes = QStringLiteral("shoes.db");
const QString Statistics = QStringLiteral("xdtj.db");

TEST_P(DeskRoles, WhatTheRoleMayNotChangeIsGreyedOutSayingWhy) {
    const DeskGroup group = GetParam();
    data::Engine engine(SetUpServer::deskUri(group));
    app::ProgramWindows windows(engine);
    kit::WindowRegistry& registry = windows.registry();

    const Control controls[] = {
        {"orders", "ToolButton1", {Orders}},         // 订单输入
        {"orders", "ToolButton12", {Orders}},        // 订单导入
        {"orders", "ToolButton9", {Orders}},         // 件数相乘 and its menu
        {"orders", "ToolButton11", {Orders}},        // 标为统计
        {"orders", "Panel1", {Orders}},              // 已统计
        {"orders", "ToolButton8", {Orders}},         // 删除订单
        {"orders", "DBNavigator1/Delete", {Orders}},
        {"orders", "DBNavigator1/Edit", {Orders}},
        {"orders", "DBNavigator1/Post", {Orders}, false},
        {"orders", "ToolButton2", {}},               // 综合搜索
        {"orders", "ToolButton5", {}},               // 鞋底统计: shows the window
        {"orders", "DBNavigator1/Next", {}, false},  // one order: already the last
        {"entry", "ToolButton1", {Orders}},          // 输入批号
        {"entry", "ToolButton2", {}},                // 清空数据
        {"catalogue", "ToolButton2", {Shoes}},       // 删除
        {"catalogue", "DBNavigator1/Insert", {Shoes}},
        {"catalogue", "DBNavigator1/Delete", {Shoes}},
        {"catalogue", "DBNavigator1/Edit", {Shoes}},
        {"catalogue", "DBMemo1", {Shoes}},
        {"catalogue", "LISTNO", {Shoes}},            // adds a model with a double click
        {"catalogue", "ToolButton6", {}},            // 统计
        {"catalogue", "ToolButton8", {}},            // 鞋的型号
        {"catalogue", "ToolButton1", {}},            // 鞋底型号
        {"catalogue", "ToolButton3", {}},            // 刷新
        {"statistics", "ToolButtonZL", {Orders}},    // 调用鞋底
        {"statistics", "ToolButton7", {Orders, Statistics}},  // 鞋底统计
        {"statistics", "DBNavigator2/Delete", {Orders}},
        {"statistics", "ToolButton2", {}},           // 综合搜索
        {"statistics", "ToolButton3", {}},           // 鞋底表
        {"statistics", "ToolButton4", {}},           // 订单表
        {"statistics", "ToolButton12", {}},          // 快速导出
        {"statistics", "ToolButton6", {}},           // 导出打印
        {"statistics", "ToolButtonGYS", {}},
    };
    const QStringList changed = [&] {
        QStringList files;
        for (const QString& table : data::pg::tablesChangedBy(group))
            files << table + QStringLiteral(".db");
        return files;
    }();
    for (const Control& c : controls) {
        SCOPED_TRACE(std::string(c.window) + " " + c.name);
        QWidget* control = find(registry, c);
        ASSERT_TRUE(control);
        QStringList barred;
        for (const QString& table : c.tables)
            if (!changed.contains(table))
                barred << table;
        if (barred.isEmpty()) {
            EXPECT_EQ(control->isEnabled(), c.enabledWhenAllowed);
            EXPECT_FALSE(control->toolTip().contains(QStringLiteral("只能查看"))) << control->toolTip().toStdString();
            continue;
        }
        EXPECT_FALSE(control->isEnabled());
        // Named as the windows name them.
        const QString tip = control->toolTip();
        EXPECT_TRUE(tip.startsWith(QStringLiteral("这台电脑的数据库账号只能查看"))) << tip.toStdString();
        EXPECT_EQ(tip.contains(QStringLiteral("订单表")), barred.contains(Orders)) << tip.toStdString();
        EXPECT_EQ(tip.contains(QStringLiteral("鞋底型号表")), barred.contains(Shoes)) << tip.toStdString();
        EXPECT_EQ(tip.contains(QStringLiteral("鞋底统计表")), barred.contains(Statistics)) << tip.toStdString();
        // Whatever enables the window's commands again leaves it greyed out.
        control->setEnabled(true);
        EXPECT_FALSE(control->isEnabled());
    }

    // The grids edit only what the role may change.
    struct Grid {
        QWidget* window;
        const char* name;
        QString table;
    };
    const Grid grids[] = {{registry.ordersWindow, "DBGrid1", Orders},     {registry.ordersWindow, "DBGrid2", Orders},
                          {registry.shoesWindow, "DBGrid1", Shoes},       {registry.statisticsWindow, "DBGrid1", Orders},
                          {registry.statisticsWindow, "DBGrid2", Statistics}};
    for (const Grid& g : grids) {
        SCOPED_TRACE(g.name);
        auto* grid = g.window->findChild<dbui::DbGrid*>(QString::fromLatin1(g.name));
        ASSERT_TRUE(grid);
        EXPECT_EQ(grid->isReadOnly(), !changed.contains(g.table));
    }
}

INSTANTIATE_TEST_SUITE_P(Groups, DeskRoles, ::testing::Values(DeskGroup::Models, DeskGroup::Orders, DeskGroup::ReadOnly),
                         [](const ::testing::TestParamInfo<DeskGroup>& info) {
                             return info.param == DeskGroup::Models ? "Models" : info.param == DeskGroup::Orders ? "Orders" : "ReadOnly";
                         });

// The undo button takes back only a command whose tables the desk may
// change: another desk's catalogue command stays greyed out at a desk of
// the orders, saying why.
TEST(DeskRolesUndo, AnotherRolesCommandIsNotOfferedForUndo) {
    QTemporaryDir programDir;
    platform::setProgramFolder(programDir.path());
    platform::ScriptedDialogs dialogs;
    qint64 id = 0;
    {
        data::Engine models(SetUpServer::deskUri(DeskGroup::Models));
        data::UndoJournal& journal = models.undoJournal();
        id = journal.record(QStringLiteral("删除"), data::catalogueWindowName(),
                            {{data::UndoPart::Kind::WholeTable, Shoes, {}}});
        journal.seal(id);
    }
    for (const DeskGroup group : {DeskGroup::Orders, DeskGroup::ReadOnly, DeskGroup::Models}) {
        SCOPED_TRACE(deskName(group).toStdString());
        data::Engine engine(SetUpServer::deskUri(group));
        app::ProgramWindows windows(engine);
        auto* undo = windows.registry().shoesWindow->findChild<QToolButton*>(QStringLiteral("ToolButtonCX"));
        ASSERT_TRUE(undo);
        const bool may = group == DeskGroup::Models;
        EXPECT_EQ(undo->isEnabled(), may);
        EXPECT_EQ(undo->toolTip().contains(QStringLiteral("只能查看鞋底型号表")), !may) << undo->toolTip().toStdString();
    }
    SetUpServer::admin->exec(QStringLiteral("DELETE FROM tavrel_undo_commands"));
    EXPECT_EQ(dialogs.messageTexts(), QStringList());
    platform::setProgramFolder(QString());
}

}  // namespace
