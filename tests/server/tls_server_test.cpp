// A server with TLS: a desk whose URI asks for verify-full reaches it with
// the root that signed its certificate and is refused, in Chinese, with any
// other root.
#include "private_pg_server.h"

#include "data/core/errors.h"
#include "data/engine/open_store.h"
#include "data/server/pg_session.h"
#include "window_kit/fault_texts.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

// Runs openssl in the folder; its output goes into the failure.
void openssl(const QString& folder, const QStringList& args) {
    QProcess run;
    run.setWorkingDirectory(folder);
    run.setProcessChannelMode(QProcess::MergedChannels);
    run.start(QStringLiteral("openssl"), args);
    ASSERT_TRUE(run.waitForFinished(-1));
    ASSERT_EQ(run.exitCode(), 0) << QString::fromLocal8Bit(run.readAll()).toStdString();
}

// A throwaway root (name.crt, name.key).
void makeRoot(const QString& folder, const QString& name) {
    openssl(folder, {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"), QStringLiteral("ec"),
                     QStringLiteral("-pkeyopt"), QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"),
                     QStringLiteral("-keyout"), name + QStringLiteral(".key"), QStringLiteral("-out"), name + QStringLiteral(".crt"),
                     QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-subj"), QStringLiteral("/CN=") + name});
}

class TlsServer : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder = new QTemporaryDir;
        const QString dir = folder->path();
        makeRoot(dir, QStringLiteral("factory-root"));
        makeRoot(dir, QStringLiteral("other-root"));
        openssl(dir, {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                      QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes"), QStringLiteral("-keyout"),
                      QStringLiteral("server.key"), QStringLiteral("-out"), QStringLiteral("server.csr"), QStringLiteral("-subj"),
                      QStringLiteral("/CN=127.0.0.1")});
        QFile names(QDir(dir).filePath(QStringLiteral("names.cnf")));
        ASSERT_TRUE(names.open(QIODevice::WriteOnly));
        names.write("subjectAltName=IP:127.0.0.1,DNS:localhost\n");
        names.close();
        openssl(dir, {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"), QStringLiteral("server.csr"),
                      QStringLiteral("-CA"), QStringLiteral("factory-root.crt"), QStringLiteral("-CAkey"), QStringLiteral("factory-root.key"),
                      QStringLiteral("-CAcreateserial"), QStringLiteral("-out"), QStringLiteral("server.crt"), QStringLiteral("-days"),
                      QStringLiteral("2"), QStringLiteral("-extfile"), QStringLiteral("names.cnf")});
        qputenv("TAVREL_PG_SSL_DIR", dir.toLocal8Bit());
        server = new PrivatePgServer;
        server->start();
        qunsetenv("TAVREL_PG_SSL_DIR");
        const QRegularExpressionMatch port = QRegularExpression(QStringLiteral("[?&]port=(\\d+)")).match(server->uri());
        ASSERT_TRUE(port.hasMatch()) << server->uri().toStdString();
        serverPort = port.captured(1);
    }
    static void TearDownTestSuite() {
        delete server;  // stops it by its pid
        server = nullptr;
        delete folder;
        folder = nullptr;
    }

    // The desk's URI over TCP, as the README writes it.
    static QString deskUri(const QString& host, const QString& root) {
        const QString path = QDir(folder->path()).filePath(root);
        return QStringLiteral("postgresql://%1:%2/tavrel?user=tavrel-test&sslmode=verify-full&sslrootcert=%3")
            .arg(host, serverPort, QString::fromLatin1(QUrl::toPercentEncoding(path)));
    }

    static QTemporaryDir* folder;
    static PrivatePgServer* server;
    static QString serverPort;
};

QTemporaryDir* TlsServer::folder = nullptr;
PrivatePgServer* TlsServer::server = nullptr;
QString TlsServer::serverPort;

TEST_F(TlsServer, AVerifiedServerIsReachedAndAnUntrustedOneRefusedInChinese) {
    ASSERT_NE(server, nullptr);
    struct Case {
        const char* host;
        const char* root;
        bool reached;
    };
    const Case cases[] = {
        {"127.0.0.1", "factory-root.crt", true},
        {"localhost", "factory-root.crt", true},
        {"127.0.0.1", "other-root.crt", false},
        {"localhost", "other-root.crt", false},
    };
    for (const Case& c : cases) {
        const QString uri = deskUri(QString::fromLatin1(c.host), QString::fromLatin1(c.root));
        SCOPED_TRACE(uri.toStdString());
        try {
            auto session = data::pg::Session::connect(uri, QStringLiteral("台"));
            EXPECT_TRUE(c.reached);
            const auto rows = session->run(QStringLiteral("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()")).rows;
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_TRUE(rows.front().front().toBool());
        } catch (const data::EngineError& e) {
            EXPECT_FALSE(c.reached) << e.message().toStdString();
            EXPECT_EQ(e.kind(), data::ErrorKind::ServerUnreachable);
            EXPECT_EQ(e.sqlState(), QLatin1String(data::UntrustedServerState)) << e.message().toStdString();
            const QString text = kit::faultReport(e).text;
            EXPECT_TRUE(text.contains(QStringLiteral("证书没有通过这台电脑的检查"))) << text.toStdString();
            EXPECT_TRUE(text.contains(QStringLiteral("没有读写任何数据"))) << text.toStdString();
        }
    }
}

// A verified URI to a place where no server listens is a server out of
// reach, not a certificate that failed.
TEST_F(TlsServer, NoServerAtAllIsNotToldAsAnUntrustedOne) {
    QString uri = deskUri(QStringLiteral("127.0.0.1"), QStringLiteral("factory-root.crt"));
    uri.replace(QStringLiteral(":%1/").arg(serverPort), QStringLiteral(":1/"));  // nothing listens on port 1
    try {
        data::pg::Session::connect(uri, QStringLiteral("台"));
        ADD_FAILURE() << "reached a server on port 1";
    } catch (const data::EngineError& e) {
        EXPECT_EQ(e.kind(), data::ErrorKind::ServerUnreachable);
        EXPECT_NE(e.sqlState(), QLatin1String(data::UntrustedServerState)) << e.message().toStdString();
    }
}

// The program hands the URI to the server's client as it is: the tables are
// made and found over the verified connection.
TEST_F(TlsServer, TheTablesAreKeptOverAVerifiedConnection) {
    ASSERT_NE(server, nullptr);
    const QString uri = deskUri(QStringLiteral("127.0.0.1"), QStringLiteral("factory-root.crt"));
    EXPECT_EQ(data::missingTables(uri).size(), 3);
    data::createTables(uri);
    EXPECT_TRUE(data::missingTables(uri).isEmpty());
    EXPECT_THROW(data::missingTables(deskUri(QStringLiteral("127.0.0.1"), QStringLiteral("other-root.crt"))), data::EngineError);
}

}  // namespace
