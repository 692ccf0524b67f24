// The roles of a factory's server: setting it up, desks of the three groups,
// what each may change, and the undo journal guarded against desks.
#include "server_roles.h"

#include "data/core/errors.h"
#include "data/engine/engine.h"
#include "data/engine/open_store.h"
#include "data/engine/query.h"
#include "data/server/pg_session.h"
#include "pg_test_server.h"
#include "platform/password_prompt.h"
#include "window_kit/fault_texts.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

using data::pg::DeskGroup;

QString own(const QString& name) { return QStringLiteral("%1_%2").arg(name).arg(QCoreApplication::applicationPid()); }

// Roles of this program alone: roles belong to the whole server.
data::pg::RoleNames testNames() {
    data::pg::RoleNames names;
    names.owner = own(QStringLiteral("tavrel_owner"));
    names.models = own(QStringLiteral("型号"));
    names.orders = own(QStringLiteral("订单"));
    names.readOnly = own(QStringLiteral("只读"));
    return names;
}

QString withUser(QString uri, const QString& user) {
    uri.replace(QRegularExpression(QStringLiteral("([?&])user=[^&]*")),
                QStringLiteral("\\1user=") + QString::fromUtf8(QUrl::toPercentEncoding(user)));
    return uri;
}

const char* const Desks[] = {"desk_models", "desk_orders", "desk_reader"};

// The database of this program, and at its end the roles it made.
class RolesDatabase : public ::testing::Environment {
public:
    void TearDown() override {
        try {
            auto admin = data::pg::Session::connect(pgTestServerUri(), QStringLiteral("管理"));
            admin->exec(QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(own(QStringLiteral("tavrel_roles"))));
            const data::pg::RoleNames names = testNames();
            QStringList roles{names.owner, names.models, names.orders, names.readOnly};
            for (const char* desk : Desks)
                roles << own(QString::fromLatin1(desk));
            for (const QString& role : roles)
                admin->exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(data::quotedIdentifier(role)));
        } catch (const std::exception& e) {
            ADD_FAILURE() << "roles left on the test server: " << e.what();
        }
    }
};
[[maybe_unused]] const auto* const environment = ::testing::AddGlobalTestEnvironment(new RolesDatabase);

int runTool(const QStringList& args, QString* said = nullptr) {
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    const int code = runServerRolesCommand(args, outStream, errStream, testNames());
    if (said)
        *said = out + err;
    return code;
}

// Passwords typed at the prompts, one a prompt.
void typePasswords(QStringList typed) {
    platform::setPasswordReader([typed](const QString&) mutable { return typed.isEmpty() ? QString() : typed.takeFirst(); });
}

class ServerSetup : public ::testing::Test {
protected:
    void SetUp() override {
        adminUri = freshPgDatabase(pgTestServerUri(), own(QStringLiteral("tavrel_roles")));
        admin = data::pg::Session::connect(adminUri, QStringLiteral("管理"));
        for (const char* desk : Desks)
            admin->exec(QStringLiteral("DROP ROLE IF EXISTS %1").arg(data::quotedIdentifier(own(QString::fromLatin1(desk)))));
    }
    void TearDown() override { platform::setPasswordReader({}); }

    void setUpServer() { ASSERT_EQ(runTool({QStringLiteral("server-setup"), adminUri}), 0); }

    // A desk of the group; its URI.
    QString addDesk(const char* name, DeskGroup group) {
        typePasswords({QStringLiteral("秘密 1"), QStringLiteral("秘密 1")});
        QString said;
        EXPECT_EQ(runTool({QStringLiteral("add-desk"), adminUri, own(QString::fromLatin1(name)), QStringLiteral("--role"),
                           testNames().group(group)},
                          &said),
                  0)
            << said.toStdString();
        return withUser(adminUri, own(QString::fromLatin1(name)));
    }

