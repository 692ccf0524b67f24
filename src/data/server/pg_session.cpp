#include "data/server/pg_session.h"

#include <QRegularExpression>
#include <QLocale>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <libpq-fe.h>
#include <optional>

namespace data::pg {

namespace {

// Statements kept prepared on the server; past this many they are all
// dropped and prepared again as they are met.
constexpr int MaxPrepared = 256;

using ResultHandle = std::unique_ptr<PGresult, decltype(&PQclear)>;

// The statement with its `?` numbered $1, $2, ... as the server wants them,
// and their count. A `?` inside a quoted literal or identifier is text.
std::pair<QByteArray, int> numberedParameters(const QString& sql) {
    QString numbered;
    numbered.reserve(sql.size() + 16);
    int count = 0;
    QChar quote;  // the quote open at this point, or none
    for (const QChar c : sql) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();  // a doubled quote closes and opens again
        } else if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char('?')) {
            numbered += QLatin1Char('$') + QString::number(++count);
            continue;
        }
        numbered += c;
    }
    return {numbered.toUtf8(), count};
}

std::optional<QByteArray> parameterText(const QVariant& value);

// "{"a","b\"c",NULL}": every element quoted, so that commas, braces, blanks
// and the word NULL inside one stay text.
QByteArray arrayLiteral(const ArrayParam& array) {
    QByteArray literal = "{";
    literal.reserve(qsizetype(array.values.size()) * 8 + 2);
    for (std::size_t i = 0; i < array.values.size(); ++i) {
        if (i > 0)
            literal += ',';
        // Whole numbers and booleans, most of what loops send, need no
        // quotes and no text of their own.
        const QVariant& value = array.values[i];
        if (value.typeId() == QMetaType::LongLong && !value.isNull()) {
            char digits[24];
            const auto end = std::to_chars(digits, digits + sizeof digits, value.toLongLong()).ptr;
            literal.append(digits, qsizetype(end - digits));
            continue;
        }
        if (value.typeId() == QMetaType::Bool && !value.isNull()) {
            literal += value.toBool() ? 't' : 'f';
            continue;
        }
        const std::optional<QByteArray> text = parameterText(value);
        if (!text) {
            literal += "NULL";
            continue;
        }
        literal += '"';
        for (const char c : *text) {
            if (c == '"' || c == '\\')
                literal += '\\';
            literal += c;
        }
        literal += '"';
    }
    return literal + '}';
}

QByteArray doubleText(double d) {
    if (std::isnan(d))
        return "NaN";
    if (std::isinf(d))
        return d > 0 ? "Infinity" : "-Infinity";
    return QString::number(d, 'g', QLocale::FloatingPointShortest).toLatin1();
}

// A parameter as the text the server reads; none for NULL.
std::optional<QByteArray> parameterText(const QVariant& value) {
    if (!value.isValid() || value.isNull())
        return std::nullopt;
    if (value.metaType() == QMetaType::fromType<ArrayParam>())
        return arrayLiteral(value.value<ArrayParam>());
    switch (value.typeId()) {
    case QMetaType::Bool:
        return QByteArray(value.toBool() ? "t" : "f");
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return QByteArray::number(value.toLongLong());
    case QMetaType::ULong:
    case QMetaType::ULongLong:
        return QByteArray::number(value.toULongLong());
    case QMetaType::Float:
    case QMetaType::Double:
        return doubleText(value.toDouble());
    default:
        return value.toString().toUtf8();
    }
}

// Host, port and database of a connection, from the options it was made
// with; the password is never read.
QString serverOf(const PGconn* conn) {
    QString host, port, database;
    PQconninfoOption* options = PQconninfo(const_cast<PGconn*>(conn));
    for (PQconninfoOption* o = options; o && o->keyword; ++o) {
        const QString value = QString::fromUtf8(o->val ? o->val : "");
        const QByteArray keyword(o->keyword);
        if (keyword == "host" || (keyword == "hostaddr" && host.isEmpty()))
            host = value;
        else if (keyword == "port")
            port = value;
        else if (keyword == "dbname")
            database = value;
    }
    PQconninfoFree(options);
    // A URI libpq did not take for one stands whole as the database's name,
    // password and all: it is never shown.
    if (database.contains(QLatin1String("://")))
        database.clear();
    if (host.isEmpty())
        host = QStringLiteral("localhost");
    return port.isEmpty() ? host + QLatin1Char('/') + database
                          : QStringLiteral("%1:%2/%3").arg(host, port, database);
}

