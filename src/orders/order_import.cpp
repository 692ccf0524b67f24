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

ImportOutcome importWorksheet(spreadsheet::Worksheet& sheet, data::Query& query, const QStringList& columns,
                              kit::StatusSink& status, const std::function<void()>& showFailure) {
    const data::UndoScope undo(query.engine(), QStringLiteral("订单导入"), data::ordersWindowName(), {data::addedRows(query)});
    data::BusyScope busy(query);
    ImportOutcome outcome;
    int sheetRow = 1;
    int dataRow = 0;
    for (;;) {
        ++sheetRow;
        ++dataRow;
        status.letEventsRun();
        QString first;
        try {
            first = sheet.cellText(sheetRow, 1);
        } catch (const std::exception&) {
            showFailure();
            outcome.end = ImportOutcome::End::Failed;
            return outcome;
        }
        if (first.isEmpty()) {
            status.setPanelText(kit::ProgressPanel, emptyCellText(dataRow));
            outcome.end = ImportOutcome::End::EmptyCell;
            return outcome;
        }
        if (dataRow > MaxImportRows) {
            status.setPanelText(kit::ProgressPanel, tooManyRowsText());
            outcome.end = ImportOutcome::End::TooManyRows;
            return outcome;
        }
        try {
            query.last();
            query.insert();
            query.edit();
            for (int column = 1; column <= columns.size(); ++column) {
                query.field(columns[column - 1]).setText(sheet.cellText(sheetRow, column));
                status.setPanelText(kit::ProgressPanel, importingRowText(sheetRow));
            }
            query.post();
            ++outcome.rowsImported;
        } catch (const data::SilentAbort&) {
            // The duplicate has been reported and its record dropped.
            showFailure();
            outcome.end = ImportOutcome::End::Failed;
            return outcome;
        } catch (const std::exception&) {
            showFailure();
            outcome.end = ImportOutcome::End::Failed;
            return outcome;
        }
    }
}

}  // namespace orders
