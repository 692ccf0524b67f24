#pragma once

#include <QString>
#include <QStringList>
#include <stdexcept>
#include <utility>
#include <vector>

namespace data {

// Error code of a key violation: a post that would store a second record
// with the same key as an existing one.
inline constexpr int KeyViolationCode = 0x2601;  // 9729

// What went wrong, for the faults the program finds itself; faults reported
// by SQLite are of kind Engine and carry SQLite's extended result code, those
// reported by a database server are of kind Engine and carry its SQLSTATE.
enum class ErrorKind {
    Engine,             // code(): SQLite's extended result code, or 0; sqlState(): the server's, or empty;
                        // a lock wait that ran out (55P03): subject() the desk holding the records, when
                        // known, value() the milliseconds waited, when known
    ServerUnreachable,  // subject(): the server (host, port and database, no password); sqlState(): 25P03
                        // when the server ended the session for idling in a transaction, empty otherwise
    ServerBusy,         // subject(): the desk holding a command; value(): the command
    MissingTable,    // subject(): the table's name; value(): the folder
    ForeignTable,    // subject(): the file, which is no table of this program
    WrongLayout,     // subject(): the table; value(): the field it lacks
    NotWholeNumber,  // subject(): the field; value(): the text given
    ChangedElsewhere,  // subject(): the table; value(): the desk that changed the record, when known
    LogTakenAway,      // subject(): the table file whose log another program removed while it was open
    StoppedInConflict,  // the clerk stopped a bulk command at a record another desk had changed;
                        // subject(): the table; value(): that desk, when known
    ChangedSinceAsked,  // an undo found rows changed after the clerk was asked; value(): the rows changed
                        // since the command, counted again; nothing was undone
};

// A failure reported by the table engine. It carries a stack of entries, the
// first one being the most specific; what() is the first entry's message,
// English, for support; a clerk is told by kind and code (see fault_texts).
class EngineError : public std::runtime_error {
public:
    struct Entry {
        int code = 0;
        QString message;
    };

    explicit EngineError(const QString& message, int code = 0);
    explicit EngineError(std::vector<Entry> entries);
    EngineError(ErrorKind kind, const QString& subject, const QString& value, const QString& message, int code = 0);

    static EngineError missingTable(const QString& name, const QString& folder);
    static EngineError foreignTable(const QString& path, int code = 0);
    static EngineError wrongLayout(const QString& table, const QString& field);
    static EngineError notWholeNumber(const QString& field, const QString& text);
    static EngineError serverUnreachable(const QString& server, const QString& detail, const QString& sqlState = {});
    static EngineError serverBusy(const QString& desk, const QString& command);
    static EngineError changedSinceAsked(int rows);
    // A statement the database server refused, by its SQLSTATE ("23505", a
    // duplicate key, is a key violation) and its message.
    static EngineError serverError(const QString& sqlState, const QString& message);
    // The server gave up waiting for a lock (SQLSTATE 55P03) that the desk
    // `holder` (empty when not known) holds, after waitedMs (-1: not known).
    static EngineError lockWaitTimedOut(const QString& holder, qint64 waitedMs, const QString& message);

    const std::vector<Entry>& entries() const { return entries_; }
    int code() const { return entries_.empty() ? 0 : entries_.front().code; }
    QString message() const { return entries_.empty() ? QString() : entries_.front().message; }
    bool isKeyViolation() const { return code() == KeyViolationCode; }

    // Writes a loop had made and shown as stored, which the fault kept from
    // reaching the store: how many records, and the batch numbers of those
    // that have one.
    struct NotStored {
        int records = 0;
        QStringList names;
        // The new records among them, by table (SQL name) and row id: a
        // result that shows them lets them go.
        std::vector<std::pair<QString, qint64>> inserts;
    };
    const NotStored& notStored() const { return notStored_; }
    void addNotStored(int records, const QStringList& names);
    void addNotStored(const NotStored& more);
    // Writes a loop held back when the connection to the server was lost,
    // stored once the program had connected again: how many records.
    int storedAfterReconnecting() const { return storedAfterReconnecting_; }
    void addStoredAfterReconnecting(int records) { storedAfterReconnecting_ += records; }

    ErrorKind kind() const { return kind_; }
    const QString& subject() const { return subject_; }
    const QString& value() const { return value_; }
    const QString& sqlState() const { return sqlState_; }

private:
    std::vector<Entry> entries_;
    ErrorKind kind_ = ErrorKind::Engine;
    QString subject_;
    QString value_;
    QString sqlState_;
    NotStored notStored_;
    int storedAfterReconnecting_ = 0;
};

// The sqlState() of a ServerUnreachable fault for a connection the desk's
// end refused over TLS: the server's certificate did not check out against
// the root certificate the URI names, or the server offers no TLS the URI
// asks for. No server's code: the server never answered.
inline constexpr char UntrustedServerState[] = "08TLS";

// A fault that came while another error was already leaving the code that met
// it (the last commit of a loop the error ended) cannot be thrown then: it is
// kept, on this thread, and the general error display tells it together with
// the error in flight (or alone, when that one is a SilentAbort).
void keepFaultWhileUnwinding(const EngineError& fault);
std::vector<EngineError> takeFaultsWhileUnwinding();

// Ends the code in progress without any further message: the condition has
// already been reported to the user. The general error display ignores it.
class SilentAbort : public std::exception {
public:
    const char* what() const noexcept override { return "operation aborted"; }
};

}  // namespace data