SessionLimits& limitsInForce() {
    static SessionLimits limits;
    return limits;
}

// The desk with the oldest open transaction that has written: every such
// transaction holds the lock on its own id, and the oldest has held its locks
// longest. $1 is the session that gave up waiting.
constexpr const char* LockHolderSql =
    "SELECT a.application_name FROM pg_locks l JOIN pg_stat_activity a ON a.pid = l.pid "
    "WHERE l.locktype = 'transactionid' AND l.mode = 'ExclusiveLock' AND l.granted "
    "AND l.pid <> pg_backend_pid() AND l.pid <> $1::int AND a.datname = current_database() "
    "ORDER BY age(l.transactionid) DESC LIMIT 1";

}  // namespace

SessionLimits sessionLimits() { return limitsInForce(); }

void setSessionLimits(const SessionLimits& limits) { limitsInForce() = limits; }

QByteArray applicationNameOf(const QString& desk) {
    constexpr qsizetype MaxLength = 63;
    QByteArray name;
    for (qsizetype i = 0; i < desk.size(); ++i) {
        const qsizetype length = desk[i].isHighSurrogate() && i + 1 < desk.size() ? 2 : 1;
        QByteArray character;
        for (const char byte : desk.mid(i, length).toUtf8()) {
            const auto b = static_cast<unsigned char>(byte);
            if (b >= 0x20 && b < 0x7f && b != '%')
                character += byte;
            else
                character += '%' + QByteArray::number(b, 16).toUpper().rightJustified(2, '0');
        }
        if (name.size() + character.size() > MaxLength)
            break;
        name += character;
        i += length - 1;
    }
    return name;
}

QString deskName(const QString& applicationName) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(applicationName.toLatin1()));
}

EngineError serverFault(const pg_result* result, const pg_conn* conn, const QString& server) {
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    const QString sqlState = QString::fromLatin1(state ? state : "");
    if (sqlState == QLatin1String("25P03")) {
        // Ended by the server, so that the locks the transaction held went
        // to the desks waiting for them; the connection is gone with it.
        const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
        return EngineError::serverUnreachable(server, QString::fromUtf8(primary ? primary : ""), sqlState);
    }
    if (!result || PQstatus(conn) == CONNECTION_BAD || sqlState.startsWith(QLatin1String("08"))) {
        const char* message = result ? PQresultErrorMessage(result) : PQerrorMessage(conn);
        return EngineError::serverUnreachable(server, QString::fromUtf8(message));
    }
    const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
    return EngineError::serverError(sqlState, QString::fromUtf8(primary ? primary : PQresultErrorMessage(result)).trimmed());
}

