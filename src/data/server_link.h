#pragma once

#include "data/connection.h"

#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;
class QTimer;

namespace data {

class Engine;
class PgConnection;
class UndoJournal;
class CommandLock;
struct OpenTable;
namespace pg {
class Session;
}

// An engine's tie to a PostgreSQL server: the connection its tables share,
// a second one that hears of other desks' writes, and the state of both.
// When the server is lost it says so, tries again every second, and once it
// is back reopens the results that are not being edited.
class ServerLink : public QObject {
    Q_OBJECT

public:
    ServerLink(Engine& engine, QString uri, std::shared_ptr<ConflictResolver> resolver);
    ~ServerLink() override;

    // The name this desk is known by to the others: TAVREL_DESK, or the
    // computer's name.
    const QString& deskName() const { return desk_; }
    const QString& uri() const { return uri_; }

    std::shared_ptr<OpenTable> openTable(const QString& name);
    std::unique_ptr<UndoJournal> openUndoJournal();
    std::unique_ptr<CommandLock> lockCommand(const QString& command);
    PgConnection& connection();

    bool isConnected() const { return !lost_; }
    // What the status bar says of the server; empty while all is well.
    const QString& statusText() const { return status_; }

    // Reads the news of other desks' writes that arrived (done by itself
    // when they arrive, while events are processed).
    void takeNews();
    // Tries to reach the server again (done by itself every second while it
    // is lost). True when it is back.
    bool reconnect();

signals:
    void statusChanged(const QString& text);
    // Another desk wrote the table (its SQL name).
    void tableChanged(const QString& sqlName);

private:
    void connectNow();
    void listen();
    void serverLost();
    void setStatus(const QString& text);
    void reopenResults();

    Engine& engine_;
    QString uri_;
    QString desk_;
    std::shared_ptr<ConflictResolver> resolver_;
    std::shared_ptr<PgConnection> connection_;
    std::unique_ptr<pg::Session> listener_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* retry_ = nullptr;
    bool lost_ = false;
    QString status_;
};

}  // namespace data