    qint64 count(const QString& sql) { return admin->run(sql).rows.at(0).at(0).toLongLong(); }
    bool roleExists(const QString& role) { return count(QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = '%1'").arg(role)) == 1; }

    // What the server holds about rights and owners in the database: equal
    // before and after a second setup.
    QString rightsAndOwners() {
        QStringList lines;
        for (const auto& row : admin->run(QStringLiteral(
                                              "SELECT c.relname || ' ' || pg_get_userbyid(c.relowner) || ' ' || coalesce(c.relacl::text, '') || ' ' || "
                                              "c.relrowsecurity FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
                                              "WHERE n.nspname = 'public' UNION ALL SELECT tablename || ' ' || policyname || ' ' || cmd || ' ' || "
                                              "coalesce(qual, '') || coalesce(with_check, '') FROM pg_policies UNION ALL "
                                              "SELECT coalesce(datacl::text, '') FROM pg_database WHERE datname = current_database() UNION ALL "
                                              "SELECT coalesce(nspacl::text, '') FROM pg_namespace WHERE nspname = 'public' UNION ALL "
                                              "SELECT attrelid::regclass || '.' || attname || ' ' || coalesce(attacl::text, '') FROM pg_attribute "
                                              "WHERE attrelid = 'tavrel_undo_commands'::regclass AND attacl IS NOT NULL ORDER BY 1"))
                                    .rows)
            lines << row.at(0).toString();
        return lines.join(QLatin1Char('\n'));
    }

    QString adminUri;
    std::unique_ptr<data::pg::Session> admin;
};

TEST_F(ServerSetup, SetupMakesTheRolesAndTablesAndRunTwiceChangesNothing) {
    setUpServer();
    const data::pg::RoleNames names = testNames();
    for (const QString& role : {names.owner, names.models, names.orders, names.readOnly})
        EXPECT_TRUE(roleExists(role)) << role.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = '%1' AND NOT rolcanlogin").arg(names.owner)), 1);
    // The tables and the journal, all the owner's, the tables complete.
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = 'public' AND tableowner = '%1' AND "
                                   "tablename IN ('dd', 'shoes', 'xdtj', 'tavrel_undo_commands', 'tavrel_undo_parts', 'tavrel_undo_after', "
                                   "'tavrel_undo_images_dd', 'tavrel_undo_images_shoes', 'tavrel_undo_images_xdtj', 'tavrel_undo_after_batches', "
                                   "'tavrel_undo_batches_dd', 'tavrel_undo_batches_shoes', 'tavrel_undo_batches_xdtj')")
                  .arg(names.owner)),
              13);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = 'public' AND tableowner <> '%1'").arg(names.owner)), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM information_schema.columns WHERE column_name = 'tavrel_desk_token' AND "
                                   "table_name IN ('dd', 'shoes', 'xdtj')")),
              3);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM pg_namespace WHERE nspname = 'public' AND has_schema_privilege('public', nspname, 'USAGE')")), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM pg_database WHERE datname = current_database() AND "
                                   "has_database_privilege('public', datname, 'CONNECT')")),
              0);

    const QString first = rightsAndOwners();
    setUpServer();
    EXPECT_EQ(rightsAndOwners().toStdString(), first.toStdString());
}

TEST_F(ServerSetup, SetupHandsTheTablesOfAnEarlierSetupToTheOwner) {
    data::createTables(adminUri);  // as the README's setup made them, under the desks' own role
    {
        data::Engine before(adminUri);
        before.undoJournal();
    }
    admin->exec(QStringLiteral("ALTER TABLE tavrel_undo_commands DROP COLUMN desk_role"));  // a journal of an earlier release
    setUpServer();
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM pg_tables WHERE schemaname = 'public' AND tableowner <> '%1'").arg(testNames().owner)), 0);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM information_schema.columns WHERE table_name = 'tavrel_undo_commands' "
                                   "AND column_name = 'desk_role'")),
              1);
}

