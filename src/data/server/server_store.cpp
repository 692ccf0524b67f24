#include "data/server/server_store.h"

#include "data/core/errors.h"
#include "data/server/pg_advisory_lock.h"
#include "data/server/pg_connection.h"
#include "data/server/pg_roles.h"
#include "data/server/pg_schema.h"
#include "data/server/pg_session.h"
#include "data/server/undo_server.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QSysInfo>
#include <QTimer>
#include <QUuid>

namespace data {

namespace {

constexpr int RetryIntervalMs = 1000;
constexpr int BackMessageMs = 5000;

QString lostText() { return QStringLiteral("与数据库服务器的连接已断开，正在重新连接……"); }
QString backText() { return QStringLiteral("已重新连接数据库服务器。"); }

QString deskOfThisComputer() {
    QString desk = qEnvironmentVariable("TAVREL_DESK");
    if (desk.isEmpty())
        desk = QSysInfo::machineHostName();
    if (desk.isEmpty())
        desk = QStringLiteral("tavrel");
    return desk.left(40);
}

// The lock of a command, held on the desk's session until it is dropped.
class ServerCommandLock : public CommandLock {
public:
    ServerCommandLock(std::shared_ptr<PgConnection> connection, QString name)
        : connection_(std::move(connection)), name_(std::move(name)) {}
    ~ServerCommandLock() override {
        try {
            pg::advisoryUnlock(connection_->session(), name_);
        } catch (const EngineError&) {
            // A session that is gone has given the lock up with it.
        }
    }

private:
    std::shared_ptr<PgConnection> connection_;
    QString name_;
};

}  // namespace

ServerStore::ServerStore(QString uri)
    : uri_(std::move(uri)), desk_(deskOfThisComputer()), deskToken_(QUuid::createUuid().toString(QUuid::WithoutBraces)) {}

ServerStore::~ServerStore() = default;

void ServerStore::setConflictResolver(std::shared_ptr<ConflictResolver> resolver) {
    resolver_ = std::move(resolver);
    if (connection_)
        connection_->setConflictResolver(resolver_);
}

void ServerStore::connectNow() {
    if (connection_)
        return;
    auto session = pg::Session::connect(uri_, desk_);
    pg::addDeskTokenColumns(*session);  // tables made before records kept one
    connection_ = std::make_shared<PgConnection>(std::move(session), desk_, deskToken_);
    connection_->setConflictResolver(resolver_);
    connection_->onLost([this] { serverLost(); });
    // Writes a loop held back are sent again on a new session before the
    // clerk hears of the loss, so that the message can say they were stored.
    connection_->onReconnectNeeded([this] { return reconnect(); });
    listen();
}

void ServerStore::listen() {
    delete notifier_;
    notifier_ = nullptr;
    listener_ = pg::Session::connect(uri_, desk_);
    listener_->exec(QStringLiteral("LISTEN tavrel"));
    if (QCoreApplication::instance()) {
        notifier_ = new QSocketNotifier(qintptr(listener_->socket()), QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] { takeNews(); });
    }
}

PgConnection& ServerStore::connection() {
    connectNow();
    return *connection_;
}

bool ServerStore::hasTable(const QString& name) const { return tableDefOfFile(name) != nullptr; }

std::shared_ptr<OpenTable> ServerStore::openTable(const QString& name) {
    connectNow();
    const TableDef* def = tableDefOfFile(name);
    if (!def || !pg::tableExists(connection_->session(), def->sqlName))
        throw EngineError::missingTable(name, QStringLiteral("postgresql://") + connection_->place());
    auto table = std::make_shared<OpenTable>();
    table->connection = connection_;
    table->fileName = def->fileName;
    table->sqlName = def->sqlName;
    table->setFields(pg::fieldsOf(connection_->session(), def->sqlName));
    table->versionColumn = QStringLiteral("tavrel_version");
    table->quotedName = quotedIdentifier(def->sqlName);
    return table;
}

// Asked once a run: the rights of a role change only when the server's
// administrator changes them, and the desks then start again.
bool ServerStore::mayWrite(const QString& name) {
    connectNow();
    const TableDef* def = tableDefOfFile(name);
    if (!def)
        return true;
    auto known = mayWrite_.constFind(def->fileName);
    if (known != mayWrite_.constEnd())
        return *known;
    const bool may = pg::mayChangeTable(connection_->session(), def->sqlName);
    mayWrite_.insert(def->fileName, may);
    return may;
}

std::unique_ptr<UndoJournal> ServerStore::openUndoJournal(OpenTables tables) {
    connectNow();
    return openServerUndoJournal(connection_, std::move(tables));
}

std::unique_ptr<CommandLock> ServerStore::lockCommand(const QString& command) {
    connectNow();
    const QString name = QStringLiteral("tavrel:") + command;
    if (!pg::tryAdvisoryLock(connection_->session(), name)) {
        throw EngineError::serverBusy(pg::advisoryLockHolder(connection_->session(), name), command);
    }
    return std::make_unique<ServerCommandLock>(connection_, name);
}

void ServerStore::takeNews() {
    if (!listener_ || !connection_)
        return;
    std::vector<pg::Notification> news;
    try {
        news = listener_->takeNotifications();
    } catch (const EngineError&) {
        serverLost();
        return;
    }
    if (listener_->isBroken()) {
        serverLost();
        return;
    }
    const int ownPid = connection_->session().backendPid();
    for (const pg::Notification& n : news) {
        if (n.senderPid == ownPid)
            continue;
        const QString table = n.payload.section(QLatin1Char(' '), 0, 0);
        const QString list = n.payload.section(QLatin1Char(' '), 1);
        const bool everyRow = list == QLatin1String("*");
        std::vector<qint64> ids;
        if (!everyRow)
            for (const QString& id : list.split(QLatin1Char(','), Qt::SkipEmptyParts))
                ids.push_back(id.toLongLong());
        connection_->forgetCopies(table);
        const TableDef* def = nullptr;
        for (const TableDef* known : allTables())
            if (known->sqlName == table)
                def = known;
        if (def)
            emit othersWrote(def->fileName, QList<qint64>(ids.begin(), ids.end()), everyRow);
    }
}

void ServerStore::serverLost() {
    if (lost_)
        return;
    lost_ = true;
    if (notifier_)
        notifier_->setEnabled(false);
    setStatus(lostText());
    if (QCoreApplication::instance() && !retry_) {
        retry_ = new QTimer(this);
        retry_->setInterval(RetryIntervalMs);
        connect(retry_, &QTimer::timeout, this, [this] { reconnect(); });
    }
    if (retry_)
        retry_->start();
}

bool ServerStore::reconnect() {
    if (!lost_)
        return true;
    if (!connection_->session().reconnect())
        return false;
    try {
        listen();
    } catch (const EngineError&) {
        return false;
    }
    lost_ = false;
    if (retry_)
        retry_->stop();
    connection_->restart();
    emit reconnected();
    setStatus(backText());
    if (QCoreApplication::instance())
        QTimer::singleShot(BackMessageMs, this, [this] {
            if (status_ == backText())
                setStatus(QString());
        });
    return true;
}

void ServerStore::setStatus(const QString& text) {
    if (status_ == text)
        return;
    status_ = text;
    emit statusChanged(text);
}

}  // namespace data
