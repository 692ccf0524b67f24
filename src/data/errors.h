#pragma once

#include <QString>
#include <stdexcept>
#include <vector>

namespace data {

// Error code of a key violation: a post that would store a second record
// with the same key as an existing one.
inline constexpr int KeyViolationCode = 0x2601;  // 9729

// A failure reported by the table engine. It carries a stack of entries, the
// first one being the most specific; what() is the first entry's message.
class EngineError : public std::runtime_error {
public:
    struct Entry {
        int code = 0;
        QString message;
    };

    explicit EngineError(const QString& message, int code = 0);
    explicit EngineError(std::vector<Entry> entries);

    const std::vector<Entry>& entries() const { return entries_; }
    int code() const { return entries_.empty() ? 0 : entries_.front().code; }
    QString message() const { return entries_.empty() ? QString() : entries_.front().message; }
    bool isKeyViolation() const { return code() == KeyViolationCode; }

private:
    std::vector<Entry> entries_;
};

// Ends the code in progress without any further message: the condition has
// already been reported to the user. The general error display ignores it.
class SilentAbort : public std::exception {
public:
    const char* what() const noexcept override { return "operation aborted"; }
};

}  // namespace data