// Each group changes its own tables and reads the others; a desk is told
// in advance (mayWrite), and a write it tries is refused with the Chinese
// text, nothing changed.
TEST_F(ServerSetup, EachGroupChangesItsTablesAndOnlyReadsTheOthers) {
    setUpServer();
    admin->exec(QStringLiteral("INSERT INTO dd (\"批号\") VALUES ('已有'); INSERT INTO shoes (\"鞋的型号\") VALUES ('已有'); "
                               "INSERT INTO xdtj (\"鞋底型号\") VALUES ('已有')"));
    struct Case {
        const char* desk;
        DeskGroup group;
        QStringList writes;  // file names
    };
    const Case cases[] = {
        {"desk_models", DeskGroup::Models, {QStringLiteral("shoes.db")}},
        {"desk_orders", DeskGroup::Orders, {QStringLiteral("dd.db"), QStringLiteral("xdtj.db")}},
        {"desk_reader", DeskGroup::ReadOnly, {}},
    };
    const QStringList tables{QStringLiteral("shoes.db"), QStringLiteral("dd.db"), QStringLiteral("xdtj.db")};
    for (const Case& c : cases) {
        data::Engine engine(addDesk(c.desk, c.group));
        engine.undoJournal();  // a desk that may create nothing starts
        for (const QString& table : tables) {
            SCOPED_TRACE(std::string(c.desk) + " " + table.toStdString());
            const bool may = c.writes.contains(table);
            EXPECT_EQ(engine.store().mayWrite(table), may);
            const QString sqlName = table.section(QLatin1Char('.'), 0, 0);
            const qint64 rowsBefore = count(QStringLiteral("SELECT count(*) FROM %1").arg(sqlName));
            data::Query query(engine);
            query.setSql(QStringLiteral("select * from ") + table);
            query.open();
            EXPECT_EQ(query.recordCount(), rowsBefore);  // every group reads every table
            for (const bool removing : {false, true}) {
                try {
                    if (removing) {
                        query.first();
                        query.remove();
                    } else {
                        query.append();
                        query.post();
                    }
                    EXPECT_TRUE(may) << (removing ? "removed" : "added");
                } catch (const data::EngineError& e) {
                    EXPECT_FALSE(may) << e.message().toStdString();
                    EXPECT_EQ(e.sqlState(), QStringLiteral("42501"));
                    const QString text = kit::faultReport(e).text;
                    EXPECT_TRUE(text.contains(QStringLiteral("没有使用数据库服务器上这些数据表的权限"))) << text.toStdString();
                    EXPECT_TRUE(text.contains(QStringLiteral("没有保存"))) << text.toStdString();
                    query.cancel();
                }
            }
            // Added one and removed one, or neither.
            EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM %1").arg(sqlName)), rowsBefore);
            EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM %1 WHERE tavrel_desk IS NOT NULL").arg(sqlName)), may ? 1 : 0);
            admin->exec(QStringLiteral("UPDATE %1 SET tavrel_desk = NULL").arg(sqlName));  // for the next desk's count
        }
    }
}

