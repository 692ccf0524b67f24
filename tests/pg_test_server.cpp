#include "pg_test_server.h"

#include "private_pg_server.h"

#include <QFile>
#include <QUrl>
#include <initializer_list>
#include <libpq-fe.h>
#include <memory>
#include <stdexcept>
#include <vector>

namespace {

constexpr int DatabaseNameLimit = 63;  // bytes, as the server keeps names
constexpr int PoolSize = 64;
// First key of the pool's session locks: the second key is the slot.
constexpr int PoolLockKey = 7461;

[[noreturn]] void fail(const QString& reason) {
    throw std::runtime_error(reason.toStdString());
}

struct ConnectionEnd {
    void operator()(PGconn* connection) const { PQfinish(connection); }
};
using Connection = std::unique_ptr<PGconn, ConnectionEnd>;

struct ResultEnd {
    void operator()(PGresult* result) const { PQclear(result); }
};
using Result = std::unique_ptr<PGresult, ResultEnd>;

// Nothing here waits on the server without a bound: ten seconds to connect,
// a minute for a statement.
Connection connect(const QString& uri) {
    const QByteArray dbname = uri.toUtf8();
    const char* keywords[] = {"dbname", "connect_timeout", "options", nullptr};
    const char* values[] = {dbname.constData(), "10", "-c statement_timeout=60000", nullptr};
    Connection connection(PQconnectdbParams(keywords, values, 1));
    if (!connection)
        fail(QStringLiteral("no memory for a connection to %1").arg(uri));
    if (PQstatus(connection.get()) != CONNECTION_OK)
        fail(QStringLiteral("cannot connect to the test server %1: %2")
                 .arg(uri, QString::fromUtf8(PQerrorMessage(connection.get())).trimmed()));
    return connection;
}

Result runOrNull(PGconn* connection, const QByteArray& sql, std::initializer_list<QByteArray> parameters = {}) {
    std::vector<const char*> values;
    for (const QByteArray& parameter : parameters)
        values.push_back(parameter.constData());
    return Result(PQexecParams(connection, sql.constData(), int(values.size()), nullptr, values.data(), nullptr,
                               nullptr, 0));
}

bool succeeded(const Result& result) {
    const ExecStatusType status = PQresultStatus(result.get());
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK;
}

QString sqlState(const Result& result) {
    return QString::fromLatin1(PQresultErrorField(result.get(), PG_DIAG_SQLSTATE));
}

[[noreturn]] void failStatement(PGconn* connection, const QByteArray& sql) {
    fail(QStringLiteral("the test server refused \"%1\": %2")
             .arg(QString::fromUtf8(sql).simplified(), QString::fromUtf8(PQerrorMessage(connection)).trimmed()));
}

Result run(PGconn* connection, const QByteArray& sql, std::initializer_list<QByteArray> parameters = {}) {
    Result result = runOrNull(connection, sql, parameters);
    if (!succeeded(result))
        failStatement(connection, sql);
    return result;
}

QByteArray quotedName(PGconn* connection, const QByteArray& name) {
    char* quoted = PQescapeIdentifier(connection, name.constData(), size_t(name.size()));
    if (!quoted)
        failStatement(connection, name);
    const QByteArray result(quoted);
    PQfreemem(quoted);
    return result;
}

// baseUri with its database (the path after the host part) replaced by name.
QString uriWithDatabase(const QString& baseUri, const QString& name) {
    const qsizetype hostStart = baseUri.indexOf(QStringLiteral("://"));
    if (hostStart < 0)
        fail(QStringLiteral("\"%1\" is no postgresql:// URI").arg(baseUri));
    qsizetype parametersStart = baseUri.indexOf(QLatin1Char('?'), hostStart + 3);
    if (parametersStart < 0)
        parametersStart = baseUri.size();
    qsizetype pathStart = baseUri.indexOf(QLatin1Char('/'), hostStart + 3);
    if (pathStart < 0 || pathStart > parametersStart)
        pathStart = parametersStart;
    return baseUri.left(pathStart) + QLatin1Char('/') + QString::fromLatin1(QUrl::toPercentEncoding(name)) +
           baseUri.mid(parametersStart);
}

// Empties the database the connection is on: what a new database from
// template0 holds, without the quarter second of copying one.
void emptyDatabase(PGconn* connection) {
    run(connection, R"(DO $$
DECLARE
  s name;
BEGIN
  PERFORM lo_unlink(oid) FROM pg_largeobject_metadata;
  FOR s IN SELECT nspname FROM pg_namespace
           WHERE nspname NOT LIKE 'pg\_%' AND nspname <> 'information_schema' LOOP
    EXECUTE format('DROP SCHEMA %I CASCADE', s);
  END LOOP;
  CREATE SCHEMA public AUTHORIZATION pg_database_owner;
  GRANT USAGE ON SCHEMA public TO PUBLIC;
  COMMENT ON SCHEMA public IS 'standard public schema';
END $$)");
}

}  // namespace

