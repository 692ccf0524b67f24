#pragma once

#include "data/core/errors.h"
#include "data/server/pg_rows.h"

#include <QHash>
#include <QMetaType>
#include <QString>
#include <QVariant>
#include <functional>
#include <memory>
#include <vector>

struct pg_conn;
struct pg_result;

namespace data::pg {

// One row of a result, values converted by column type: NULL gives an
// invalid QVariant, boolean a bool, smallint/integer/bigint a qint64, any
// other type its text (UTF-8) as a QString.
using ResultRow = std::vector<QVariant>;

struct Result {
    std::vector<ResultRow> rows;
    qint64 affected = 0;  // rows inserted, updated, deleted or selected
};

struct Notification {
    QString channel;
    QString payload;
    int senderPid = 0;
};

// A parameter holding a one-dimensional array: pass it as
// QVariant::fromValue(ArrayParam{...}) and cast it in the SQL ("?::bigint[]").
// Its elements are converted as any other parameter; an invalid QVariant is a
// NULL element.
struct ArrayParam {
    std::vector<QVariant> values;
};

// The server keeps only printable ASCII in application_name, 63 bytes at
// most: a desk's name goes there as UTF-8 with every other byte (and '%')
// percent-encoded, cut after a whole character, and deskName() reads it back.
QByteArray applicationNameOf(const QString& desk);
QString deskName(const QString& applicationName);

// How long a session lets the server wait and waits on it. The server's
// limits (milliseconds) are set on every session right after it connects,
// except where the connection's own options (the URI's options=-c ...) or the
// server's settings for the database or role name one; the TCP ones
// (seconds, tcp_user_timeout in milliseconds) are connection parameters that
// the URI may change.
struct SessionLimits {
    int lockTimeoutMs = 10'000;               // a lock another session holds
    int idleInTransactionMs = 60'000;         // a transaction left open with nothing running
    int statementTimeoutMs = 10 * 60'000;     // one statement, at 100,000 orders far less
    int keepalivesIdleS = 30;                 // a quiet connection is probed after this long,
    int keepalivesIntervalS = 10;             // then again at this interval,
    int keepalivesCount = 3;                  // and given up after this many unanswered probes
    int tcpUserTimeoutMs = 60'000;            // data sent and not acknowledged
};

// The limits of the sessions connected from now on (the program keeps the
// defaults; tests shorten them).
SessionLimits sessionLimits();
void setSessionLimits(const SessionLimits& limits);

// One connection to a PostgreSQL server, blocking, used by one thread.
class Session {
public:
    // Connects with a URI (postgresql://...) or a keyword string. The desk's
    // name is the application name (applicationNameOf), which names the desk
    // to the other desks; the client encoding is UTF-8. Passwords come from
    // the password or service file, never from the program. Throws an EngineError of kind ServerUnreachable naming the
    // server when it cannot connect (within connect_timeout, 10 s unless the
    // URI says otherwise), or of kind Engine with SQLSTATE 28P01 when the
    // server wants a password the desk has none for.
    static std::unique_ptr<Session> connect(const QString& uri, const QString& desk);
    ~Session();
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    // Runs one statement with its parameters written `?` (outside quoted
    // literals and identifiers; comments and E'' strings are not looked
    // into). Each distinct text is prepared once on the server and executed
    // by name after that. Parameters go as text with no
    // declared type, so the SQL casts where the server cannot tell: an
    // invalid QVariant is NULL, a bool "t"/"f", a number its decimal text, an
    // ArrayParam an array literal, anything else its text.
    Result run(const QString& sql, const std::vector<QVariant>& params = {});
    // The same, the answer's values left as the server sent them.
    Rows runRows(const QString& sql, const std::vector<QVariant>& params = {});
    // An answer's values converted, as run() gives them.
    static Result resultOf(const Rows& answer);
    // One command or several, without parameters (BEGIN, COMMIT, SET, DDL).
    void exec(const QString& sql);

    // Sends one statement as run() does and returns without waiting for its
    // answer, which takeAnswer() takes (answerArrived() tells, without
    // waiting, whether it is all in). Until then the session sends nothing
    // else: the hook given here runs first when another statement is to go,
    // and is to take the answer.
    void send(const QString& sql, const std::vector<QVariant>& params, std::function<void()> beforeNextStatement);
    bool answerArrived();
    Result takeAnswer();
    // The same, the answer's values left as the server sent them.
    Rows takeAnswerRows();

    int backendPid() const;
    int socket() const;  // for a QSocketNotifier; -1 when broken
    bool inTransaction() const;  // in a transaction block, failed or not
    // Reads what arrived on the socket and returns the notifications in it.
    std::vector<Notification> takeNotifications();
    bool isBroken() const;
    // Connects again with the same parameters and limits. Prepared
    // statements are prepared again on demand; LISTENs and other session
    // settings are gone.
    bool reconnect();
    // "host:port/database", for messages; never a password.
    const QString& server() const { return server_; }
    // The server's release as one number (150004 for 15.4).
    int serverVersion() const;
    // A connection parameter as the connection was made with it (the URI's
    // value, or the program's); never the password.
    QString connectionParameter(const QString& keyword) const;
    // The password of a login role as the server keeps it, made here in the
    // way the server asks for (password_encryption): the clear password
    // never reaches the server.
    QString encryptedPassword(const QString& role, const QString& password);

private:
    explicit Session(pg_conn* conn);

    QByteArray prepared(const QString& sql, int parameterCount);  // the statement's name
    // A prepared statement ready to go: its name and its parameters as
    // texts (values point into texts; NULL where a value has none).
    struct Call {
        QByteArray name;
        std::vector<QByteArray> texts;
        std::vector<const char*> values;
    };
    // Takes the answer of a statement sent before, hears what arrived, and
    // prepares the statement.
    Call readyToSend(const QString& sql, const std::vector<QVariant>& params);
    void takePendingAnswer();  // runs the hook of a statement sent
    [[noreturn]] void throwFailure(pg_result* result);  // frees result
    void applyLimits();
    void hearWhatArrived();
    static void receiveNotice(void* session, const pg_result* notice);
    EngineError lockWaitFault(const EngineError& timedOut) const;

    struct Prepared {
        QByteArray name;
        int parameterCount;
    };

    pg_conn* conn_;
    QString server_;
    QHash<QString, Prepared> prepared_;  // by SQL text
    int preparedCount_ = 0;              // names given, so that none repeats
    qint64 lockTimeoutMs_ = 0;           // as the server has it for this session
    QString endedFor_;                   // SQLSTATE the server gave for ending the session
    std::function<void()> beforeNext_;   // while the answer of a statement sent is not taken
};

// The EngineError for a failed result (or none) on a connection: a duplicate
// key is a key violation, a lost connection (SQLSTATE class 08 or a broken
// connection) is ServerUnreachable, and so is a session the server ended for
// idling in a transaction (carrying SQLSTATE 25P03), anything else is kind
// Engine with the server's message and its SQLSTATE.
EngineError serverFault(const pg_result* result, const pg_conn* conn, const QString& server);

}  // namespace data::pg

Q_DECLARE_METATYPE(data::pg::ArrayParam)
