#include "data/query.h"
#include "dbui/data_source.h"
#include "dbui/db_grid.h"
#include "dbui/query_table_model.h"
#include "spreadsheet/spreadsheet.h"
#include "statistics/export_services.h"

#include <QRegularExpression>

namespace statistics {

int GridExport::rowCount() const { return query && query->isOpen() ? query->recordCount() : 0; }

GridExport describeGrid(dbui::DbGrid& grid) {
    GridExport result;
    result.name = grid.objectName();
    dbui::QueryTableModel* model = grid.tableModel();
    result.query = grid.dataSource() ? grid.dataSource()->query() : nullptr;
    if (!model || !result.query)
        return result;
    for (int column = 0; column < model->columnCount(); ++column) {
        result.titles << model->headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
        result.fields << result.query->fieldName(model->fieldIndex(column));
    }
    return result;
}

void writeFieldText(spreadsheet::Worksheet& sheet, int row, int column, const QString& text, bool textColumn) {
    // At most 15 digits (exact in a double); a leading zero keeps the text
    // ("0805" is a model, not eight hundred and five).
    static const QRegularExpression wholeNumber(QStringLiteral("^-?(0|[1-9][0-9]{0,14})$"));
    if (!textColumn && wholeNumber.match(text).hasMatch())
        sheet.setCellNumber(row, column, text.toDouble());
    else
        sheet.setCellText(row, column, text);
}

}  // namespace statistics
