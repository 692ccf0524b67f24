#include "data/server/pg_connection.h"

#include "data/core/open_table.h"

// A loop walking a table on the server reads its records a range at a time,
// and every read waits for the server: the range after the one just read is
// asked for at once, and the loop finds it there when it gets to it. Only
// one statement is on its way at a time: the read goes when no batch of
// writes is, and a batch waits for its answer. A read whose range the loop
// wrote since, or read before a change that makes held rows stale, is not
// used; nor is one that failed: the loop reads again, and meets the failure
// as it is.
namespace data {

void PgConnection::readAhead(const OpenTable& table, qint64 firstId, qint64 lastId) {
    if (writeGroups_ == 0 || session_->inTransaction() || session_->isBroken())
        return;
    readAhead_.reset();  // one the loop did not come to
    // Records of the range written and not yet sent: a read now would not
    // find them.
    if (keptWithin(table, firstId, lastId))
        return;
    readAhead_ = ReadAhead{&table, firstId, lastId, generation(), false, false, std::nullopt};
    sendReadAhead();
}

void PgConnection::sendReadAhead() {
    if (!readAhead_ || readAhead_->sent || readAheadInFlight_ || !inFlight_.empty())
        return;
    readAhead_->sent = true;
    try {
        session_->send(readAhead_->table->readRangeSql(), {QVariant(readAhead_->firstId), QVariant(readAhead_->lastId)},
                       [this] { takeReadAhead(); });
    } catch (const EngineError&) {
        readAhead_.reset();  // read when it is wanted, and the failure told then
        return;
    }
    readAheadInFlight_ = true;
}

// Also what the session runs before its next statement: the answer is taken
// whoever comes first, and kept for the loop when it is still wanted.
void PgConnection::takeReadAhead() {
    if (!readAheadInFlight_)
        return;
    readAheadInFlight_ = false;
    try {
        pg::Rows rows = session_->takeAnswerRows();
        if (readAhead_ && readAhead_->sent && !readAhead_->rows)
            readAhead_->rows = std::move(rows);
    } catch (const EngineError&) {
        readAhead_.reset();
    }
}

std::optional<pg::Rows> PgConnection::rowsReadAhead(const OpenTable& table, qint64 firstId, qint64 lastId) {
    if (!readAhead_)
        return std::nullopt;
    const bool same = readAhead_->table == &table && readAhead_->firstId == firstId && readAhead_->lastId == lastId &&
                      readAhead_->sent;
    if (same)
        takeReadAhead();  // waits for it when it is still on its way
    std::optional<pg::Rows> rows;
    if (same && readAhead_ && !readAhead_->stale && readAhead_->generation == generation())
        rows = std::move(readAhead_->rows);
    readAhead_.reset();
    return rows;
}

void PgConnection::wroteRecord(const OpenTable& table, qint64 id) {
    if (readAhead_ && readAhead_->table == &table && id >= readAhead_->firstId && id <= readAhead_->lastId)
        readAhead_->stale = true;
}

}  // namespace data
