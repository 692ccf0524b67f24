#include "pg_test_server.h"
#include "private_pg_server.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <stdexcept>

namespace {

// One connection to a database of a test server.
class Session {
public:
    explicit Session(const QString& uri) {
        const QByteArray dbname = uri.toUtf8();
        const char* keywords[] = {"dbname", "connect_timeout", nullptr};
        const char* values[] = {dbname.constData(), "10", nullptr};
        connection_ = PQconnectdbParams(keywords, values, 1);
    }
    ~Session() { PQfinish(connection_); }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool connected() const { return PQstatus(connection_) == CONNECTION_OK; }
    QString error() const { return QString::fromUtf8(PQerrorMessage(connection_)).trimmed(); }

    // The first value of the first row ("" when there is none), or
    // "error: ..." when the statement fails.
    QString value(const char* sql) {
        PGresult* result = PQexec(connection_, sql);
        QString text;
        if (PQresultStatus(result) != PGRES_TUPLES_OK && PQresultStatus(result) != PGRES_COMMAND_OK)
            text = QStringLiteral("error: ") + error();
        else if (PQntuples(result) > 0)
            text = QString::fromUtf8(PQgetvalue(result, 0, 0));
        PQclear(result);
        return text;
    }

private:
    PGconn* connection_ = nullptr;
};

bool processRuns(qint64 pid) {
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype end = line.lastIndexOf(") ");
    return end >= 0 && line.at(end + 2) != 'Z' && line.at(end + 2) != 'X';
}

// Sets an environment variable for the life of the object.
class EnvironmentSetting {
public:
    EnvironmentSetting(const char* name, const QByteArray& value)
        : name_(name), old_(qgetenv(name)), had_(qEnvironmentVariableIsSet(name)) {
        qputenv(name, value);
    }
    ~EnvironmentSetting() {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }

private:
    const char* name_;
    QByteArray old_;
    bool had_;
};

// The trusting server of a test run is reached from this machine only, its
// socket by its own user only, and it stores as the factory's server does.
TEST(PgTestServer, RunsWithTheHarnessSettings) {
    Session session(pgTestServerUri());
    ASSERT_TRUE(session.connected()) << session.error().toStdString();
    const struct {
        const char* sql;
        const char* expected;
    } settings[] = {
        {"SHOW listen_addresses", "127.0.0.1"},
        {"SHOW fsync", "on"},
        {"SHOW server_encoding", "UTF8"},
        {"SHOW unix_socket_permissions", "0700"},
    };
    for (const auto& setting : settings)
        EXPECT_EQ(session.value(setting.sql), QString::fromLatin1(setting.expected)) << setting.sql;
}

TEST(PgTestServerUri, FailsWithTheReasonWhenTheFixtureLeftNoUri) {
    QTemporaryDir dir;
    const QString missing = dir.path() + QStringLiteral("/uri");
    EnvironmentSetting setting("TAVREL_TEST_PG_URI_FILE", QFile::encodeName(missing));
    try {
        pgTestServerUri();
        ADD_FAILURE() << "a missing URI file passed";
    } catch (const std::runtime_error& e) {
        EXPECT_TRUE(QString::fromUtf8(e.what()).contains(missing)) << e.what();
    }
}

TEST(FreshPgDatabase, AnExistingDatabaseComesBackEmpty) {
    const QString name = QStringLiteral("harness_again");
    const QString uri = freshPgDatabase(pgTestServerUri(), name);
    Session before(uri);
    ASSERT_TRUE(before.connected()) << before.error().toStdString();
    EXPECT_EQ(before.value("CREATE TABLE shoes (model text); CREATE SCHEMA extra; CREATE TABLE extra.soles (n int);"
                           "CREATE SEQUENCE numbers; SELECT lo_create(0);"
                           "ALTER DATABASE harness_again SET search_path = extra"),
              QString());

    ASSERT_EQ(freshPgDatabase(pgTestServerUri(), name), uri);
    EXPECT_TRUE(before.value("SELECT 1").startsWith(QStringLiteral("error: "))) << "the old session still runs";
    Session after(uri);
    ASSERT_TRUE(after.connected()) << after.error().toStdString();
    const struct {
        const char* sql;
        const char* expected;
    } checks[] = {
        {"SELECT count(*) FROM pg_class c JOIN pg_namespace n ON n.oid = c.relnamespace "
         "WHERE n.nspname NOT LIKE 'pg\\_%' AND n.nspname <> 'information_schema'",
         "0"},
        {"SELECT string_agg(nspname, ',') FROM pg_namespace "
         "WHERE nspname NOT LIKE 'pg\\_%' AND nspname <> 'information_schema'",
         "public"},
        {"SELECT count(*) FROM pg_largeobject_metadata", "0"},
        {"SHOW search_path", "\"$user\", public"},
        {"SELECT nspowner::regrole::text FROM pg_namespace WHERE nspname = 'public'", "pg_database_owner"},
        {"CREATE TABLE shoes (model text)", ""},
        {"SELECT current_database()", "harness_again"},
    };
    for (const auto& check : checks)
        EXPECT_EQ(after.value(check.sql), QString::fromLatin1(check.expected)) << check.sql;
}

TEST(PgTestDatabase, TheProgramsPooledDatabaseComesBackEmpty) {
    const QString uri = pgTestDatabase();
    {
        Session session(uri);
        ASSERT_TRUE(session.connected()) << session.error().toStdString();
        EXPECT_EQ(session.value("CREATE TABLE orders (batch text)"), QString());
    }
    EXPECT_EQ(pgTestDatabase(), uri);
    Session again(uri);
    ASSERT_TRUE(again.connected()) << again.error().toStdString();
    EXPECT_EQ(again.value("SELECT to_regclass('orders') IS NULL"), QStringLiteral("t"));
    // The pool's session lock keeps the database from other programs.
    EXPECT_EQ(again.value("SELECT count(*) FROM pg_locks l JOIN pg_database d ON d.oid = l.database "
                          "WHERE l.locktype = 'advisory' AND l.granted AND d.datname = 'tavrel' "
                          "AND l.objid::text = substring(current_database() FROM '[0-9]+$')"),
              QStringLiteral("1"));
}

TEST(PrivatePgServer, StopsTheServerItStartedAndNoOther) {
    PrivatePgServer server;
    server.start();
    const QString folder = QFileInfo(server.uri().section(QStringLiteral("host="), 1).section(QLatin1Char('&'), 0, 0))
                               .absoluteFilePath();
    const qint64 pid = server.pid();
    EXPECT_NE(server.uri(), pgTestServerUri());
    {
        Session session(server.uri());
        ASSERT_TRUE(session.connected()) << session.error().toStdString();
        EXPECT_EQ(session.value("SELECT pg_postmaster_start_time() IS NOT NULL"), QStringLiteral("t"));
    }
    EXPECT_TRUE(processRuns(pid));

    server.stop();
    EXPECT_FALSE(processRuns(pid));
    EXPECT_FALSE(QFileInfo::exists(folder)) << folder.toStdString();
    Session fixtureServer(pgTestServerUri());
    EXPECT_TRUE(fixtureServer.connected()) << fixtureServer.error().toStdString();
}

}  // namespace
