#pragma once

#include <QString>
#include <stdexcept>

namespace spreadsheet {

// Any failure of the spreadsheet application: connecting, opening, saving,
// reading or writing. The operation says what was being done, so that the
// clerk can be told in plain words; the message is the office's own detail.
class Error : public std::runtime_error {
public:
    enum class Operation {
        Connect,  // starting the office or reaching it
        Open,     // opening or loading a document
        Read,     // reading cells or sheets
        Write,    // writing cells, formats or page settings
        Save,     // storing or exporting a document
        Gone,     // the office or the document went away meanwhile
        Other,
    };

    explicit Error(const QString& message, Operation operation = Operation::Other);
    QString message() const;
    Operation operation() const { return operation_; }

private:
    Operation operation_;
};

} // namespace spreadsheet