// Statements a desk might send by hand to rewrite what other desks' undo
// writes back, or the tables themselves: each refused, or touching no row.
TEST_F(ServerSetup, ADeskCannotRewriteTheJournalOrTheTables) {
    setUpServer();
    admin->exec(QStringLiteral("INSERT INTO shoes (\"鞋的型号\", \"鞋底型号\") VALUES ('A1', '底1')"));
    data::Engine models(addDesk("desk_models", DeskGroup::Models));
    data::UndoJournal& journal = models.undoJournal();
    const qint64 id = journal.record(QStringLiteral("删除"), QStringLiteral("鞋底型号表"),
                                     {{data::UndoPart::Kind::WholeTable, QStringLiteral("shoes.db"), {}}});
    journal.seal(id);
    const QString journalState = QStringLiteral(
        "SELECT md5(string_agg(t::text, ',' ORDER BY t::text)) FROM (SELECT c::text AS t FROM tavrel_undo_commands c UNION ALL "
        "SELECT p::text FROM tavrel_undo_parts p UNION ALL SELECT a::text FROM tavrel_undo_after a UNION ALL "
        "SELECT i::text FROM tavrel_undo_images_shoes i UNION ALL SELECT b::text FROM tavrel_undo_batches_shoes b UNION ALL "
        "SELECT l::text FROM tavrel_undo_after_batches l) s");
    const QString before = admin->run(journalState).rows.at(0).at(0).toString();
    const QString shoesBefore = admin->run(QStringLiteral("SELECT string_agg(s::text, ',') FROM shoes s")).rows.at(0).at(0).toString();

    const QString ordersUri = addDesk("desk_orders", DeskGroup::Orders);
    auto orders = data::pg::Session::connect(ordersUri, QStringLiteral("订单台"));
    const QString command = QString::number(id);
    const QString modelsRole = testNames().models;
    struct Case {
        QString sql;
    };
    const Case cases[] = {
        {QStringLiteral("UPDATE tavrel_undo_images_shoes SET \"鞋底型号\" = '假'")},
        {QStringLiteral("INSERT INTO tavrel_undo_images_shoes (command, table_name, rid, \"鞋底型号\") VALUES (%1, 'shoes', 99, '假')").arg(command)},
        {QStringLiteral("INSERT INTO tavrel_undo_parts VALUES (%1, 7, 1, 'shoes', 0)").arg(command)},
        {QStringLiteral("INSERT INTO tavrel_undo_after (command, table_name, rid, version) VALUES (%1, 'shoes', 99, 1)").arg(command)},
        {QStringLiteral("DELETE FROM tavrel_undo_images_shoes")},
        {QStringLiteral("INSERT INTO tavrel_undo_batches_shoes SELECT %1, 'shoes', array_agg(s) FROM shoes s").arg(command)},
        {QStringLiteral("UPDATE tavrel_undo_batches_shoes SET rows = '{}'")},
        {QStringLiteral("DELETE FROM tavrel_undo_batches_shoes")},
        {QStringLiteral("INSERT INTO tavrel_undo_after_batches VALUES (%1, 'shoes', '{99}', '{1}', '{x}')").arg(command)},
        {QStringLiteral("UPDATE tavrel_undo_after_batches SET versions = '{0}'")},
        {QStringLiteral("DELETE FROM tavrel_undo_after_batches")},
        {QStringLiteral("DELETE FROM tavrel_undo_after")},
        {QStringLiteral("DELETE FROM tavrel_undo_commands")},
        {QStringLiteral("UPDATE tavrel_undo_commands SET sealed = false")},
        {QStringLiteral("UPDATE tavrel_undo_commands SET desk_role = current_user")},
        {QStringLiteral("INSERT INTO tavrel_undo_commands (command, window_name, desk, desk_role) VALUES ('x', 'y', 'z', '%1')").arg(modelsRole)},
        {QStringLiteral("TRUNCATE tavrel_undo_commands CASCADE")},
        {QStringLiteral("ALTER TABLE tavrel_undo_commands DISABLE ROW LEVEL SECURITY")},
        {QStringLiteral("DROP POLICY tavrel_read ON tavrel_undo_commands")},
        {QStringLiteral("DELETE FROM shoes")},
        {QStringLiteral("UPDATE shoes SET \"鞋底型号\" = '假'")},
        {QStringLiteral("TRUNCATE shoes")},
        {QStringLiteral("ALTER TABLE dd DISABLE TRIGGER ALL")},
        {QStringLiteral("DROP TABLE xdtj")},
        {QStringLiteral("CREATE TABLE tavrel_undo_extra (command bigint)")},
        {QStringLiteral("CREATE OR REPLACE FUNCTION tavrel_notify_change() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN RETURN NULL; END$$")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.sql.toStdString());
        try {
            EXPECT_EQ(orders->run(c.sql).affected, 0);
        } catch (const data::EngineError& e) {
            EXPECT_EQ(e.sqlState(), QStringLiteral("42501")) << e.message().toStdString();
        }
    }
    EXPECT_EQ(admin->run(journalState).rows.at(0).at(0).toString().toStdString(), before.toStdString());
    EXPECT_EQ(admin->run(QStringLiteral("SELECT string_agg(s::text, ',') FROM shoes s")).rows.at(0).at(0).toString().toStdString(),
              shoesBefore.toStdString());
}

