#include "spreadsheet/workbook_kind.h"

#include <QFile>

namespace spreadsheet {

namespace {

const QByteArray compoundSignature = QByteArray::fromHex("D0CF11E0A1B11AE1");
const QByteArray localHeader("PK\x03\x04", 4);
const QByteArray centralHeader("PK\x01\x02", 4);
const QByteArray odsMimeType("application/vnd.oasis.opendocument.spreadsheet");
const QByteArray workbookPart("xl/workbook.xml");

// Little-endian 16-bit field at offset, or -1 past the end.
int field16(const QByteArray& bytes, qsizetype offset)
{
    if (offset < 0 || offset + 2 > bytes.size())
        return -1;
    return static_cast<unsigned char>(bytes[offset]) | static_cast<unsigned char>(bytes[offset + 1]) << 8;
}

// An OpenDocument package starts with an uncompressed entry "mimetype" that
// holds the document's type.
bool isOpenDocumentSpreadsheet(const QByteArray& bytes)
{
    constexpr int nameOffset = 30;
    const QByteArray name("mimetype");
    if (field16(bytes, 26) != name.size() || bytes.mid(nameOffset, name.size()) != name)
        return false;
    const int extra = field16(bytes, 28);
    const bool stored = field16(bytes, 8) == 0;
    const qsizetype content = nameOffset + name.size() + extra;
    return stored && field16(bytes, 18) == odsMimeType.size() && field16(bytes, 20) == 0 &&
           bytes.mid(content, odsMimeType.size()) == odsMimeType;
}

// Whether a local or central entry of the package is named xl/workbook.xml.
// A package cut short still has its local entries; a whole one lists it in
// its central directory too.
bool hasWorkbookPart(const QByteArray& bytes)
{
    for (qsizetype at = bytes.indexOf(workbookPart); at >= 0; at = bytes.indexOf(workbookPart, at + 1)) {
        const qsizetype local = at - 30;
        const qsizetype central = at - 46;
        if (local >= 0 && bytes.mid(local, 4) == localHeader && field16(bytes, local + 26) == workbookPart.size())
            return true;
        if (central >= 0 && bytes.mid(central, 4) == centralHeader &&
            field16(bytes, central + 28) == workbookPart.size())
            return true;
    }
    return false;
}

} // namespace

WorkbookKind workbookKind(const QByteArray& bytes)
{
    if (bytes.startsWith(compoundSignature))
        return WorkbookKind::Xls;
    if (!bytes.startsWith(localHeader))
        return WorkbookKind::Unknown;
    if (isOpenDocumentSpreadsheet(bytes))
        return WorkbookKind::Ods;
    return hasWorkbookPart(bytes) ? WorkbookKind::Xlsx : WorkbookKind::Unknown;
}

WorkbookKind workbookKindOfFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return WorkbookKind::Unknown;
    return workbookKind(file.readAll());
}

} // namespace spreadsheet
