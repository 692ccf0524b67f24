#include "data/core/errors.h"

#include <QDir>

#include <utility>

namespace data {

EngineError::EngineError(const QString& message, int code)
    : EngineError(std::vector<Entry>{Entry{code, message}}) {}

EngineError::EngineError(std::vector<Entry> entries)
    : std::runtime_error(entries.empty() ? std::string() : entries.front().message.toStdString()),
      entries_(std::move(entries)) {}

EngineError::EngineError(ErrorKind kind, const QString& subject, const QString& value, const QString& message,
                         int code)
    : EngineError(message, code) {
    kind_ = kind;
    subject_ = subject;
    value_ = value;
}

EngineError EngineError::missingTable(const QString& name, const QString& folder) {
    const QString native = QDir::toNativeSeparators(folder);
    return EngineError(ErrorKind::MissingTable, name, native,
                       QStringLiteral("Table \"%1\" does not exist in the folder \"%2\".").arg(name, native));
}

EngineError EngineError::foreignTable(const QString& path, int code) {
    return EngineError(ErrorKind::ForeignTable, path, QString(),
                       QStringLiteral("Table \"%1\" is not a Tavrel table: the file is not an SQLite database "
                                      "(it may be a table of another program or format).")
                           .arg(path),
                       code);
}

EngineError EngineError::wrongLayout(const QString& table, const QString& field) {
    return EngineError(ErrorKind::WrongLayout, table, field,
                       QStringLiteral("Field '%1' not found in table \"%2\".").arg(field, table));
}

EngineError EngineError::notWholeNumber(const QString& field, const QString& text) {
    return EngineError(ErrorKind::NotWholeNumber, field, text,
                       QStringLiteral("'%1' is not a valid integer value").arg(text));
}

EngineError EngineError::serverUnreachable(const QString& server, const QString& detail, const QString& sqlState) {
    EngineError error(ErrorKind::ServerUnreachable, server, QString(),
                      QStringLiteral("Cannot reach the database server %1: %2").arg(server, detail.trimmed()));
    error.sqlState_ = sqlState;
    return error;
}

EngineError EngineError::serverBusy(const QString& desk, const QString& command) {
    return EngineError(ErrorKind::ServerBusy, desk, command,
                       QStringLiteral("The desk \"%1\" is running \"%2\"; wait until it has finished.").arg(desk, command));
}

EngineError EngineError::changedSinceAsked(int rows) {
    return EngineError(ErrorKind::ChangedSinceAsked, QString(), QString::number(rows),
                       QStringLiteral("Records were changed by another desk after the undo was confirmed; %1 records "
                                      "are now changed since the command. Nothing was undone.")
                           .arg(rows));
}

EngineError EngineError::serverError(const QString& sqlState, const QString& message) {
    EngineError error = sqlState == QLatin1String("23505")
                            ? EngineError({Entry{KeyViolationCode, QStringLiteral("Key violation.")}, Entry{0, message}})
                            : EngineError(message);
    error.sqlState_ = sqlState;
    return error;
}

namespace {

std::vector<EngineError>& faultsWhileUnwinding() {
    thread_local std::vector<EngineError> faults;
    return faults;
}

}  // namespace

void keepFaultWhileUnwinding(const EngineError& fault) { faultsWhileUnwinding().push_back(fault); }

std::vector<EngineError> takeFaultsWhileUnwinding() { return std::exchange(faultsWhileUnwinding(), {}); }

void EngineError::addNotStored(int records, const QStringList& names) {
    notStored_.records += records;
    for (const QString& name : names)
        if (!name.isEmpty() && !notStored_.names.contains(name))
            notStored_.names << name;
}

void EngineError::addNotStored(const NotStored& more) {
    addNotStored(more.records, more.names);
    notStored_.inserts.insert(notStored_.inserts.end(), more.inserts.begin(), more.inserts.end());
}

EngineError EngineError::lockWaitTimedOut(const QString& holder, qint64 waitedMs, const QString& message) {
    EngineError error(ErrorKind::Engine, holder, waitedMs < 0 ? QString() : QString::number(waitedMs),
                      holder.isEmpty() ? message : QStringLiteral("%1 (held by the desk \"%2\")").arg(message, holder));
    error.sqlState_ = QStringLiteral("55P03");
    return error;
}

}  // namespace data
