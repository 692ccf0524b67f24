#include "data/errors.h"

namespace data {

EngineError::EngineError(const QString& message, int code)
    : EngineError(std::vector<Entry>{Entry{code, message}}) {}

EngineError::EngineError(std::vector<Entry> entries)
    : std::runtime_error(entries.empty() ? std::string() : entries.front().message.toStdString()),
      entries_(std::move(entries)) {}

}  // namespace data