// A desk undoes only commands whose tables its role may change.
TEST_F(ServerSetup, ADeskUndoesOnlyWhatItsRoleMayChange) {
    setUpServer();
    admin->exec(QStringLiteral("INSERT INTO shoes (\"鞋的型号\", \"鞋底型号\") VALUES ('A1', '底1'), ('A2', '底2')"));
    data::Engine models(addDesk("desk_models", DeskGroup::Models));
    data::UndoJournal& journal = models.undoJournal();
    const qint64 id = journal.record(QStringLiteral("删除"), QStringLiteral("鞋底型号表"),
                                     {{data::UndoPart::Kind::WholeTable, QStringLiteral("shoes.db"), {}}});
    {
        data::Query shoes(models);
        shoes.setSql(QStringLiteral("select * from shoes.db"));
        shoes.open();
        while (!shoes.isEmpty())
            shoes.remove();
    }
    journal.seal(id);
    ASSERT_EQ(count(QStringLiteral("SELECT count(*) FROM shoes")), 0);

    for (const auto& [desk, group] : {std::pair{"desk_orders", DeskGroup::Orders}, std::pair{"desk_reader", DeskGroup::ReadOnly}}) {
        SCOPED_TRACE(desk);
        data::Engine other(addDesk(desk, group));
        try {
            other.undoJournal().changedSince(id);
            other.undoJournal().undo(id);
            ADD_FAILURE() << "undone";
        } catch (const data::EngineError& e) {
            EXPECT_EQ(e.sqlState(), QStringLiteral("42501"));
        }
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM shoes")), 0);
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM tavrel_undo_commands")), 1);
    }
    EXPECT_EQ(journal.changedSince(id), 0);
    EXPECT_EQ(journal.undo(id), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM shoes")), 2);
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM tavrel_undo_commands")), 0);
}

TEST_F(ServerSetup, AddDeskAndRemoveDeskRefuseWhatTheyShouldNotDo) {
    setUpServer();
    const QString reader = own(QStringLiteral("desk_reader"));
    const auto add = [&](const QString& name, const QString& group, QStringList typed, QString* said) {
        typePasswords(std::move(typed));
        return runTool({QStringLiteral("add-desk"), adminUri, name, QStringLiteral("--role"), group}, said);
    };
    const QString pw = QStringLiteral("口令 1");
    struct Case {
        const char* name;
        QString group;
        QStringList typed;
        int code;
        const char* said;  // a piece of what the tool says
    };
    const Case cases[] = {
        {"passwords differ", testNames().readOnly, {pw, QStringLiteral("口令 2")}, 1, "两次输入的密码不一样"},
        {"no password", testNames().readOnly, {}, 1, "没有输入密码"},
        {"empty password", testNames().readOnly, {QString(""), QString("")}, 1, "没有输入密码"},
        {"no such group", QStringLiteral("财务"), {pw, pw}, 2, "用法"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString said;
        EXPECT_EQ(add(reader, c.group, c.typed, &said), c.code);
        EXPECT_TRUE(said.contains(QString::fromUtf8(c.said))) << said.toStdString();
        EXPECT_FALSE(roleExists(reader));
    }
    // 22 characters of three bytes each: the server would keep 21 of them.
    const QString tooLong = QString(22, QChar(0x53F0));
    QString refused;
    EXPECT_EQ(add(tooLong, testNames().readOnly, {pw, pw}, &refused), 1);
    EXPECT_TRUE(refused.contains(QStringLiteral("太长"))) << refused.toStdString();
    EXPECT_FALSE(roleExists(tooLong.left(21)));
    QString said;
    ASSERT_EQ(add(reader, testNames().readOnly, {pw, pw}, &said), 0) << said.toStdString();
    EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM pg_authid WHERE rolname = '%1' AND rolcanlogin AND rolpassword LIKE 'SCRAM-SHA-256$%'").arg(reader)), 1);
    EXPECT_EQ(add(reader, testNames().orders, {pw, pw}, &said), 1);
    EXPECT_TRUE(said.contains(QStringLiteral("已经有"))) << said.toStdString();

    // Only desks of the groups are taken away.
    for (const QString& role : {testNames().owner, testNames().models, QStringLiteral("tavrel-test")}) {
        EXPECT_EQ(runTool({QStringLiteral("remove-desk"), adminUri, role}, &said), 1) << role.toStdString();
        EXPECT_TRUE(roleExists(role));
    }
    EXPECT_EQ(runTool({QStringLiteral("remove-desk"), adminUri, reader}, &said), 0) << said.toStdString();
    EXPECT_FALSE(roleExists(reader));
}

// A desk's name is an identifier the server quotes: whatever it holds, it
// names one role and runs nothing.
TEST_F(ServerSetup, ADeskNameIsOnlyEverAName) {
    setUpServer();
    const QString names[] = {own(QStringLiteral("desk_models")) + QStringLiteral("\"; DROP TABLE dd; --"),
                             own(QStringLiteral("desk_orders")) + QStringLiteral("'); DROP TABLE shoes; --"),
                             own(QStringLiteral("desk_reader")) + QStringLiteral(" 台 $tavrel$ %I")};
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        typePasswords({QStringLiteral("x"), QStringLiteral("x")});
        QString said;
        ASSERT_EQ(runTool({QStringLiteral("add-desk"), adminUri, name, QStringLiteral("--role"), testNames().orders}, &said), 0)
            << said.toStdString();
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = $x$%1$x$").arg(name)), 1);
        EXPECT_EQ(runTool({QStringLiteral("remove-desk"), adminUri, name}, &said), 0) << said.toStdString();
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM pg_roles WHERE rolname = $x$%1$x$").arg(name)), 0);
        EXPECT_EQ(count(QStringLiteral("SELECT count(*) FROM pg_tables WHERE tablename IN ('dd', 'shoes')")), 2);
    }
}

// The table tool's commands at a desk of each group: what reads works, what
// would change what the role may not is refused, telling so, with nothing
// changed.
TEST_F(ServerSetup, TheTableToolAtADeskOfEachGroup) {
    setUpServer();
    admin->exec(QStringLiteral("INSERT INTO shoes (\"鞋的型号\") VALUES ('A1'), ('A2'); INSERT INTO dd (\"批号\") VALUES ('1')"));
    const QString models = addDesk("desk_models", DeskGroup::Models);
    {
        data::Engine desk(models);
        data::UndoJournal& journal = desk.undoJournal();
        const qint64 id = journal.record(QStringLiteral("删除"), QStringLiteral("鞋底型号表"),
                                         {{data::UndoPart::Kind::WholeTable, QStringLiteral("shoes.db"), {}}});
        admin->exec(QStringLiteral("DELETE FROM shoes WHERE \"鞋的型号\" = 'A2'"));
        journal.seal(id);
    }
    const QString state = QStringLiteral("SELECT (SELECT count(*) FROM shoes) || ' ' || (SELECT count(*) FROM dd) || ' ' || "
                                         "(SELECT count(*) FROM tavrel_undo_commands)");
    // A password typed twice for add-desk.
    const auto tool = [](const QStringList& args, QString& said) {
        QProcess run;
        run.setProcessChannelMode(QProcess::MergedChannels);
        run.start(QStringLiteral(TAVREL_TABLES_TOOL), args);
        run.write("pw\npw\n");
        run.closeWriteChannel();
        EXPECT_TRUE(run.waitForFinished(-1));
        said = QString::fromUtf8(run.readAll());
        return run.exitCode();
    };
    struct Case {
        const char* desk;
        DeskGroup group;
    };
    // The desk of the catalogue last: its undo takes the command away.
    const Case desks[] = {{"desk_orders", DeskGroup::Orders}, {"desk_reader", DeskGroup::ReadOnly}, {"desk_models", DeskGroup::Models}};
    for (const Case& d : desks) {
        const QString uri = d.group == DeskGroup::Models ? models : addDesk(d.desk, d.group);
        QTemporaryDir folder;
        const QString copy = folder.path() + QStringLiteral("/tables");
        struct Command {
            QStringList args;
            bool allowed;
            const char* said;  // a piece of what the tool says
        };
        const Command commands[] = {
            {{QStringLiteral("undo-list"), uri}, true, "删除"},
            {{QStringLiteral("check"), uri}, true, ""},
            {{QStringLiteral("copy"), uri, copy}, true, "已从"},
            {{QStringLiteral("server-setup"), uri}, false, "没有改变"},
            {{QStringLiteral("add-desk"), uri, QStringLiteral("x"), QStringLiteral("--role"), QStringLiteral("只读")}, false, ""},
            {{QStringLiteral("undo"), uri}, d.group == DeskGroup::Models, ""},
        };
        for (const Command& c : commands) {
            SCOPED_TRACE(std::string(d.desk) + " " + c.args.join(QLatin1Char(' ')).toStdString());
            const QString before = admin->run(state).rows.at(0).at(0).toString();
            QString said;
            const int code = tool(c.args, said);
            EXPECT_EQ(code == 0, c.allowed) << said.toStdString();
            EXPECT_TRUE(said.contains(QString::fromUtf8(c.said))) << said.toStdString();
            if (!c.allowed) {
                EXPECT_EQ(admin->run(state).rows.at(0).at(0).toString(), before);
            }
        }
    }
    EXPECT_EQ(admin->run(state).rows.at(0).at(0).toString(), QStringLiteral("2 1 0"));  // undone at the catalogue's desk
    EXPECT_FALSE(roleExists(QStringLiteral("x")));
}

}  // namespace
