#include "statistics/supplier_sheets.h"

#include "data/engine/query.h"
#include "data/core/schema.h"
#include "platform/files.h"
#include "spreadsheet/spreadsheet.h"
#include "statistics/export_services.h"
#include "statistics/export_texts.h"

#include <QDir>
#include <QHash>
#include <QLocale>

namespace statistics {

namespace {

constexpr int FileNameLength = 80;
constexpr int SheetNameLength = 31;

QString replaceCharacters(QString text, const QString& forbidden) {
    for (QChar& c : text) {
        if (c.unicode() < 0x20 || forbidden.contains(c))
            c = QLatin1Char('_');
    }
    return text;
}

QString columnLetter(int column) { return QString(QChar(u'A' + column - 1)); }

QString chineseLongDate(const QDate& date) {
    return QLocale(QLocale::Chinese, QLocale::China).toString(date, QStringLiteral("yyyy年M月d日"));
}

}  // namespace

std::vector<SupplierRows> groupBySupplier(data::Query& statistics) {
    std::vector<SupplierRows> groups;
    if (!statistics.isOpen())
        return groups;
    const int supplier = statistics.fieldIndex(QStringLiteral("供应商"));
    const int model = statistics.fieldIndex(QStringLiteral("鞋底型号"));
    const int pairs = statistics.fieldIndex(QStringLiteral("双数"));
    std::vector<int> sizes;
    for (const QString& size : data::sizeFieldNames())
        sizes.push_back(statistics.fieldIndex(size));

    QHash<QString, size_t> groupOf;
    data::BusyScope busy(statistics);
    for (statistics.first(); !statistics.eof(); statistics.next()) {
        QString name = statistics.field(supplier).asText();
        if (name.trimmed().isEmpty())
            name.clear();
        auto known = groupOf.constFind(name);
        if (known == groupOf.cend()) {
            known = groupOf.insert(name, groups.size());
            groups.push_back(SupplierRows{name, {}});
        }
        PurchaseRow row{statistics.field(model).asText(), statistics.field(pairs).asText(), {}};
        for (int index : sizes)
            row.sizes << statistics.field(index).asText();
        groups[known.value()].rows.push_back(row);
    }
    return groups;
}

QString supplierLabel(const QString& supplier) {
    return supplier.trimmed().isEmpty() ? noSupplierLabel() : supplier;
}

QString safeFileName(const QString& label) {
    const QString name = replaceCharacters(label, QStringLiteral("<>:\"/\\|?*")).trimmed().left(FileNameLength).trimmed();
    return name.isEmpty() ? QStringLiteral("_") : name;
}

QString safeSheetName(const QString& label) {
    QString name = replaceCharacters(label, QStringLiteral("[]*?:/\\")).left(SheetNameLength);
    while (name.startsWith(QLatin1Char('\'')))
        name.remove(0, 1);
    while (name.endsWith(QLatin1Char('\'')))
        name.chop(1);
    return name.isEmpty() ? QStringLiteral("_") : name;
}

QString freeBaseName(const QString& folder, const QString& name, const QDate& date, const QStringList& taken) {
    const QString base = name + QLatin1Char('_') + date.toString(QStringLiteral("yyyy-MM-dd"));
    const QDir dir(folder);
    for (int n = 1;; ++n) {
        const QString candidate = n == 1 ? base : QStringLiteral("%1 (%2)").arg(base).arg(n);
        if (!taken.contains(candidate, Qt::CaseInsensitive) &&
            !platform::fileExists(dir.filePath(candidate + QStringLiteral(".xlsx"))) &&
            !platform::fileExists(dir.filePath(candidate + QStringLiteral(".pdf"))))
            return candidate;
    }
}

void writePurchaseSheet(spreadsheet::Worksheet& sheet, const SupplierRows& supplier, const QDate& date) {
    const QString label = supplierLabel(supplier.supplier);
    sheet.setName(safeSheetName(label));
    sheet.setColumnNumberFormat(1, QStringLiteral("@"));

    sheet.setCellText(1, 1, purchaseSheetTitle());
    sheet.mergeCells(1, 1, 1, PurchaseColumns);
    sheet.setCellText(2, 1, supplierCaption());
    sheet.setCellText(2, 2, label);
    sheet.mergeCells(2, 2, 2, 8);
    sheet.setCellText(3, 1, dateCaption());
    sheet.setCellText(3, 2, chineseLongDate(date));
    sheet.mergeCells(3, 2, 3, 8);

    const QStringList titles = QStringList{QStringLiteral("鞋底型号"), QStringLiteral("双数")} + data::sizeFieldNames();
    for (int c = 1; c <= PurchaseColumns; ++c)
        sheet.setCellText(PurchaseTitleRow, c, titles[c - 1]);

    int row = PurchaseFirstDataRow;
    for (const PurchaseRow& record : supplier.rows) {
        sheet.setCellText(row, 1, record.model);
        writeFieldText(sheet, row, 2, record.pairs, false);
        for (int i = 0; i < record.sizes.size(); ++i)
            writeFieldText(sheet, row, 3 + i, record.sizes[i], false);
        ++row;
    }
    const int lastDataRow = row - 1;
    sheet.setCellText(row, 1, totalCaption());
    for (int c = 2; c <= PurchaseColumns; ++c) {
        const QString column = columnLetter(c);
        sheet.setCellFormula(row, c, QStringLiteral("=SUM(%1%2:%1%3)").arg(column).arg(PurchaseFirstDataRow).arg(lastDataRow));
    }

    sheet.setBold(1, 1, 1, PurchaseColumns);
    sheet.setBold(PurchaseTitleRow, 1, PurchaseTitleRow, PurchaseColumns);
    sheet.setBold(row, 1, row, PurchaseColumns);
    sheet.setBorders(PurchaseTitleRow, 1, row, PurchaseColumns);
    sheet.autoFitColumns(1, PurchaseColumns);

    sheet.setOrientation(spreadsheet::PageOrientation::Landscape);
    sheet.setFitToPagesWide(1);
    sheet.setPrintGridLines(true);
    sheet.setCenterHorizontally(true);
}

}  // namespace statistics
