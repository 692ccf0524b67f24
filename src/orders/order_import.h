#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace data {
class Query;
}
namespace spreadsheet {
class Worksheet;
}

namespace kit {
class StatusSink;
}

namespace orders {

// Data rows read at most: sheet rows 2 to 100,000.
inline constexpr int MaxImportRows = 99999;
// Rows posted between two sends of what the store holds back (a server
// sends the new records in groups; table files store each at its post).
inline constexpr int ImportRowsPerSend = 1000;

// Texts of the import.
QString importFolderName();                       // "订单导入"
QString fileMissingMessage(const QString& file);  // "文件" file "不存在"
QString fileFoundText(const QString& file);       // "文件" file "已找到"
QString importingRowText(int sheetRow);           // "正在导入第" r "行"
QString emptyCellText(int dataRow);               // "在第一列第" n "行检测到空值，数据导入已结束！"
QString tooManyRowsText();                        // "行数大于十万行，数据导入已强行结束！"
QString importFailedMessage();                    // "数据导入异常，请检查该行数据是否已存在！导入已强行终止。"

struct ImportOutcome {
    enum class End { EmptyCell, TooManyRows, Failed };
    End end = End::EmptyCell;
    int rowsImported = 0;
};

// Reads the orders of the sheet from row 2 on, one per row, column k into the
// field columns[k-1], until the first row whose first cell is empty (or the
// row limit), posting each through the query. Events run once per row; the
// progress goes into the status sink's third panel. A failure while a row is
// being stored (a duplicate batch number, a text that is no whole number, a
// sheet that cannot be read) ends the import with showFailure(); a record
// being filled is left open for the user. The query is busy meanwhile. The
// store may hold the new records back and send them every ImportRowsPerSend
// rows: a batch number found taken there ends the import at its own row
// (the duplicate told through the query's post-error hook), every row before
// it stored and none from it on; rowsImported counts the rows stored.
ImportOutcome importWorksheet(spreadsheet::Worksheet& sheet, data::Query& query, const QStringList& columns,
                              kit::StatusSink& status, const std::function<void()>& showFailure);

}  // namespace orders
