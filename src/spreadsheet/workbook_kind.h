#pragma once

#include <QByteArray>
#include <QString>

namespace spreadsheet {

// What a workbook file holds, told by its bytes rather than by its name: the
// office is given only files it can read with a known filter, never one it
// would have to guess at (and ask the user about).
enum class WorkbookKind {
    Unknown, // not a workbook the program opens
    Xls,     // a compound document (Excel 97 to 2003)
    Xlsx,    // a zip package with a workbook part (Excel 2007 and later)
    Ods,     // an OpenDocument spreadsheet
};

WorkbookKind workbookKind(const QByteArray& bytes);

// The kind of the file at path (Unknown when it cannot be read).
WorkbookKind workbookKindOfFile(const QString& path);

} // namespace spreadsheet
