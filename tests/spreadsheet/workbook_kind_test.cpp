// Telling workbook files apart by their bytes.

#include "spreadsheet/workbook_kind.h"

#include <gtest/gtest.h>

using namespace spreadsheet;

namespace {

QByteArray le16(int value)
{
    return QByteArray(1, char(value & 0xff)) + QByteArray(1, char(value >> 8 & 0xff));
}

QByteArray le32(int value)
{
    return le16(value & 0xffff) + le16(value >> 16 & 0xffff);
}

// A zip entry's local header followed by its content, stored uncompressed
// (method 0) or claimed to be deflated (method 8).
QByteArray localEntry(const QByteArray& name, const QByteArray& content, int method = 0)
{
    return QByteArray("PK\x03\x04", 4) + le16(20) + le16(0) + le16(method) + le16(0) + le16(0) + le32(0) +
           le32(int(content.size())) + le32(int(content.size())) + le16(int(name.size())) + le16(0) + name + content;
}

// A central directory entry naming a part.
QByteArray centralEntry(const QByteArray& name)
{
    return QByteArray("PK\x01\x02", 4) + le16(20) + le16(20) + le16(0) + le16(8) + le16(0) + le16(0) + le32(0) +
           le32(0) + le32(0) + le16(int(name.size())) + le16(0) + le16(0) + le16(0) + le16(0) + le32(0) + le32(0) +
           name;
}

const QByteArray compound = QByteArray::fromHex("D0CF11E0A1B11AE1");

} // namespace

TEST(WorkbookKind, ToldByTheFilesBytes)
{
    const struct {
        const char* name;
        QByteArray bytes;
        WorkbookKind kind;
    } cases[] = {
        {"empty file", {}, WorkbookKind::Unknown},
        {"compound document", compound + QByteArray(504, '\0'), WorkbookKind::Xls},
        {"compound signature alone", compound, WorkbookKind::Xls},
        {"compound signature cut short", compound.left(7), WorkbookKind::Unknown},
        {"text with commas", QStringLiteral("批号,鞋的型号\nX1,0805\n").toUtf8(), WorkbookKind::Unknown},
        {"old Excel sheet without a container", QByteArray::fromHex("0908100000061000"), WorkbookKind::Unknown},
        {"web page", "<html><table><tr><td>1</td></tr></table></html>", WorkbookKind::Unknown},
        {"random bytes", QByteArray::fromHex("8f3ac2019be7d4450c6a11f0e2d95b77"), WorkbookKind::Unknown},
        {"workbook part among the local entries",
         localEntry("[Content_Types].xml", "<Types/>") + localEntry("xl/workbook.xml", "<workbook/>", 8),
         WorkbookKind::Xlsx},
        {"package cut short after the workbook part's header",
         localEntry("[Content_Types].xml", "<Types/>") + localEntry("xl/workbook.xml", {}).left(45),
         WorkbookKind::Xlsx},
        {"workbook part only in the central directory",
         localEntry("xl/worksheets/sheet1.xml", "<worksheet/>", 8) + centralEntry("xl/workbook.xml"),
         WorkbookKind::Xlsx},
        {"workbook part's name only inside an entry's content",
         localEntry("[Content_Types].xml", "<Override PartName=\"/xl/workbook.xml\"/>"), WorkbookKind::Unknown},
        {"similar part name", localEntry("xl/workbook.xml.rels", "<r/>"), WorkbookKind::Unknown},
        {"word processor package", localEntry("word/document.xml", "<w/>"), WorkbookKind::Unknown},
        {"OpenDocument spreadsheet",
         localEntry("mimetype", "application/vnd.oasis.opendocument.spreadsheet") + localEntry("content.xml", "<c/>"),
         WorkbookKind::Ods},
        {"OpenDocument spreadsheet template",
         localEntry("mimetype", "application/vnd.oasis.opendocument.spreadsheet-template"), WorkbookKind::Unknown},
        {"OpenDocument text", localEntry("mimetype", "application/vnd.oasis.opendocument.text"),
         WorkbookKind::Unknown},
        {"OpenDocument type compressed", localEntry("mimetype", "application/vnd.oasis.opendocument.spreadsheet", 8),
         WorkbookKind::Unknown},
        {"zip signature alone", QByteArray("PK\x03\x04", 4), WorkbookKind::Unknown},
    };
    for (const auto& c : cases)
        EXPECT_EQ(workbookKind(c.bytes), c.kind) << c.name;
}
