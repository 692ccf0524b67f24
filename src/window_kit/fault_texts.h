#pragma once

#include "platform/error_display.h"

#include <exception>
#include <vector>

namespace data {
struct KeyClash;
}

namespace kit {

// What the clerk is told about an error, in Chinese: what happened, what was
// not saved and what can be done; the error's own (English) text goes into
// the details for support. Table engine errors are told apart by kind and
// SQLite's result code or the database server's SQLSTATE, office errors by the operation that failed, file
// errors by the system's error number. Messages the windows give themselves
// (the duplicate-key messages, the import's and export's own) are not made
// here.
platform::ErrorReport faultReport(const std::exception& error);

// Makes faultReport() the general error display's translator.
void installFaultTexts();

// Which records of which tables share a key, and how to mend them.
QString keyClashText(const std::vector<data::KeyClash>& clashes);

// The table's name as the windows call it ("订单表" for dd.db); the file
// name for any other.
QString tableCaption(const QString& fileName);

}  // namespace kit