namespace {

// libpq takes a URI only by its scheme in lower case; "POSTGRES://" would
// reach the server as a database's name, password and all.
QString schemeInLowerCase(const QString& uri) {
    const qsizetype end = uri.indexOf(QLatin1String("://"));
    if (end <= 0)
        return uri;
    const QString scheme = uri.left(end).toLower();
    if (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres"))
        return uri;
    return scheme + uri.mid(end);
}

}  // namespace

namespace {

// libpq tells a refused certificate or missing TLS only in words. A TLS
// connection that merely broke ("SSL SYSCALL error", a server going down)
// is no question of trust: only the certificate and a server without TLS
// count here.
bool refusedOverTls(const QString& message) {
    static const QRegularExpression refused(QStringLiteral("certificate|证书|support SSL|支持 ?SSL"),
                                            QRegularExpression::CaseInsensitiveOption);
    return refused.match(message).hasMatch();
}

}  // namespace

std::unique_ptr<Session> Session::connect(const QString& uri, const QString& desk) {
    const QByteArray target = schemeInLowerCase(uri).toUtf8();
    {
        // libpq's own words about a location it cannot read quote the bad
        // part, which may be a piece of the password.
        char* unreadable = nullptr;
        PQconninfoOption* parsed = PQconninfoParse(target.constData(), &unreadable);
        PQconninfoFree(parsed);
        if (unreadable) {
            PQfreemem(unreadable);
            throw EngineError::serverUnreachable(QString(), QStringLiteral("The server address could not be read."),
                                                 QStringLiteral("08001"));
        }
    }
    const QByteArray name = applicationNameOf(desk);
    const SessionLimits limits = sessionLimits();
    const QByteArray idle = QByteArray::number(limits.keepalivesIdleS);
    const QByteArray interval = QByteArray::number(limits.keepalivesIntervalS);
    const QByteArray count = QByteArray::number(limits.keepalivesCount);
    const QByteArray userTimeout = QByteArray::number(limits.tcpUserTimeoutMs);
    // Later keywords win: the bounds before the URI are defaults it may
    // change, the name and encoding after it are the program's.
    const char* keywords[] = {"connect_timeout", "keepalives", "keepalives_idle", "keepalives_interval",
                              "keepalives_count", "tcp_user_timeout", "dbname", "application_name",
                              "client_encoding", nullptr};
    const char* values[] = {"10", "1", idle.constData(), interval.constData(), count.constData(),
                            userTimeout.constData(), target.constData(), name.constData(), "UTF8", nullptr};
    PGconn* conn = PQconnectdbParams(keywords, values, 1);
    if (!conn)
        throw EngineError::serverUnreachable(QString(), QStringLiteral("out of memory"));
    if (PQstatus(conn) != CONNECTION_OK) {
        const QString message = QString::fromUtf8(PQerrorMessage(conn)).trimmed();
        // A server that asks for a password this desk has none for is reached:
        // that is the account's fault, not the network's.
        const EngineError error = PQconnectionNeedsPassword(conn) ? EngineError::serverError(QStringLiteral("28P01"), message)
                                  : refusedOverTls(message)
                                      ? EngineError::serverUnreachable(serverOf(conn), message, QLatin1String(UntrustedServerState))
                                      : EngineError::serverUnreachable(serverOf(conn), message);
        PQfinish(conn);
        throw error;
    }
    std::unique_ptr<Session> session(new Session(conn));
    session->applyLimits();
    return session;
}

int Session::serverVersion() const { return conn_ ? PQserverVersion(conn_) : 0; }

// One round trip sets them all; a setting the server does not know (an
// older server), or a choice it was built without, is left out.
void Session::applyLimits() {
    const SessionLimits l = sessionLimits();
    const std::pair<const char*, QString> settings[] = {
        {"lock_timeout", QString::number(l.lockTimeoutMs)},
        {"idle_in_transaction_session_timeout", QString::number(l.idleInTransactionMs)},
        {"statement_timeout", QString::number(l.statementTimeoutMs)},
        // The server watches the desk's end of the connection as the desk
        // watches the server's.
        {"tcp_keepalives_idle", QString::number(l.keepalivesIdleS)},
        {"tcp_keepalives_interval", QString::number(l.keepalivesIntervalS)},
        {"tcp_keepalives_count", QString::number(l.keepalivesCount)},
        {"tcp_user_timeout", QString::number(l.tcpUserTimeoutMs)},
        // The undo journal's images of whole batches of rows are packed by
        // the faster of the server's two ways.
        {"default_toast_compression", QStringLiteral("lz4")},
    };
    ArrayParam names, values;
    for (const auto& [name, value] : settings) {
        names.values.emplace_back(QString::fromLatin1(name));
        values.values.emplace_back(value);
    }
    run(QStringLiteral("SELECT set_config(s.name, d.value, false) FROM unnest(?::text[], ?::text[]) AS d(name, value) "
                       "JOIN pg_settings s ON s.name = d.name "
                       "WHERE s.source NOT IN ('client', 'database', 'user', 'database user') "
                       "AND (s.enumvals IS NULL OR d.value = ANY(s.enumvals))"),
        {QVariant::fromValue(names), QVariant::fromValue(values)});
    lockTimeoutMs_ = run(QStringLiteral("SELECT setting::bigint FROM pg_settings WHERE name = 'lock_timeout'"))
                         .rows.at(0)
                         .at(0)
                         .toLongLong();
}

// Asked on a connection of its own, made with this one's parameters: this
// session's transaction failed with the statement and takes nothing more
// before it is rolled back.
EngineError Session::lockWaitFault(const EngineError& timedOut) const {
    std::vector<QByteArray> keywords, values;
    PQconninfoOption* options = PQconninfo(conn_);
    for (PQconninfoOption* o = options; o && o->keyword; ++o) {
        if (o->val && *o->val) {
            keywords.emplace_back(o->keyword);
            values.emplace_back(o->val);
        }
    }
    PQconninfoFree(options);
    std::vector<const char*> keywordPointers, valuePointers;
    for (std::size_t i = 0; i < keywords.size(); ++i) {
        keywordPointers.push_back(keywords[i].constData());
        valuePointers.push_back(values[i].constData());
    }
    keywordPointers.push_back(nullptr);
    valuePointers.push_back(nullptr);

    QString holder;
    PGconn* asker = PQconnectdbParams(keywordPointers.data(), valuePointers.data(), 0);
    if (asker && PQstatus(asker) == CONNECTION_OK) {
        const QByteArray pid = QByteArray::number(backendPid());
        const char* parameters[] = {pid.constData()};
        ResultHandle found(PQexecParams(asker, LockHolderSql, 1, nullptr, parameters, nullptr, nullptr, 0), PQclear);
        if (PQresultStatus(found.get()) == PGRES_TUPLES_OK && PQntuples(found.get()) == 1 &&
            !PQgetisnull(found.get(), 0, 0))
            holder = deskName(QString::fromUtf8(PQgetvalue(found.get(), 0, 0)));
    }
    PQfinish(asker);
    return EngineError::lockWaitTimedOut(holder, lockTimeoutMs_ > 0 ? lockTimeoutMs_ : -1, timedOut.message());
}

Session::Session(pg_conn* conn) : conn_(conn), server_(serverOf(conn)) {
    PQsetNoticeReceiver(conn_, receiveNotice, this);
}

// The server's notices (an advisory lock released that was not held, say)
// tell a clerk nothing. What does matter comes this way too: the reason the
// server gives when it ends a session between statements.
void Session::receiveNotice(void* session, const pg_result* notice) {
    const char* severity = PQresultErrorField(notice, PG_DIAG_SEVERITY_NONLOCALIZED);
    const char* state = PQresultErrorField(notice, PG_DIAG_SQLSTATE);
    if (severity && state && qstrcmp(severity, "FATAL") == 0)
        static_cast<Session*>(session)->endedFor_ = QString::fromLatin1(state);
}

// A session ended in its transaction has the server's reason waiting on the
// socket; read before the next statement is sent, it is heard (as a notice)
// instead of being lost in the failure to send.
void Session::hearWhatArrived() {
    if (PQtransactionStatus(conn_) == PQTRANS_INTRANS)
        PQconsumeInput(conn_);
}

Session::~Session() { PQfinish(conn_); }

void Session::throwFailure(pg_result* result) {
    EngineError error = serverFault(result, conn_, server_);
    PQclear(result);
    if (error.kind() == ErrorKind::ServerUnreachable && error.sqlState().isEmpty() && !endedFor_.isEmpty())
        error = EngineError::serverUnreachable(server_, QString::fromUtf8(PQerrorMessage(conn_)), endedFor_);
    if (error.kind() == ErrorKind::Engine && error.sqlState() == QLatin1String("55P03"))
        throw lockWaitFault(error);
    throw error;
}

QByteArray Session::prepared(const QString& sql, int parameterCount) {
    auto found = prepared_.constFind(sql);
    if (found == prepared_.constEnd()) {
        if (prepared_.size() >= MaxPrepared && PQtransactionStatus(conn_) != PQTRANS_INERROR) {
            exec(QStringLiteral("DEALLOCATE ALL"));
            prepared_.clear();
        }
        const auto [numbered, count] = numberedParameters(sql);
        const QByteArray name = "tavrel_" + QByteArray::number(++preparedCount_);
        PGresult* result = PQprepare(conn_, name.constData(), numbered.constData(), 0, nullptr);
        if (PQresultStatus(result) != PGRES_COMMAND_OK)
            throwFailure(result);
        PQclear(result);
        found = prepared_.insert(sql, {name, count});
    }
    if (found->parameterCount != parameterCount)
        throw EngineError(QStringLiteral("The statement takes %1 parameters, %2 given: %3")
                              .arg(found->parameterCount)
                              .arg(parameterCount)
                              .arg(sql));
    return found->name;
}

Session::Call Session::readyToSend(const QString& sql, const std::vector<QVariant>& params) {
    takePendingAnswer();
    hearWhatArrived();
    Call call;
    call.name = prepared(sql, int(params.size()));
    call.texts.resize(params.size());
    call.values.assign(params.size(), nullptr);
    for (std::size_t i = 0; i < params.size(); ++i) {
        if (std::optional<QByteArray> text = parameterText(params[i])) {
            call.texts[i] = std::move(*text);
            call.values[i] = call.texts[i].constData();
        }
    }
    return call;
}

void Session::takePendingAnswer() {
    if (!beforeNext_)
        return;
    const std::function<void()> hook = std::move(beforeNext_);
    beforeNext_ = nullptr;
    hook();
}

Rows Session::runRows(const QString& sql, const std::vector<QVariant>& params) {
    const Call call = readyToSend(sql, params);
    ResultHandle handle(
        PQexecPrepared(conn_, call.name.constData(), int(params.size()), call.values.data(), nullptr, nullptr, 0), PQclear);
    const ExecStatusType status = PQresultStatus(handle.get());
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        throwFailure(handle.release());
    return Rows(handle.release());
}

Result Session::run(const QString& sql, const std::vector<QVariant>& params) { return resultOf(runRows(sql, params)); }

void Session::send(const QString& sql, const std::vector<QVariant>& params, std::function<void()> beforeNextStatement) {
    const Call call = readyToSend(sql, params);
    if (PQsendQueryPrepared(conn_, call.name.constData(), int(params.size()), call.values.data(), nullptr, nullptr, 0) == 0)
        throwFailure(nullptr);
    beforeNext_ = std::move(beforeNextStatement);
}

bool Session::answerArrived() {
    // A connection that cannot be read has its answer: the failure.
    return PQconsumeInput(conn_) == 0 || PQisBusy(conn_) == 0;
}

Result Session::takeAnswer() { return resultOf(takeAnswerRows()); }

Rows Session::takeAnswerRows() {
    beforeNext_ = nullptr;
    PGresult* first = nullptr;
    while (PGresult* r = PQgetResult(conn_)) {
        if (first)
            PQclear(r);
        else
            first = r;
    }
    if (!first)
        throwFailure(nullptr);
    ResultHandle handle(first, PQclear);
    const ExecStatusType status = PQresultStatus(first);
    if (status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
        throwFailure(handle.release());
    return Rows(handle.release());
}

Result Session::resultOf(const Rows& answer) {
    Result result;
    const int rows = answer.count(), columns = answer.columns();
    result.rows.reserve(std::size_t(rows));
    for (int row = 0; row < rows; ++row) {
        ResultRow& values = result.rows.emplace_back(std::size_t(columns));
        for (int column = 0; column < columns; ++column)
            values[std::size_t(column)] = answer.value(row, column);
    }
    result.affected = answer.affected();
    return result;
}

void Session::exec(const QString& sql) {
    takePendingAnswer();
    hearWhatArrived();
    PGresult* result = PQexec(conn_, sql.toUtf8().constData());
    const ExecStatusType status = PQresultStatus(result);
    if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK)
        throwFailure(result);
    PQclear(result);
}

int Session::backendPid() const { return PQbackendPID(conn_); }

int Session::socket() const { return PQsocket(conn_); }

bool Session::inTransaction() const {
    const PGTransactionStatusType status = PQtransactionStatus(conn_);
    return status == PQTRANS_INTRANS || status == PQTRANS_INERROR;
}

std::vector<Notification> Session::takeNotifications() {
    // A failure to read leaves the connection broken, as isBroken() tells.
    PQconsumeInput(conn_);
    std::vector<Notification> notifications;
    while (PGnotify* n = PQnotifies(conn_)) {
        notifications.push_back({QString::fromUtf8(n->relname), QString::fromUtf8(n->extra), n->be_pid});
        PQfreemem(n);
    }
    return notifications;
}

bool Session::isBroken() const { return PQstatus(conn_) == CONNECTION_BAD; }

bool Session::reconnect() {
    beforeNext_ = nullptr;  // its answer went with the connection
    prepared_.clear();
    endedFor_.clear();
    PQreset(conn_);
    if (PQstatus(conn_) != CONNECTION_OK)
        return false;
    try {
        applyLimits();
    } catch (const EngineError&) {
        return false;
    }
    return true;
}

QString Session::connectionParameter(const QString& keyword) const {
    if (keyword == QLatin1String("password"))
        return {};
    QString value;
    PQconninfoOption* options = PQconninfo(conn_);
    for (PQconninfoOption* o = options; o && o->keyword; ++o)
        if (keyword == QLatin1String(o->keyword) && o->val)
            value = QString::fromUtf8(o->val);
    PQconninfoFree(options);
    return value;
}

QString Session::encryptedPassword(const QString& role, const QString& password) {
    char* made = PQencryptPasswordConn(conn_, password.toUtf8().constData(), role.toUtf8().constData(), nullptr);
    if (!made)
        throw EngineError(QStringLiteral("The password could not be encrypted: %1").arg(QString::fromUtf8(PQerrorMessage(conn_)).trimmed()));
    const QString encrypted = QString::fromUtf8(made);
    PQfreemem(made);
    return encrypted;
}

}  // namespace data::pg
