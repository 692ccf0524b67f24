#pragma once

#include <QString>
#include <stdexcept>

namespace spreadsheet {

// Any failure of the spreadsheet application: connecting, opening, saving,
// reading or writing. The text is meant to be shown to the user as it is.
class Error : public std::runtime_error {
public:
    explicit Error(const QString& message);
    QString message() const;
};

} // namespace spreadsheet