QString pgTestServerUri() {
    const QByteArray uriFile = qgetenv("TAVREL_TEST_PG_URI_FILE");
    if (!uriFile.isEmpty()) {
        QFile file(QFile::decodeName(uriFile));
        if (!file.open(QIODevice::ReadOnly))
            fail(QStringLiteral("TAVREL_TEST_PG_URI_FILE names %1, which cannot be read (%2): the CTest fixture "
                                "pg_server did not start the test server; its test pg_server_start says why")
                     .arg(file.fileName(), file.errorString()));
        const QString uri = QString::fromUtf8(file.readAll()).trimmed();
        if (uri.isEmpty())
            fail(QStringLiteral("the URI file %1 of the test server is empty").arg(file.fileName()));
        return uri;
    }
    // Run by hand: a server of this program's own, stopped when it ends.
    static PrivatePgServer ownServer;
    static QString startFailure;
    if (!startFailure.isEmpty())
        fail(startFailure);
    if (!ownServer.running()) {
        try {
            ownServer.start();
        } catch (const std::runtime_error& e) {
            startFailure = QStringLiteral("no test server (TAVREL_TEST_PG_URI_FILE is not set, and %1)")
                               .arg(QString::fromLocal8Bit(e.what()));
            fail(startFailure);
        }
    }
    return ownServer.uri();
}

QString freshPgDatabase(const QString& baseUri, const QString& name) {
    const QByteArray utf8Name = name.toUtf8();
    if (utf8Name.isEmpty() || utf8Name.size() > DatabaseNameLimit)
        fail(QStringLiteral("\"%1\" cannot name a database: it takes 1 to %2 bytes").arg(name).arg(DatabaseNameLimit));
    const QString uri = uriWithDatabase(baseUri, name);
    Connection server = connect(baseUri);
    PGconn* c = server.get();

    const QByteArray create = "CREATE DATABASE " + quotedName(c, utf8Name) + " TEMPLATE template0";
    const Result created = runOrNull(c, create);
    if (succeeded(created))
        return uri;
    if (sqlState(created) != QLatin1String("42P04"))  // duplicate_database
        failStatement(c, create);

    // The database exists: its sessions end (waiting up to 5 s for each),
    // its settings and contents go.
    run(c, "SELECT pg_terminate_backend(pid, 5000) FROM pg_stat_activity WHERE datname = $1 AND pid <> pg_backend_pid()",
        {utf8Name});
    run(c, "ALTER DATABASE " + quotedName(c, utf8Name) + " RESET ALL");
    emptyDatabase(connect(uri).get());
    return uri;
}

QString pgTestDatabase() {
    const QString serverUri = pgTestServerUri();
    // The session that holds this program's pooled database, and its name.
    static Connection lease;
    static QString pooledName;
    if (!lease) {
        Connection connection = connect(serverUri);
        for (int slot = 1; slot <= PoolSize && pooledName.isEmpty(); ++slot) {
            const Result taken = run(connection.get(), "SELECT pg_try_advisory_lock($1, $2)",
                                     {QByteArray::number(PoolLockKey), QByteArray::number(slot)});
            if (PQgetvalue(taken.get(), 0, 0)[0] == 't')
                pooledName = QStringLiteral("tavrel_test_%1").arg(slot);
        }
        if (pooledName.isEmpty())
            fail(QStringLiteral("all %1 pooled test databases are held by other test programs").arg(PoolSize));
        lease = std::move(connection);
    }
    return freshPgDatabase(serverUri, pooledName);
}
