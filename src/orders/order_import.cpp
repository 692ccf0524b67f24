#include "orders/order_import.h"

#include "data/engine/query.h"
#include "data/engine/undo_scope.h"
#include "spreadsheet/spreadsheet.h"
#include "window_kit/progress.h"

namespace orders {

QString importFolderName() { return QStringLiteral("订单导入"); }
QString fileMissingMessage(const QString& file) { return QStringLiteral("文件") + file + QStringLiteral("不存在"); }
QString fileFoundText(const QString& file) { return QStringLiteral("文件") + file + QStringLiteral("已找到"); }
QString importingRowText(int sheetRow) { return QStringLiteral("正在导入第%1行").arg(sheetRow); }
QString emptyCellText(int dataRow) { return QStringLiteral("在第一列第%1行检测到空值，数据导入已结束！").arg(dataRow); }
QString tooManyRowsText() { return QStringLiteral("行数大于十万行，数据导入已强行结束！"); }
QString importFailedMessage() {
    return QStringLiteral("数据导入异常，请检查该行数据是否已存在！导入已强行终止。");
}

namespace {

// What the store held back is sent after the import failed for another
// reason; a batch number taken among it is told as at its own post, and the
// record left open then goes too, as the import never came to it.
void sendAfterFailure(data::Query& query) {
    try {
        query.sendHeldWrites();
    } catch (const std::exception&) {
        if (query.state() == data::Query::State::Insert)
            query.cancel();
    }
}

}  // namespace

ImportOutcome importWorksheet(spreadsheet::Worksheet& sheet, data::Query& query, const QStringList& columns,
                              kit::StatusSink& status, const std::function<void()>& showFailure) {
    const data::UndoScope undo(query.engine(), QStringLiteral("订单导入"), data::ordersWindowName(), {data::addedRows(query)});
    data::BusyScope busy(query);
    query.holdKeyedInserts();
    ImportOutcome outcome;
    int recordsBefore = -1;
    int sheetRow = 1;
    int dataRow = 0;
    try {
        query.checkBrowseMode();  // a record the clerk left open is no row of the import
        recordsBefore = query.recordCount();
        for (;;) {
            ++sheetRow;
            ++dataRow;
            status.letEventsRun();
            const QString first = sheet.cellText(sheetRow, 1);
            if (first.isEmpty()) {
                outcome.end = ImportOutcome::End::EmptyCell;
                break;
            }
            if (dataRow > MaxImportRows) {
                outcome.end = ImportOutcome::End::TooManyRows;
                break;
            }
            query.last();
            query.insert();
            query.edit();
            for (int column = 1; column <= columns.size(); ++column) {
                query.field(columns[column - 1]).setText(sheet.cellText(sheetRow, column));
                status.setPanelText(kit::ProgressPanel, importingRowText(sheetRow));
            }
            query.post();
            if (dataRow % ImportRowsPerSend == 0)
                query.sendHeldWritesAhead();
        }
        // The end is told once every row is stored.
        query.sendHeldWrites();
    } catch (const std::exception&) {
        // A duplicate batch number has been reported (data::SilentAbort) and
        // the records from it on dropped; any other failure is told here.
        sendAfterFailure(query);
        outcome.rowsImported = recordsBefore < 0 ? 0 : query.recordCount() - recordsBefore;
        showFailure();
        outcome.end = ImportOutcome::End::Failed;
        return outcome;
    }
    outcome.rowsImported = query.recordCount() - recordsBefore;
    status.setPanelText(kit::ProgressPanel,
                        outcome.end == ImportOutcome::End::EmptyCell ? emptyCellText(dataRow) : tooManyRowsText());
    return outcome;
}

}  // namespace orders
