#pragma once

#include "data/core/store.h"

#include <QHash>
#include <QString>
#include <memory>

class QSocketNotifier;
class QTimer;

namespace data {

class PgConnection;
namespace pg {
class Session;
}

// The tables of a PostgreSQL server: the connection the tables share, a
// second one that hears of other desks' writes, and the state of both. When
// the server is lost it says so, tries again every second, and once it is
// back says that it is.
class ServerStore : public Store {
    Q_OBJECT

public:
    explicit ServerStore(QString uri);
    ~ServerStore() override;

    // The name this desk is known by to the others: TAVREL_DESK, or the
    // computer's name.
    const QString& deskName() const { return desk_; }
    // This run's own identity among the desks, random, made with the store:
    // kept with every record it stores, so that a desk of the same name is
    // still another desk.
    const QString& deskToken() const { return deskToken_; }
    const QString& uri() const { return uri_; }

    QString location() const override { return uri_; }
    bool hasTable(const QString& name) const override;
    std::shared_ptr<OpenTable> openTable(const QString& name) override;
    bool mayWrite(const QString& name) override;
    std::unique_ptr<UndoJournal> openUndoJournal(OpenTables tables) override;
    std::unique_ptr<CommandLock> lockCommand(const QString& command) override;
    void setConflictResolver(std::shared_ptr<ConflictResolver> resolver) override;
    QString statusText() const override { return status_; }
    void takeNews() override;

    PgConnection& connection();
    bool isConnected() const { return !lost_; }
    // Tries to reach the server again (done by itself every second while it
    // is lost). True when it is back.
    bool reconnect();

private:
    void connectNow();
    void listen();
    void serverLost();
    void setStatus(const QString& text);

    QString uri_;
    QString desk_;
    QString deskToken_;
    std::shared_ptr<ConflictResolver> resolver_;
    std::shared_ptr<PgConnection> connection_;
    std::unique_ptr<pg::Session> listener_;
    QSocketNotifier* notifier_ = nullptr;
    QTimer* retry_ = nullptr;
    bool lost_ = false;
    QString status_;
    QHash<QString, bool> mayWrite_;  // by file name, as the server answered first
};

}  // namespace data
