#include "data/engine/query.h"
#include "dbui/data_source.h"
#include "dbui/db_grid.h"
#include "dbui/query_table_model.h"
#include "platform/busy_cursor.h"
#include "platform/dialogs.h"
#include "spreadsheet/spreadsheet.h"
#include "statistics/export_grids.h"
#include "statistics/export_services.h"
#include "statistics/export_texts.h"
#include "window_kit/shared_messages.h"

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

void writeGridRecords(spreadsheet::Worksheet& sheet, const GridExport& grid, int firstRow, bool textTitles) {
    data::Query& query = *grid.query;
    std::vector<int> fieldIndexes;
    std::vector<bool> textColumns;
    for (int c = 0; c < grid.fields.size(); ++c) {
        fieldIndexes.push_back(query.fieldIndex(grid.fields[c]));
        textColumns.push_back(textTitles && isTextColumnTitle(grid.titles.value(c)));
    }
    data::BusyScope busy(query);
    query.first();
    for (int row = firstRow; !query.eof(); ++row) {
        for (int c = 0; c < int(fieldIndexes.size()); ++c)
            writeFieldText(sheet, row, c + 1, query.field(fieldIndexes[c]).asText(), textColumns[size_t(c)]);
        query.next();
    }
}

spreadsheet::Application* connectOffice(const ExportServices& services, platform::BusyCursor& busy) {
    try {
        return &services.office();
    } catch (const std::exception&) {
        busy.restore();
        services.dialogs->warning(nullptr, kit::connectFailedMessage(), kit::noticeCaption(), platform::MessageIcon::Warning);
        return nullptr;
    }
}

}  // namespace statistics
